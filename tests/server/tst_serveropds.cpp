// The OPDS feeds fetched over HTTP and read back as Atom, as an e-book reader reads them.
#include "ServerFixture.h"
#include "opds/BookFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrlQuery>
#include <QtTest>

namespace {

const QString kAtom = QStringLiteral("http://www.w3.org/2005/Atom");
const QString kOpenSearch = QStringLiteral("http://a9.com/-/spec/opensearch/1.1/");
const QString kPublic = QStringLiteral("http://books.example:8086/shelf");
const QString kAcquisition = QStringLiteral("http://opds-spec.org/acquisition");

struct AtomLink {
    QString rel, href, type, length;
};

struct AtomEntry {
    QHash<QString, QString> texts; // Atom children (and "author", "category") by name
    QList<AtomLink> links;
    AtomLink link(const QString& rel) const
    {
        for (const AtomLink& l : links) {
            if (l.rel == rel)
                return l;
        }
        return {};
    }
};

// A feed as a namespace-aware reader sees it: only elements in the Atom namespace count.
struct AtomFeed {
    bool valid = false;
    QString error;
    AtomEntry head; // the feed's own title, links and OpenSearch numbers
    QList<AtomEntry> entries;
    QStringList hrefs;

    const AtomEntry* entry(const QString& title) const
    {
        for (const AtomEntry& e : entries) {
            if (e.texts.value("title") == title)
                return &e;
        }
        return nullptr;
    }

    static AtomFeed parse(const QByteArray& bytes)
    {
        AtomFeed feed;
        QXmlStreamReader r(bytes);
        AtomEntry* current = &feed.head;
        QString parent;
        while (!r.atEnd()) {
            r.readNext();
            if (r.isEndElement() && r.namespaceUri() == kAtom && r.name() == QLatin1String("entry"))
                current = &feed.head;
            if (!r.isStartElement())
                continue;
            const QString name = r.name().toString();
            if (r.namespaceUri() == kOpenSearch) {
                current->texts.insert("opensearch:" + name, r.readElementText());
            } else if (r.namespaceUri() != kAtom) {
                continue;
            } else if (name == QLatin1String("feed")) {
                feed.valid = true;
            } else if (name == QLatin1String("entry")) {
                feed.entries.append(AtomEntry());
                current = &feed.entries.last();
            } else if (name == QLatin1String("link")) {
                const auto a = r.attributes();
                current->links.append({a.value("rel").toString(), a.value("href").toString(),
                                       a.value("type").toString(), a.value("length").toString()});
                feed.hrefs.append(a.value("href").toString());
            } else if (name == QLatin1String("category")) {
                current->texts.insert(name, r.attributes().value("term").toString());
            } else if (name == QLatin1String("author")) {
                parent = name;
            } else if (name == QLatin1String("name") && parent == QLatin1String("author")) {
                current->texts.insert("author", r.readElementText());
                parent.clear();
            } else {
                current->texts.insert(name, r.readElementText());
            }
        }
        if (r.hasError()) {
            feed.valid = false;
            feed.error = r.errorString();
        }
        return feed;
    }
};

} // namespace

class TestServerOpds : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void navigation_data();
    void navigation();
    void acquisitionLinks_data();
    void acquisitionLinks();
    void paging_data();
    void paging();
    void searchThroughTheTemplate_data();
    void searchThroughTheTemplate();
    void unapprovedBooksStayOut();
    void textIsEscaped();
    void jsonFeeds_data();
    void jsonFeeds();
    void textCharset_data();
    void textCharset();

private:
    // Fetches an address of the feeds: it must lie below the public URL, and it is asked of
    // the service on loopback as a proxy in front of it would.
    HttpResult fetch(const QString& href);
    AtomFeed feed(const QString& href, const QByteArray& kind);

    ServerFixture m_server;
    QHash<QString, QByteArray> m_bytes; // title → the file as imported or uploaded
    QByteArray m_cover;
};

HttpResult TestServerOpds::fetch(const QString& href)
{
    if (!href.startsWith(kPublic + '/'))
        return {};
    return m_server.get(href.mid(kPublic.size()));
}

