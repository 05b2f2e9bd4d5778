#include "opds/OpdsFeed.h"

#include "DownloadName.h"
#include "XmlReply.h"

#include <QDateTime>
#include <QUrl>
#include <QXmlStreamWriter>

namespace OpdsFeed {

namespace {

const QString kAtom = QStringLiteral("http://www.w3.org/2005/Atom");
const QString kOpds = QStringLiteral("http://opds-spec.org/2010/catalog");
const QString kOpenSearch = QStringLiteral("http://a9.com/-/spec/opensearch/1.1/");
const QString kDublinCore = QStringLiteral("http://purl.org/dc/terms/");
const QString kCatalogueTitle = QStringLiteral("Quillmere 书库");

// Every text goes through XmlReply::clean: a stray control character in a title must not
// make the whole feed unreadable. The writer escapes the rest.
void text(QXmlStreamWriter& w, const QString& name, const QString& value)
{
    w.writeTextElement(name, XmlReply::clean(value));
}

void link(QXmlStreamWriter& w, const QString& rel, const QString& href, const QString& type,
          const QString& title = QString())
{
    w.writeEmptyElement(QStringLiteral("link"));
    w.writeAttribute(QStringLiteral("rel"), rel);
    w.writeAttribute(QStringLiteral("href"), href);
    w.writeAttribute(QStringLiteral("type"), type);
    if (!title.isEmpty())
        w.writeAttribute(QStringLiteral("title"), XmlReply::clean(title));
}

void beginFeed(QXmlStreamWriter& w, const QString& origin, const QString& id, const QString& title,
               const QString& updated, const QString& selfPath, const QString& selfType)
{
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeDefaultNamespace(kAtom);
    w.writeNamespace(kOpds, QStringLiteral("opds"));
    w.writeNamespace(kOpenSearch, QStringLiteral("opensearch"));
    w.writeNamespace(kDublinCore, QStringLiteral("dc"));
    w.writeStartElement(kAtom, QStringLiteral("feed"));
    text(w, QStringLiteral("id"), id);
    text(w, QStringLiteral("title"), title);
    text(w, QStringLiteral("updated"), atomTime(updated));
    w.writeStartElement(QStringLiteral("author"));
    text(w, QStringLiteral("name"), kCatalogueTitle);
    text(w, QStringLiteral("uri"), origin + QLatin1Char('/'));
    w.writeEndElement();
    link(w, QStringLiteral("self"), absolute(origin, selfPath), selfType);
    link(w, QStringLiteral("start"), origin + QStringLiteral("/opds"), QLatin1String(kNavigationType), kCatalogueTitle);
    link(w, QStringLiteral("search"), origin + QStringLiteral("/opds/search.xml"), QLatin1String(kOpenSearchType),
         QStringLiteral("搜索书名或作者"));
}

void bookEntry(QXmlStreamWriter& w, const QString& origin, const BookEntry& entry)
{
    const CatalogueBook& b = *entry.book;
    w.writeStartElement(QStringLiteral("entry"));
    text(w, QStringLiteral("title"), b.name);
    text(w, QStringLiteral("id"), bookUrn(b.id));
    text(w, QStringLiteral("updated"), atomTime(b.ftime));
    if (!b.author.isEmpty()) {
        w.writeStartElement(QStringLiteral("author"));
        text(w, QStringLiteral("name"), b.author);
        w.writeEndElement();
    }
    text(w, QStringLiteral("dc:language"), QStringLiteral("zh"));
    w.writeEmptyElement(QStringLiteral("category"));
    w.writeAttribute(QStringLiteral("scheme"), origin + QStringLiteral("/opds"));
    w.writeAttribute(QStringLiteral("term"), XmlReply::clean(b.category));
    w.writeAttribute(QStringLiteral("label"), XmlReply::clean(b.category));
    w.writeStartElement(QStringLiteral("summary"));
    w.writeAttribute(QStringLiteral("type"), QStringLiteral("text"));
    w.writeCharacters(XmlReply::clean(summaryOf(b)));
    w.writeEndElement();
    if (entry.file.size >= 0) {
        w.writeEmptyElement(QStringLiteral("link"));
        w.writeAttribute(QStringLiteral("rel"), QStringLiteral("http://opds-spec.org/acquisition"));
        w.writeAttribute(QStringLiteral("href"), absolute(origin, DownloadName::path(b.id, b.downloadName)));
        w.writeAttribute(QStringLiteral("type"), QString::fromLatin1(entry.file.mediaType));
        w.writeAttribute(QStringLiteral("length"), QString::number(entry.file.size));
        w.writeAttribute(QStringLiteral("title"), XmlReply::clean(b.downloadName));
    }
    if (!entry.coverType.isEmpty()) {
        const QString cover = origin + coverPath(b.id);
        link(w, QStringLiteral("http://opds-spec.org/image"), cover, QString::fromLatin1(entry.coverType));
        link(w, QStringLiteral("http://opds-spec.org/image/thumbnail"), cover, QString::fromLatin1(entry.coverType));
    }
    w.writeEndElement();
}

} // namespace

QString absolute(const QString& origin, const QString& path)
{
    return origin + QString::fromLatin1(QUrl::toPercentEncoding(path, "/?&=%"));
}

QString pagePath(const AcquisitionPage& page, int number)
{
    QString path = page.path + QLatin1Char('?');
    if (!page.query.isEmpty())
        path += page.query + QLatin1Char('&');
    path += QStringLiteral("page=%1").arg(number);
    if (page.pageSize != kPageSize)
        path += QStringLiteral("&size=%1").arg(page.pageSize);
    return path;
}

QString summaryOf(const CatalogueBook& b)
{
    QString summary = QStringLiteral("状态：%1　大小：%2 KB").arg(b.statue).arg(b.sizeKb);
    if (!b.newchap.isEmpty())
        summary += QStringLiteral("　最新章节：") + b.newchap;
    return summary;
}

QString atomTime(const QString& catalogueTime)
{
    QDateTime time = QDateTime::fromString(catalogueTime, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!time.isValid())
        time = QDateTime::fromSecsSinceEpoch(0);
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
}

QString bookUrn(qint64 id)
{
    return QStringLiteral("urn:quillmere:book:%1").arg(id);
}

QString coverPath(qint64 id)
{
    return QStringLiteral("/opds/cover/%1").arg(id);
}

QByteArray navigation(const QString& origin, const QString& updated, const QList<NavigationEntry>& entries)
{
    QByteArray bytes;
    QXmlStreamWriter w(&bytes);
    beginFeed(w, origin, QStringLiteral("urn:quillmere:catalogue"), kCatalogueTitle, updated, QStringLiteral("/opds"),
              QLatin1String(kNavigationType));
    for (const NavigationEntry& e : entries) {
        w.writeStartElement(QStringLiteral("entry"));
        text(w, QStringLiteral("title"), e.title);
        text(w, QStringLiteral("id"), e.id);
        text(w, QStringLiteral("updated"), atomTime(updated));
        w.writeStartElement(QStringLiteral("content"));
        w.writeAttribute(QStringLiteral("type"), QStringLiteral("text"));
        w.writeCharacters(XmlReply::clean(e.content));
        w.writeEndElement();
        link(w, e.rel, absolute(origin, e.path), QLatin1String(kAcquisitionType));
        w.writeEndElement();
    }
    w.writeEndDocument();
    return bytes;
}

QByteArray acquisition(const QString& origin, const AcquisitionPage& page)
{
    QByteArray bytes;
    QXmlStreamWriter w(&bytes);
    const PageNumbers& n = page.numbers;
    beginFeed(w, origin, page.id, page.title, page.updated, pagePath(page, n.current), QLatin1String(kAcquisitionType));
    link(w, QStringLiteral("up"), origin + QStringLiteral("/opds"), QLatin1String(kNavigationType));
    const QString type = QLatin1String(kAcquisitionType);
    link(w, QStringLiteral("first"), absolute(origin, pagePath(page, 1)), type);
    if (n.current > 1)
        link(w, QStringLiteral("previous"), absolute(origin, pagePath(page, n.current - 1)), type);
    if (n.current < n.pageCount)
        link(w, QStringLiteral("next"), absolute(origin, pagePath(page, n.current + 1)), type);
    link(w, QStringLiteral("last"), absolute(origin, pagePath(page, n.pageCount)), type);
    text(w, QStringLiteral("opensearch:totalResults"), QString::number(n.total));
    text(w, QStringLiteral("opensearch:itemsPerPage"), QString::number(page.pageSize));
    text(w, QStringLiteral("opensearch:startIndex"), QString::number(n.offset + 1));
    for (const BookEntry& entry : page.entries)
        bookEntry(w, origin, entry);
    w.writeEndDocument();
    return bytes;
}

QByteArray openSearchDescription(const QString& origin)
{
    QByteArray bytes;
    QXmlStreamWriter w(&bytes);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeDefaultNamespace(kOpenSearch);
    w.writeStartElement(kOpenSearch, QStringLiteral("OpenSearchDescription"));
    text(w, QStringLiteral("ShortName"), QStringLiteral("书库搜索"));
    text(w, QStringLiteral("Description"), QStringLiteral("按书名或作者搜索书库中的电子书"));
    text(w, QStringLiteral("InputEncoding"), QStringLiteral("UTF-8"));
    text(w, QStringLiteral("OutputEncoding"), QStringLiteral("UTF-8"));
    w.writeEmptyElement(QStringLiteral("Url"));
    w.writeAttribute(QStringLiteral("type"), QLatin1String(kAcquisitionType));
    w.writeAttribute(QStringLiteral("template"), origin + QStringLiteral("/opds/search?q={searchTerms}"));
    w.writeEndDocument();
    return bytes;
}

} // namespace OpdsFeed
