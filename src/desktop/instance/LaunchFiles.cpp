#include "desktop/instance/LaunchFiles.h"

#include <QDir>
#include <QUrl>

namespace LaunchFiles {

QStringList fromArguments(const QStringList& arguments, const QString& workingFolder)
{
    const QDir base(workingFolder);
    QStringList files;
    bool optionsEnded = false;
    for (const QString& argument : arguments) {
        if (argument.isEmpty())
            continue;
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && argument.startsWith(QLatin1Char('-')))
            continue;
        QString path = argument;
        if (argument.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
            const QUrl url(argument);
            // A file on another machine is not the reader's to open.
            if (!url.isLocalFile() || !(url.host().isEmpty() || url.host() == QLatin1String("localhost")))
                continue;
            path = url.toLocalFile();
        }
        path = QDir::cleanPath(base.absoluteFilePath(path));
        if (!files.contains(path))
            files.append(path);
    }
    return files;
}

} // namespace LaunchFiles
