// The catalogue, its downloads, the information block and the news page.
#include "Service.h"

#include "DownloadName.h"
#include "XmlReply.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

namespace {

std::optional<int> pageNumber(const TextCodec::Fields& fields)
{
    const QString text = fields.value(QStringLiteral("page")).trimmed();
    if (text.isEmpty())
        return 1;
    bool ok = false;
    const int page = text.toInt(&ok);
    if (!ok)
        return std::nullopt;
    return page;
}

} // namespace

void Service::refreshCatalogue()
{
    const qint64 stamp = m_db.changeStamp();
    if (stamp == m_catalogueStamp)
        return;
    m_catalogue.load(m_db.approvedBooks());
    m_catalogueStamp = stamp;
    m_replyCache.clear();
}

HttpReply Service::listBooks(const HttpRequest& request)
{
    const auto fields = TextCodec::parseQuery(request.query);
    if (!fields)
        return HttpReply::badRequest(QStringLiteral("请求参数的编码有误！"));
    const auto page = pageNumber(*fields);
    if (!page)
        return HttpReply::badRequest(QStringLiteral("页码有误，请输入数字！"));
    // Which of type and key applies follows the action alone: the reader keeps sending both
    // after it has used the categories and the search.
    const QString action = fields->value(QStringLiteral("action")).trimmed();
    QString term;
    if (action == QLatin1String("list")) {
        if (!fields->contains(QStringLiteral("type")))
            return HttpReply::badRequest(QStringLiteral("缺少分类参数！"));
        term = fields->value(QStringLiteral("type")).trimmed();
    } else if (action == QLatin1String("search")) {
        term = fields->value(QStringLiteral("key")).trimmed();
        if (term.isEmpty())
            return HttpReply::badRequest(QStringLiteral("请输入搜索关键字！"));
    } else {
        return HttpReply::badRequest(QStringLiteral("未知的操作！"));
    }

    refreshCatalogue();
    const QString cacheKey = action + QLatin1Char('\n') + term + QLatin1Char('\n') + QString::number(*page);
    const auto cached = m_replyCache.constFind(cacheKey);
    if (cached != m_replyCache.constEnd())
        return HttpReply::xml(*cached);

    const CatalogueListing result =
        action == QLatin1String("list") ? m_catalogue.list(term, *page) : m_catalogue.search(term, *page);
    XmlReply x(QStringLiteral("booklist"));
    for (const CatalogueBook* b : result.books) {
        x.begin(QStringLiteral("bookinfo"));
        x.field(QStringLiteral("id"), b->id);
        x.field(QStringLiteral("name"), b->name);
        x.field(QStringLiteral("class"), b->category);
        x.field(QStringLiteral("author"), b->author);
        x.field(QStringLiteral("statue"), b->statue);
        x.field(QStringLiteral("ftime"), b->ftime);
        x.field(QStringLiteral("size"), b->sizeKb);
        x.field(QStringLiteral("downurl"), DownloadName::path(b->id, b->downloadName));
        x.end();
    }
    if (!result.books.isEmpty()) {
        x.begin(QStringLiteral("otherinfo"));
        x.field(QStringLiteral("pageinfo"), result.numbers.text());
        x.end();
    }
    const QByteArray document = x.finish();
    if (m_replyCache.size() >= 2048)
        m_replyCache.clear();
    m_replyCache.insert(cacheKey, document);
    return HttpReply::xml(document);
}

HttpReply Service::download(const HttpRequest& request)
{
    if (request.method != "GET" && request.method != "HEAD")
        return HttpReply::notFound();
    const QString relative = request.path.mid(QStringLiteral("/files/").size());
    refreshCatalogue();
    // A catalogue book: its number, then the name the catalogue gave it. The path arrives
    // lower-cased with delimiters still escaped; the name is compared fully decoded.
    static const QRegularExpression byNumber(QStringLiteral("^([0-9]{1,18})/([^/]+)$"));
    QString stored = relative;
    if (const auto match = byNumber.match(relative); match.hasMatch()) {
        const CatalogueBook* book = m_catalogue.book(match.captured(1).toLongLong());
        const QString name = QUrl::fromPercentEncoding(match.captured(2).toUtf8());
        if (!book || name.compare(book->downloadName, Qt::CaseInsensitive) != 0)
            return HttpReply::notFound();
        stored = book->file;
    } else if (!relative.startsWith(QLatin1String("update/")) && !m_catalogue.servesFile(relative)) {
        // Also the service's own names of approved books (the links of earlier replies) and
        // published update files; uploads waiting for review lie in the same folder but stay
        // private.
        return HttpReply::notFound();
    }
    const auto path = m_files.resolve(stored);
    if (!path)
        return HttpReply::notFound();
    HttpReply reply;
    reply.contentType = FileStore::mediaTypeOf(QFileInfo(*path).suffix());
    reply.filePath = *path;
    return reply;
}

HttpReply Service::info(const HttpRequest& request)
{
    const auto fields = TextCodec::parseQuery(request.query);
    if (!fields)
        return HttpReply::badRequest(QStringLiteral("请求参数的编码有误！"));
    const QString desknum = fields->value(QStringLiteral("desknum")).trimmed();
    if (!desknum.isEmpty() && desknum.size() <= 128)
        m_db.recordMachine(desknum, now());

    XmlReply x(QStringLiteral("infobase"));
    for (const char* key : {"reader_1", "reader_2", "reader_3", "reader_4"})
        x.field(QLatin1String(key), m_db.setting(QLatin1String(key)));
    x.field(QStringLiteral("version"), m_db.setting(QStringLiteral("version"), QStringLiteral("v1.3")));
    x.field(QStringLiteral("mustdown"), m_db.setting(QStringLiteral("mustdown"), QStringLiteral("FALSE")));
    x.field(QStringLiteral("verinfo"), m_db.setting(QStringLiteral("verinfo")));
    x.field(QStringLiteral("downloadlist"), m_db.setting(QStringLiteral("downloadlist")));
    x.field(QStringLiteral("savepathlist"), m_db.setting(QStringLiteral("savepathlist")));
    return HttpReply::xml(x.finish());
}

HttpReply Service::newsPage()
{
    refreshCatalogue();
    QString items;
    for (const CatalogueBook* b : m_catalogue.newest(10)) {
        items += QStringLiteral("<li><span class=\"c\">[%1]</span> 《%2》 %3 <span class=\"d\">%4</span></li>\n")
                     .arg(b->category.toHtmlEscaped(), b->name.toHtmlEscaped(), b->author.toHtmlEscaped(),
                          b->ftime.left(10));
    }
    if (items.isEmpty())
        items = QStringLiteral("<li>书库暂时还没有电子书。</li>");
    const QString notice = m_db.setting(QStringLiteral("news"), QStringLiteral("欢迎来到 Quillmere 书友社区！"));
    return HttpReply::html(
        QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width\"><title>书友公告</title>"
                       "<style>body{font:12px sans-serif;margin:6px;word-wrap:break-word}"
                       "h3{font-size:13px;color:#c64f06;margin:4px 0}ul{padding-left:14px;margin:4px 0}"
                       "li{margin:3px 0}.c{color:#888}.d{color:#888;font-size:11px}</style></head><body>\n"
                       "<h3>书友公告</h3><p>%1</p>\n<p>书库共有 %2 本电子书。</p>\n"
                       "<h3>最新上架</h3><ul>\n%3</ul>\n</body></html>\n")
            .arg(notice.toHtmlEscaped())
            .arg(m_catalogue.size())
            .arg(items));
}
