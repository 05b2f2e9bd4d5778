#include "ServiceDatabase.h"

#include "store/DatabaseUrl.h"

#include <QAtomicInteger>
#include <QDir>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QAtomicInteger<int> s_connectionCount;

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
    return open(dataDir, QString(), error);
}

bool ServiceDatabase::open(const QString& dataDir, const QString& databaseUrl, QString* error)
{
    if (!connect(dataDir, databaseUrl, error))
        return false;
    if (!createSchema()) {
        if (error)
            *error = lastError();
        m_db.close();
        return false;
    }
    return true;
}

bool ServiceDatabase::connect(const QString& dataDir, const QString& databaseUrl, QString* error)
{
    m_name = QStringLiteral("quillmere-server-%1").arg(s_connectionCount.fetchAndAddRelaxed(1));
    if (!databaseUrl.isEmpty()) {
        const auto target = DatabaseUrl::parse(databaseUrl);
        if (!target) {
            if (error)
                *error = QStringLiteral("not a PostgreSQL address: %1").arg(DatabaseUrl::withoutPassword(databaseUrl));
            return false;
        }
        m_dialect = Dialect::Postgres;
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
        if (!m_db.isValid()) {
            if (error)
                *error = QStringLiteral("the PostgreSQL driver of Qt (QPSQL) is not installed");
            return false;
        }
        m_db.setHostName(target->host);
        m_db.setPort(target->port);
        m_db.setUserName(target->user);
        m_db.setPassword(target->password);
        m_db.setDatabaseName(target->database);
        m_db.setConnectOptions(target->options);
        if (!m_db.open()) {
            if (error)
                *error = m_db.lastError().text();
            return false;
        }
        // Quiet: "relation already exists, skipping" notices of the schema steps are no news.
        return exec(QStringLiteral("SET client_min_messages TO warning"));
    }
    if (!QDir().mkpath(dataDir)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(dataDir);
        return false;
    }
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
        !exec(QStringLiteral("PRAGMA foreign_keys=ON"))) {
        if (error)
            *error = lastError();
        m_db.close();
        return false;
    }
    return true;
}

QString ServiceDatabase::lastError() const
{
    return m_db.lastError().text();
}

QString ServiceDatabase::pick(const char* sqlite, const char* postgres) const
{
    return QString::fromLatin1(m_dialect == Dialect::Postgres ? postgres : sqlite);
}

bool ServiceDatabase::answers()
{
    auto selectOne = [this] {
        QSqlQuery query(m_db);
        return m_db.isOpen() && query.exec(QStringLiteral("SELECT 1")) && query.next() && query.value(0).toInt() == 1;
    };
    if (selectOne())
        return true;
    // The database server ended the connection (a restart, a failover): connect again, so
    // the instance comes back once the database does.
    if (m_dialect != Dialect::Postgres)
        return false;
    m_db.close();
    return m_db.open() && exec(QStringLiteral("SET client_min_messages TO warning")) && selectOne();
}

bool ServiceDatabase::exec(const QString& sql, const QVariantList& values)
{
    QSqlQuery query(m_db);
    // Statements without values go as they are: PostgreSQL prepares no BEGIN or SET.
    if (values.isEmpty())
        return query.exec(sql);
    if (!query.prepare(sql))
        return false;
    bindAll(query, values);
    return query.exec();
}

bool ServiceDatabase::begin()
{
    // IMMEDIATE takes the write lock at once, so two writers queue on the busy timeout
    // instead of one failing half-way through.
    return exec(pick("BEGIN IMMEDIATE", "BEGIN"));
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
    if (m_dialect == Dialect::Postgres) {
        if (!m_sharedStampAge.isValid() || m_sharedStampAge.elapsed() >= m_recheckMs) {
            if (query.exec(QStringLiteral("SELECT stamp FROM catalogue_stamp")) && query.next())
                m_sharedStamp = query.value(0).toLongLong();
            m_sharedStampAge.start();
        }
        return (m_sharedStamp << 24) + m_bookWrites;
    }
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

bool ServiceDatabase::bookChanged()
{
    ++m_bookWrites;
    return m_dialect != Dialect::Postgres || exec(QStringLiteral("UPDATE catalogue_stamp SET stamp = stamp + 1"));
}

bool ServiceDatabase::setSetting(const QString& key, const QString& value)
{
    return exec(QStringLiteral("INSERT INTO settings(key, value) VALUES(?, ?) "
                               "ON CONFLICT(key) DO UPDATE SET value = excluded.value"),
                {key, value});
}

bool ServiceDatabase::recordMachine(const QString& desknum, const QString& now)
{
    return exec(
        QStringLiteral("INSERT INTO machines(desknum, seen, last_seen) VALUES(?, 1, ?) "
                       "ON CONFLICT(desknum) DO UPDATE SET seen = machines.seen + 1, last_seen = excluded.last_seen"),
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
