#include "ConnectionTable.h"

#include "ClientAddress.h"

ConnectionTable::ConnectionTable(int maxTotal, int maxPerAddress)
    : m_maxTotal(qMax(1, maxTotal)), m_maxPerAddress(qMax(1, maxPerAddress))
{
}

int ConnectionTable::countFrom(const QString& address) const
{
    return m_perGroup.value(ClientAddress::group(address));
}

ConnectionTable::Admission ConnectionTable::admit(const QString& address, bool unbounded) const
{
    const QString g = ClientAddress::group(address);
    if (!unbounded && m_perGroup.value(g) >= m_maxPerAddress) {
        const auto own = m_waitingByGroup.constFind(g);
        if (own == m_waitingByGroup.constEnd() || own->empty())
            return {};
        return {true, own->begin()->second};
    }
    if (size() >= m_maxTotal) {
        if (m_waiting.empty())
            return {};
        return {true, m_waiting.begin()->second};
    }
    return {true, 0};
}

void ConnectionTable::add(quint64 id, const QString& address)
{
    Entry entry;
    entry.group = ClientAddress::group(address);
    ++m_perGroup[entry.group];
    m_entries.insert(id, entry);
}

void ConnectionTable::unmarkWaiting(Entry& entry, quint64 id)
{
    if (!entry.waiting)
        return;
    m_waiting.erase({entry.since, id});
    auto own = m_waitingByGroup.find(entry.group);
    if (own != m_waitingByGroup.end()) {
        own->erase({entry.since, id});
        if (own->empty())
            m_waitingByGroup.erase(own);
    }
    entry.waiting = false;
}

void ConnectionTable::remove(quint64 id)
{
    auto it = m_entries.find(id);
    if (it == m_entries.end())
        return;
    unmarkWaiting(*it, id);
    if (--m_perGroup[it->group] <= 0)
        m_perGroup.remove(it->group);
    m_entries.erase(it);
}

void ConnectionTable::setWaiting(quint64 id, bool waiting, qint64 since)
{
    auto it = m_entries.find(id);
    if (it == m_entries.end())
        return;
    unmarkWaiting(*it, id);
    if (!waiting)
        return;
    it->waiting = true;
    it->since = since;
    m_waiting.insert({since, id});
    m_waitingByGroup[it->group].insert({since, id});
}