AtomFeed TestServerOpds::feed(const QString& href, const QByteArray& kind)
{
    const HttpResult r = fetch(href);
    AtomFeed parsed = AtomFeed::parse(r.body);
    const QByteArray type = "application/atom+xml;profile=opds-catalog;kind=" + kind;
    if (r.status != 200 || r.headers.value("content-type") != type)
        parsed.valid = false;
    for (const QString& h : parsed.hrefs) {
        if (!h.startsWith(kPublic + '/'))
            parsed.valid = false;
    }
    return parsed;
}

void TestServerOpds::initTestCase()
{
    m_server.setPublicUrl(kPublic);
    QVERIFY(m_server.start());
    auto admin = m_server.admin();
    QVERIFY(admin);
    auto import = [&](const QString& title, const QString& category, const QString& ext, const QByteArray& bytes,
                      const QString& author = QStringLiteral("作者")) {
        const QString path = m_server.dataDir() + "/source." + ext;
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        f.close();
        m_bytes.insert(title, bytes);
        return admin->importBook(path, category, title, author, QStringLiteral("连载"), QStringLiteral("第九章"));
    };
    // 45 GBK books in 武侠仙侠, one of them titled with every character XML escapes.
    for (int i = 1; i <= 45; ++i) {
        const QString title = i == 3 ? QStringLiteral("剑<与>&\"诗\"'") : QStringLiteral("书%1号").arg(i);
        const QString author = i == 7 ? QStringLiteral("QuillWriter") : QStringLiteral("作者%1").arg(i);
        QVERIFY(import(title, QStringLiteral("武侠仙侠"), "txt",
                       TextCodec::encodeGbk(QStringLiteral("第一章 %1\r\n正文\r\n").arg(i)), author));
    }
    QVERIFY(import(QStringLiteral("统一码之书"), QStringLiteral("都市言情"), "txt", "第一章 开始\n"));
    QVERIFY(import(QStringLiteral("压缩之书"), QStringLiteral("历史军事"), "rar",
                   QByteArray("Rar!\x1a\x07\x00", 7) + QByteArray(40, 'r')));
    QVERIFY(import(QStringLiteral("打包之书"), QStringLiteral("游戏动漫"), "zip",
                   QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0')));

    // Uploads with a cover: one approved, one still waiting for review.
    QCOMPARE(m_server.signUpAndLogIn("opds", "opds"), QStringLiteral("1"));
    m_cover = QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(60, 'j');
    for (const QString& title : {QStringLiteral("封面之书"), QStringLiteral("待审之书")}) {
        const QByteArray bytes = TextCodec::encodeGbk(title);
        m_bytes.insert(title, bytes);
        const HttpResult r = m_server.upload(ServerFixture::uploadBody(ServerFixture::uploadFields("opds", title),
                                                                       bytes, QStringLiteral("C:\\书.txt"), m_cover));
        QVERIFY2(r.text().startsWith('1'), qPrintable(r.text()));
    }
    const QList<BookRecord> pending = admin->database().pendingBooks();
    QCOMPARE(pending.size(), 2);
    QVERIFY(admin->approve(pending.first().id));
}

void TestServerOpds::navigation_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("total");
    QTest::newRow("latest") << "最新更新" << 49;
    QTest::newRow("category with books") << "武侠仙侠" << 46;
    QTest::newRow("category with a RAR") << "历史军事" << 1;
    QTest::newRow("empty category") << "管理哲学" << 0;
    QTest::newRow("everything") << "全部资源" << 49;
}

void TestServerOpds::navigation()
{
    QFETCH(QString, title);
    QFETCH(int, total);
    const AtomFeed root = feed(kPublic + "/opds", "navigation");
    QVERIFY2(root.valid, qPrintable(root.error));
    QStringList titles;
    for (const AtomEntry& e : root.entries)
        titles.append(e.texts.value("title"));
    QCOMPARE(titles, QStringList{"最新更新"} + Service::kCategories + QStringList{"全部资源"});
    QCOMPARE(root.head.link("search").href, kPublic + "/opds/search.xml");
    QCOMPARE(root.head.link("self").href, kPublic + "/opds");

    const AtomEntry* entry = root.entry(title);
    QVERIFY(entry && entry->texts.value("id").startsWith("urn:"));
    QCOMPARE(entry->links.size(), 1);
    QCOMPARE(entry->links[0].type, QStringLiteral("application/atom+xml;profile=opds-catalog;kind=acquisition"));
    const AtomFeed books = feed(entry->links[0].href, "acquisition");
    QVERIFY(books.valid);
    QCOMPARE(books.head.texts.value("title"), title);
    QCOMPARE(books.head.texts.value("opensearch:totalResults").toInt(), total);
    QCOMPARE(books.entries.size(), qMin(total, 20));
}

void TestServerOpds::acquisitionLinks_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("category");
    QTest::addColumn<bool>("cover");
    QTest::newRow("GBK text") << "书12号"
                              << "text/plain; charset=gb18030"
                              << "武侠仙侠" << false;
    QTest::newRow("UTF-8 text") << "统一码之书"
                                << "text/plain; charset=utf-8"
                                << "都市言情" << false;
    QTest::newRow("RAR") << "压缩之书"
                         << "application/vnd.rar"
                         << "历史军事" << false;
    QTest::newRow("ZIP") << "打包之书"
                         << "application/zip"
                         << "游戏动漫" << false;
    QTest::newRow("upload with a cover") << "封面之书"
                                         << "text/plain; charset=gb18030"
                                         << "武侠仙侠" << true;
}

