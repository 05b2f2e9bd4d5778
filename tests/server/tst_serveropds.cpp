// The OPDS feeds fetched over HTTP and read back as Atom (and JSON), as e-book readers read them.
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
const QString kOddTitle = QStringLiteral("剑<与>&\"诗\"'");

// The feed itself or one entry: texts of its Atom (and OpenSearch) children, "author" for the
// author's name, "category" for the term, and links by rel as "href|type|length".
using Element = QHash<QString, QString>;

// A feed as a namespace-aware reader sees it: elements outside Atom and OpenSearch are ignored.
struct AtomFeed {
    bool valid = false;
    Element head;
    QList<Element> entries;

    Element entry(const QString& title) const
    {
        for (const Element& e : entries) {
            if (e.value("title") == title)
                return e;
        }
        return {};
    }

    static AtomFeed parse(const QByteArray& bytes)
    {
        AtomFeed feed;
        QXmlStreamReader r(bytes);
        Element* current = &feed.head;
        while (!r.atEnd()) {
            r.readNext();
            if (r.isEndElement() && r.name() == QLatin1String("entry"))
                current = &feed.head;
            if (!r.isStartElement() || (r.namespaceUri() != kAtom && r.namespaceUri() != kOpenSearch))
                continue;
            const QString name = r.name().toString();
            const auto a = r.attributes();
            if (name == QLatin1String("feed")) {
                feed.valid = r.namespaceUri() == kAtom;
            } else if (name == QLatin1String("entry")) {
                feed.entries.append(Element());
                current = &feed.entries.last();
            } else if (name == QLatin1String("link")) {
                current->insert(
                    a.value("rel").toString(),
                    QStringList{a.value("href").toString(), a.value("type").toString(), a.value("length").toString()}
                        .join('|'));
            } else if (name == QLatin1String("category")) {
                current->insert(name, a.value("term").toString());
            } else if (name == QLatin1String("name")) {
                current->insert("author", r.readElementText());
            } else if (name != QLatin1String("author")) {
                current->insert(name, r.readElementText());
            }
        }
        feed.valid = feed.valid && !r.hasError();
        return feed;
    }
};

QString part(const QString& link, int i)
{
    return link.section('|', i, i);
}

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
    void search_data();
    void search();
    void jsonFeeds();
    void textCharset_data();
    void textCharset();

private:
    // Addresses must lie below the public URL; they are asked of the service on loopback, as
    // a proxy in front of it would.
    HttpResult fetch(const QString& href)
    {
        return href.startsWith(kPublic + '/') ? m_server.get(href.mid(kPublic.size())) : HttpResult();
    }
    // The feed, or an invalid one when the reply is not of the kind or an address leaves the public URL.
    AtomFeed feed(const QString& href, const QByteArray& kind)
    {
        const HttpResult r = fetch(href);
        AtomFeed parsed = AtomFeed::parse(r.body);
        static const QRegularExpression foreign(" href=\"(?!" + QRegularExpression::escape(kPublic) + "/)");
        parsed.valid = parsed.valid && !QString::fromUtf8(r.body).contains(foreign) &&
                       r.headers.value("content-type") == "application/atom+xml;profile=opds-catalog;kind=" + kind;
        return parsed;
    }

    ServerFixture m_server;
    QHash<QString, QByteArray> m_bytes; // title → the file as imported or uploaded
    QByteArray m_cover = QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(60, 'j');
};

