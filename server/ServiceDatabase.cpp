#include "ServiceDatabase.h"

#include <QAtomicInteger>
#include <QDir>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QAtomicInteger<int> s_connectionCount;

const char* const kSchema[] = {
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
    "CREATE TABLE IF NOT EXISTS machines (desknum TEXT PRIMARY KEY, seen INTEGER NOT NULL, last_seen TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS visits ("
    " user_id INTEGER NOT NULL, address TEXT NOT NULL, credited INTEGER NOT NULL, PRIMARY KEY(user_id, address))",
    "CREATE TABLE IF NOT EXISTS settings (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
};

} // namespace

ServiceDatabase::~ServiceDatabase()
{
    if (m_name.isEmpty())
        return;
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

bool ServiceDatabase::open(const QString& dataDir, QString* error)
{
    if (!QDir().mkpath(dataDir)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(dataDir);
        return false;
    }
    m_name = QStringLiteral("quillmere-server-%1").arg(s_connectionCount.fetchAndAddRelaxed(1));
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_db.setDatabaseName(QDir(dataDir).filePath(QStringLiteral("service.db")));
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!m_db.open()) {
        if (error)
            *error = m_db.lastError().text();
        return false;
    }
    // FULL makes every acknowledged registration and upload survive even a power cut, not
    // only a killed process; the service writes little enough for the extra sync to be cheap.
    if (!exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !exec(QStringLiteral("PRAGMA synchronous=FULL")) ||
        !exec(QStringLiteral("PRAGMA foreign_keys=ON")) || !createSchema()) {
        if (error)
            *error = m_db.lastError().text();
        m_db.close();
        return false;
    }
    return true;
}

bool ServiceDatabase::createSchema()
{
    if (!begin())
        return false;
    for (const char* statement : kSchema) {
        if (!exec(QString::fromLatin1(statement))) {
            rollback();
            return false;
        }
    }
    return commit();
}

bool ServiceDatabase::exec(const QString& sql, const QVariantList& values)
{
    QSqlQuery query(m_db);
    if (!query.prepare(sql))
        return false;
    bindAll(query, values);
    return query.exec();
}

bool ServiceDatabase::begin()
{
    // IMMEDIATE takes the write lock at once, so two writers queue on the busy timeout
    // instead of one failing half-way through.
    return exec(QStringLiteral("BEGIN IMMEDIATE"));
}

bool ServiceDatabase::commit()
{
    return exec(QStringLiteral("COMMIT"));
}

void ServiceDatabase::rollback()
{
    exec(QStringLiteral("ROLLBACK"));
}

qint64 ServiceDatabase::changeStamp()
{
    QSqlQuery query(m_db);
    qint64 version = 0;
    if (query.exec(QStringLiteral("PRAGMA data_version")) && query.next())
        version = query.value(0).toLongLong();
    return (version << 32) + m_bookWrites;
}

QString ServiceDatabase::setting(const QString& key, const QString& fallback)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT value FROM settings WHERE key = ?"));
    query.addBindValue(key);
    if (query.exec() && query.next())
        return query.value(0).toString();
    return fallback;
}

bool ServiceDatabase::setSetting(const QString& key, const QString& value)
{
    return exec(QStringLiteral("INSERT INTO settings(key, value) VALUES(?, ?) "
                               "ON CONFLICT(key) DO UPDATE SET value = excluded.value"),
                {key, value});
}

bool ServiceDatabase::recordMachine(const QString& desknum, const QString& now)
{
    return exec(QStringLiteral("INSERT INTO machines(desknum, seen, last_seen) VALUES(?, 1, ?) "
                               "ON CONFLICT(desknum) DO UPDATE SET seen = seen + 1, last_seen = excluded.last_seen"),
                {desknum, now});
}

std::optional<qint64> ServiceDatabase::machineSeenCount(const QString& desknum)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT seen FROM machines WHERE desknum = ?"));
    query.addBindValue(desknum);
    if (query.exec() && query.next())
        return query.value(0).toLongLong();
    return std::nullopt;
}

void ServiceDatabase::bindAll(QSqlQuery& query, const QVariantList& values)
{
    for (const QVariant& v : values) {
        if (v.typeId() == QMetaType::QString && v.toString().isNull())
            query.addBindValue(QStringLiteral(""));
        else
            query.addBindValue(v);
    }
}
