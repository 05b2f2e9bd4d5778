#include "BodyBudget.h"

BodyBudget::BodyBudget(qint64 total, qint64 perGroup) : m_total(total), m_perGroup(perGroup) {}

bool BodyBudget::reserve(const QString& group, qint64 bytes)
{
    const qint64 own = m_byGroup.value(group);
    if (bytes < 0 || m_inFlight + bytes > m_total || own + bytes > m_perGroup)
        return false;
    m_inFlight += bytes;
    m_byGroup.insert(group, own + bytes);
    return true;
}

void BodyBudget::release(const QString& group, qint64 bytes)
{
    auto it = m_byGroup.find(group);
    if (it == m_byGroup.end())
        return;
    const qint64 released = qMin(bytes, *it);
    *it -= released;
    m_inFlight -= released;
    if (*it <= 0)
        m_byGroup.erase(it);
}
