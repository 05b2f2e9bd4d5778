#pragma once

#include "platform/DesktopLauncher.h"

// The desktop's default browser and file manager, through QDesktopServices.
class QtDesktopLauncher : public DesktopLauncher {
public:
    bool openUrl(const QString& address) override;
    bool openFolder(const QString& folder) override;
};
