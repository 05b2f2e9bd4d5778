#pragma once

#include <QtGlobal>

// What the account windows learn from the service during a run and share: the upload
// limit it named (in a check reply or an upload refusal), 0 while unknown.
struct AccountSession {
    qint64 uploadLimit = 0;
};