void TestServerOpds::initTestCase()
{
    m_server.setPublicUrl(kPublic);
    QVERIFY(m_server.start());
    auto admin = m_server.admin();
    QVERIFY(admin);
    auto import = [&](const QString& title, const QString& category, const QString& ext, const QByteArray& bytes) {
        const QString path = m_server.dataDir() + "/source." + ext;
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        f.close();
        m_bytes.insert(title, bytes);
        const QString author =
            title == QStringLiteral("书7号") ? QStringLiteral("QuillWriter") : QStringLiteral("作者");
        return admin->importBook(path, category, title, author, QStringLiteral("连载"), QStringLiteral("第九章"));
    };
    // 45 GBK books in 武侠仙侠, one titled with every character XML escapes; then one of each other kind.
    for (int i = 1; i <= 45; ++i) {
        QVERIFY(import(i == 3 ? kOddTitle : QStringLiteral("书%1号").arg(i), QStringLiteral("武侠仙侠"), "txt",
                       TextCodec::encodeGbk(QStringLiteral("第一章 %1\r\n正文\r\n").arg(i))));
    }
    QVERIFY(import(QStringLiteral("统一码之书"), QStringLiteral("都市言情"), "txt", "第一章 开始\n"));
    QVERIFY(
        import(QStringLiteral("压缩之书"), QStringLiteral("历史军事"), "rar", QByteArray("Rar!\x1a\x07\x00", 7) + "r"));
    QVERIFY(import(QStringLiteral("打包之书"), QStringLiteral("游戏动漫"), "zip", QByteArray("PK\x05\x06", 4) + "z"));
    // Uploads with a cover: the first is approved, the second still waits for review.
    QCOMPARE(m_server.signUpAndLogIn("opds", "opds"), QStringLiteral("1"));
    for (const QString& title : {QStringLiteral("封面之书"), QStringLiteral("待审之书")}) {
        m_bytes.insert(title, TextCodec::encodeGbk(title));
        const HttpResult r = m_server.upload(ServerFixture::uploadBody(ServerFixture::uploadFields("opds", title),
                                                                       m_bytes[title], "C:\\书.txt", m_cover));
        QVERIFY2(r.text().startsWith('1'), qPrintable(r.text()));
    }
    QVERIFY(admin->approve(admin->database().pendingBooks().value(0).id));
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
    QVERIFY(root.valid);
    QStringList titles;
    for (const Element& e : root.entries)
        titles.append(e.value("title"));
    QCOMPARE(titles, QStringList{"最新更新"} + Service::kCategories + QStringList{"全部资源"});
    QCOMPARE(part(root.head.value("search"), 0), kPublic + "/opds/search.xml");
    const Element entry = root.entry(title);
    QVERIFY(entry.value("id").startsWith("urn:"));
    const QString link = entry.value(title == "最新更新" ? "http://opds-spec.org/sort/new" : "subsection");
    QCOMPARE(part(link, 1), QStringLiteral("application/atom+xml;profile=opds-catalog;kind=acquisition"));
    const AtomFeed books = feed(part(link, 0), "acquisition");
    QVERIFY(books.valid);
    QCOMPARE(books.head.value("title"), title);
    QCOMPARE(books.head.value("totalResults").toInt(), total);
    QCOMPARE(books.entries.size(), qMin(total, 20));
}

void TestServerOpds::acquisitionLinks_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("category");
    QTest::newRow("GBK text") << "书12号"
                              << "text/plain; charset=gb18030"
                              << "武侠仙侠";
    QTest::newRow("escaped title") << kOddTitle << "text/plain; charset=gb18030"
                                   << "武侠仙侠";
    QTest::newRow("UTF-8 text") << "统一码之书"
                                << "text/plain; charset=utf-8"
                                << "都市言情";
    QTest::newRow("RAR") << "压缩之书"
                         << "application/vnd.rar"
                         << "历史军事";
    QTest::newRow("ZIP") << "打包之书"
                         << "application/zip"
                         << "游戏动漫";
    QTest::newRow("upload with a cover") << "封面之书"
                                         << "text/plain; charset=gb18030"
                                         << "武侠仙侠";
    QTest::newRow("upload waiting for review") << "待审之书"
                                               << ""
                                               << "";
}

void TestServerOpds::acquisitionLinks()
{
    QFETCH(QString, title);
    QFETCH(QString, type);
    QFETCH(QString, category);
    const AtomFeed all = feed(kPublic + "/opds/all?size=50", "acquisition");
    QVERIFY(all.valid);
    QCOMPARE(all.entries.size(), 49);
    const Element entry = all.entry(title);
    QCOMPARE(entry.value("category"), category);
    if (type.isEmpty())
        return;
    QVERIFY(entry.value("id").startsWith("urn:"));
    QVERIFY(
        QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$").match(entry.value("updated")).hasMatch());
    QVERIFY(!entry.value("author").isEmpty());
    const bool cover = title == QStringLiteral("封面之书");
    QCOMPARE(entry.value("summary"),
             QStringLiteral("状态：连载　大小：1 KB　最新章节：") + (cover ? "第十章" : "第九章"));
    const QString download = entry.value(kAcquisition);
    QCOMPARE(part(download, 1), type);
    QCOMPARE(part(download, 2), QString::number(m_bytes.value(title).size()));
    QCOMPARE(fetch(part(download, 0)).body, m_bytes.value(title));
    for (const char* rel : {"http://opds-spec.org/image", "http://opds-spec.org/image/thumbnail"}) {
        QCOMPARE(entry.contains(rel), cover);
        if (cover) {
            QCOMPARE(part(entry.value(rel), 1), QStringLiteral("image/jpeg"));
            QCOMPARE(fetch(part(entry.value(rel), 0)).body, m_cover);
        }
    }
}

void TestServerOpds::paging_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("entries");
    QTest::addColumn<QString>("firstTitle");
    QTest::addColumn<QString>("pages"); // the pages first, previous, next and last name ("" without a link)
    QTest::newRow("first") << "" << 20 << "封面之书"
                           << "1,,2,3";
    QTest::newRow("middle") << "?page=2" << 20 << "书29号"
                            << "1,1,3,3";
    QTest::newRow("last") << "?page=3" << 9 << "书9号"
                          << "1,2,,3";
    QTest::newRow("past the end") << "?page=7" << 9 << "书9号"
                                  << "1,2,,3";
    QTest::newRow("fifty a page") << "?size=50" << 49 << "封面之书"
                                  << "1,,,1";
    QTest::newRow("second of fifty") << "?size=50&page=2" << 49 << "封面之书"
                                     << "1,,,1";
}

