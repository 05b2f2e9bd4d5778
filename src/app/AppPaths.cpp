#include "app/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <unistd.h>

namespace AppPaths {

QString programFolder()
{
    const QString home = qEnvironmentVariable("QUILLMERE_HOME");
    if (!home.trimmed().isEmpty())
        return QDir::cleanPath(QDir(home).absolutePath());
    return QCoreApplication::applicationDirPath();
}

QString chooseDataFolder(const QString& homeVariable, const QString& programFolder, bool programFolderWritable,
                         bool installed, const QString& xdgDataHome, const QString& userHome)
{
    if (!homeVariable.trimmed().isEmpty())
        return QDir::cleanPath(QDir(homeVariable).absolutePath());
    if (programFolderWritable && !installed)
        return programFolder;
    // A relative XDG_DATA_HOME is invalid and is ignored, as the base directory rules ask.
    const QString base = !xdgDataHome.isEmpty() && QDir::isAbsolutePath(xdgDataHome)
                             ? xdgDataHome
                             : userHome + QStringLiteral("/.local/share");
    return QDir::cleanPath(base + QStringLiteral("/Quillmere"));
}

QString dataFolder()
{
    const QString program = QCoreApplication::applicationDirPath();
    // access(2) asks what this user may do, read-only mounts included.
    const bool writable = ::access(QFile::encodeName(program).constData(), W_OK | X_OK) == 0;
    const bool installed = QFile::exists(program + QLatin1Char('/') + QLatin1String(kInstalledMark));
    return chooseDataFolder(qEnvironmentVariable("QUILLMERE_HOME"), program, writable, installed,
                            qEnvironmentVariable("XDG_DATA_HOME"), QDir::homePath());
}

QString libraryFile(const QString& dataFolder)
{
    return dataFolder + QStringLiteral("/DataFile/Data.db");
}

QString serviceBase()
{
    QString base = qEnvironmentVariable("QUILLMERE_SERVICE").trimmed();
    if (base.isEmpty())
        base = QString::fromLatin1(kBuiltInService);
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}

} // namespace AppPaths
