// The catalogue, downloads, the information block and the news page over real HTTP.
#include "ServerFixture.h"

#include <QDir>
#include <QtTest>

class TestServerCatalogue : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void listShape();
    void paging_data();
    void paging();
    void categoryAndSearch_data();
    void categoryAndSearch();
    void emptyResultHasNoPageInfo();
    void malformedRequests_data();
    void malformedRequests();
    void downloadServesTheStoredBytes();
    void downloadNames_data();
    void downloadNames();
    void downloadPathMustNameTheBook_data();
    void downloadPathMustNameTheBook();
    void traversalIsRefused_data();
    void traversalIsRefused();
    void adminChangesShowAtOnce();
    void realRarArchives();
    void infoBlock();
    void newsPage();

private:
    ServerFixture m_server;
    QByteArray m_bookBytes;
    QString m_file;
};

void TestServerCatalogue::initTestCase()
{
    QVERIFY(m_server.start());
    m_bookBytes = TextCodec::encodeGbk(QStringLiteral("第一章 开始\r\n正文 <b>&amp;</b>\r\n"));
    m_file = m_server.dataDir() + QStringLiteral("/source.txt");
    QFile f(m_file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(m_bookBytes);
    f.close();
    auto admin = m_server.admin();
    QVERIFY(admin);
    // 45 books: 25 in 武侠仙侠 (one by an author in mixed case), 20 in 都市言情.
    for (int i = 1; i <= 45; ++i) {
        const QString category = i <= 25 ? QStringLiteral("武侠仙侠") : QStringLiteral("都市言情");
        const QString author = i == 7 ? QStringLiteral("QuillWriter") : QStringLiteral("作者%1").arg(i);
        const QString title = i == 3 ? QStringLiteral("剑<与>&“诗”") : QStringLiteral("书%1号").arg(i);
        QVERIFY2(admin->importBook(m_file, category, title, author, QStringLiteral("全集"), QString()),
                 qPrintable(admin->lastError()));
    }
}

void TestServerCatalogue::listShape()
{
    const HttpResult r =
        m_server.get(QStringLiteral("/readerserver/listbook.asp?action=list&type=全部资源&rnt=2026-12-8 10:00:00"));
    QCOMPARE(r.status, 200);
    QVERIFY(r.body.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    QVERIFY(r.headers.value("content-type").startsWith("text/xml"));
    QCOMPARE(ServerFixture::texts(r.body, "bookinfo").size(), 20);
    QCOMPARE(ServerFixture::childNames(r.body, "bookinfo"),
             QStringList({"id", "name", "class", "author", "statue", "ftime", "size", "downurl"}));
    // Newest first: the last import leads.
    QCOMPARE(ServerFixture::texts(r.body, "name").first(), QStringLiteral("书45号"));
    QCOMPARE(ServerFixture::texts(r.body, "size").first(), QStringLiteral("1"));
    // The download path ends in the title and the real extension, below the book's number.
    QCOMPARE(ServerFixture::texts(r.body, "downurl").first(),
             "/files/" + ServerFixture::texts(r.body, "id").first() + QStringLiteral("/书45号.txt"));
    QCOMPARE(ServerFixture::texts(r.body, "otherinfo").size(), 1);
    QCOMPARE(ServerFixture::texts(r.body, "pageinfo"), QStringList{"3,45,1,1,2"});
}

void TestServerCatalogue::paging_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("pageinfo");
    QTest::addColumn<int>("books");
    QTest::addColumn<QString>("firstName");
    QTest::newRow("no page key") << QString() << "3,45,1,1,2" << 20 << "书45号";
    QTest::newRow("second") << "&page=2"
                            << "3,45,2,1,3" << 20 << "书25号";
    QTest::newRow("last") << "&page=3"
                          << "3,45,3,2,3" << 5 << "书5号";
    QTest::newRow("past the end") << "&page=9"
                                  << "3,45,3,2,3" << 5 << "书5号";
    QTest::newRow("zero") << "&page=0"
                          << "3,45,1,1,2" << 20 << "书45号";
    QTest::newRow("negative") << "&page=-4"
                              << "3,45,1,1,2" << 20 << "书45号";
    QTest::newRow("blank around") << "&page=%202%20"
                                  << "3,45,2,1,3" << 20 << "书25号";
}

void TestServerCatalogue::paging()
{
    QFETCH(QString, page);
    QFETCH(QString, pageinfo);
    QFETCH(int, books);
    QFETCH(QString, firstName);
    const HttpResult r = m_server.get("/readerserver/listbook.asp?action=list&type=全部资源" + page + "&rnt=x");
    QCOMPARE(r.status, 200);
    QCOMPARE(ServerFixture::texts(r.body, "pageinfo"), QStringList{pageinfo});
    QCOMPARE(ServerFixture::texts(r.body, "bookinfo").size(), books);
    QCOMPARE(ServerFixture::texts(r.body, "name").first(), firstName);
}

void TestServerCatalogue::categoryAndSearch_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("pageinfo");
    QTest::newRow("category") << "action=list&type=都市言情"
                              << "1,20,1,1,1";
    QTest::newRow("category with blanks") << "action=list&type=%20武侠仙侠%20"
                                          << "2,25,1,1,2";
    QTest::newRow("category with no books") << "action=list&type=管理哲学"
                                            << "";
    QTest::newRow("search title") << "action=search&key=书1"
                                  << "1,11,1,1,1"; // 书1号, 书10号..书19号
    QTest::newRow("search author any case") << "action=search&key=quillWRITER"
                                            << "1,1,1,1,1";
    QTest::newRow("search chinese author") << "action=search&key=作者4"
                                           << "1,7,1,1,1"; // 作者4, 作者40..45
    QTest::newRow("action list ignores key") << "action=list&type=都市言情&key=书1"
                                             << "1,20,1,1,1";
    QTest::newRow("action search ignores type") << "action=search&type=都市言情&key=书1"
                                                << "1,11,1,1,1";
    QTest::newRow("upper-case path") << "action=list&type=都市言情"
                                     << "1,20,1,1,1";
}

