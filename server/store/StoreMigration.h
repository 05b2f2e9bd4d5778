#pragma once

#include <QString>
#include <QTextStream>

// quillmere-server --data DIR migrate-to URL: copies the SQLite store of a data folder
// (accounts with their password hashes, sessions, books and their review, machines,
// promotion visits, notices and every other setting) into an empty PostgreSQL database, in
// one transaction, and checks that every table arrived whole. The book files stay under
// DIR/files, which the instances on the new store are given as their --data folder.
class StoreMigration {
public:
    StoreMigration(QTextStream& out, QTextStream& err) : m_out(out), m_err(err) {}

    // The process exit code: 0 done, 1 refused or failed (the target is left as it was).
    int run(const QString& dataDir, const QString& targetUrl);

private:
    int fail(const QString& message);

    QTextStream& m_out;
    QTextStream& m_err;
};
