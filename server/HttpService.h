#pragma once

#include "Service.h"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QTcpServer>

// Puts the service on the network with Qt HttpServer, which hands over the raw body of a
// multipart request whose header names no boundary.
class HttpService : public QAbstractHttpServer {
public:
    explicit HttpService(Service& service, QObject* parent = nullptr);

    // Port 0 picks a free one; returns the port listened on, or 0.
    quint16 listen(const QHostAddress& address, quint16 port);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    Service& m_service;
};

// Accepts connections, cuts off a client that sends far more than the upload limit before
// the HTTP library has buffered it all in memory, and closes connections left idle.
class GuardedTcpServer : public QTcpServer {
public:
    static constexpr int kIdleMilliseconds = 120 * 1000;
    // How long a refused client may go on sending (discarded) before it is cut off.
    static constexpr int kDrainMilliseconds = 60 * 1000;

    // `refusal` is the whole HTTP answer sent to a client over the limit.
    GuardedTcpServer(qint64 maxRequestBytes, QByteArray refusal, QObject* parent = nullptr);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    qint64 m_maxRequestBytes;
    QByteArray m_refusal;
};
