// The catalogue as OPDS feeds, beside the reader's own XML contract, for e-book readers of
// every kind: a navigation feed at /opds, paged acquisition feeds below it and an
// OpenSearch description for the search; the same feeds as OPDS 2.0 JSON below /opds/v2.
#include "Service.h"

#include "opds/OpdsFeed.h"
#include "opds/OpdsJson.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

HttpReply feedReply(const QByteArray& document, const char* type)
{
    HttpReply reply;
    reply.contentType = type;
    reply.body = document;
    return reply;
}

struct PageRequest {
    int page = 1;
    int size = OpdsFeed::kPageSize;
};

std::optional<PageRequest> pageRequest(const TextCodec::Fields& fields)
{
    PageRequest request;
    const QString page = fields.value(QStringLiteral("page")).trimmed();
    if (!page.isEmpty()) {
        bool ok = false;
        request.page = page.toInt(&ok);
        if (!ok)
            return std::nullopt;
    }
    if (fields.value(QStringLiteral("size")).trimmed() == QString::number(OpdsFeed::kLargePageSize))
        request.size = OpdsFeed::kLargePageSize;
    return request;
}

// The newest books the "最新更新" feed holds: what changed lately, not the whole catalogue again.
constexpr int kLatestBooks = 100;

} // namespace

QString Service::opdsOrigin(const HttpRequest& request) const
{
    return m_config.publicUrl.isEmpty() ? origin(request) : m_config.publicUrl;
}

HttpReply Service::opds(const HttpRequest& request)
{
    if (request.method != "GET" && request.method != "HEAD")
        return HttpReply::notFound();
    QString path = request.path;
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const QString origin = opdsOrigin(request);
    refreshCatalogue();

    if (path == QLatin1String("/opds/search.xml"))
        return feedReply(OpdsFeed::openSearchDescription(origin), OpdsFeed::kOpenSearchType);

    // Both notations share the addresses below their root.
    const bool json = path == QLatin1String("/opds/v2") || path.startsWith(QLatin1String("/opds/v2/"));
    const QString root = json ? QStringLiteral("/opds/v2") : QStringLiteral("/opds");
    const QString newest = m_catalogue.size() > 0 ? m_catalogue.newest(1).first()->ftime : now();
    if (path == root) {
        QList<OpdsFeed::NavigationEntry> entries;
        const int latest = qMin(kLatestBooks, m_catalogue.size());
        entries.append({QStringLiteral("最新更新"), QStringLiteral("urn:quillmere:latest"),
                        root + QStringLiteral("/latest"), QStringLiteral("http://opds-spec.org/sort/new"),
                        QStringLiteral("最近更新的 %1 本电子书，最新的在前").arg(latest)});
        for (int i = 0; i < kCategories.size(); ++i) {
            const int count = m_catalogue.list(kCategories[i], 1).numbers.total;
            entries.append({kCategories[i], QStringLiteral("urn:quillmere:category:%1").arg(i + 1),
                            root + QStringLiteral("/category/%1").arg(i + 1), QStringLiteral("subsection"),
                            QStringLiteral("共 %1 本电子书").arg(count)});
        }
        entries.append({Catalogue::kEveryCategory, QStringLiteral("urn:quillmere:all"), root + QStringLiteral("/all"),
                        QStringLiteral("subsection"), QStringLiteral("共 %1 本电子书").arg(m_catalogue.size())});
        if (json)
            return feedReply(OpdsJson::navigation(origin, entries), OpdsJson::kType);
        return feedReply(OpdsFeed::navigation(origin, newest, entries), OpdsFeed::kNavigationType);
    }

    static const QRegularExpression coverPattern(QStringLiteral("^/opds/cover/([0-9]{1,18})$"));
    if (const auto match = coverPattern.match(path); match.hasMatch()) {
        const CatalogueBook* book = m_catalogue.book(match.captured(1).toLongLong());
        const auto file = book && !book->cover.isEmpty() ? m_files.resolve(book->cover) : std::nullopt;
        if (!file)
            return HttpReply::notFound();
        HttpReply reply;
        reply.contentType = FileStore::mediaTypeOf(FileStore::extensionOf(*file));
        reply.filePath = *file;
        return reply;
    }

    // Clients filling the search template in form encoding send a blank as "+".
    QByteArray query = request.query;
    query.replace('+', "%20");
    const auto fields = TextCodec::parseQuery(query);
    if (!fields)
        return HttpReply::badRequest(QStringLiteral("请求参数的编码有误！"));
    const auto paging = pageRequest(*fields);
    if (!paging)
        return HttpReply::badRequest(QStringLiteral("页码有误，请输入数字！"));

    OpdsFeed::AcquisitionPage page;
    page.path = path;
    page.pageSize = paging->size;
    page.updated = newest;
    CatalogueListing listing;
    static const QRegularExpression categoryPattern(QStringLiteral("^/category/([0-9]{1,2})$"));
    const QString feed = path.mid(root.size());
    const auto category = categoryPattern.match(feed);
    if (feed == QLatin1String("/latest")) {
        page.title = QStringLiteral("最新更新");
        page.id = QStringLiteral("urn:quillmere:latest");
        listing = m_catalogue.latest(kLatestBooks, paging->page, paging->size);
    } else if (feed == QLatin1String("/all")) {
        page.title = Catalogue::kEveryCategory;
        page.id = QStringLiteral("urn:quillmere:all");
        listing = m_catalogue.list(Catalogue::kEveryCategory, paging->page, paging->size);
    } else if (category.hasMatch() && category.captured(1).toInt() >= 1 &&
               category.captured(1).toInt() <= kCategories.size()) {
        const int index = category.captured(1).toInt();
        page.title = kCategories[index - 1];
        page.id = QStringLiteral("urn:quillmere:category:%1").arg(index);
        listing = m_catalogue.list(page.title, paging->page, paging->size);
    } else if (feed == QLatin1String("/search")) {
        // OPDS 2.0 templates name the words "query".
        const QString name = json ? QStringLiteral("query") : QStringLiteral("q");
        const QString key = fields->value(name).trimmed();
        if (key.isEmpty())
            return HttpReply::badRequest(QStringLiteral("请输入搜索关键字！"));
        const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(key));
        page.title = QStringLiteral("搜索：") + key;
        page.id = QStringLiteral("urn:quillmere:search:") + encoded;
        page.query = name + QLatin1Char('=') + encoded;
        listing = m_catalogue.search(key, paging->page, paging->size);
    } else {
        return HttpReply::notFound();
    }

    page.numbers = listing.numbers;
    for (const CatalogueBook* book : listing.books) {
        OpdsFeed::BookEntry entry;
        entry.book = book;
        entry.file = m_bookFiles.of(book->file);
        if (!book->cover.isEmpty()) {
            const BookFileFacts cover = m_bookFiles.of(book->cover);
            if (cover.size >= 0)
                entry.coverType = cover.mediaType;
        }
        page.entries.append(entry);
    }
    if (json)
        return feedReply(OpdsJson::publications(origin, page), OpdsJson::kType);
    return feedReply(OpdsFeed::acquisition(origin, page), OpdsFeed::kAcquisitionType);
}
