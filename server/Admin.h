#pragma once

#include "FileStore.h"
#include "ServerConfig.h"
#include "ServiceDatabase.h"

#include <QPair>
#include <QStringList>
#include <QTextStream>

#include <optional>

// The administration commands of quillmere-server. They open their own connection to the
// data folder, so they work while the service runs.
class Admin {
public:
    Admin(const ServerConfig& config, QTextStream& out, QTextStream& err);

    // Runs one command line command; returns the process exit code.
    int run(const QString& command, const QStringList& args);

    bool open();
    std::optional<qint64> importBook(const QString& path, const QString& category, const QString& title,
                                     const QString& author, const QString& state, const QString& newchap);
    bool approve(qint64 id);
    bool reject(qint64 id);
    // entries: URL (or a local file to publish under files/update/) and its folder below the
    // reader's program folder.
    bool publishUpdate(const QString& version, const QString& mandatory, const QString& notes,
                       const QList<QPair<QString, QString>>& entries);
    bool setNotice(const QString& which, const QString& text);
    void listPending();

    QString lastError() const { return m_error; }
    ServiceDatabase& database() { return m_db; }

private:
    bool fail(const QString& message);

    ServerConfig m_config;
    QTextStream& m_out;
    QTextStream& m_err;
    ServiceDatabase m_db;
    FileStore m_files;
    QString m_error;
};
