#pragma once

#include "HttpMessage.h"

#include <QByteArrayView>

// The bytes of HTTP/1.1 on the wire: request heads as clients send them and reply heads as
// the service writes them. Everything here works on complete buffers, so a head can be
// checked without a connection.
namespace HttpWire {

struct Head {
    enum class Status { Complete, Refused };
    Status status = Status::Refused;
    int refusal = 400;   // with Refused: 400, 411 (a body without a length), 431 or 505
    HttpRequest request; // method, path, query and headers; no body, no peer
    qint64 contentLength = 0;
    bool http10 = false;
    bool keepAlive = true;
    bool expectContinue = false;
};

constexpr int kMaxHeaderLines = 100;

// The offset just past the blank line that ends the head at the start of `buffer`, or -1
// while it has not arrived. `from` lets a caller skip what it has searched before.
qsizetype headEnd(QByteArrayView buffer, qsizetype from = 0);

// Parses a complete head, as delimited by headEnd().
Head parseHead(QByteArrayView head);

// Splits a request target into the path (percent-decoded, lower-cased: paths are matched
// without regard to letter case) and the query, still encoded, with every byte outside
// printable ASCII percent-encoded so that the query decoder sees exactly the client's bytes.
void splitTarget(QByteArrayView target, QString* path, QByteArray* query);

// The status line and headers of a reply whose body has `bodyLength` bytes. `connection`
// is the value of the Connection header, none when empty.
QByteArray replyHead(const HttpReply& reply, qint64 bodyLength, const QByteArray& connection);
QByteArray reasonPhrase(int status);

// A short plain-text reply for refusals of the connection layer itself.
HttpReply plainReply(int status, const QString& text);

} // namespace HttpWire
