#include "app/AppPaths.h"

#include <QCoreApplication>
#include <QDir>

namespace AppPaths {

QString programFolder()
{
    const QString home = qEnvironmentVariable("QUILLMERE_HOME");
    if (!home.trimmed().isEmpty())
        return QDir::cleanPath(QDir(home).absolutePath());
    return QCoreApplication::applicationDirPath();
}

QString libraryFile(const QString& programFolder)
{
    return programFolder + QStringLiteral("/DataFile/Data.db");
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
