#include "online/opds/OpdsSearch.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

namespace OpdsSearch {

QString resolveTemplate(const QUrl& base, const QString& urlTemplate)
{
    const int brace = urlTemplate.indexOf(QLatin1Char('{'));
    if (brace < 0)
        return base.resolved(QUrl(urlTemplate)).toString();
    return base.resolved(QUrl(urlTemplate.left(brace))).toString() + urlTemplate.mid(brace);
}

QString templateOf(const QByteArray& description, const QUrl& base)
{
    QXmlStreamReader xml(description);
    QString fallback;
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("OpenSearchDescription"))
            return {};
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("Url")) {
                const QString type = xml.attributes().value(QLatin1String("type")).toString();
                const QString t = xml.attributes().value(QLatin1String("template")).toString().trimmed();
                if (type.startsWith(QLatin1String("application/atom+xml")) && !t.isEmpty()) {
                    // An OPDS acquisition template beats a plain Atom one.
                    if (type.contains(QLatin1String("opds-catalog")))
                        return resolveTemplate(base, t);
                    if (fallback.isEmpty())
                        fallback = resolveTemplate(base, t);
                }
            }
            xml.skipCurrentElement();
        }
    }
    return fallback;
}

QUrl fill(const QString& urlTemplate, const QString& words)
{
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(words));
    static const QRegularExpression parameter(QStringLiteral("\\{([?&]?)([^}]*)\\}"));
    QString result;
    int at = 0;
    for (auto it = parameter.globalMatch(urlTemplate); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        result += urlTemplate.mid(at, m.capturedStart() - at);
        at = m.capturedEnd();
        const QString op = m.captured(1);
        const QStringList names = m.captured(2).split(QLatin1Char(','));
        if (op.isEmpty()) {
            // OpenSearch "{searchTerms}" or a plain URI template "{query}"; "{startPage?}" and
            // the like stay empty.
            const QString name = names.value(0).remove(QLatin1Char('?'));
            if (name == QLatin1String("searchTerms") || name == QLatin1String("query") || name == QLatin1String("q"))
                result += encoded;
            continue;
        }
        // A form-style query: only the words' parameter is given a value.
        for (const QString& name : names) {
            if (name == QLatin1String("query") || name == QLatin1String("q") || name == QLatin1String("searchTerms") ||
                name == QLatin1String("title")) {
                result += (op == QLatin1String("?") ? QLatin1Char('?') : QLatin1Char('&')) + name + QLatin1Char('=') +
                          encoded;
                break;
            }
        }
    }
    result += urlTemplate.mid(at);
    return QUrl(result, QUrl::TolerantMode);
}

} // namespace OpdsSearch