void TestServerCatalogue::categoryAndSearch()
{
    QFETCH(QString, query);
    QFETCH(QString, pageinfo);
    const QString path = QString::fromLatin1(QTest::currentDataTag()) == QLatin1String("upper-case path")
                             ? QStringLiteral("/ReaderServer/ListBook.ASP?")
                             : QStringLiteral("/readerserver/listbook.asp?");
    const HttpResult r = m_server.get(path + query + "&rnt=2026-12-8 10:00:00");
    QCOMPARE(r.status, 200);
    QCOMPARE(ServerFixture::texts(r.body, "pageinfo").value(0), pageinfo);
}

void TestServerCatalogue::emptyResultHasNoPageInfo()
{
    const HttpResult r = m_server.get(QStringLiteral("/readerserver/listbook.asp?action=search&key=没有这本书"));
    QCOMPARE(r.status, 200);
    QVERIFY(r.body.startsWith("<?xml"));
    QVERIFY(ServerFixture::texts(r.body, "bookinfo").isEmpty());
    QVERIFY(ServerFixture::texts(r.body, "otherinfo").isEmpty());
}

void TestServerCatalogue::malformedRequests_data()
{
    QTest::addColumn<QString>("pathAndQuery");
    QTest::newRow("no action") << "/readerserver/listbook.asp?type=全部资源";
    QTest::newRow("unknown action") << "/readerserver/listbook.asp?action=drop";
    QTest::newRow("list without type") << "/readerserver/listbook.asp?action=list";
    QTest::newRow("search without key") << "/readerserver/listbook.asp?action=search&key=%20";
    QTest::newRow("page is a word") << "/readerserver/listbook.asp?action=list&type=全部资源&page=abc";
    QTest::newRow("page too large") << "/readerserver/listbook.asp?action=list&type=全部资源&page=99999999999";
    QTest::newRow("invalid text") << "/readerserver/listbook.asp?action=search&key=%FF%FE";
    QTest::newRow("user list without name") << "/readerserver/ListUserBook.asp?page=1";
    QTest::newRow("ranking of nothing") << "/ReaderServer/UserTop.asp?action=xx";
}

