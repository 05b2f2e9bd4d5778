#include "ThrottleStore.h"

#include <algorithm>
#include <vector>

void MemoryThrottleStore::setCounter(Kind kind, const QString& key, const ThrottleCounter& counter, qint64)
{
    if (counter.failures == 0 && counter.underWay == 0)
        m_tables[kind].remove(key);
    else
        m_tables[kind].insert(key, counter);
}

std::optional<qint64> MemoryThrottleStore::lastLogin(const QString& account, const QString& group)
{
    const auto addresses = m_known.constFind(account);
    if (addresses == m_known.constEnd())
        return std::nullopt;
    const auto seen = addresses->constFind(group);
    if (seen == addresses->constEnd())
        return std::nullopt;
    return *seen;
}

void MemoryThrottleStore::recordLogin(const QString& account, const QString& group, qint64 now,
                                      const ThrottleRules& rules)
{
    QHash<QString, qint64>& addresses = m_known[account];
    addresses.insert(group, now);
    if (addresses.size() > rules.maxKnownAddresses) {
        auto oldest = std::min_element(addresses.begin(), addresses.end());
        addresses.erase(oldest);
    }
}

int MemoryThrottleStore::entries() const
{
    return int(m_tables[0].size() + m_tables[1].size() + m_tables[2].size());
}

void MemoryThrottleStore::tidyIfDue(qint64 now, const ThrottleRules& rules)
{
    if (++m_sinceTidy < 1024 && m_tables[0].size() <= rules.maxEntries && m_tables[1].size() <= rules.maxEntries &&
        m_tables[2].size() <= rules.maxEntries)
        return;
    m_sinceTidy = 0;
    for (Counters& table : m_tables)
        tidy(table, now, rules);
    for (auto it = m_known.begin(); it != m_known.end();) {
        for (auto seen = it->begin(); seen != it->end();) {
            if (now - *seen >= rules.trustMs)
                seen = it->erase(seen);
            else
                ++seen;
        }
        it = it->isEmpty() ? m_known.erase(it) : std::next(it);
    }
}

void MemoryThrottleStore::tidy(Counters& table, qint64 now, const ThrottleRules& rules)
{
    for (auto it = table.begin(); it != table.end();) {
        if (it->underWay == 0 && now - it->lastFailure >= rules.forgetMs)
            it = table.erase(it);
        else
            ++it;
    }
    if (table.size() <= rules.maxEntries)
        return;
    // Still too many (addresses sprayed from a large network): the oldest go, down to three
    // quarters of the bound.
    std::vector<qint64> stamps;
    stamps.reserve(size_t(table.size()));
    for (const ThrottleCounter& c : std::as_const(table))
        stamps.push_back(c.lastFailure);
    const size_t excess = stamps.size() - size_t(rules.maxEntries) * 3 / 4;
    std::nth_element(stamps.begin(), stamps.begin() + qsizetype(excess - 1), stamps.end());
    const qint64 cutoff = stamps[excess - 1];
    for (auto it = table.begin(); it != table.end();) {
        if (it->underWay == 0 && it->lastFailure <= cutoff)
            it = table.erase(it);
        else
            ++it;
    }
}
