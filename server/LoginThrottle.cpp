#include "LoginThrottle.h"

#include "ClientAddress.h"

namespace {

// User names are unique without regard to letter case.
QString accountKey(const QString& account)
{
    return account.toCaseFolded();
}

QString pairKey(const QString& account, const QString& group)
{
    return account + QLatin1Char('\n') + group;
}

} // namespace

LoginThrottle::LoginThrottle() : LoginThrottle(Rules()) {}

LoginThrottle::LoginThrottle(const Rules& rules) : LoginThrottle(rules, std::make_unique<MemoryThrottleStore>()) {}

LoginThrottle::LoginThrottle(const Rules& rules, std::unique_ptr<ThrottleStore> store)
    : m_rules(rules), m_store(std::move(store))
{
}

qint64 LoginThrottle::waitFor(const ThrottleCounter& counter, int free, qint64 maxDelay, bool countUnderWay,
                              qint64 now) const
{
    const int attempts = counter.failures + (countUnderWay ? counter.underWay : 0);
    if (attempts < free)
        return 0;
    qint64 wait = 0;
    const int beyond = counter.failures - free;
    if (beyond >= 0) {
        const qint64 delay = qMin(maxDelay, m_rules.firstDelayMs << qMin(beyond, 30));
        wait = counter.lastFailure + delay - now;
    }
    // Attempts beyond the free ones wait for the outcome of those under way: otherwise a
    // burst of parallel guesses would all pass before the first failure is counted.
    if (countUnderWay && counter.underWay > 0)
        wait = qMax(wait, m_rules.firstDelayMs);
    return qMax<qint64>(0, wait);
}

bool LoginThrottle::known(const QString& account, const QString& address, qint64 now)
{
    const auto seen = m_store->lastLogin(accountKey(account), ClientAddress::group(address));
    return seen && now - *seen < m_rules.trustMs;
}

LoginThrottle::Ticket LoginThrottle::begin(const QString& account, const QString& address, qint64 now)
{
    m_store->lock();
    m_store->tidyIfDue(now, m_rules);
    const QString name = accountKey(account);
    const QString group = ClientAddress::group(address);
    Ticket ticket;
    ticket.knownAddress = known(account, address, now);
    if (ticket.knownAddress) {
        const QString pair = pairKey(name, group);
        ThrottleCounter counter = m_store->counter(ThrottleStore::Pair, pair);
        ticket.waitMs = waitFor(counter, m_rules.freeAccountFailures, m_rules.maxAccountDelayMs, true, now);
        if (ticket.waitMs == 0) {
            ++counter.underWay;
            m_store->setCounter(ThrottleStore::Pair, pair, counter, now);
        }
        m_store->unlock();
        return ticket;
    }
    // Addresses count finished failures only: many people behind one address may log in at
    // the same moment.
    ThrottleCounter counter = m_store->counter(ThrottleStore::Account, name);
    ticket.waitMs = qMax(waitFor(counter, m_rules.freeAccountFailures, m_rules.maxAccountDelayMs, true, now),
                         waitFor(m_store->counter(ThrottleStore::Address, group), m_rules.freeAddressFailures,
                                 m_rules.maxAddressDelayMs, false, now));
    if (ticket.waitMs == 0) {
        ++counter.underWay;
        m_store->setCounter(ThrottleStore::Account, name, counter, now);
    }
    m_store->unlock();
    return ticket;
}

void LoginThrottle::fail(ThrottleCounter& counter, qint64 now)
{
    ++counter.failures;
    counter.lastFailure = now;
}

void LoginThrottle::failAddress(const QString& group, qint64 now)
{
    ThrottleCounter counter = m_store->counter(ThrottleStore::Address, group);
    fail(counter, now);
    m_store->setCounter(ThrottleStore::Address, group, counter, now);
}

void LoginThrottle::finish(const QString& account, const QString& address, const Ticket& ticket, Outcome outcome,
                           qint64 now)
{
    if (ticket.waitMs > 0)
        return;
    const QString name = accountKey(account);
    const QString group = ClientAddress::group(address);
    const ThrottleStore::Kind kind = ticket.knownAddress ? ThrottleStore::Pair : ThrottleStore::Account;
    const QString key = ticket.knownAddress ? pairKey(name, group) : name;
    m_store->lock();
    ThrottleCounter counter = m_store->counter(kind, key);
    counter.underWay = qMax(0, counter.underWay - 1);
    switch (outcome) {
    case Outcome::Succeeded:
        counter.failures = 0;
        if (!ticket.knownAddress) // left from an earlier, expired acquaintance
            m_store->setCounter(ThrottleStore::Pair, pairKey(name, group), ThrottleCounter(), now);
        m_store->recordLogin(name, group, now, m_rules);
        break;
    case Outcome::Failed:
        fail(counter, now);
        failAddress(group, now);
        break;
    case Outcome::NoSuchAccount:
        // Guessing names counts against the address only; no entry is kept for a name that
        // does not exist.
        failAddress(group, now);
        break;
    case Outcome::Abandoned:
        break;
    }
    m_store->setCounter(kind, key, counter, now);
    m_store->unlock();
}
