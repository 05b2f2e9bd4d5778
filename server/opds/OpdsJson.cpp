#include "opds/OpdsJson.h"

#include "DownloadName.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace OpdsJson {

namespace {

const QString kRoot = QStringLiteral("/opds/v2");

QJsonObject link(const QString& rel, const QString& href, const QString& type)
{
    QJsonObject l{{QStringLiteral("href"), href}, {QStringLiteral("type"), type}};
    if (!rel.isEmpty())
        l.insert(QStringLiteral("rel"), rel);
    return l;
}

// self, start and the search every feed offers.
QJsonArray feedLinks(const QString& origin, const QString& selfPath)
{
    QJsonObject search =
        link(QStringLiteral("search"), origin + kRoot + QStringLiteral("/search{?query}"), QLatin1String(kType));
    search.insert(QStringLiteral("templated"), true);
    return {link(QStringLiteral("self"), OpdsFeed::absolute(origin, selfPath), QLatin1String(kType)),
            link(QStringLiteral("start"), origin + kRoot, QLatin1String(kType)), search};
}

QJsonObject publication(const QString& origin, const OpdsFeed::BookEntry& entry)
{
    const CatalogueBook& b = *entry.book;
    QJsonObject metadata{
        {QStringLiteral("@type"), QStringLiteral("http://schema.org/Book")},
        {QStringLiteral("identifier"), OpdsFeed::bookUrn(b.id)},
        {QStringLiteral("title"), b.name},
        {QStringLiteral("modified"), OpdsFeed::atomTime(b.ftime)},
        {QStringLiteral("language"), QStringLiteral("zh")},
        {QStringLiteral("subject"), QJsonArray{QJsonObject{{QStringLiteral("name"), b.category}}}},
        {QStringLiteral("description"), OpdsFeed::summaryOf(b)},
    };
    if (!b.author.isEmpty())
        metadata.insert(QStringLiteral("author"), QJsonArray{QJsonObject{{QStringLiteral("name"), b.author}}});
    QJsonArray links;
    if (entry.file.size >= 0) {
        QJsonObject download = link(QStringLiteral("http://opds-spec.org/acquisition"),
                                    OpdsFeed::absolute(origin, DownloadName::path(b.id, b.downloadName)),
                                    QString::fromLatin1(entry.file.mediaType));
        download.insert(QStringLiteral("length"), entry.file.size);
        download.insert(QStringLiteral("title"), b.downloadName);
        links.append(download);
    }
    QJsonObject result{{QStringLiteral("metadata"), metadata}, {QStringLiteral("links"), links}};
    if (!entry.coverType.isEmpty()) {
        result.insert(QStringLiteral("images"), QJsonArray{link(QString(), origin + OpdsFeed::coverPath(b.id),
                                                                QString::fromLatin1(entry.coverType))});
    }
    return result;
}

} // namespace

QByteArray navigation(const QString& origin, const QList<OpdsFeed::NavigationEntry>& entries)
{
    QJsonArray navigation;
    for (const OpdsFeed::NavigationEntry& e : entries) {
        QJsonObject item = link(e.rel, OpdsFeed::absolute(origin, e.path), QLatin1String(kType));
        item.insert(QStringLiteral("title"), e.title);
        navigation.append(item);
    }
    const QJsonObject feed{
        {QStringLiteral("metadata"), QJsonObject{{QStringLiteral("title"), QStringLiteral("Quillmere 书库")}}},
        {QStringLiteral("links"), feedLinks(origin, kRoot)},
        {QStringLiteral("navigation"), navigation},
    };
    return QJsonDocument(feed).toJson(QJsonDocument::Compact);
}

QByteArray publications(const QString& origin, const OpdsFeed::AcquisitionPage& page)
{
    const PageNumbers& n = page.numbers;
    QJsonArray links = feedLinks(origin, OpdsFeed::pagePath(page, n.current));
    auto pageLink = [&](const char* rel, int number) {
        links.append(link(QLatin1String(rel), OpdsFeed::absolute(origin, OpdsFeed::pagePath(page, number)),
                          QLatin1String(kType)));
    };
    pageLink("first", 1);
    if (n.current > 1)
        pageLink("previous", n.current - 1);
    if (n.current < n.pageCount)
        pageLink("next", n.current + 1);
    pageLink("last", n.pageCount);
    QJsonArray publications;
    for (const OpdsFeed::BookEntry& entry : page.entries)
        publications.append(publication(origin, entry));
    const QJsonObject feed{
        {QStringLiteral("metadata"), QJsonObject{{QStringLiteral("title"), page.title},
                                                 {QStringLiteral("identifier"), page.id},
                                                 {QStringLiteral("modified"), OpdsFeed::atomTime(page.updated)},
                                                 {QStringLiteral("numberOfItems"), n.total},
                                                 {QStringLiteral("itemsPerPage"), page.pageSize},
                                                 {QStringLiteral("currentPage"), n.current}}},
        {QStringLiteral("links"), links},
        {QStringLiteral("publications"), publications},
    };
    return QJsonDocument(feed).toJson(QJsonDocument::Compact);
}

} // namespace OpdsJson
