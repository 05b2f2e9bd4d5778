// The accounts half of ServiceDatabase: users, sessions and promotion visits.
#include "ServiceDatabase.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

const char* const kUserColumns = "id, name, pwhash, answerhash, email, sex, qq, question, points, money, logins, "
                                 "lastdate, lastday";

UserRecord readUser(const QSqlQuery& q)
{
    UserRecord u;
    u.id = q.value(0).toLongLong();
    u.name = q.value(1).toString();
    u.pwhash = q.value(2).toString();
    u.answerHash = q.value(3).toString();
    u.email = q.value(4).toString();
    u.sex = q.value(5).toString();
    u.qq = q.value(6).toString();
    u.question = q.value(7).toString();
    u.points = q.value(8).toLongLong();
    u.money = q.value(9).toLongLong();
    u.logins = q.value(10).toLongLong();
    u.lastdate = q.value(11).toString();
    u.lastLoginDay = q.value(12).toString();
    return u;
}

} // namespace

qint64 ServiceDatabase::insertUser(const UserRecord& u, const QString& now)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT INTO users(name, pwhash, answerhash, email, sex, qq, question, points, money, "
                             "created) VALUES(?,?,?,?,?,?,?,?,?,?)") +
              pick("", " RETURNING id"));
    bindAll(q, QVariantList{u.name, u.pwhash, u.answerHash, u.email, u.sex, u.qq, u.question, u.points, u.money, now});
    if (!q.exec()) {
        // SQLITE_CONSTRAINT_UNIQUE or SQLSTATE unique_violation: the name (compared without
        // letter case) is taken.
        return q.lastError().nativeErrorCode() == pick("2067", "23505") ? 0 : -1;
    }
    if (m_dialect == Dialect::Postgres)
        return q.next() ? q.value(0).toLongLong() : -1;
    return q.lastInsertId().toLongLong();
}

std::optional<UserRecord> ServiceDatabase::userByName(const QString& name)
{
    QSqlQuery q(m_db);
    q.prepare(pick("SELECT %1 FROM users WHERE name = ?", "SELECT %1 FROM users WHERE lower(name) = lower(?)")
                  .arg(QLatin1String(kUserColumns)));
    q.addBindValue(name);
    if (q.exec() && q.next())
        return readUser(q);
    return std::nullopt;
}

std::optional<UserRecord> ServiceDatabase::userById(qint64 id)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT %1 FROM users WHERE id = ?").arg(QLatin1String(kUserColumns)));
    q.addBindValue(id);
    if (q.exec() && q.next())
        return readUser(q);
    return std::nullopt;
}

bool ServiceDatabase::recordLogin(qint64 userId, const QString& now, const QString& today, int dailyPoints)
{
    return exec(QStringLiteral("UPDATE users SET logins = logins + 1, lastdate = ?, "
                               "points = points + CASE WHEN lastday = ? THEN 0 ELSE ? END, lastday = ? WHERE id = ?"),
                {now, today, dailyPoints, today, userId});
}

bool ServiceDatabase::updateProfile(qint64 userId, const QString& pwhash, const QString& email, const QString& sex,
                                    const QString& qq, const QString& answerHash)
{
    return exec(QStringLiteral("UPDATE users SET pwhash = CASE WHEN ? = '' THEN pwhash ELSE ? END, email = ?, sex = ?, "
                               "qq = ?, answerhash = CASE WHEN ? = '' THEN answerhash ELSE ? END WHERE id = ?"),
                {pwhash, pwhash, email, sex, qq, answerHash, answerHash, userId});
}

bool ServiceDatabase::addMoney(qint64 userId, qint64 amount)
{
    return exec(QStringLiteral("UPDATE users SET money = money + ? WHERE id = ?"), {amount, userId});
}

int ServiceDatabase::userCount()
{
    QSqlQuery q(m_db);
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM users")) && q.next() ? q.value(0).toInt() : 0;
}

QList<RankEntry> ServiceDatabase::topUsers(bool byMoney, int limit)
{
    QSqlQuery q(m_db);
    q.prepare(byMoney ? QStringLiteral("SELECT name, money FROM users ORDER BY money DESC, id LIMIT ?")
                      : QStringLiteral("SELECT name, points FROM users ORDER BY points DESC, id LIMIT ?"));
    q.addBindValue(limit);
    QList<RankEntry> entries;
    if (q.exec()) {
        while (q.next())
            entries.append({q.value(0).toString(), q.value(1).toLongLong()});
    }
    return entries;
}

bool ServiceDatabase::insertSession(const QByteArray& id, qint64 userId, qint64 expires, bool persistent)
{
    return exec(QStringLiteral("INSERT INTO sessions(id, user_id, expires, persistent) VALUES(?,?,?,?)"),
                {id, userId, expires, persistent ? 1 : 0});
}

std::optional<qint64> ServiceDatabase::sessionUser(const QByteArray& id, qint64 now)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT user_id FROM sessions WHERE id = ? AND expires > ?"));
    q.addBindValue(id);
    q.addBindValue(now);
    if (q.exec() && q.next())
        return q.value(0).toLongLong();
    return std::nullopt;
}

bool ServiceDatabase::deleteSession(const QByteArray& id)
{
    return exec(QStringLiteral("DELETE FROM sessions WHERE id = ?"), {id});
}

bool ServiceDatabase::deleteOtherSessions(qint64 userId, const QByteArray& keep)
{
    return exec(QStringLiteral("DELETE FROM sessions WHERE user_id = ? AND id <> ?"), {userId, keep});
}

bool ServiceDatabase::purgeSessions(qint64 now)
{
    return exec(QStringLiteral("DELETE FROM sessions WHERE expires <= ?"), {now});
}

bool ServiceDatabase::creditVisit(qint64 userId, const QString& address, qint64 now)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT INTO visits(user_id, address, credited) VALUES(?, ?, ?) "
                             "ON CONFLICT(user_id, address) DO UPDATE SET credited = excluded.credited "
                             "WHERE excluded.credited - visits.credited >= 86400"));
    q.addBindValue(userId);
    q.addBindValue(address);
    q.addBindValue(now);
    return q.exec() && q.numRowsAffected() > 0;
}
