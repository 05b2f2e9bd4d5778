#include "online/opds/OpdsJsonReader.h"

#include "online/opds/OpdsAtomReader.h"
#include "online/opds/OpdsSearch.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString kNotAFeed = QStringLiteral("这个地址返回的不是 OPDS 书库目录（Atom 或 JSON 格式）");

QString kept(const QString& text)
{
    const QString t = text.trimmed();
    return t.size() > kMaxOpdsTextChars ? t.left(kMaxOpdsTextChars) + QChar(0x2026) : t;
}

// "rel" is a text or a list of texts.
QStringList relsOf(const QJsonObject& link)
{
    const QJsonValue rel = link.value(QLatin1String("rel"));
    QStringList rels;
    if (rel.isString())
        rels << rel.toString();
    for (const QJsonValue& r : rel.toArray())
        rels << r.toString();
    return rels;
}

OpdsLink linkOf(const QJsonObject& o, const QUrl& base, const QString& rel)
{
    OpdsLink link;
    const QString href = o.value(QLatin1String("href")).toString().trimmed();
    // A template's braces must survive; it is filled before it is resolved.
    link.href = o.value(QLatin1String("templated")).toBool() ? QUrl(href) : base.resolved(QUrl(href));
    link.rel = rel;
    link.type = o.value(QLatin1String("type")).toString().trimmed();
    link.title = kept(o.value(QLatin1String("title")).toString());
    const QJsonValue length = o.value(QLatin1String("length"));
    if (length.isDouble() && length.toDouble() >= 0)
        link.length = qint64(length.toDouble());
    else if (length.isUndefined() && o.value(QLatin1String("properties")).toObject().contains(QLatin1String("length")))
        link.length = qint64(o.value(QLatin1String("properties")).toObject().value(QLatin1String("length")).toDouble());
    return link;
}

// "author": a text, an object with "name", or a list of either; names joined by "、".
QString namesOf(const QJsonValue& value)
{
    if (value.isString())
        return value.toString();
    if (value.isObject()) {
        const QJsonValue name = value.toObject().value(QLatin1String("name"));
        // A name may be given in several languages.
        if (name.isObject()) {
            const QJsonObject languages = name.toObject();
            return languages.isEmpty() ? QString() : languages.begin().value().toString();
        }
        return name.toString();
    }
    QStringList names;
    for (const QJsonValue& v : value.toArray()) {
        const QString n = namesOf(v);
        if (!n.isEmpty())
            names << n;
    }
    return names.join(QStringLiteral("、"));
}

QString titleOf(const QJsonValue& value)
{
    if (value.isObject()) {
        const QJsonObject languages = value.toObject();
        return languages.isEmpty() ? QString() : languages.begin().value().toString();
    }
    return value.toString();
}

class Reader {
public:
    Reader(const QUrl& base, int maxEntries, OpdsFeed& feed) : m_base(base), m_max(maxEntries), m_feed(feed) {}

    void feedLinks(const QJsonArray& links)
    {
        for (const QJsonValue& v : links) {
            const QJsonObject o = v.toObject();
            for (const QString& rel : relsOf(o)) {
                const OpdsLink link = linkOf(o, m_base, rel);
                if (m_feed.takePagingLink(rel, link.href))
                    continue;
                if (rel == QLatin1String("search")) {
                    if (link.type.startsWith(QLatin1String("application/opensearchdescription+xml")))
                        m_feed.openSearchDescription = link.href;
                    else if (o.value(QLatin1String("templated")).toBool())
                        m_feed.searchTemplate =
                            OpdsSearch::resolveTemplate(m_base, o.value(QLatin1String("href")).toString().trimmed());
                }
            }
        }
    }

    void navigation(const QJsonArray& items)
    {
        for (const QJsonValue& v : items) {
            if (!room())
                continue;
            const QJsonObject o = v.toObject();
            OpdsEntry entry;
            entry.title = kept(o.value(QLatin1String("title")).toString());
            entry.navigation = m_base.resolved(QUrl(o.value(QLatin1String("href")).toString().trimmed()));
            entry.id = entry.navigation.toString();
            if (!entry.navigation.isEmpty())
                m_feed.navigation.append(entry);
        }
    }

