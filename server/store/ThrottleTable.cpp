// The failed-login half of ServiceDatabase, for stores several instances share.
#include "ServiceDatabase.h"

#include "ThrottleStore.h"

#include <QSqlQuery>

namespace {

// The same in every instance: the lock that makes each step of the throttle one at a time.
constexpr qint64 kThrottleLock = 0x51756c6c74687274LL;

} // namespace

bool ServiceDatabase::lockThrottle()
{
    if (!begin())
        return false;
    if (m_dialect == Dialect::Postgres &&
        !exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kThrottleLock))) {
        rollback();
        return false;
    }
    return true;
}

ThrottleCounter ServiceDatabase::throttleCounter(int kind, const QString& key, qint64 staleBefore)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT failures, underway, last_failure, touched FROM login_counters "
                             "WHERE kind = ? AND key = ?"));
    q.addBindValue(kind);
    q.addBindValue(key);
    ThrottleCounter counter;
    if (q.exec() && q.next()) {
        counter.failures = q.value(0).toInt();
        counter.underWay = q.value(3).toLongLong() < staleBefore ? 0 : q.value(1).toInt();
        counter.lastFailure = q.value(2).toLongLong();
    }
    return counter;
}

bool ServiceDatabase::setThrottleCounter(int kind, const QString& key, const ThrottleCounter& c, qint64 now)
{
    if (c.failures == 0 && c.underWay == 0)
        return exec(QStringLiteral("DELETE FROM login_counters WHERE kind = ? AND key = ?"), {kind, key});
    return exec(QStringLiteral("INSERT INTO login_counters(kind, key, failures, underway, last_failure, touched) "
                               "VALUES(?, ?, ?, ?, ?, ?) ON CONFLICT(kind, key) DO UPDATE SET "
                               "failures = excluded.failures, underway = excluded.underway, "
                               "last_failure = excluded.last_failure, touched = excluded.touched"),
                {kind, key, c.failures, c.underWay, c.lastFailure, now});
}

std::optional<qint64> ServiceDatabase::lastLoginAt(const QString& account, const QString& group)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT seen FROM login_known WHERE account = ? AND grp = ?"));
    q.addBindValue(account);
    q.addBindValue(group);
    if (q.exec() && q.next())
        return q.value(0).toLongLong();
    return std::nullopt;
}

bool ServiceDatabase::recordLoginAt(const QString& account, const QString& group, qint64 now, int keep)
{
    return exec(QStringLiteral("INSERT INTO login_known(account, grp, seen) VALUES(?, ?, ?) "
                               "ON CONFLICT(account, grp) DO UPDATE SET seen = excluded.seen"),
                {account, group, now}) &&
           exec(QStringLiteral("DELETE FROM login_known WHERE account = ? AND grp NOT IN "
                               "(SELECT grp FROM login_known WHERE account = ? ORDER BY seen DESC LIMIT ?)"),
                {account, account, keep});
}

bool ServiceDatabase::tidyThrottle(qint64 forgetBefore, qint64 trustBefore)
{
    return exec(QStringLiteral("DELETE FROM login_counters WHERE last_failure < ? AND (underway = 0 OR touched < ?)"),
                {forgetBefore, forgetBefore}) &&
           exec(QStringLiteral("DELETE FROM login_known WHERE seen < ?"), {trustBefore});
}
