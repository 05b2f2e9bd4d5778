#include "HttpWire.h"

#include <QList>

namespace {

// RFC 9110 token characters: what a method and a header name may consist of.
bool isTokenChar(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return c != 0 && QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (!isTokenChar(c))
            return false;
    }
    return true;
}

// Control characters other than a tab may not appear in a header value; bytes above 127 may.
bool isFieldValue(QByteArrayView text)
{
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && u != '\t') || u == 0x7f)
            return false;
    }
    return true;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Percent-escapes are decoded where they are well formed; a stray "%" stays itself.
QByteArray decodePath(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
        if (low >= 0) {
            out.append(static_cast<char>(high * 16 + low));
            i += 2;
        } else {
            out.append(text[i]);
        }
    }
    return out;
}

QByteArray encodeOutsideAscii(QByteArrayView text)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f) {
            out.append('%');
            out.append(hex[u >> 4]);
            out.append(hex[u & 15]);
        } else {
            out.append(c);
        }
    }
    return out;
}

QList<QByteArray> tokens(const QByteArray& value)
{
    QList<QByteArray> list;
    for (const QByteArray& item : value.split(','))
        list.append(item.trimmed().toLower());
    return list;
}

std::optional<qint64> contentLength(const QByteArray& value)
{
    // Several Content-Length headers arrive joined by commas; they must all agree.
    std::optional<qint64> length;
    for (const QByteArray& item : value.split(',')) {
        const QByteArray digits = item.trimmed();
        if (digits.isEmpty() || digits.size() > 15)
            return std::nullopt;
        for (const char c : digits) {
            if (c < '0' || c > '9')
                return std::nullopt;
        }
        const qint64 n = digits.toLongLong();
        if (length && *length != n)
            return std::nullopt;
        length = n;
    }
    return length;
}

} // namespace

namespace HttpWire {

qsizetype headEnd(QByteArrayView buffer, qsizetype from)
{
    for (qsizetype i = buffer.indexOf('\n', qMax<qsizetype>(from, 0)); i >= 0; i = buffer.indexOf('\n', i + 1)) {
        if (i + 1 < buffer.size() && buffer[i + 1] == '\n')
            return i + 2;
        if (i + 2 < buffer.size() && buffer[i + 1] == '\r' && buffer[i + 2] == '\n')
            return i + 3;
    }
    return -1;
}

void splitTarget(QByteArrayView target, QString* path, QByteArray* query)
{
    // A proxy-style absolute target keeps only its path and query.
    const QByteArray lower = target.first(qMin<qsizetype>(target.size(), 8)).toByteArray().toLower();
    if (lower.startsWith("http://") || lower.startsWith("https://")) {
        const qsizetype authority = target.indexOf("//") + 2;
        qsizetype end = authority;
        while (end < target.size() && target[end] != '/' && target[end] != '?')
            ++end;
        target = target.sliced(end);
    }
    const qsizetype fragment = target.indexOf('#');
    if (fragment >= 0)
        target = target.first(fragment);
    const qsizetype mark = target.indexOf('?');
    const QByteArrayView pathPart = mark < 0 ? target : target.first(mark);
    *path = QString::fromUtf8(decodePath(pathPart)).toLower();
    if (path->isEmpty())
        *path = QStringLiteral("/");
    *query = mark < 0 ? QByteArray() : encodeOutsideAscii(target.sliced(mark + 1));
}

Head parseHead(QByteArrayView head)
{
    Head h;
    QList<QByteArrayView> lines;
    qsizetype pos = 0;
    while (pos < head.size()) {
        qsizetype nl = head.indexOf('\n', pos);
        if (nl < 0)
            nl = head.size();
        QByteArrayView line = head.sliced(pos, nl - pos);
        if (line.endsWith('\r'))
            line.chop(1);
        pos = nl + 1;
        if (line.isEmpty())
            break;
        lines.append(line);
    }
    if (lines.isEmpty())
        return h;
    if (lines.size() > kMaxHeaderLines + 1) {
        h.refusal = 431;
        return h;
    }

    // The request line: method, one blank, target, one blank, version.
    const QByteArrayView requestLine = lines.first();
    const qsizetype firstBlank = requestLine.indexOf(' ');
    const qsizetype secondBlank = firstBlank < 0 ? -1 : requestLine.indexOf(' ', firstBlank + 1);
    if (secondBlank < 0 || requestLine.indexOf(' ', secondBlank + 1) >= 0)
        return h;
    const QByteArrayView method = requestLine.first(firstBlank);
    const QByteArrayView target = requestLine.sliced(firstBlank + 1, secondBlank - firstBlank - 1);
    const QByteArrayView version = requestLine.sliced(secondBlank + 1);
    if (!isToken(method) || target.isEmpty() || !isFieldValue(target) || target.contains('\t'))
        return h;
    if (version != "HTTP/1.1" && version != "HTTP/1.0") {
        h.refusal = version.startsWith("HTTP/") ? 505 : 400;
        return h;
    }
    h.http10 = version == "HTTP/1.0";
    h.request.method = method.toByteArray();
    splitTarget(target, &h.request.path, &h.request.query);

    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArrayView line = lines[i];
        const qsizetype colon = line.indexOf(':');
        // A line folded onto the previous one, or a blank before the colon, is refused: both
        // let two parties read one head differently.
        if (colon <= 0 || !isToken(line.first(colon)))
            return h;
        const QByteArray name = line.first(colon).toByteArray().toLower();
        const QByteArrayView value = line.sliced(colon + 1).trimmed();
        if (!isFieldValue(value))
            return h;
        auto existing = h.request.headers.find(name);
        if (existing == h.request.headers.end())
            h.request.headers.insert(name, value.toByteArray());
        else
            *existing += (name == "cookie" ? "; " : ", ") + value.toByteArray();
    }

    if (h.request.headers.contains("transfer-encoding")) {
        // Bodies of unknown length are not taken: every client of the service sends a length.
        h.refusal = 411;
        return h;
    }
    if (h.request.headers.contains("content-length")) {
        const auto length = contentLength(h.request.headers.value("content-length"));
        if (!length)
            return h;
        h.contentLength = *length;
    }
    const QList<QByteArray> connection = tokens(h.request.headers.value("connection"));
    h.keepAlive = h.http10 ? connection.contains("keep-alive") : !connection.contains("close");
    h.expectContinue = !h.http10 && h.request.headers.value("expect").trimmed().toLower() == "100-continue";
    h.status = Head::Status::Complete;
    return h;
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Status";
    }
}

QByteArray replyHead(const HttpReply& reply, qint64 bodyLength, const QByteArray& connection)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
    head +=
        "Content-Type: " + (reply.contentType.isEmpty() ? QByteArray("application/octet-stream") : reply.contentType) +
        "\r\n";
    head += "Content-Length: " + QByteArray::number(bodyLength) + "\r\n";
    head += "Cache-Control: no-cache\r\n";
    for (const auto& header : reply.headers)
        head += header.first + ": " + header.second + "\r\n";
    if (!connection.isEmpty())
        head += "Connection: " + connection + "\r\n";
    head += "\r\n";
    return head;
}

HttpReply plainReply(int status, const QString& text)
{
    HttpReply r;
    r.status = status;
    r.contentType = "text/plain; charset=utf-8";
    r.body = text.toUtf8();
    return r;
}

} // namespace HttpWire
