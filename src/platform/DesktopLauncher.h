#pragma once

#include <QString>

// Hands addresses and folders to the desktop: the user's browser and file manager.
class DesktopLauncher {
public:
    virtual ~DesktopLauncher() = default;
    virtual bool openUrl(const QString& address) = 0;
    virtual bool openFolder(const QString& folder) = 0;
};
