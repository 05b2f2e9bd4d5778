#include "platform/qt/QtProgramStarter.h"

#include <QFileInfo>
#include <QProcess>

bool QtProgramStarter::startDetached(const QString& program, const QStringList& arguments)
{
    const QFileInfo file(program);
    if (!file.isFile() || !file.isExecutable())
        return false;
    return QProcess::startDetached(file.absoluteFilePath(), arguments, file.absolutePath());
}