void TestServerOpds::paging()
{
    QFETCH(QString, query);
    QFETCH(int, entries);
    QFETCH(QString, firstTitle);
    QFETCH(QString, pages);
    const AtomFeed page = feed(kPublic + "/opds/all" + query, "acquisition");
    QVERIFY(page.valid);
    QCOMPARE(page.entries.size(), entries);
    QCOMPARE(page.entries.first().value("title"), firstTitle);
    QStringList named;
    for (const char* rel : {"first", "previous", "next", "last"})
        named.append(QUrlQuery(QUrl(part(page.head.value(rel), 0))).queryItemValue("page"));
    QCOMPARE(named.join(','), pages);
    // The links keep the page size.
    const AtomFeed last = feed(part(page.head.value("last"), 0), "acquisition");
    QCOMPARE(last.head.value("itemsPerPage"), QString::number(entries == 49 ? 50 : 20));
}

void TestServerOpds::search_data()
{
    QTest::addColumn<QString>("terms");
    QTest::addColumn<int>("hits");
    QTest::newRow("title") << "书1" << 11; // 书1号, 书10号..书19号
    QTest::newRow("author in any case") << "quillWRITER" << 1;
    QTest::newRow("blanks around") << " 压缩之书 " << 1;
    QTest::newRow("escaped characters") << kOddTitle << 1;
    QTest::newRow("waiting for review") << "待审" << 0;
}

void TestServerOpds::search()
{
    QFETCH(QString, terms);
    QFETCH(int, hits);
    const HttpResult description = fetch(kPublic + "/opds/search.xml");
    QCOMPARE(description.headers.value("content-type"), QByteArray("application/opensearchdescription+xml"));
    QString url;
    for (QXmlStreamReader r(description.body); !r.atEnd();) {
        if (r.readNext() == QXmlStreamReader::StartElement && r.namespaceUri() == kOpenSearch &&
            r.name() == QLatin1String("Url") && r.attributes().value("type").endsWith(QLatin1String("acquisition")))
            url = r.attributes().value("template").toString();
    }
    QCOMPARE(url, kPublic + "/opds/search?q={searchTerms}");
    const AtomFeed found = feed(url.replace("{searchTerms}", QUrl::toPercentEncoding(terms)), "acquisition");
    QVERIFY(found.valid);
    QCOMPARE(found.head.value("totalResults").toInt(), hits);
    for (const Element& e : found.entries) {
        QVERIFY(e.value("title").contains(terms.trimmed()) ||
                e.value("author").contains(terms.trimmed(), Qt::CaseInsensitive));
    }
}

void TestServerOpds::jsonFeeds()
{
    const HttpResult root = fetch(kPublic + "/opds/v2");
    QCOMPARE(root.headers.value("content-type"), QByteArray("application/opds+json"));
    const QJsonArray navigation = QJsonDocument::fromJson(root.body)["navigation"].toArray();
    QCOMPARE(navigation.size(), 12);
    QCOMPARE(navigation.last()["href"].toString(), kPublic + "/opds/v2/all");
    const QJsonDocument all = QJsonDocument::fromJson(fetch(navigation.last()["href"].toString()).body);
    QCOMPARE(all["metadata"]["numberOfItems"].toInt(), 49);
    QCOMPARE(all["links"].toArray().at(4)["rel"].toString(), QStringLiteral("next")); // self, start, search, first
    QCOMPARE(all["links"].toArray().at(4)["href"].toString(), kPublic + "/opds/v2/all?page=2");
    const QJsonDocument found =
        QJsonDocument::fromJson(fetch(kPublic + "/opds/v2/search?query=%E6%89%93%E5%8C%85").body);
    QCOMPARE(found["publications"].toArray().size(), 1); // 打包之书
    const QJsonValue download = found["publications"].toArray().at(0)["links"].toArray().at(0);
    QCOMPARE(download["rel"].toString(), kAcquisition);
    QCOMPARE(download["type"].toString(), QStringLiteral("application/zip"));
    QCOMPARE(fetch(download["href"].toString()).body, m_bytes.value(QStringLiteral("打包之书")));
}

void TestServerOpds::textCharset_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("charset");
    QTest::newRow("ASCII") << QByteArray("Chapter 1\r\n") << QByteArray("utf-8");
    QTest::newRow("UTF-8") << QStringLiteral("第一章").toUtf8() << QByteArray("utf-8");
    QTest::newRow("UTF-8 cut in a character") << QStringLiteral("第一章").toUtf8().chopped(1) << QByteArray("utf-8");
    QTest::newRow("GBK") << TextCodec::encodeGbk(QStringLiteral("第一章")) << QByteArray("gb18030");
    QTest::newRow("UTF-16LE mark") << QByteArray("\xFF\xFE"
                                                 "a\0",
                                                 4)
                                   << QByteArray("utf-16le");
}

void TestServerOpds::textCharset()
{
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, charset);
    QCOMPARE(BookFiles::textCharset(head), charset);
}

QTEST_GUILESS_MAIN(TestServerOpds)
#include "tst_serveropds.moc"