void TestServerCatalogue::malformedRequests()
{
    QFETCH(QString, pathAndQuery);
    const HttpResult r = m_server.get(pathAndQuery);
    QCOMPARE(r.status, 400);
    QCOMPARE(ServerFixture::texts(r.body, "code"), QStringList{"0"});
    QVERIFY(!ServerFixture::texts(r.body, "message").value(0).isEmpty());
}

void TestServerCatalogue::downloadServesTheStoredBytes()
{
    const HttpResult list = m_server.get(QStringLiteral("/readerserver/listbook.asp?action=search&key=剑<"));
    QCOMPARE(ServerFixture::texts(list.body, "name"), QStringList{QStringLiteral("剑<与>&“诗”")});
    const QString url = ServerFixture::texts(list.body, "downurl").value(0);
    QVERIFY2(url.endsWith(QStringLiteral("/剑<与>&“诗”.txt")), qPrintable(url));
    const HttpResult file = m_server.get(url);
    QCOMPARE(file.status, 200);
    QCOMPARE(file.body, m_bookBytes);
    QCOMPARE(file.headers.value("content-length"), QByteArray::number(m_bookBytes.size()));
    QCOMPARE(file.headers.value("content-type"), QByteArray("text/plain"));
    QCOMPARE(m_server.get(url.toUpper()).body, m_bookBytes); // paths ignore letter case
}

void TestServerCatalogue::downloadNames_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("plain") << QStringLiteral("剑影江湖") << QStringLiteral("剑影江湖.txt");
    QTest::newRow("slash") << QStringLiteral("上/下卷") << QStringLiteral("上／下卷.txt");
    QTest::newRow("backslash") << QStringLiteral("上\\下卷") << QStringLiteral("上＼下卷.txt");
    QTest::newRow("parent") << QStringLiteral("..") << QStringLiteral("．．.txt");
    QTest::newRow("dot") << QStringLiteral(".") << QStringLiteral("．.txt");
    QTest::newRow("hidden") << QStringLiteral(".隐藏") << QStringLiteral("．隐藏.txt");
    QTest::newRow("traversal") << QStringLiteral("../../etc/passwd") << QStringLiteral("．．／..／etc／passwd.txt");
    QTest::newRow("control characters") << QStringLiteral("第\t一\x01部") << QStringLiteral("第一部.txt");
    QTest::newRow("url escapes") << QStringLiteral("100%41的#爱?") << QStringLiteral("100％41的＃爱？.txt");
    QTest::newRow("punctuation") << QStringLiteral("[甲] {乙} <丙> \"丁\" 'x' a+b=c & d;e|f^g`h~i")
                                 << QStringLiteral("[甲] {乙} <丙> \"丁\" 'x' a+b=c & d;e|f^g`h~i.txt");
    QTest::newRow("outside the basic plane") << QStringLiteral("𠀀书") << QStringLiteral("𠀀书.txt");
    QTest::newRow("long") << QString(100, QChar(0x5B57)) << QString(65, QChar(0x5B57)) + QStringLiteral(".txt");
}

// Each title becomes a name that the reader can save under and that fetches the book again,
// through the same tolerant URL handling the reader uses.
void TestServerCatalogue::downloadNames()
{
    QFETCH(QString, title);
    QFETCH(QString, fileName);
    auto admin = m_server.admin();
    QVERIFY(admin);
    const auto id = admin->importBook(m_file, QStringLiteral("纪实文学"), title, QStringLiteral("命名"),
                                      QStringLiteral("全集"), QString());
    QVERIFY2(id, qPrintable(admin->lastError()));
    const HttpResult list = m_server.get(QStringLiteral("/readerserver/listbook.asp?action=list&type=纪实文学"));
    const QStringList ids = ServerFixture::texts(list.body, "id");
    const int row = ids.indexOf(QString::number(*id));
    QVERIFY(row >= 0);
    const QString url = ServerFixture::texts(list.body, "downurl").value(row);
    QCOMPARE(url, QStringLiteral("/files/%1/").arg(*id) + fileName);
    QVERIFY(fileName.toUtf8().size() <= 200);
    const HttpResult file = m_server.get(url);
    QCOMPARE(file.status, 200);
    QCOMPARE(file.body, m_bookBytes);
}

