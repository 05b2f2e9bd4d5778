// The catalogue feeds other servers give, read back: navigation and acquisition feeds in Atom
// and JSON, their links resolved against the feed's address, search templates, media types,
// and a page of 100,000 entries read in pieces.
#include "online/opds/OpdsAtomReader.h"
#include "online/opds/OpdsFormat.h"
#include "online/opds/OpdsJsonReader.h"
#include "online/opds/OpdsSearch.h"

#include <QFile>
#include <QtTest>

class TestOpdsFeed : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void atomNavigation();
    void atomAcquisition();
    void json();
    void notAFeed_data();
    void notAFeed();
    void hugeFeedInPieces();
    void openSearchTemplate();
    void fillTemplate_data();
    void fillTemplate();
    void mediaTypes_data();
    void mediaTypes();
    void categories();
};

namespace {

QByteArray recorded(const char* name)
{
    QFile file(QStringLiteral(QUILLMERE_SOURCE_DIR "/tests/online/data/opds/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing test feed %s", name);
    return file.readAll();
}

} // namespace

void TestOpdsFeed::atomNavigation()
{
    QString error;
    const QUrl base(QStringLiteral("http://books.example/catalog/root.xml"));
    const OpdsFeed feed = OpdsAtomReader::parse(recorded("navigation.atom"), base, &error);
    QCOMPARE(error, QString());
    QCOMPARE(feed.title, QStringLiteral("家庭书库"));
    QCOMPARE(feed.navigation.size(), 2);
    QCOMPARE(feed.publications.size(), 0);
    QCOMPARE(feed.navigation[0].title, QStringLiteral("新书"));
    QCOMPARE(feed.navigation[0].summary, QStringLiteral("最近加入的书"));
    QCOMPARE(feed.navigation[0].navigation, QUrl(QStringLiteral("http://books.example/catalog/new.xml")));
    QCOMPARE(feed.navigation[1].title, QStringLiteral("作者 & 分类"));
    QCOMPARE(feed.navigation[1].navigation, QUrl(QStringLiteral("http://books.example/by-author/")));
    QCOMPARE(feed.openSearchDescription, QUrl(QStringLiteral("http://books.example/catalog/opensearch.xml")));
    QVERIFY(!feed.truncated());
}

void TestOpdsFeed::atomAcquisition()
{
    QString error;
    const QUrl base(QStringLiteral("https://books.example/catalog/new.xml?page=2"));
    const OpdsFeed feed = OpdsAtomReader::parse(recorded("acquisition.atom"), base, &error);
    QCOMPARE(error, QString());
    QCOMPARE(feed.next, QUrl(QStringLiteral("https://books.example/catalog/new.xml?page=3")));
    QCOMPARE(feed.previous, QUrl(QStringLiteral("https://books.example/catalog/new.xml?page=1")));
    QCOMPARE(feed.last, QUrl(QStringLiteral("http://other.example:8080/new.xml?page=9")));
    QCOMPARE(feed.searchTemplate, QStringLiteral("https://books.example/catalog/search?q={searchTerms}"));
    QCOMPARE(feed.navigation.size(), 0);
    QCOMPARE(feed.publications.size(), 2);

    const OpdsEntry& book = feed.publications[0];
    QCOMPARE(book.title, QStringLiteral("笑傲江湖"));
    QCOMPARE(book.id, QStringLiteral("urn:isbn:9787"));
    QCOMPARE(book.author, QStringLiteral("金庸"));
    QCOMPARE(book.category, QStringLiteral("武侠仙侠"));
    QCOMPARE(book.summary, QStringLiteral("令狐冲 <华山派>"));
    QCOMPARE(book.cover, QUrl(QStringLiteral("https://books.example/covers/1.jpg")));
    QCOMPARE(book.thumbnail, QUrl(QStringLiteral("https://books.example/covers/1-small.jpg")));
    // The alternate entry link is not a download, and not a way into another feed either.
    QCOMPARE(book.acquisitions.size(), 2);
    QCOMPARE(book.acquisitions[0].href, QUrl(QStringLiteral("https://books.example/get/1.txt")));
    QCOMPARE(book.acquisitions[0].type, QStringLiteral("text/plain; charset=GB18030"));
    QCOMPARE(book.acquisitions[0].length, 123456);
    QCOMPARE(book.acquisitions[1].length, -1);

    const OpdsEntry& other = feed.publications[1];
    QCOMPARE(other.category, QStringLiteral("Science Fiction"));
    QCOMPARE(other.author, QString());
    QCOMPARE(other.acquisitions[0].href, QUrl(QStringLiteral("https://books.example/catalog/b2.pdf")));
}

void TestOpdsFeed::json()
{
    QString error;
    const QUrl base(QStringLiteral("http://lib.example/opds2/new?page=2"));
    const QByteArray body = recorded("feed.json");
    QVERIFY(OpdsFeedReader::looksLikeJson(body, "application/opds+json"));
    const OpdsFeed feed = OpdsFeedReader::parse(body, {}, base, &error);
    QCOMPARE(error, QString());
    QCOMPARE(feed.title, QStringLiteral("Example Library"));
    QCOMPARE(feed.next, QUrl(QStringLiteral("http://lib.example/opds2/new?page=3")));
    QCOMPARE(feed.previous, QUrl(QStringLiteral("http://lib.example/opds2/new?page=1")));
    QCOMPARE(feed.searchTemplate, QStringLiteral("http://lib.example/opds2/search{?query,author}"));
    QCOMPARE(feed.navigation.size(), 1);
    QCOMPARE(feed.navigation[0].navigation, QUrl(QStringLiteral("http://lib.example/opds2/genres/wuxia")));

    // The feed's own publications, then those of its groups.
    QCOMPARE(feed.publications.size(), 2);
    const OpdsEntry& book = feed.publications[0];
    QCOMPARE(book.title, QStringLiteral("天龙八部"));
    QCOMPARE(book.author, QStringLiteral("金庸、倪匡"));
    QCOMPARE(book.category, QStringLiteral("历史军事"));
    QCOMPARE(book.summary, QStringLiteral("段誉"));
    QCOMPARE(book.acquisitions.size(), 1);
    QCOMPARE(book.acquisitions[0].href, QUrl(QStringLiteral("http://lib.example/files/1.rar")));
    QCOMPARE(book.acquisitions[0].length, 4096);
    QCOMPARE(book.cover, QUrl(QStringLiteral("http://lib.example/img/1-large.jpg")));
    QCOMPARE(book.thumbnail, QUrl(QStringLiteral("http://lib.example/img/1-small.jpg")));
    const OpdsEntry& grouped = feed.publications[1];
    QCOMPARE(grouped.title, QStringLiteral("射雕英雄传"));
    QCOMPARE(grouped.acquisitions[0].length, 2048);
}

void TestOpdsFeed::notAFeed_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("html page") << QByteArray("<!DOCTYPE html><html><body>登录</body></html>");
    QTest::newRow("cut short") << recorded("acquisition.atom").left(900);
    QTest::newRow("other xml") << QByteArray("<?xml version=\"1.0\"?><rss><channel/></rss>");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("json not a feed") << QByteArray("{\"error\": \"not found\"}");
    QTest::newRow("broken json") << QByteArray("{\"publications\": [");
}

