#include "LoginThrottle.h"

#include "ClientAddress.h"

#include <algorithm>
#include <vector>

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

LoginThrottle::LoginThrottle(const Rules& rules) : m_rules(rules) {}

qint64 LoginThrottle::waitFor(const Counter& counter, int free, qint64 maxDelay, bool countUnderWay, qint64 now) const
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

bool LoginThrottle::known(const QString& account, const QString& address, qint64 now) const
{
    const auto addresses = m_known.constFind(accountKey(account));
    if (addresses == m_known.constEnd())
        return false;
    const auto seen = addresses->constFind(ClientAddress::group(address));
    return seen != addresses->constEnd() && now - *seen < m_rules.trustMs;
}

LoginThrottle::Ticket LoginThrottle::begin(const QString& account, const QString& address, qint64 now)
{
    if (++m_sinceTidy >= 1024 || m_addresses.size() > m_rules.maxEntries || m_accounts.size() > m_rules.maxEntries ||
        m_pairs.size() > m_rules.maxEntries)
        tidyAll(now);
    const QString name = accountKey(account);
    const QString group = ClientAddress::group(address);
    Ticket ticket;
    ticket.knownAddress = known(account, address, now);
    if (ticket.knownAddress) {
        const QString pair = pairKey(name, group);
        ticket.waitMs = waitFor(m_pairs.value(pair), m_rules.freeAccountFailures, m_rules.maxAccountDelayMs, true, now);
        if (ticket.waitMs == 0)
            ++m_pairs[pair].underWay;
        return ticket;
    }
    // Addresses count finished failures only: many people behind one address may log in at
    // the same moment.
    ticket.waitMs =
        qMax(waitFor(m_accounts.value(name), m_rules.freeAccountFailures, m_rules.maxAccountDelayMs, true, now),
             waitFor(m_addresses.value(group), m_rules.freeAddressFailures, m_rules.maxAddressDelayMs, false, now));
    if (ticket.waitMs == 0)
        ++m_accounts[name].underWay;
    return ticket;
}

void LoginThrottle::fail(Counter& counter, qint64 now)
{
    ++counter.failures;
    counter.lastFailure = now;
}

void LoginThrottle::finish(const QString& account, const QString& address, const Ticket& ticket, Outcome outcome,
                           qint64 now)
{
    if (ticket.waitMs > 0)
        return;
    const QString name = accountKey(account);
    const QString group = ClientAddress::group(address);
    Counters& table = ticket.knownAddress ? m_pairs : m_accounts;
    const QString key = ticket.knownAddress ? pairKey(name, group) : name;
    Counter& counter = table[key];
    counter.underWay = qMax(0, counter.underWay - 1);
    switch (outcome) {
    case Outcome::Succeeded: {
        counter.failures = 0;
        if (!ticket.knownAddress)
            m_pairs.remove(pairKey(name, group)); // left from an earlier, expired acquaintance
        QHash<QString, qint64>& addresses = m_known[name];
        addresses.insert(group, now);
        if (addresses.size() > m_rules.maxKnownAddresses) {
            auto oldest = std::min_element(addresses.begin(), addresses.end());
            addresses.erase(oldest);
        }
        break;
    }
    case Outcome::Failed:
        fail(counter, now);
        fail(m_addresses[group], now);
        break;
    case Outcome::NoSuchAccount:
        // Guessing names counts against the address only; no entry is kept for a name that
        // does not exist.
        fail(m_addresses[group], now);
        break;
    case Outcome::Abandoned:
        break;
    }
    if (counter.failures == 0 && counter.underWay == 0)
        table.remove(key);
}

void LoginThrottle::tidy(Counters& table, qint64 now)
{
    for (auto it = table.begin(); it != table.end();) {
        if (it->underWay == 0 && now - it->lastFailure >= m_rules.forgetMs)
            it = table.erase(it);
        else
            ++it;
    }
    if (table.size() <= m_rules.maxEntries)
        return;
    // Still too many (addresses sprayed from a large network): the oldest go, down to three
    // quarters of the bound.
    std::vector<qint64> stamps;
    stamps.reserve(size_t(table.size()));
    for (const Counter& c : std::as_const(table))
        stamps.push_back(c.lastFailure);
    const size_t excess = stamps.size() - size_t(m_rules.maxEntries) * 3 / 4;
    std::nth_element(stamps.begin(), stamps.begin() + qsizetype(excess - 1), stamps.end());
    const qint64 cutoff = stamps[excess - 1];
    for (auto it = table.begin(); it != table.end();) {
        if (it->underWay == 0 && it->lastFailure <= cutoff)
            it = table.erase(it);
        else
            ++it;
    }
}

void LoginThrottle::tidyAll(qint64 now)
{
    m_sinceTidy = 0;
    tidy(m_accounts, now);
    tidy(m_addresses, now);
    tidy(m_pairs, now);
    for (auto it = m_known.begin(); it != m_known.end();) {
        for (auto seen = it->begin(); seen != it->end();) {
            if (now - *seen >= m_rules.trustMs)
                seen = it->erase(seen);
            else
                ++seen;
        }
        it = it->isEmpty() ? m_known.erase(it) : std::next(it);
    }
}
