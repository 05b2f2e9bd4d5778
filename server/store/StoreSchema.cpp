// The tables of ServiceDatabase and their upgrades. Each step runs once, in order; the
// store remembers the last step it took in schema_version. A data folder from before the
// steps holds the first step's tables already (the statements keep what exists) and no
// version, so it goes through every step and keeps every row.
#include "ServiceDatabase.h"

#include <QSqlError>
#include <QSqlQuery>

#include <vector>

namespace {

using Step = std::vector<const char*>;

const std::vector<Step> kSqliteSteps = {
    {
        "CREATE TABLE IF NOT EXISTS users ("
        " id INTEGER PRIMARY KEY AUTOINCREMENT,"
        " name TEXT NOT NULL UNIQUE COLLATE NOCASE,"
        " pwhash TEXT NOT NULL, answerhash TEXT NOT NULL,"
        " email TEXT NOT NULL DEFAULT '', sex TEXT NOT NULL DEFAULT '', qq TEXT NOT NULL DEFAULT '',"
        " question TEXT NOT NULL DEFAULT '',"
        " points INTEGER NOT NULL DEFAULT 0, money INTEGER NOT NULL DEFAULT 0, logins INTEGER NOT NULL DEFAULT 0,"
        " lastdate TEXT NOT NULL DEFAULT '', lastday TEXT NOT NULL DEFAULT '', created TEXT NOT NULL)",
        "CREATE TABLE IF NOT EXISTS sessions ("
        " id BLOB PRIMARY KEY, user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,"
        " expires INTEGER NOT NULL, persistent INTEGER NOT NULL)",
        "CREATE TABLE IF NOT EXISTS books ("
        " id INTEGER PRIMARY KEY AUTOINCREMENT,"
        " name TEXT NOT NULL, class TEXT NOT NULL, author TEXT NOT NULL DEFAULT '', statue TEXT NOT NULL,"
        " newchap TEXT NOT NULL DEFAULT '', memo TEXT NOT NULL DEFAULT '',"
        " file TEXT NOT NULL, cover TEXT NOT NULL DEFAULT '', size_kb INTEGER NOT NULL, ftime TEXT NOT NULL,"
        " checkif INTEGER NOT NULL, uploader_id INTEGER NOT NULL DEFAULT 0, update_of INTEGER NOT NULL DEFAULT 0)",
        "CREATE INDEX IF NOT EXISTS books_review ON books(checkif, ftime)",
        "CREATE INDEX IF NOT EXISTS books_uploader ON books(uploader_id, id)",
        "CREATE TABLE IF NOT EXISTS machines (desknum TEXT PRIMARY KEY, seen INTEGER NOT NULL, last_seen TEXT NOT "
        "NULL)",
        "CREATE TABLE IF NOT EXISTS visits ("
        " user_id INTEGER NOT NULL, address TEXT NOT NULL, credited INTEGER NOT NULL, PRIMARY KEY(user_id, address))",
        "CREATE TABLE IF NOT EXISTS settings (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
    },
};

// Texts that are sorted or compared (times, names) use the "C" collation, which orders and
// matches them byte by byte as SQLite does, whatever locale the cluster was made with.
// User names are unique without regard to ASCII letter case, as SQLite's NOCASE makes them.
const std::vector<Step> kPostgresSteps = {
    {
        "CREATE TABLE IF NOT EXISTS users ("
        " id BIGSERIAL PRIMARY KEY,"
        " name TEXT COLLATE \"C\" NOT NULL,"
        " pwhash TEXT NOT NULL, answerhash TEXT NOT NULL,"
        " email TEXT NOT NULL DEFAULT '', sex TEXT NOT NULL DEFAULT '', qq TEXT NOT NULL DEFAULT '',"
        " question TEXT NOT NULL DEFAULT '',"
        " points BIGINT NOT NULL DEFAULT 0, money BIGINT NOT NULL DEFAULT 0, logins BIGINT NOT NULL DEFAULT 0,"
        " lastdate TEXT NOT NULL DEFAULT '', lastday TEXT COLLATE \"C\" NOT NULL DEFAULT '', created TEXT NOT NULL)",
        "CREATE UNIQUE INDEX IF NOT EXISTS users_name ON users ((lower(name)))",
        "CREATE TABLE IF NOT EXISTS sessions ("
        " id BYTEA PRIMARY KEY, user_id BIGINT NOT NULL REFERENCES users(id) ON DELETE CASCADE,"
        " expires BIGINT NOT NULL, persistent INTEGER NOT NULL)",
        "CREATE INDEX IF NOT EXISTS sessions_user ON sessions(user_id)",
        "CREATE TABLE IF NOT EXISTS books ("
        " id BIGSERIAL PRIMARY KEY,"
        " name TEXT COLLATE \"C\" NOT NULL, class TEXT COLLATE \"C\" NOT NULL, author TEXT NOT NULL DEFAULT '',"
        " statue TEXT NOT NULL, newchap TEXT NOT NULL DEFAULT '', memo TEXT NOT NULL DEFAULT '',"
        " file TEXT NOT NULL, cover TEXT NOT NULL DEFAULT '', size_kb BIGINT NOT NULL,"
        " ftime TEXT COLLATE \"C\" NOT NULL, checkif INTEGER NOT NULL, uploader_id BIGINT NOT NULL DEFAULT 0,"
        " update_of BIGINT NOT NULL DEFAULT 0)",
        "CREATE INDEX IF NOT EXISTS books_review ON books(checkif, ftime)",
        "CREATE INDEX IF NOT EXISTS books_uploader ON books(uploader_id, id)",
        "CREATE TABLE IF NOT EXISTS machines (desknum TEXT PRIMARY KEY, seen BIGINT NOT NULL, last_seen TEXT NOT NULL)",
        "CREATE TABLE IF NOT EXISTS visits ("
        " user_id BIGINT NOT NULL, address TEXT NOT NULL, credited BIGINT NOT NULL, PRIMARY KEY(user_id, address))",
        "CREATE TABLE IF NOT EXISTS settings (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
        // What one instance kept in memory when it was alone: the catalogue's change counter
        // and the failed-login counts.
        "CREATE TABLE IF NOT EXISTS catalogue_stamp (one INTEGER PRIMARY KEY CHECK (one = 1), stamp BIGINT NOT NULL)",
        "INSERT INTO catalogue_stamp(one, stamp) VALUES(1, 0) ON CONFLICT DO NOTHING",
        "CREATE TABLE IF NOT EXISTS login_counters (kind INTEGER NOT NULL, key TEXT NOT NULL,"
        " failures INTEGER NOT NULL, underway INTEGER NOT NULL, last_failure BIGINT NOT NULL,"
        " touched BIGINT NOT NULL, PRIMARY KEY(kind, key))",
        "CREATE TABLE IF NOT EXISTS login_known (account TEXT NOT NULL, grp TEXT NOT NULL, seen BIGINT NOT NULL,"
        " PRIMARY KEY(account, grp))",
    },
};

// Any number, the same in every instance: the lock that lets one of them create or upgrade
// the tables while the others wait.
constexpr qint64 kSchemaLock = 0x51756c6c6d657265LL;

} // namespace

