#pragma once

#include "HttpLimits.h"
#include "HttpMessage.h"

#include <QFile>
#include <QObject>

#include <memory>

class HttpConnection;
class Service;

// What a connection needs from the server that accepted it.
class ConnectionOwner {
public:
    virtual ~ConnectionOwner() = default;
    virtual Service& service() = 0;
    virtual const HttpLimits& limits() const = 0;
    virtual qint64 now() const = 0; // milliseconds of a monotonic clock
    virtual void watch(HttpConnection& connection, bool read, bool write) = 0;
    // A waiting connection may be closed to make room for a new one.
    virtual void setWaiting(HttpConnection& connection, bool waiting) = 0;
    // Bytes of bodies in temporary files (per client and in total) and in memory (in total).
    virtual bool reserveBody(HttpConnection& connection, qint64 bytes) = 0;
    virtual void releaseBody(HttpConnection& connection, qint64 bytes) = 0;
    virtual bool reserveMemory(qint64 bytes) = 0;
    virtual void releaseMemory(qint64 bytes) = 0;
    virtual QString temporaryDir() const = 0;
    virtual void closed(HttpConnection& connection) = 0;
};

// One client connection on a non-blocking socket of its own: reads a request head within
// its time limit, takes the body (in memory or, when large, in a temporary file), hands the
// request to the service and writes the reply, streaming files from disk. Requests on one
// connection are answered in order; a client that closes its sending side after a request
// still gets the reply.
class HttpConnection : public QObject {
public:
    enum class Phase { Head, Body, Processing, Reply, Linger, Closed };

    HttpConnection(quint64 id, int descriptor, const QString& peer, ConnectionOwner& owner);
    ~HttpConnection() override;

    quint64 id() const { return m_id; }
    int descriptor() const { return m_fd; }
    const QString& peer() const { return m_peer; }
    // The client the body under way is counted against: the peer, or the address a trusted
    // proxy forwarded for.
    const QString& budgetClient() const { return m_budgetClient; }
    Phase phase() const { return m_phase; }

    void start();
    // Readiness reported by the poller (EPOLLIN, EPOLLOUT, EPOLLERR, EPOLLHUP).
    void onEvents(quint32 events);
    // Closes the connection when the deadline of its current phase has passed.
    void checkTime(qint64 now);
    void close();

private:
    void onReadable();
    void take(const char* data, qint64 size);
    void peerFinished();
    void tryStartRequest();
    bool beginBody(qint64 length);
    void takeBody(const char* data, qint64 size);
    void finishBody();
    void dispatch();
    void sendReply(const HttpReply& reply, bool lingerAfter);
    void refuse(int status, const QString& text);
    void flush();
    void finishReply();
    void waitForRequest(bool firstOnConnection);
    void updateInterest();
    void dropBody();

    const quint64 m_id;
    int m_fd;
    const QString m_peer;
    ConnectionOwner& m_owner;
    Phase m_phase = Phase::Head;
    bool m_peerClosed = false;

    // Head: what has arrived of the next request (and, after a body, of a pipelined one).
    QByteArray m_in;
    qsizetype m_scanned = 0;
    qint64 m_deadline = 0;
    bool m_idle = true; // kept alive and no byte of the next request yet

    // The request being received or handled.
    HttpRequest m_request;
    quint64 m_sequence = 0;   // requests begun
    quint64 m_dispatched = 0; // requests handed to the service
    bool m_keepAlive = true;
    bool m_http10 = false;
    bool m_headOnly = false;
    qint64 m_bodyLength = 0;
    qint64 m_bodyReceived = 0;
    qint64 m_bodyStart = 0;
    qint64 m_bodyReserved = 0;
    QString m_budgetClient;
    qint64 m_memoryReserved = 0;
    std::unique_ptr<QFile> m_bodyFile;

    // The reply being written: head and small bodies from memory, files from disk.
    QByteArray m_out;
    qsizetype m_outPos = 0;
    int m_file = -1;
    qint64 m_fileOffset = 0;
    qint64 m_fileRemaining = 0;
    bool m_closeAfter = false;
    bool m_lingerAfter = false;
    qint64 m_lastProgress = 0;
};