void TestOpdsFeed::notAFeed()
{
    QFETCH(QByteArray, body);
    QString error;
    OpdsFeedReader::parse(body, {}, QUrl(QStringLiteral("http://x.example/")), &error);
    QVERIFY(!error.isEmpty());
}

void TestOpdsFeed::hugeFeedInPieces()
{
    // 100,000 entries arrive in pieces that cut elements anywhere; only the first 200 are kept,
    // the rest counted, and the paging link after them is still read.
    OpdsAtomReader reader(QUrl(QStringLiteral("http://big.example/all")));
    reader.addData("<?xml version=\"1.0\"?><feed xmlns=\"http://www.w3.org/2005/Atom\"><title>全部</title>");
    QByteArray piece;
    for (int i = 0; i < 100000; ++i) {
        piece += "<entry><title>书" + QByteArray::number(i) + "</title><id>urn:" + QByteArray::number(i) +
                 "</id><link rel=\"http://opds-spec.org/acquisition\" href=\"/b/" + QByteArray::number(i) +
                 ".txt\" type=\"text/plain\"/></entry>";
        if (piece.size() > 7919) {
            reader.addData(piece.left(4000));
            reader.addData(piece.mid(4000));
            piece.clear();
        }
    }
    reader.addData(piece + "<link rel=\"next\" href=\"all?page=2\"/></feed>");
    reader.finish();
    QCOMPARE(reader.error(), QString());
    QCOMPARE(reader.feed().publications.size(), OpdsFeed::DefaultMaxEntries);
    QCOMPARE(reader.feed().totalEntries, 100000);
    QVERIFY(reader.feed().truncated());
    QCOMPARE(reader.feed().publications.last().title, QStringLiteral("书199"));
    QCOMPARE(reader.feed().next, QUrl(QStringLiteral("http://big.example/all?page=2")));
}

