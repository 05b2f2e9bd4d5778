#pragma once

#include "BodyBudget.h"
#include "ConnectionTable.h"
#include "HttpConnection.h"
#include "Service.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

class QSocketNotifier;

// Puts the service on the network: accepts connections within the limits of the
// configuration (HttpLimits), watches every socket through one epoll set and hands each
// complete request to the service. Everything runs on the thread that created it.
class HttpService : public QObject, private ConnectionOwner {
public:
    explicit HttpService(Service& service, QObject* parent = nullptr);
    ~HttpService() override;

    // Port 0 picks a free one; returns the port listened on, or 0.
    quint16 listen(const QHostAddress& address, quint16 port);

    int connectionCount() const { return int(m_connections.size()); }
    // The effective limits: the configured ones with the derived values filled in.
    const HttpLimits& limits() const override { return m_limits; }

private:
    // ConnectionOwner
    Service& service() override { return m_service; }
    qint64 now() const override { return m_clock.elapsed(); }
    void watch(HttpConnection& connection, bool read, bool write) override;
    void setWaiting(HttpConnection& connection, bool waiting) override;
    bool reserveBody(HttpConnection& connection, qint64 bytes) override;
    void releaseBody(HttpConnection& connection, qint64 bytes) override;
    bool reserveMemory(qint64 bytes) override;
    void releaseMemory(qint64 bytes) override;
    QString temporaryDir() const override { return m_temporaryDir; }
    void closed(HttpConnection& connection) override;

    void onReady();
    void acceptWaiting();
    void pauseAccepting();
    void checkDeadlines();

    Service& m_service;
    HttpLimits m_limits;
    QString m_temporaryDir;
    QElapsedTimer m_clock;
    int m_epoll = -1;
    int m_listener = -1;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_deadlines;
    ConnectionTable m_table;
    BodyBudget m_budget;
    qint64 m_memoryInFlight = 0;
    QHash<quint64, HttpConnection*> m_connections;
    QHash<quint64, quint32> m_watched;
    quint64 m_nextId = 1;
};
