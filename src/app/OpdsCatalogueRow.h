#pragma once

#include <QString>

// A catalogue the user added to the online library by its address. The password itself is
// never here: only whether the desktop's keyring holds one for it.
struct OpdsCatalogueRow {
    qint64 id = 0;
    QString name;
    QString url;
    QString userName;
    bool passwordStored = false;
};
