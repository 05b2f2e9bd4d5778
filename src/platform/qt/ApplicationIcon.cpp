#include "platform/qt/ApplicationIcon.h"

#include <QGuiApplication>

// The pictures are compiled into this static library; its resources must be registered by
// hand, and Q_INIT_RESOURCE only works outside any namespace.
static void registerIconResources()
{
    static const bool once = [] {
        Q_INIT_RESOURCE(appicon);
        return true;
    }();
    (void)once;
}

QList<int> applicationIconSizes()
{
    return {16, 22, 24, 32, 48, 64, 128, 256};
}

QIcon applicationIcon()
{
    registerIconResources();
    QIcon icon;
    for (const int size : applicationIconSizes())
        icon.addFile(QStringLiteral(":/quillmere/icons/%1.png").arg(size), QSize(size, size));
    return icon;
}

void installApplicationIcon()
{
    QGuiApplication::setWindowIcon(applicationIcon());
}