void TestServerOpds::acquisitionLinks()
{
    QFETCH(QString, title);
    QFETCH(QString, type);
    QFETCH(QString, category);
    QFETCH(bool, cover);
    const AtomFeed all = feed(kPublic + "/opds/all?size=50", "acquisition");
    QVERIFY(all.valid);
    QCOMPARE(all.entries.size(), 49);
    const AtomEntry* entry = all.entry(title);
    QVERIFY(entry);
    QVERIFY(entry->texts.value("id").startsWith("urn:"));
    QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$")
                .match(entry->texts.value("updated"))
                .hasMatch());
    QCOMPARE(entry->texts.value("category"), category);
    QVERIFY(!entry->texts.value("author").isEmpty());
    QVERIFY2(entry->texts.value("summary").contains("连载"), qPrintable(entry->texts.value("summary")));
    QVERIFY(entry->texts.value("summary").contains(cover ? "第十章" : "第九章"));
    QVERIFY(entry->texts.value("summary").contains("1 KB"));

    const AtomLink download = entry->link(kAcquisition);
    QCOMPARE(download.type, type);
    QCOMPARE(download.length, QString::number(m_bytes.value(title).size()));
    const HttpResult file = fetch(download.href);
    QCOMPARE(file.status, 200);
    QCOMPARE(file.body, m_bytes.value(title));

    const AtomLink image = entry->link("http://opds-spec.org/image");
    const AtomLink thumbnail = entry->link("http://opds-spec.org/image/thumbnail");
    QCOMPARE(!image.href.isEmpty(), cover);
    QCOMPARE(!thumbnail.href.isEmpty(), cover);
    if (cover) {
        QCOMPARE(image.type, QStringLiteral("image/jpeg"));
        QCOMPARE(fetch(image.href).body, m_cover);
        QCOMPARE(fetch(thumbnail.href).body, m_cover);
    }
}

void TestServerOpds::paging_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("entries");
    QTest::addColumn<QString>("firstTitle");
    QTest::addColumn<QString>("previous"); // the page number the link names, "" without one
    QTest::addColumn<QString>("next");
    QTest::addColumn<QString>("last");
    QTest::newRow("first") << "" << 20 << "封面之书"
                           << ""
                           << "2"
                           << "3";
    QTest::newRow("middle") << "?page=2" << 20 << "书29号"
                            << "1"
                            << "3"
                            << "3";
    QTest::newRow("last") << "?page=3" << 9 << "书9号"
                          << "2"
                          << ""
                          << "3";
    QTest::newRow("past the end") << "?page=7" << 9 << "书9号"
                                  << "2"
                                  << ""
                                  << "3";
    QTest::newRow("fifty a page") << "?size=50" << 49 << "封面之书"
                                  << ""
                                  << ""
                                  << "1";
}

