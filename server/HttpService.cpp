#include "HttpService.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace {

QByteArray methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get:
        return "GET";
    case QHttpServerRequest::Method::Post:
        return "POST";
    case QHttpServerRequest::Method::Head:
        return "HEAD";
    case QHttpServerRequest::Method::Put:
        return "PUT";
    case QHttpServerRequest::Method::Delete:
        return "DELETE";
    default:
        return "OTHER";
    }
}

HttpRequest convert(const QHttpServerRequest& request)
{
    HttpRequest r;
    r.method = methodName(request.method());
    r.path = request.url().path().toLower();
    r.query = request.url().query(QUrl::FullyEncoded).toLatin1();
    for (const auto& header : request.headers())
        r.headers.insert(header.first.toLower(), header.second);
    r.body = request.body();
    QHostAddress peer = request.remoteAddress();
    bool isV4 = false;
    const quint32 v4 = peer.toIPv4Address(&isV4);
    r.peer = isV4 ? QHostAddress(v4).toString() : peer.toString();
    return r;
}

void send(QHttpServerResponder& responder, const HttpReply& reply, bool headOnly)
{
    QByteArray body = reply.body;
    if (!reply.filePath.isEmpty()) {
        QFile file(reply.filePath);
        if (!file.open(QIODevice::ReadOnly)) {
            responder.write(QHttpServerResponder::StatusCode::NotFound);
            return;
        }
        body = file.readAll();
    }
    responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(reply.status));
    responder.writeHeader("Content-Type", reply.contentType.isEmpty() ? "application/octet-stream" : reply.contentType);
    responder.writeHeader("Content-Length", QByteArray::number(body.size()));
    responder.writeHeader("Cache-Control", "no-cache");
    for (const auto& header : reply.headers)
        responder.writeHeader(header.first, header.second);
    responder.writeBody(headOnly ? QByteArray() : body);
}

} // namespace

HttpService::HttpService(Service& service, QObject* parent) : QAbstractHttpServer(parent), m_service(service) {}

quint16 HttpService::listen(const QHostAddress& address, quint16 port)
{
    // The guard lets a body through up to the limit plus room for the multipart framing.
    const HttpReply tooLarge = Service::uploadTooLarge(m_service.config());
    QByteArray refusal = "HTTP/1.1 413 Payload Too Large\r\nContent-Type: " + tooLarge.contentType +
                         "\r\nConnection: close\r\nContent-Length: " + QByteArray::number(tooLarge.body.size()) +
                         "\r\n";
    for (const auto& header : tooLarge.headers)
        refusal += header.first + ": " + header.second + "\r\n";
    refusal += "\r\n" + tooLarge.body;
    auto* server = new GuardedTcpServer(m_service.config().maxUploadBytes + 1024 * 1024, refusal, this);
    if (!server->listen(address, port)) {
        delete server;
        return 0;
    }
    bind(server);
    return server->serverPort();
}

bool HttpService::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    const HttpRequest converted = convert(request);
    const bool headOnly = converted.method == "HEAD";
    auto responder = std::make_shared<QHttpServerResponder>(makeResponder(request, socket));
    QPointer<QTcpSocket> alive(socket);
    m_service.handle(converted, [responder, alive, headOnly](const HttpReply& reply) {
        // A reply that took a worker thread may find its client gone.
        if (alive && alive->state() == QAbstractSocket::ConnectedState)
            send(*responder, reply, headOnly);
    });
    return true;
}

void HttpService::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}

GuardedTcpServer::GuardedTcpServer(qint64 maxRequestBytes, QByteArray refusal, QObject* parent)
    : QTcpServer(parent), m_maxRequestBytes(maxRequestBytes), m_refusal(std::move(refusal))
{
}

void GuardedTcpServer::incomingConnection(qintptr descriptor)
{
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    // Connected before the HTTP library's own slot, so this runs first on every chunk. The
    // count restarts whenever the service has answered, so a kept-alive connection is
    // measured per request.
    auto received = std::make_shared<qint64>(0);
    // A connection that neither sends nor receives for two minutes (a client that stopped in
    // the middle of a request, say) is closed, so it cannot hold the service's resources.
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->setInterval(kIdleMilliseconds);
    connect(idle, &QTimer::timeout, socket, &QTcpSocket::abort);
    idle->start();
    connect(socket, &QTcpSocket::bytesWritten, socket, [received, idle](qint64) {
        *received = 0;
        idle->start();
    });
    auto refused = std::make_shared<bool>(false);
    connect(socket, &QTcpSocket::readyRead, socket,
            [socket, received, idle, refused, limit = m_maxRequestBytes, refusal = m_refusal] {
                idle->start();
                if (*refused) {
                    socket->readAll();
                    return;
                }
                *received += socket->bytesAvailable();
                if (*received <= limit)
                    return;
                // The rest of the body is read and dropped rather than the connection cut at once:
                // a client still sending would otherwise meet a reset before it reads the answer.
                *refused = true;
                socket->readAll();
                socket->write(refusal);
                QTimer::singleShot(kDrainMilliseconds, socket, &QTcpSocket::abort);
            });
    addPendingConnection(socket);
}
