#include "platform/qt/QtDesktopLauncher.h"

#include <QDesktopServices>
#include <QUrl>

bool QtDesktopLauncher::openUrl(const QString& address)
{
    return QDesktopServices::openUrl(QUrl::fromUserInput(address));
}

bool QtDesktopLauncher::openFolder(const QString& folder)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}
