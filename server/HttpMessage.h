#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

#include <memory>

// One request as the endpoints see it, independent of the HTTP library.
struct HttpRequest {
    QByteArray method;                     // "GET", "POST", "HEAD", ...
    QString path;                          // decoded and lower-cased: paths are matched without regard to letter case
    QByteArray query;                      // still percent-encoded
    QHash<QByteArray, QByteArray> headers; // names lower-cased
    QByteArray body;
    // Keeps a large body, read into a temporary file and mapped into memory, valid as long as
    // the request (or a copy of it) lives.
    std::shared_ptr<const void> bodyKeeper;
    QString peer;

    QByteArray header(const QByteArray& name) const { return headers.value(name.toLower()); }
    QByteArray cookie(const QByteArray& name) const;
};

struct HttpReply {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    QString filePath; // when set, the file's bytes are the body

    static HttpReply xml(const QByteArray& document, int status = 200);
    static HttpReply html(const QString& page, int status = 200);
    // Plain text in the Chinese code page, as the upload page reads it.
    static HttpReply gbText(const QString& text, int status = 200);
    // A malformed request to an XML endpoint: a 400 whose XML body says why.
    static HttpReply badRequest(const QString& message);
    static HttpReply notFound();
};
