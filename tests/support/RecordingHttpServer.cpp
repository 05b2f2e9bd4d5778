#include "RecordingHttpServer.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

RecordingHttpServer::RecordingHttpServer(QObject* parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &RecordingHttpServer::onNewConnection);
}

RecordingHttpServer::~RecordingHttpServer()
{
    // The sockets outlive the members they report to.
    for (QTcpSocket* socket : m_server.findChildren<QTcpSocket*>())
        socket->disconnect(this);
}

bool RecordingHttpServer::listen(quint16 port)
{
    return m_server.listen(QHostAddress::LocalHost, port);
}

QString RecordingHttpServer::base() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

bool RecordingHttpServer::waitForRequests(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_requests.size() >= count; }, timeoutMs);
}

void RecordingHttpServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void RecordingHttpServer::onReadyRead(QTcpSocket* socket)
{
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    for (;;) {
        const int headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
        Request request;
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.target = first.value(1);
        for (int i = 1; i < lines.size(); ++i) {
            const int colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
        }
        const int length = request.header("content-length").toInt();
        if (buffer.size() < headEnd + 4 + length)
            return;
        request.body = buffer.mid(headEnd + 4, length);
        buffer.remove(0, headEnd + 4 + length);

        const QByteArray path = request.target.split('?').first();
        Answer answer = m_answers.value(path, m_default);
        if (m_responder)
            answer = m_responder(request);
        m_requests.append(request);
        emit received(request);
        respond(socket, answer);
    }
}

void RecordingHttpServer::respond(QTcpSocket* socket, const Answer& answer)
{
    if (answer.never)
        return;
    if (answer.hangUp) {
        socket->disconnectFromHost();
        return;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + " X\r\n";
    head += "Content-Type: " + answer.contentType + "\r\n";
    for (const QByteArray& line : answer.headers)
        head += line + "\r\n";
    const QByteArray body = answer.body;
    const qint64 bodyTotal = qint64(body.size()) * qMax(1, answer.repeat);
    const qint64 total = bodyTotal + answer.fillerBytes;
    const qint64 sent = answer.stopAfterBytes >= 0 ? qMin<qint64>(total, answer.stopAfterBytes) : total;
    if (answer.chunked)
        head += "Transfer-Encoding: chunked\r\n";
    else
        head += "Content-Length: " + QByteArray::number(total) + "\r\n";
    if (answer.stopAfterBytes >= 0)
        head += "Connection: close\r\n";
    head += "\r\n";
    socket->write(head);

    // The body goes out in pieces, each after the previous one was written, so that a
    // client sees progress (and a pause where one was asked for).
    auto offset = std::make_shared<qint64>(0);
    QPointer<QTcpSocket> guard(socket);
    auto sendNext = std::make_shared<std::function<void()>>();
    *sendNext = [=] {
        if (!guard)
            return;
        const int piece = 64 * 1024;
        if (guard->bytesToWrite() > 16 * piece) {
            // The client reads slower than this writes: the pieces wait rather than pile up here.
            QTimer::singleShot(1, guard, *sendNext);
            return;
        }
        if (*offset >= sent) {
            if (answer.chunked && answer.stopAfterBytes < 0)
                guard->write("0\r\n\r\n");
            if (answer.stopAfterBytes >= 0) {
                guard->flush();
                guard->disconnectFromHost();
            }
            return;
        }
        QByteArray chunk;
        if (*offset < bodyTotal) {
            const qint64 at = *offset % qMax<qint64>(1, body.size());
            chunk = body.mid(at, qMin<qint64>(qMin<qint64>(piece, body.size() - at), sent - *offset));
        } else {
            chunk = QByteArray(static_cast<int>(std::min<qint64>(piece, sent - *offset)), 'x');
        }
        *offset += chunk.size();
        if (answer.chunked)
            guard->write(QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n");
        else
            guard->write(chunk);
        QTimer::singleShot(answer.chunkDelayMs, guard, *sendNext);
    };
    (*sendNext)();
}
