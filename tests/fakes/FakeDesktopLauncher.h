#pragma once

#include "platform/DesktopLauncher.h"

#include <QStringList>

// Records what would have been handed to the browser or file manager. With `answers`
// false it is a desktop with no browser: every address is refused.
class FakeDesktopLauncher : public DesktopLauncher {
public:
    bool openUrl(const QString& address) override
    {
        urls << address;
        return answers;
    }
    bool openFolder(const QString& folder) override
    {
        folders << folder;
        return true;
    }
    QStringList urls;
    QStringList folders;
    bool answers = true;
};
