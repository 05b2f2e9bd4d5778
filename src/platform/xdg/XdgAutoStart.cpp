#include "platform/xdg/XdgAutoStart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

XdgAutoStart::XdgAutoStart(QString programPath) : m_programPath(std::move(programPath)) {}

QString XdgAutoStart::programPath() const
{
    return m_programPath.isEmpty() ? QCoreApplication::applicationFilePath() : m_programPath;
}

QString XdgAutoStart::entryPath()
{
    // A relative XDG_CONFIG_HOME is invalid and must be ignored.
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/Quillmere.desktop");
}

QString XdgAutoStart::execArgument(const QString& programPath)
{
    // Inside double quotes, " ` $ and \ take a backslash. The Exec value is then a string
    // value, where every backslash is written twice; "%" starts a field code and is doubled.
    QString quoted;
    for (const QChar c : programPath) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    QString value;
    for (const QChar c : std::as_const(quoted)) {
        if (c == QLatin1Char('\\'))
            value += QStringLiteral("\\\\");
        else if (c == QLatin1Char('%'))
            value += QStringLiteral("%%");
        else if (c == QLatin1Char('\n'))
            value += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            value += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return QLatin1Char('"') + value + QLatin1Char('"');
}

QString XdgAutoStart::entryText(const QString& programPath)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Quillmere\n"
                          "Exec=%1\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(execArgument(programPath));
}

void XdgAutoStart::add()
{
    const QString path = entryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(entryText(QFileInfo(programPath()).absoluteFilePath()).toUtf8());
    file.commit();
}

void XdgAutoStart::remove()
{
    QFile::remove(entryPath());
}