int ServiceDatabase::schemaVersion()
{
    QSqlQuery query(m_db);
    if (query.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) && query.next())
        return query.value(0).toInt();
    return -1;
}

bool ServiceDatabase::createSchema()
{
    if (m_dialect == Dialect::Sqlite) {
        // The write lock of the transaction keeps a second process out until the steps are done.
        if (!begin())
            return false;
        if (!exec(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)")) ||
            !applySchemaSteps(qMax(0, schemaVersion())) || !commit()) {
            rollback();
            return false;
        }
        return true;
    }
    // Two instances starting together: the first takes the lock and runs the steps, the
    // other waits and then finds nothing left to do.
    if (!exec(QStringLiteral("SELECT pg_advisory_lock(%1)").arg(kSchemaLock)))
        return false;
    bool ok = begin();
    if (ok) {
        ok = exec(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)")) &&
             applySchemaSteps(qMax(0, schemaVersion())) && commit();
        if (!ok)
            rollback();
    }
    exec(QStringLiteral("SELECT pg_advisory_unlock(%1)").arg(kSchemaLock));
    return ok;
}

bool ServiceDatabase::applySchemaSteps(int from)
{
    const std::vector<Step>& steps = m_dialect == Dialect::Postgres ? kPostgresSteps : kSqliteSteps;
    for (int version = from; version < int(steps.size()); ++version) {
        for (const char* statement : steps[size_t(version)]) {
            if (!exec(QString::fromLatin1(statement)))
                return false;
        }
        if (!exec(QStringLiteral("DELETE FROM schema_version")) ||
            !exec(QStringLiteral("INSERT INTO schema_version(version) VALUES(?)"), {version + 1}))
            return false;
    }
    return true;
}
