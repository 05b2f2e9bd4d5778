#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

// A small HTTP service on 127.0.0.1 that records every request exactly as it arrived on
// the wire and answers from a script. It checks the client against the contract, not
// against the reference service.
class RecordingHttpServer : public QObject {
    Q_OBJECT
public:
    struct Request {
        QByteArray method;
        QByteArray target;                     // the request target as sent: path and query, percent-escapes kept
        QHash<QByteArray, QByteArray> headers; // names lower-cased
        QByteArray body;
        QByteArray header(const QByteArray& name) const { return headers.value(name.toLower()); }
    };

    struct Answer {
        int status = 200;
        QByteArray contentType = "text/xml; charset=utf-8";
        QByteArray body;
        bool chunked = false;      // no Content-Length: the size stays unknown to the client
        bool never = false;        // read the request, then never answer
        bool hangUp = false;       // read the request, then close the connection without a word
        int chunkDelayMs = 0;      // pause between chunks of 64 KiB
        int stopAfterBytes = -1;   // close the connection after this many body bytes
        QList<QByteArray> headers; // more header lines, "Name: value"
        int repeat = 1;            // the body is sent this many times over (a long stream from a short body)
        // After the body, this many bytes of filler made as they go out (a huge reply that the
        // test never holds); the sending ends with them, or when the client goes away.
        qint64 fillerBytes = 0;
    };

    explicit RecordingHttpServer(QObject* parent = nullptr);
    ~RecordingHttpServer() override;

    // On a free port, or on `port` (a service that comes back where it was).
    bool listen(quint16 port = 0);
    QString base() const;
    quint16 port() const { return m_server.serverPort(); }

    // The answer for requests whose path (without query) equals `path`; others get the default.
    void answer(const QByteArray& path, const Answer& answer) { m_answers.insert(path, answer); }
    void answerDefault(const Answer& answer) { m_default = answer; }
    // Called for each request before answering; may return a different answer.
    void setResponder(std::function<Answer(const Request&)> responder) { m_responder = std::move(responder); }

    const QList<Request>& requests() const { return m_requests; }
    Request last() const { return m_requests.isEmpty() ? Request{} : m_requests.last(); }
    // Waits (running the event loop) until `count` requests have arrived.
    bool waitForRequests(int count, int timeoutMs = 5000);

signals:
    void received(const Request& request);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void respond(QTcpSocket* socket, const Answer& answer);

    QTcpServer m_server;
    QHash<QByteArray, Answer> m_answers;
    Answer m_default;
    std::function<Answer(const Request&)> m_responder;
    QList<Request> m_requests;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};