void TestServerOpds::paging()
{
    QFETCH(QString, query);
    QFETCH(int, entries);
    QFETCH(QString, firstTitle);
    QFETCH(QString, previous);
    QFETCH(QString, next);
    QFETCH(QString, last);
    const AtomFeed page = feed(kPublic + "/opds/all" + query, "acquisition");
    QVERIFY(page.valid);
    QCOMPARE(page.entries.size(), entries);
    QCOMPARE(page.entries.first().texts.value("title"), firstTitle);
    auto number = [&](const QString& rel) {
        const QString href = page.head.link(rel).href;
        return href.isEmpty() ? QString() : QUrlQuery(QUrl(href)).queryItemValue("page");
    };
    QCOMPARE(number("first"), QStringLiteral("1"));
    QCOMPARE(number("previous"), previous);
    QCOMPARE(number("next"), next);
    QCOMPARE(number("last"), last);
    // Following a link keeps the page size.
    if (!next.isEmpty()) {
        const AtomFeed following = feed(page.head.link("next").href, "acquisition");
        QVERIFY(following.valid);
        QCOMPARE(following.head.texts.value("opensearch:startIndex").toInt(), next.toInt() * 20 - 19);
    }
}

void TestServerOpds::searchThroughTheTemplate_data()
{
    QTest::addColumn<QString>("terms");
    QTest::addColumn<int>("hits");
    QTest::newRow("title") << "书1" << 11; // 书1号, 书10号..书19号
    QTest::newRow("author in any case") << "quillWRITER" << 1;
    QTest::newRow("title with blanks around") << " 压缩之书 " << 1;
    QTest::newRow("nothing") << "没有这本书" << 0;
}

void TestServerOpds::searchThroughTheTemplate()
{
    QFETCH(QString, terms);
    QFETCH(int, hits);
    const HttpResult description = fetch(kPublic + "/opds/search.xml");
    QCOMPARE(description.status, 200);
    QCOMPARE(description.headers.value("content-type"), QByteArray("application/opensearchdescription+xml"));
    QString url;
    QXmlStreamReader r(description.body);
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.namespaceUri() == kOpenSearch && r.name() == QLatin1String("Url") &&
            r.attributes().value("type").contains(QLatin1String("kind=acquisition")))
            url = r.attributes().value("template").toString();
    }
    QCOMPARE(url, kPublic + "/opds/search?q={searchTerms}");
    url.replace("{searchTerms}", QString::fromLatin1(QUrl::toPercentEncoding(terms)));
    const AtomFeed found = feed(url, "acquisition");
    QVERIFY(found.valid);
    QCOMPARE(found.head.texts.value("opensearch:totalResults").toInt(), hits);
    for (const AtomEntry& e : found.entries) {
        QVERIFY(e.texts.value("title").contains(terms.trimmed()) ||
                e.texts.value("author").contains(terms.trimmed(), Qt::CaseInsensitive));
    }
}

void TestServerOpds::unapprovedBooksStayOut()
{
    const AtomFeed search = feed(kPublic + "/opds/search?q=%E5%BE%85%E5%AE%A1", "acquisition");
    QVERIFY(search.valid);
    QVERIFY(search.entries.isEmpty());
    const AtomFeed all = feed(kPublic + "/opds/all?size=50", "acquisition");
    QVERIFY(all.valid);
    QVERIFY(!all.entry(QStringLiteral("待审之书")));
    auto admin = m_server.admin();
    const qint64 waiting = admin->database().pendingBooks().value(0).id;
    QVERIFY(waiting > 0);
    QCOMPARE(fetch(kPublic + "/opds/cover/" + QString::number(waiting)).status, 404);
}