void TestServerCatalogue::downloadPathMustNameTheBook_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("another name") << "/files/%1/别的书.txt";
    QTest::newRow("another extension") << "/files/%1/书1号.zip";
    QTest::newRow("no name") << "/files/%1/";
    QTest::newRow("unknown number") << "/files/999999/书1号.txt";
    QTest::newRow("name without number") << "/files/书1号.txt";
    QTest::newRow("deeper") << "/files/%1/x/书1号.txt";
    QTest::newRow("escaped slash in the name") << "/files/%1/..%2F书1号.txt";
}

void TestServerCatalogue::downloadPathMustNameTheBook()
{
    QFETCH(QString, path);
    const HttpResult list = m_server.get(QStringLiteral("/readerserver/listbook.asp?action=search&key=书1号"));
    const QString id = ServerFixture::texts(list.body, "id").value(0);
    QCOMPARE(ServerFixture::texts(list.body, "downurl").value(0), "/files/" + id + QStringLiteral("/书1号.txt"));
    QCOMPARE(m_server.get(path.contains("%1") ? path.arg(id) : path).status, 404);
}

void TestServerCatalogue::traversalIsRefused_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("parent") << "/files/../service.db";
    QTest::newRow("encoded parent") << "/files/%2e%2e/service.db";
    QTest::newRow("encoded slash") << "/files/..%2fservice.db";
    QTest::newRow("update parent") << "/files/update/../../service.db";
    QTest::newRow("backslash") << "/files/..%5cservice.db";
    QTest::newRow("absolute") << "/files//etc/passwd";
    QTest::newRow("temporary folder") << "/files/../tmp/x.part";
    QTest::newRow("folder itself") << "/files/";
    QTest::newRow("not a book") << "/files/source.txt";
}

void TestServerCatalogue::traversalIsRefused()
{
    QFETCH(QString, path);
    const HttpResult r = m_server.get(path);
    QCOMPARE(r.status, 404);
    QVERIFY(!r.body.contains("SQLite"));
}

void TestServerCatalogue::adminChangesShowAtOnce()
{
    // A book imported by another connection (the administration command) is listed by the
    // running service without a restart.
    auto admin = m_server.admin();
    QVERIFY(admin);
    QVERIFY(admin->importBook(m_file, QStringLiteral("学习资料"), QStringLiteral("新到的书"), QStringLiteral("某人"),
                              QStringLiteral("连载"), QStringLiteral("第三章")));
    const HttpResult r = m_server.get(QStringLiteral("/readerserver/listbook.asp?action=list&type=学习资料"));
    QCOMPARE(ServerFixture::texts(r.body, "name"), QStringList{QStringLiteral("新到的书")});
    QCOMPARE(ServerFixture::texts(r.body, "statue"), QStringList{QStringLiteral("连载")});
}

void TestServerCatalogue::realRarArchives()
{
    const QDir rar(QStringLiteral(QUILLMERE_TESTDATA_DIR "/rar"));
    if (!rar.exists())
        QSKIP("the shared RAR archives are not available");
    auto admin = m_server.admin();
    QVERIFY(admin);
    int imported = 0;
    for (const QFileInfo& info : rar.entryInfoList({QStringLiteral("*.rar")}, QDir::Files, QDir::Name)) {
        const auto id = admin->importBook(info.filePath(), QStringLiteral("其他分类"), info.completeBaseName(),
                                          QStringLiteral("测试"), QStringLiteral("全集"), QString());
        QVERIFY2(id, qPrintable(info.fileName() + ": " + admin->lastError()));
        ++imported;
    }
    QVERIFY(imported > 0);
    // Every archive comes back byte for byte.
    QFile first(rar.filePath(QStringLiteral("rar5-stored.rar")));
    QVERIFY(first.open(QIODevice::ReadOnly));
    const HttpResult list = m_server.get(QStringLiteral("/readerserver/listbook.asp?action=search&key=rar5-stored"));
    const QString url = ServerFixture::texts(list.body, "downurl").value(0);
    QVERIFY(url.endsWith(".rar"));
    const HttpResult file = m_server.get(url);
    QCOMPARE(file.body, first.readAll());
    QCOMPARE(file.headers.value("content-type"), QByteArray("application/vnd.rar"));
    const HttpResult all = m_server.get(QStringLiteral("/readerserver/listbook.asp?action=list&type=其他分类"));
    QCOMPARE(ServerFixture::texts(all.body, "pageinfo").value(0).section(',', 1, 1).toInt(), imported);

    // A file that only claims to be an archive is refused.
    QFile fake(m_server.dataDir() + "/fake.rar");
    QVERIFY(fake.open(QIODevice::WriteOnly));
    fake.write("not an archive");
    fake.close();
    QVERIFY(
        !admin->importBook(fake.fileName(), QStringLiteral("其他分类"), "x", "y", QStringLiteral("全集"), QString()));
}

