#pragma once

#include "platform/AutoStart.h"

#include <QString>

// Log-on start through the freedesktop autostart folder:
// $XDG_CONFIG_HOME/autostart/Quillmere.desktop (~/.config/autostart when unset).
class XdgAutoStart : public AutoStart {
public:
    // programPath empty: the running program (QCoreApplication::applicationFilePath).
    explicit XdgAutoStart(QString programPath = QString());

    void add() override;
    void remove() override;

    // The entry file, from the environment at the time of the call.
    static QString entryPath();
    // The whole .desktop file that starts `programPath`.
    static QString entryText(const QString& programPath);
    // `programPath` as one Exec argument: quoted, with the escapes the Desktop Entry
    // format asks for inside quotes and then for a string value.
    static QString execArgument(const QString& programPath);

private:
    QString programPath() const;

    QString m_programPath;
};
