#pragma once

// A client on a plain socket, for what a well-behaved HTTP stack never does: sending a head
// byte by byte, announcing a body and stalling, closing only its sending side, connecting
// from another loopback address (127.0.0.0/8 is all loopback). The service runs in the same
// thread, so every wait keeps the event loop turning.
#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QtTest>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

class RawClient {
public:
    // receiveBuffer > 0 shrinks the socket's receive buffer: a client that stops reading then
    // stalls the service's sending quickly.
    RawClient(quint16 port, const char* from = "127.0.0.1", int receiveBuffer = 0)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (receiveBuffer > 0)
            ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &local.sin_addr);
        sockaddr_in remote{};
        remote.sin_family = AF_INET;
        remote.sin_port = htons(port);
        ::inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
        // On loopback the handshake completes in the kernel, before the service accepts.
        m_connected = ::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
                      ::connect(m_fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0;
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    }
    ~RawClient() { ::close(m_fd); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return m_connected; }
    int descriptor() const { return m_fd; }

    // Sends everything, letting the service read meanwhile; false when the connection broke.
    bool send(const QByteArray& bytes, int timeoutMs = 10000)
    {
        qsizetype sent = 0;
        QElapsedTimer clock;
        clock.start();
        while (sent < bytes.size()) {
            const ssize_t n = ::send(m_fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
            if (n > 0) {
                sent += n;
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return false;
            if (clock.elapsed() > timeoutMs)
                return false;
            QTest::qWait(5);
        }
        return true;
    }

    void shutdownWrite() { ::shutdown(m_fd, SHUT_WR); }

    // Reads what has arrived; notes when the service has closed the connection.
    void poll()
    {
        char buffer[65536];
        while (!m_closed) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n > 0)
                m_received.append(buffer, n);
            else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
                m_closed = true;
            else
                break;
        }
    }

    bool waitFor(const std::function<bool()>& condition, int timeoutMs)
    {
        return QTest::qWaitFor(
            [&] {
                poll();
                return condition();
            },
            timeoutMs);
    }
    bool waitForClose(int timeoutMs = 5000)
    {
        return waitFor([this] { return m_closed; }, timeoutMs);
    }
    // A whole reply: its head and as many body bytes as Content-Length says.
    bool waitForReply(int timeoutMs = 5000)
    {
        return waitFor([this] { return replyComplete(); }, timeoutMs);
    }

    const QByteArray& received() const { return m_received; }
    bool closed() const { return m_closed; }

    // The first reply in what has arrived (skipping an interim "100 Continue").
    int status() const { return firstReply().first.split(' ').value(1).toInt(); }
    QByteArray header(const QByteArray& name) const
    {
        for (const QByteArray& line : firstReply().first.split('\n')) {
            const int colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
                return line.mid(colon + 1).trimmed();
        }
        return {};
    }
    QByteArray body() const { return firstReply().second; }
    // Every status line that has arrived, in order.
    QList<int> statuses() const
    {
        QList<int> found;
        for (qsizetype at = m_received.indexOf("HTTP/1.1 "); at >= 0; at = m_received.indexOf("HTTP/1.1 ", at + 1))
            found.append(m_received.mid(at + 9, 3).toInt());
        return found;
    }

private:
    QPair<QByteArray, QByteArray> firstReply() const
    {
        qsizetype start = 0;
        while (m_received.mid(start, 12) == "HTTP/1.1 100") {
            const qsizetype end = m_received.indexOf("\r\n\r\n", start);
            if (end < 0)
                return {};
            start = end + 4;
        }
        const qsizetype end = m_received.indexOf("\r\n\r\n", start);
        if (end < 0)
            return {};
        const QByteArray head = m_received.mid(start, end - start);
        QByteArray length;
        for (const QByteArray& line : head.split('\n')) {
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed();
        }
        return {head, m_received.mid(end + 4, length.toLongLong())};
    }
    bool replyComplete() const
    {
        const auto reply = firstReply();
        if (reply.first.isEmpty())
            return false;
        const QByteArray length = header("content-length");
        return reply.second.size() >= length.toLongLong();
    }

    int m_fd = -1;
    bool m_connected = false;
    bool m_closed = false;
    QByteArray m_received;
};
