#pragma once

#include <QHash>
#include <QString>

// Bytes of request bodies being received into temporary files, in total and per client
// address group (see ClientAddress::group): a request whose announced body does not fit
// is refused before any of it is read, so a few clients cannot fill the disk or keep every
// upload slot.
class BodyBudget {
public:
    BodyBudget(qint64 total, qint64 perGroup);

    bool reserve(const QString& group, qint64 bytes);
    void release(const QString& group, qint64 bytes);

    qint64 inFlight() const { return m_inFlight; }

private:
    qint64 m_total;
    qint64 m_perGroup;
    qint64 m_inFlight = 0;
    QHash<QString, qint64> m_byGroup;
};
