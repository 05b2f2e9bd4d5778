#pragma once

#include "FileStore.h"
#include "ServerConfig.h"
#include "ServiceDatabase.h"

#include <QTextStream>

// Fills an empty service: a demo catalogue of generated books in every category (TXT files
// in the code page, ZIP and RAR archives), demo accounts and the reader's presentation texts; or,
// for the load benchmark, many books and users at once.
class DemoSeeder {
public:
    DemoSeeder(const ServerConfig& config, ServiceDatabase& db, FileStore& files);

    bool seedDemo(QTextStream& out);
    bool seedBench(int books, int users, QTextStream& out);
    QString lastError() const { return m_error; }

    // A generated novel: a title line, then chapters headed 第N章.
    static QString bookText(const QString& title, int chapters, int seed);
    // A ZIP archive holding one file.
    static QByteArray zipOf(const QString& entryName, const QByteArray& data);

private:
    bool isEmpty();

    ServerConfig m_config;
    ServiceDatabase& m_db;
    FileStore& m_files;
    QString m_error;
};
