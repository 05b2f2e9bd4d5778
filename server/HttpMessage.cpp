#include "HttpMessage.h"

#include "TextCodec.h"
#include "XmlReply.h"

QByteArray HttpRequest::cookie(const QByteArray& name) const
{
    for (const QByteArray& item : header("cookie").split(';')) {
        const QByteArray trimmed = item.trimmed();
        if (trimmed.startsWith(name + '='))
            return trimmed.mid(name.size() + 1);
    }
    return {};
}

HttpReply HttpReply::xml(const QByteArray& document, int status)
{
    HttpReply r;
    r.status = status;
    r.contentType = "text/xml; charset=utf-8";
    r.body = document;
    return r;
}

HttpReply HttpReply::html(const QString& page, int status)
{
    HttpReply r;
    r.status = status;
    r.contentType = "text/html; charset=utf-8";
    r.body = page.toUtf8();
    return r;
}

HttpReply HttpReply::gbText(const QString& text, int status)
{
    HttpReply r;
    r.status = status;
    r.contentType = "text/plain; charset=GB2312";
    r.body = TextCodec::encodeGbk(text);
    return r;
}

HttpReply HttpReply::badRequest(const QString& message)
{
    XmlReply x(QStringLiteral("error"));
    x.field(QStringLiteral("code"), QStringLiteral("0"));
    x.field(QStringLiteral("message"), message);
    return xml(x.finish(), 400);
}

HttpReply HttpReply::notFound()
{
    return html(QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>404</title></head>"
                               "<body><p>找不到该页面。</p></body></html>"),
                404);
}
