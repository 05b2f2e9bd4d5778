#include "web/WebGuard.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

bool isWebScheme(const QString& scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool isTagSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r') ||
           c == QLatin1Char('\f');
}

// Where the tag whose name ends at `from` ends, read as the page's HTML parser reads it: a
// ">" inside a quoted attribute value does not end it, and a tag left open runs to the end.
qsizetype tagEnd(const QString& html, qsizetype from)
{
    const qsizetype n = html.size();
    for (qsizetype i = from; i < n; ++i) {
        const QChar c = html.at(i);
        if (c == QLatin1Char('>'))
            return i + 1;
        if (c != QLatin1Char('='))
            continue;
        qsizetype v = i + 1;
        while (v < n && isTagSpace(html.at(v)))
            ++v;
        if (v < n && (html.at(v) == QLatin1Char('"') || html.at(v) == QLatin1Char('\''))) {
            const qsizetype close = html.indexOf(html.at(v), v + 1);
            if (close < 0)
                return n;
            i = close;
        } else {
            i = v - 1;
        }
    }
    return n;
}

} // namespace

bool isServicePage(const QUrl& url, const QString& serviceBase)
{
    const QUrl base(serviceBase.trimmed());
    if (!url.isValid() || !base.isValid() || !isWebScheme(url.scheme()) || url.scheme() != base.scheme())
        return false;
    if (url.host().isEmpty() || url.host().compare(base.host(), Qt::CaseInsensitive) != 0)
        return false;
    const int defaultPort = url.scheme() == QLatin1String("https") ? 443 : 80;
    return url.port(defaultPort) == base.port(defaultPort) && url.userInfo().isEmpty();
}

QString withoutMetaAndBase(const QString& html)
{
    // A start tag is "<" and its name, ended by a blank, "/" or ">" (or the end of the text).
    static const QRegularExpression start(QStringLiteral("<(meta|base)(?=[\\t\\n\\f\\r />]|$)"),
                                          QRegularExpression::CaseInsensitiveOption);
    QString out = html;
    qsizetype from = 0;
    for (;;) {
        const QRegularExpressionMatch m = start.match(out, from);
        if (!m.hasMatch())
            return out;
        const qsizetype at = m.capturedStart();
        out.remove(at, tagEnd(out, m.capturedEnd()) - at);
        // A "<" just before the removed tag may start a new one with what follows it.
        from = at > 0 ? at - 1 : 0;
    }
}