void TestServerCatalogue::infoBlock()
{
    auto admin = m_server.admin();
    QVERIFY(admin);
    QVERIFY(admin->setNotice("2", QStringLiteral("<b>横幅</b> & 公告")));
    QVERIFY(admin->publishUpdate("v1.4", "true", QStringLiteral("修正若干问题"),
                                 {{m_file, "/"}, {"http://127.0.0.1:1/x/Reader.html", "data\\skin"}}));
    const QString desknum = QStringLiteral("ABCD-1234");
    m_server.get(QStringLiteral("/readerserver/getinfo.asp?desknum=%1&rnt=2026-12-810:00:00").arg(desknum));
    const HttpResult r = m_server.get(QStringLiteral("/readerserver/getinfo.asp?desknum=%1&rnt=x").arg(desknum));
    QCOMPARE(r.status, 200);
    QCOMPARE(ServerFixture::childNames(r.body, "infobase"),
             QStringList({"reader_1", "reader_2", "reader_3", "reader_4", "version", "mustdown", "verinfo",
                          "downloadlist", "savepathlist"}));
    QCOMPARE(ServerFixture::texts(r.body, "reader_2"), QStringList{QStringLiteral("<b>横幅</b> & 公告")});
    QCOMPARE(ServerFixture::texts(r.body, "version"), QStringList{"v1.4"});
    QCOMPARE(ServerFixture::texts(r.body, "mustdown"), QStringList{"TRUE"});
    const QStringList urls = ServerFixture::texts(r.body, "downloadlist").value(0).split("||");
    QCOMPARE(urls.size(), 2);
    QCOMPARE(ServerFixture::texts(r.body, "savepathlist"), QStringList{"\\||\\data\\skin\\"});
    QCOMPARE(m_server.service().database().machineSeenCount(desknum).value_or(0), 2);

    // The published local file is served from the update folder.
    const QString path = QUrl(urls.first()).path();
    QCOMPARE(path, QStringLiteral("/files/update/source.txt"));
    QCOMPARE(m_server.get(path).body, m_bookBytes);
}

void TestServerCatalogue::newsPage()
{
    auto admin = m_server.admin();
    QVERIFY(admin);
    QVERIFY(admin->importBook(m_file, QStringLiteral("其他分类"), QStringLiteral("<i>斜体</i>"), QStringLiteral("某人"),
                              QStringLiteral("全集"), QString()));
    const HttpResult r = m_server.get(QStringLiteral("/readerserver/NewsInfo.asp"));
    QCOMPARE(r.status, 200);
    QCOMPARE(r.headers.value("content-type"), QByteArray("text/html; charset=utf-8"));
    const QString page = QString::fromUtf8(r.body);
    QVERIFY(page.contains(QStringLiteral("最新上架")));
    QVERIFY(page.contains(QStringLiteral("&lt;i&gt;斜体&lt;/i&gt;")));
    QVERIFY(!page.contains(QStringLiteral("<i>")));
}

QTEST_GUILESS_MAIN(TestServerCatalogue)
#include "tst_servercatalogue.moc"
