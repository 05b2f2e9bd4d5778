#pragma once

#include <QHash>
#include <QString>

#include <set>
#include <utility>

// Who holds the service's connections: how many come from each client (ClientAddress::group)
// and in total, and which connection gives way when a limit is reached. Only a connection
// that is waiting for a request (or lingering after a refusal) can give way, the one waiting
// longest first, so a client trickling heads cannot keep a normal client out, while a
// connection being answered is never cut.
class ConnectionTable {
public:
    ConnectionTable(int maxTotal, int maxPerAddress);

    struct Admission {
        bool admitted = false;
        quint64 evict = 0; // a connection to close before the new one is added; 0 for none
    };
    // `unbounded`: the address is exempt from the per-address limit (a trusted proxy).
    Admission admit(const QString& address, bool unbounded = false) const;

    void add(quint64 id, const QString& address);
    void remove(quint64 id);
    // Marks a connection as waiting for a request since `since` (milliseconds), or as busy.
    void setWaiting(quint64 id, bool waiting, qint64 since = 0);

    int size() const { return int(m_entries.size()); }
    int countFrom(const QString& address) const;

private:
    using Waiting = std::set<std::pair<qint64, quint64>>;
    struct Entry {
        QString group;
        bool waiting = false;
        qint64 since = 0;
    };

    void unmarkWaiting(Entry& entry, quint64 id);

    int m_maxTotal;
    int m_maxPerAddress;
    QHash<quint64, Entry> m_entries;
    QHash<QString, int> m_perGroup;
    Waiting m_waiting;
    QHash<QString, Waiting> m_waitingByGroup;
};