void TestServerOpds::textIsEscaped()
{
    const QString title = QStringLiteral("剑<与>&\"诗\"'");
    const HttpResult r = fetch(kPublic + "/opds/search?q=" + QUrl::toPercentEncoding(title));
    QVERIFY(r.body.contains("剑&lt;与&gt;&amp;"));
    const AtomFeed found = AtomFeed::parse(r.body);
    QVERIFY2(found.valid, qPrintable(found.error));
    QCOMPARE(found.entries.size(), 1);
    QCOMPARE(found.entries[0].texts.value("title"), title);
    QCOMPARE(found.head.texts.value("title"), "搜索：" + title);
    const AtomLink download = found.entries[0].link(kAcquisition);
    QCOMPARE(fetch(download.href).body, m_bytes.value(title));
}

void TestServerOpds::jsonFeeds_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("total");
    QTest::addColumn<QString>("next");
    QTest::newRow("everything") << "/opds/v2/all" << 49 << "/opds/v2/all?page=2";
    QTest::newRow("category") << "/opds/v2/category/4" << 1 << "";
    QTest::newRow("search") << "/opds/v2/search?query=%E4%B9%A62" << 11 << ""; // 书2号, 书20号..书29号
}

void TestServerOpds::jsonFeeds()
{
    QFETCH(QString, path);
    QFETCH(int, total);
    QFETCH(QString, next);
    const HttpResult root = fetch(kPublic + "/opds/v2");
    QCOMPARE(root.headers.value("content-type"), QByteArray("application/opds+json"));
    const QJsonObject navigation = QJsonDocument::fromJson(root.body).object();
    QCOMPARE(navigation.value("navigation").toArray().size(), 12);
    QCOMPARE(navigation.value("navigation").toArray().last().toObject().value("href").toString(),
             kPublic + "/opds/v2/all");

    const QJsonObject feed = QJsonDocument::fromJson(fetch(kPublic + path).body).object();
    QCOMPARE(feed.value("metadata").toObject().value("numberOfItems").toInt(), total);
    const QJsonArray publications = feed.value("publications").toArray();
    QCOMPARE(publications.size(), qMin(total, 20));
    QString nextHref;
    for (const QJsonValue& l : feed.value("links").toArray()) {
        if (l.toObject().value("rel") == QLatin1String("next"))
            nextHref = l.toObject().value("href").toString();
    }
    QCOMPARE(nextHref, next.isEmpty() ? QString() : kPublic + next);
    const QJsonObject first = publications.first().toObject();
    const QString title = first.value("metadata").toObject().value("title").toString();
    const QJsonObject download = first.value("links").toArray().first().toObject();
    QCOMPARE(download.value("rel").toString(), kAcquisition);
    QCOMPARE(download.value("length").toInteger(), m_bytes.value(title).size());
    QCOMPARE(fetch(download.value("href").toString()).body, m_bytes.value(title));
}

void TestServerOpds::textCharset_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("charset");
    QTest::newRow("ASCII") << QByteArray("Chapter 1\r\n") << QByteArray("utf-8");
    QTest::newRow("UTF-8") << QStringLiteral("第一章").toUtf8() << QByteArray("utf-8");
    QTest::newRow("UTF-8 cut in a character") << QStringLiteral("第一章").toUtf8().chopped(1) << QByteArray("utf-8");
    QTest::newRow("GBK") << TextCodec::encodeGbk(QStringLiteral("第一章")) << QByteArray("gb18030");
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF"
                                              "abc")
                                << QByteArray("utf-8");
    QTest::newRow("UTF-16LE mark") << QByteArray("\xFF\xFE"
                                                 "a\0",
                                                 4)
                                   << QByteArray("utf-16le");
    QTest::newRow("UTF-16BE mark") << QByteArray("\xFE\xFF\0a", 4) << QByteArray("utf-16be");
}

void TestServerOpds::textCharset()
{
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, charset);
    QCOMPARE(BookFiles::textCharset(head), charset);
}

QTEST_GUILESS_MAIN(TestServerOpds)
#include "tst_serveropds.moc"
