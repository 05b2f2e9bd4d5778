#pragma once

#include "platform/DesktopLauncher.h"

#include <QStringList>

// Records what would have been handed to the browser or file manager.
class FakeDesktopLauncher : public DesktopLauncher {
public:
    bool openUrl(const QString& address) override
    {
        urls << address;
        return true;
    }
    bool openFolder(const QString& folder) override
    {
        folders << folder;
        return true;
    }
    QStringList urls;
    QStringList folders;
};
