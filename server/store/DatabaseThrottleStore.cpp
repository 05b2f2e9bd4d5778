#include "DatabaseThrottleStore.h"

#include "ServiceDatabase.h"

#include <QDateTime>

void DatabaseThrottleStore::lock()
{
    m_locked = m_db.lockThrottle();
}

void DatabaseThrottleStore::unlock()
{
    if (m_locked && !m_db.commit())
        m_db.rollback();
    m_locked = false;
}

ThrottleCounter DatabaseThrottleStore::counter(Kind kind, const QString& key)
{
    return m_db.throttleCounter(kind, key, QDateTime::currentMSecsSinceEpoch() - kUnderWayMs);
}

void DatabaseThrottleStore::setCounter(Kind kind, const QString& key, const ThrottleCounter& counter, qint64 now)
{
    m_db.setThrottleCounter(kind, key, counter, now);
}

std::optional<qint64> DatabaseThrottleStore::lastLogin(const QString& account, const QString& group)
{
    return m_db.lastLoginAt(account, group);
}

void DatabaseThrottleStore::recordLogin(const QString& account, const QString& group, qint64 now,
                                        const ThrottleRules& rules)
{
    m_db.recordLoginAt(account, group, now, rules.maxKnownAddresses);
}

void DatabaseThrottleStore::tidyIfDue(qint64 now, const ThrottleRules& rules)
{
    // Every instance tidies now and then; a minute apart is often enough for counts that
    // matter for an hour.
    if (now - m_lastTidy < 60 * 1000)
        return;
    m_lastTidy = now;
    m_db.tidyThrottle(now - rules.forgetMs, now - rules.trustMs);
}