    void publications(const QJsonArray& items)
    {
        for (const QJsonValue& v : items) {
            if (!room())
                continue;
            const QJsonObject o = v.toObject();
            const QJsonObject metadata = o.value(QLatin1String("metadata")).toObject();
            OpdsEntry entry;
            entry.id = kept(metadata.value(QLatin1String("identifier")).toString());
            entry.title = kept(titleOf(metadata.value(QLatin1String("title"))));
            entry.author = kept(namesOf(metadata.value(QLatin1String("author"))));
            entry.summary = kept(metadata.value(QLatin1String("description")).toString());
            entry.category =
                kept(namesOf(metadata.value(QLatin1String("subject"))).section(QStringLiteral("、"), 0, 0));
            for (const QJsonValue& l : o.value(QLatin1String("links")).toArray()) {
                const QJsonObject lo = l.toObject();
                for (const QString& rel : relsOf(lo)) {
                    if (rel.startsWith(QLatin1String("http://opds-spec.org/acquisition")))
                        entry.acquisitions.append(linkOf(lo, m_base, rel));
                }
            }
            // The first image is the cover; the narrowest stands in as the thumbnail.
            int narrowest = -1;
            for (const QJsonValue& i : o.value(QLatin1String("images")).toArray()) {
                const QJsonObject io = i.toObject();
                const QUrl href = m_base.resolved(QUrl(io.value(QLatin1String("href")).toString().trimmed()));
                if (href.isEmpty())
                    continue;
                if (entry.cover.isEmpty())
                    entry.cover = href;
                const int width = io.value(QLatin1String("width")).toInt(0);
                if (entry.thumbnail.isEmpty() || (width > 0 && (narrowest < 0 || width < narrowest))) {
                    entry.thumbnail = href;
                    if (width > 0)
                        narrowest = width;
                }
            }
            m_feed.publications.append(entry);
        }
    }

private:
    bool room()
    {
        ++m_feed.totalEntries;
        return m_feed.navigation.size() + m_feed.publications.size() < m_max;
    }

    QUrl m_base;
    int m_max;
    OpdsFeed& m_feed;
};

} // namespace

namespace OpdsJsonReader {

OpdsFeed parse(const QByteArray& body, const QUrl& base, QString* error, int maxEntries)
{
    OpdsFeed feed;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    const QJsonObject root = document.object();
    const bool isFeed = root.contains(QLatin1String("navigation")) || root.contains(QLatin1String("publications")) ||
                        root.contains(QLatin1String("groups"));
    if (parseError.error != QJsonParseError::NoError || !document.isObject() || !isFeed) {
        if (error)
            *error = kNotAFeed;
        return feed;
    }
    if (error)
        error->clear();
    feed.title = kept(titleOf(root.value(QLatin1String("metadata")).toObject().value(QLatin1String("title"))));
    Reader reader(base, maxEntries, feed);
    reader.feedLinks(root.value(QLatin1String("links")).toArray());
    reader.navigation(root.value(QLatin1String("navigation")).toArray());
    reader.publications(root.value(QLatin1String("publications")).toArray());
    for (const QJsonValue& g : root.value(QLatin1String("groups")).toArray()) {
        const QJsonObject group = g.toObject();
        reader.navigation(group.value(QLatin1String("navigation")).toArray());
        reader.publications(group.value(QLatin1String("publications")).toArray());
    }
    return feed;
}

} // namespace OpdsJsonReader

namespace OpdsFeedReader {

bool looksLikeJson(const QByteArray& body, const QByteArray& contentType)
{
    if (contentType.contains("json"))
        return true;
    for (const char c : body) {
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t')
            continue;
        return c == '{';
    }
    return false;
}

OpdsFeed parse(const QByteArray& body, const QByteArray& contentType, const QUrl& base, QString* error, int maxEntries)
{
    if (looksLikeJson(body, contentType))
        return OpdsJsonReader::parse(body, base, error, maxEntries);
    return OpdsAtomReader::parse(body, base, error, maxEntries);
}

} // namespace OpdsFeedReader