void TestOpdsFeed::openSearchTemplate()
{
    const QUrl base(QStringLiteral("http://books.example/catalog/opensearch.xml"));
    QCOMPARE(OpdsSearch::templateOf(recorded("opensearch.xml"), base),
             QStringLiteral("http://books.example/opds/search/{searchTerms}?page={startPage?}"));
    QCOMPARE(OpdsSearch::templateOf("<html/>", base), QString());
}

void TestOpdsFeed::fillTemplate_data()
{
    QTest::addColumn<QString>("urlTemplate");
    QTest::addColumn<QString>("filled");
    QTest::newRow("opensearch") << QStringLiteral("http://a.example/opds/search?q={searchTerms}")
                                << QStringLiteral("http://a.example/opds/search?q=%E9%87%91%20%26%E5%BA%B8");
    QTest::newRow("optional parameter") << QStringLiteral("http://a.example/s/{searchTerms}?page={startPage?}")
                                        << QStringLiteral("http://a.example/s/%E9%87%91%20%26%E5%BA%B8?page=");
    QTest::newRow("form query") << QStringLiteral("http://a.example/search{?query,author}")
                                << QStringLiteral("http://a.example/search?query=%E9%87%91%20%26%E5%BA%B8");
    QTest::newRow("continued query") << QStringLiteral("http://a.example/search?x=1{&query}")
                                     << QStringLiteral("http://a.example/search?x=1&query=%E9%87%91%20%26%E5%BA%B8");
}

void TestOpdsFeed::fillTemplate()
{
    QFETCH(QString, urlTemplate);
    QFETCH(QString, filled);
    QCOMPARE(OpdsSearch::fill(urlTemplate, QStringLiteral("金 &庸")).toString(QUrl::FullyEncoded), filled);
}

void TestOpdsFeed::mediaTypes_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QString>("extension");
    using K = OpdsFormat::Kind;
    QTest::newRow("gb18030 text") << QStringLiteral("text/plain; charset=GB18030") << int(K::Txt)
                                  << QByteArray("GB18030") << QStringLiteral(".txt");
    QTest::newRow("quoted charset") << QStringLiteral("Text/Plain;charset=\"utf-8\"") << int(K::Txt)
                                    << QByteArray("UTF-8") << QStringLiteral(".txt");
    QTest::newRow("text without charset")
        << QStringLiteral("text/plain") << int(K::Txt) << QByteArray() << QStringLiteral(".txt");
    QTest::newRow("zip") << QStringLiteral("application/zip") << int(K::Zip) << QByteArray() << QStringLiteral(".zip");
    QTest::newRow("old zip") << QStringLiteral("application/x-zip-compressed") << int(K::Zip) << QByteArray()
                             << QStringLiteral(".zip");
    QTest::newRow("rar") << QStringLiteral("application/vnd.rar") << int(K::Rar) << QByteArray()
                         << QStringLiteral(".rar");
    QTest::newRow("old rar") << QStringLiteral("application/x-rar-compressed") << int(K::Rar) << QByteArray()
                             << QStringLiteral(".rar");
    QTest::newRow("7z") << QStringLiteral("application/x-7z-compressed") << int(K::SevenZip) << QByteArray()
                        << QStringLiteral(".7z");
    QTest::newRow("epub") << QStringLiteral("application/epub+zip") << int(K::Unreadable) << QByteArray() << QString();
    QTest::newRow("pdf") << QStringLiteral("application/pdf") << int(K::Unreadable) << QByteArray() << QString();
    QTest::newRow("html") << QStringLiteral("text/html; charset=utf-8") << int(K::Unreadable) << QByteArray()
                          << QString();
}

void TestOpdsFeed::mediaTypes()
{
    QFETCH(QString, type);
    QFETCH(int, kind);
    QFETCH(QByteArray, encoding);
    QFETCH(QString, extension);
    const OpdsFormat format = OpdsFormat::classify(type);
    QCOMPARE(int(format.kind), kind);
    QCOMPARE(format.encoding, encoding);
    QCOMPARE(format.extension(), extension);
}

void TestOpdsFeed::categories()
{
    QCOMPARE(shelfCategoryOf(QStringLiteral("武侠仙侠")), QStringLiteral("武侠仙侠"));
    QCOMPARE(shelfCategoryOf(QStringLiteral(" 小说/都市言情 ")), QStringLiteral("都市言情"));
    QCOMPARE(shelfCategoryOf(QStringLiteral("Science Fiction")), QStringLiteral("其他分类"));
    QCOMPARE(shelfCategoryOf(QString()), QStringLiteral("其他分类"));
}

QTEST_GUILESS_MAIN(TestOpdsFeed)
#include "tst_opdsfeed.moc"
