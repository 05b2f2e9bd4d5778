// The catalogue's requests and replies: the addresses byte for byte as a recording service
// receives them, every paging and search message, replies that are cut, empty, refused or
// overtaken, and the demo catalogue of the reference service.
#include "../server/ServerFixture.h"
#include "FakeClock.h"
#include "FakeDialogs.h"
#include "RecordingHttpServer.h"
#include "app/LibraryDatabase.h"
#include "common/SharedRoutines.h"
#include "online/CatalogueController.h"

#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kPath = "/readerserver/listbook.asp";
// The stamp of FakeClock's start, 2009/3/7 8:05:00, as the HTTP stack sends it.
const QByteArray kRnt = "&rnt=2009/3/7%208:05:00";
const QByteArray kAll = "%E5%85%A8%E9%83%A8%E8%B5%84%E6%BA%90";       // 全部资源
const QByteArray kWuxia = "%E6%AD%A6%E4%BE%A0%E4%BB%99%E4%BE%A0";     // 武侠仙侠
const QByteArray kSanguo = "%E4%B8%89%E5%9B%BD%20%E6%BC%94%E4%B9%89"; // 三国 演义

QByteArray bookXml(const QString& id, const QString& name = QString())
{
    return QStringLiteral("<bookinfo><id>%1</id><name>%2</name><class>武侠仙侠</class><author>某</author>"
                          "<statue>全集</statue><ftime>2026-01-02 03:04:05</ftime><size>100</size>"
                          "<downurl>/files/%1/%2.txt</downurl></bookinfo>")
        .arg(id, name.isEmpty() ? QStringLiteral("书") + id : name)
        .toUtf8();
}

QByteArray listXml(const QStringList& ids, const QString& pageinfo)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><booklist>";
    for (const QString& id : ids)
        xml += bookXml(id);
    if (!pageinfo.isEmpty())
        xml += "<otherinfo><pageinfo>" + pageinfo.toUtf8() + "</pageinfo></otherinfo>";
    return xml + "</booklist>";
}

RecordingHttpServer::Answer answerOf(const QByteArray& body, int status = 200)
{
    RecordingHttpServer::Answer a;
    a.status = status;
    a.body = body;
    return a;
}

QStringList idsOf(const QList<CatalogueRow>& rows)
{
    QStringList ids;
    for (const CatalogueRow& row : rows)
        ids << row.id;
    return ids;
}

// A request was answered and handled.
bool settled(CatalogueController& c)
{
    return QTest::qWaitFor([&] { return !c.isRequestPending() && !c.isLoading(); }, 10000);
}

} // namespace

class TestCatalogueController : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void addressesByteForByte();
    void pagingMessages();
    void searchRefusals_data();
    void searchRefusals();
    void firstVisitLoadsTheFirstCategoryOnce();
    void replyWithMissingElements();
    void statusOtherThan200_data();
    void statusOtherThan200();
    void unreadableReply();
    void replyWithoutData();
    void newerRequestReplacesOutstandingOne();
    void titleOnTheShelfAsksFirst_data();
    void titleOnTheShelfAsksFirst();
    void downloadAddressStaysOnTheService_data();
    void downloadAddressStaysOnTheService();

    void demoCatalogueOfTheReferenceService();
    void referenceServiceSearchesAndPages();

private:
    std::unique_ptr<CatalogueController> controllerFor(const QString& base);

    QNetworkAccessManager m_network;
    FakeDialogs m_dialogs;
    FakeClock m_clock;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<LibraryDatabase> m_library;
    std::unique_ptr<RecordingHttpServer> m_server;
};

void TestCatalogueController::init()
{
    m_dialogs.clear();
    m_clock.set(QDateTime(QDate(2009, 3, 7), QTime(8, 5, 0)));
    m_dir = std::make_unique<QTemporaryDir>();
    m_library = std::make_unique<LibraryDatabase>(QStringLiteral("catalogue-test"));
    QVERIFY(m_library->open(m_dir->filePath(QStringLiteral("Data.db"))) != LibraryDatabase::OpenResult::CannotCreate);
    m_server = std::make_unique<RecordingHttpServer>();
    QVERIFY(m_server->listen());
}

void TestCatalogueController::cleanup()
{
    m_server.reset();
    m_library.reset();
    m_dir.reset();
}

std::unique_ptr<CatalogueController> TestCatalogueController::controllerFor(const QString& base)
{
    return std::make_unique<CatalogueController>(base, m_network, m_dialogs, m_clock, m_library.get());
}

void TestCatalogueController::addressesByteForByte()
{
    auto c = controllerFor(m_server->base());
    QCOMPARE(c->catalogueAddress(), m_server->base() + QStringLiteral("/readerserver/listbook.asp"));
    m_server->answerDefault(answerOf(listXml({"1", "2"}, "3,50,1,1,2")));

    c->categoryClick(QStringLiteral("全部资源 "));
    QVERIFY(settled(*c));
    QCOMPARE(m_server->last().method, QByteArray("GET"));
    QCOMPARE(m_server->last().target, kPath + "?action=list&type=" + kAll + kRnt);
    QCOMPARE(c->actionPart(), QStringLiteral("?action=list"));
    QCOMPARE(c->typePart(), QStringLiteral("&type=全部资源"));
    QCOMPARE(c->pageLabel(), QStringLiteral("1/3"));

    c->nextPage();
    QVERIFY(settled(*c));
    QCOMPARE(m_server->last().target, kPath + "?action=list&type=" + kAll + "&page=2" + kRnt);

    // A search sends only its key; paging after it carries the type part too.
    QVERIFY(c->acceptSearch(QStringLiteral("  三国 演义 ")));
    m_clock.set(QDateTime(QDate(2026, 12, 8), QTime(10, 0, 9)));
    c->requestSearch();
    QVERIFY(settled(*c));
    QCOMPARE(m_server->last().target, kPath + "?action=search&key=" + kSanguo + "&rnt=2026/12/8%2010:00:09");
    m_clock.set(QDateTime(QDate(2009, 3, 7), QTime(8, 5, 0)));
    c->nextPage();
    QVERIFY(settled(*c));
    QCOMPARE(m_server->last().target, kPath + "?action=search&type=" + kAll + "&key=" + kSanguo + "&page=2" + kRnt);

    // A category after the search keeps the old key part in later paging addresses.
    c->categoryClick(QStringLiteral("武侠仙侠 "));
    QVERIFY(settled(*c));
    QCOMPARE(m_server->last().target, kPath + "?action=list&type=" + kWuxia + kRnt);
    c->lastPage();
    QVERIFY(settled(*c));
    QCOMPARE(m_server->last().target, kPath + "?action=list&type=" + kWuxia + "&key=" + kSanguo + "&page=3" + kRnt);
    QCOMPARE(c->go(QStringLiteral("2.7")).kind, PagingStep::Kind::Request);
    QVERIFY(settled(*c));
    QCOMPARE(m_server->last().target, kPath + "?action=list&type=" + kWuxia + "&key=" + kSanguo + "&page=2" + kRnt);

    // Words that would break the address are escaped; nothing else is.
    QVERIFY(c->acceptSearch(QStringLiteral("C# & 100%")));
    c->requestSearch();
    QVERIFY(settled(*c));
    QCOMPARE(m_server->last().target, kPath + "?action=search&key=C%23%20%26%20100%25" + kRnt);
    QCOMPARE(m_server->requests().size(), 8);
    QCOMPARE(m_dialogs.count(), 0);
}

void TestCatalogueController::pagingMessages()
{
    auto c = controllerFor(m_server->base());
    m_server->answerDefault(answerOf(listXml({"1"}, "1,5,1,1,1")));
    c->categoryClick(QStringLiteral("全部资源 "));
    QVERIFY(settled(*c));
    const int sent = m_server->requests().size();

    c->firstPage();
    c->previousPage();
    c->nextPage();
    c->lastPage();
    c->go(QStringLiteral("两页"));
    c->go(QStringLiteral("2"));
    c->go(QStringLiteral("0"));
    const QStringList expected = {"当前已是第一页!",
                                  "前面没有了，当前已是第一页!",
                                  "后面没有了，当前已是最后一页!",
                                  "当前已是最后一页!",
                                  "输入的页码有误,请重新输入!",
                                  "输入的页码有误,一共才1页,请重新输入!",
                                  "输入的页码有误,一共才1页,请重新输入!"};
    QCOMPARE(m_dialogs.count(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(m_dialogs.boxes()[i].text, expected[i]);
        QCOMPARE(m_dialogs.boxes()[i].title, QStringLiteral("Quillmere"));
        QCOMPARE(m_dialogs.boxes()[i].style, 48);
    }
    QTest::qWait(50);
    QCOMPARE(m_server->requests().size(), sent); // only messages, no request
}

void TestCatalogueController::searchRefusals_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: sent
    const QString tooShort = QStringLiteral("请输入至少2位的关键字进行搜索！");
    QTest::newRow("empty") << "" << tooShort;
    QTest::newRow("one character") << "剑" << tooShort;
    QTest::newRow("one character among blanks") << "  剑  " << tooShort;
    QTest::newRow("blanks only") << "      " << tooShort;
    QTest::newRow("the grey placeholder") << "输入书名或作者" << QStringLiteral("请输入一个正确的关键字！");
    QTest::newRow("two characters") << "剑影"
                                    << "";
    QTest::newRow("one rare character of two units") << QString::fromUcs4(U"\U00020000") << tooShort;
}

void TestCatalogueController::searchRefusals()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    auto c = controllerFor(m_server->base());
    m_server->answerDefault(answerOf(listXml({"1"}, "1,1,1,1,1")));
    const bool accepted = c->acceptSearch(text);
    QCOMPARE(accepted, message.isEmpty());
    QCOMPARE(c->firstVisitPending(), !accepted);
    if (!accepted) {
        QCOMPARE(m_dialogs.count(), 1);
        QCOMPARE(m_dialogs.last().text, message);
        QCOMPARE(m_dialogs.last().title, QStringLiteral("Quillmere"));
        QCOMPARE(m_dialogs.last().style, 48);
        QCOMPARE(c->actionPart(), QString());
        QCOMPARE(c->keyPart(), QString());
        return;
    }
    c->requestSearch();
    QVERIFY(settled(*c));
    QCOMPARE(m_server->last().target, kPath + "?action=search&key=" + QUrl::toPercentEncoding(text.trimmed()) + kRnt);
    QCOMPARE(m_dialogs.count(), 0);
}

void TestCatalogueController::firstVisitLoadsTheFirstCategoryOnce()
{
    m_server->answerDefault(answerOf(listXml({"1"}, "1,1,1,1,1")));
    auto c = controllerFor(m_server->base());
    QVERIFY(c->firstVisitPending());
    QVERIFY(c->firstVisit());
    QVERIFY(!c->firstVisitPending());
    QVERIFY(settled(*c));
    QCOMPARE(m_server->last().target, kPath + "?action=list&type=" + kAll + kRnt);
    QVERIFY(!c->firstVisit());
    QCOMPARE(m_server->requests().size(), 1);

    // A category click or a search before it prevents it.
    auto clicked = controllerFor(m_server->base());
    clicked->categoryClick(QStringLiteral("其他分类 "));
    QVERIFY(!clicked->firstVisit());
    auto searched = controllerFor(m_server->base());
    QVERIFY(searched->acceptSearch(QStringLiteral("江湖")));
    QVERIFY(!searched->firstVisit());
    // "上传共享" is no category: it neither requests nor clears the flag.
    auto upload = controllerFor(m_server->base());
    upload->categoryClick(QStringLiteral("上传共享 "));
    QVERIFY(upload->firstVisitPending());
    QVERIFY(!upload->isLoading());
}

void TestCatalogueController::replyWithMissingElements()
{
    auto c = controllerFor(m_server->base());
    QSignalSpy read(c.get(), &CatalogueController::listRead);
    m_server->answerDefault(answerOf(listXml({"1", "2", "3"}, "4,70,2,1,3")));
    c->categoryClick(QStringLiteral("全部资源 "));
    QVERIFY(settled(*c));
    QCOMPARE(read.last().first().toBool(), true);

    // The third record lacks its author: the two before it stay, nothing is said, the page
    // information stays that of the last complete reply.
    QByteArray cut = listXml({"7", "8"}, "4,70,3,2,4");
    cut.replace("</booklist>", "");
    cut += "<bookinfo><id>9</id><name>甲</name><class>乙</class><statue>全集</statue><ftime>x</ftime>"
           "<size>1</size><downurl>/a/b.txt</downurl></bookinfo><otherinfo><pageinfo>4,70,3,2,4</pageinfo>"
           "</otherinfo></booklist>";
    m_server->answerDefault(answerOf(cut));
    c->nextPage();
    QVERIFY(settled(*c));
    QCOMPARE(idsOf(c->rows()), QStringList({"7", "8"}));
    QCOMPARE(read.last().first().toBool(), false);
    QCOMPARE(c->pageLabel(), QStringLiteral("2/4"));
    QCOMPARE(m_dialogs.count(), 0);

    // A page information of four values: the rows stay, the page does not move.
    m_server->answerDefault(answerOf(listXml({"5"}, "4,70,3,2")));
    c->nextPage();
    QVERIFY(settled(*c));
    QCOMPARE(idsOf(c->rows()), QStringList({"5"}));
    QCOMPARE(c->pageLabel(), QStringLiteral("2/4"));
    QCOMPARE(m_dialogs.count(), 0);
}

void TestCatalogueController::statusOtherThan200_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("206") << 206;
    QTest::newRow("404") << 404;
    QTest::newRow("500") << 500;
}

void TestCatalogueController::statusOtherThan200()
{
    QFETCH(int, status);
    auto c = controllerFor(m_server->base());
    m_server->answerDefault(answerOf(listXml({"1", "2"}, "2,30,1,1,2")));
    c->categoryClick(QStringLiteral("全部资源 "));
    QVERIFY(settled(*c));
    QSignalSpy read(c.get(), &CatalogueController::listRead);
    m_server->answerDefault(answerOf(listXml({"3"}, "2,30,2,1,2"), status));
    c->nextPage();
    QVERIFY(c->isLoading());
    QVERIFY(settled(*c));
    // Silent: the list keeps its rows and its page, and nothing looks busy any more.
    QCOMPARE(read.count(), 0);
    QCOMPARE(idsOf(c->rows()), QStringList({"1", "2"}));
    QCOMPARE(c->pageLabel(), QStringLiteral("1/2"));
    QCOMPARE(m_dialogs.count(), 0);
}

void TestCatalogueController::unreadableReply()
{
    auto c = controllerFor(m_server->base());
    m_server->answerDefault(answerOf(listXml({"1"}, "1,1,1,1,1")));
    c->categoryClick(QStringLiteral("全部资源 "));
    QVERIFY(settled(*c));
    RecordingHttpServer::Answer html = answerOf("<html><body>Server Error<br></body></html>");
    html.contentType = "text/html";
    m_server->answerDefault(html);
    c->categoryClick(QStringLiteral("全部资源 "));
    QVERIFY(settled(*c));
    QCOMPARE(m_dialogs.count(), 1);
    QCOMPARE(m_dialogs.last().text, QStringLiteral("网络还没有准备就续，资料读取错误。状态：1"));
    QCOMPARE(m_dialogs.last().title, QStringLiteral("读取错误"));
    QCOMPARE(m_dialogs.last().style, 48);
    QCOMPARE(idsOf(c->rows()), QStringList({"1"}));
}

void TestCatalogueController::replyWithoutData()
{
    auto c = controllerFor(m_server->base());
    m_server->answerDefault(answerOf(listXml({"1", "2"}, "3,50,2,1,3")));
    c->categoryClick(QStringLiteral("全部资源 "));
    QVERIFY(settled(*c));
    QSignalSpy read(c.get(), &CatalogueController::listRead);
    m_server->answerDefault(answerOf(listXml({}, QString())));
    QVERIFY(c->acceptSearch(QStringLiteral("没有这本书")));
    c->requestSearch();
    QVERIFY(settled(*c));
    QCOMPARE(read.count(), 1);
    QVERIFY(c->rows().isEmpty());
    QCOMPARE(m_dialogs.count(), 1);
    QCOMPARE(m_dialogs.last().text, QStringLiteral("没有获取到任何数据！"));
    QCOMPARE(m_dialogs.last().title, QStringLiteral("Quillmere"));
    QCOMPARE(m_dialogs.last().style, 48);
    // No page to move within any more: the paging controls rest.
    QCOMPARE(c->pageLabel(), QString());
    const int sent = m_server->requests().size();
    QCOMPARE(c->nextPage().kind, PagingStep::Kind::Nothing);
    QCOMPARE(c->go(QStringLiteral("2")).kind, PagingStep::Kind::Nothing);
    QCOMPARE(m_server->requests().size(), sent);
    QCOMPARE(m_dialogs.count(), 1);
}

void TestCatalogueController::newerRequestReplacesOutstandingOne()
{
    auto c = controllerFor(m_server->base());
    QSignalSpy read(c.get(), &CatalogueController::listRead);
    m_server->setResponder([](const RecordingHttpServer::Request& r) {
        RecordingHttpServer::Answer a = answerOf(listXml({"2"}, "1,1,1,1,1"));
        if (r.target.contains(kWuxia)) { // the first request is never answered
            a.body = listXml({"1"}, "1,1,1,1,1");
            a.never = true;
        }
        return a;
    });
    c->categoryClick(QStringLiteral("武侠仙侠 "));
    QVERIFY(m_server->waitForRequests(1));
    c->categoryClick(QStringLiteral("全部资源 "));
    QVERIFY(settled(*c));
    QTest::qWait(100);
    QCOMPARE(read.count(), 1);
    QCOMPARE(idsOf(c->rows()), QStringList({"2"}));

    // Both answered, the older one slowly: still only the newer one fills the list.
    m_server->setResponder([](const RecordingHttpServer::Request& r) {
        RecordingHttpServer::Answer a = answerOf(listXml({"3"}, "1,1,1,1,1"));
        if (r.target.contains(kWuxia))
            a = answerOf(listXml({"4"}, "1,1,1,1,1"));
        return a;
    });
    read.clear();
    c->categoryClick(QStringLiteral("全部资源 "));
    c->categoryClick(QStringLiteral("武侠仙侠 "));
    QVERIFY(settled(*c));
    QTest::qWait(200);
    QCOMPARE(read.count(), 1);
    QCOMPARE(idsOf(c->rows()), QStringList({"4"}));
}

void TestCatalogueController::titleOnTheShelfAsksFirst_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("onShelf");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("ordered");
    QTest::newRow("not on the shelf") << "剑影江湖" << false << int(Answer::No) << true;
    QTest::newRow("on the shelf, yes") << "剑影江湖" << true << int(Answer::Yes) << true;
    QTest::newRow("on the shelf, no") << "剑影江湖" << true << int(Answer::No) << false;
    QTest::newRow("quoted title on the shelf") << "O'Neil的\"江湖\"" << true << int(Answer::No) << false;
}

void TestCatalogueController::titleOnTheShelfAsksFirst()
{
    QFETCH(QString, title);
    QFETCH(bool, onShelf);
    QFETCH(int, answer);
    QFETCH(bool, ordered);
    if (onShelf)
        QVERIFY(m_library->insertBook(QStringLiteral("武侠仙侠"), title, QStringLiteral("某"),
                                      m_dir->filePath(QStringLiteral("a.txt"))));
    auto c = controllerFor(QStringLiteral("http://127.0.0.1:9"));
    CatalogueRow row;
    row.name = title;
    row.downurl = QStringLiteral("/files/5/") + title + QStringLiteral(".txt");
    if (onShelf)
        m_dialogs.answerNext(static_cast<Answer>(answer));
    const auto order = c->confirmDownload(row);
    QCOMPARE(bool(order), ordered);
    if (onShelf) {
        QCOMPARE(m_dialogs.count(), 1);
        QCOMPARE(m_dialogs.last().text, QStringLiteral("《") + title +
                                            QStringLiteral("》已经存在你的书架中！ 是否重新下载并更新本书TXT文件？"));
        QCOMPARE(m_dialogs.last().title, QStringLiteral("确认下载"));
        QCOMPARE(m_dialogs.last().style, 4);
    } else {
        QCOMPARE(m_dialogs.count(), 0);
    }
    if (order) {
        QCOMPARE(order->caption, title);
        QCOMPARE(order->url, QStringLiteral("http://127.0.0.1:9/files/5/") + title + QStringLiteral(".txt"));
        QCOMPARE(order->fileName, title + QStringLiteral(".txt"));
    }
}

void TestCatalogueController::downloadAddressStaysOnTheService_data()
{
    QTest::addColumn<QString>("downurl");
    QTest::addColumn<QString>("url");
    const QString base = QStringLiteral("http://127.0.0.1:8086");
    QTest::newRow("a path") << "/down/abc.txt" << base + "/down/abc.txt";
    QTest::newRow("a path without its slash") << "down/abc.txt" << base + "/down/abc.txt";
    QTest::newRow("user-info of the base") << "@127.0.0.1:18432/a.txt" << base + "/@127.0.0.1:18432/a.txt";
    QTest::newRow("another port") << ":18432/a.txt" << base + "/:18432/a.txt";
    QTest::newRow("another host") << "//other.example/a.txt" << base + "//other.example/a.txt";
}

void TestCatalogueController::downloadAddressStaysOnTheService()
{
    QFETCH(QString, downurl);
    QFETCH(QString, url);
    const DownloadOrder order = CatalogueController::downloadOrder(QStringLiteral("http://127.0.0.1:8086"), downurl);
    QCOMPARE(order.url, url);
    const QUrl wire(order.url, QUrl::TolerantMode);
    QCOMPARE(wire.authority(), QStringLiteral("127.0.0.1:8086"));
    QCOMPARE(order.fileName, getPathFileName(downurl));
}

void TestCatalogueController::demoCatalogueOfTheReferenceService()
{
    ServerFixture service;
    QVERIFY(service.start());
    auto admin = service.admin();
    QVERIFY(admin);
    QCOMPARE(admin->run(QStringLiteral("seed-demo"), {}), 0);
    auto c = controllerFor(service.base());

    QVERIFY(c->firstVisit());
    QVERIFY(settled(*c));
    QCOMPARE(m_dialogs.count(), 0);
    QCOMPARE(c->rows().size(), 20); // the service's page size
    const CataloguePageInfo first = *c->pageInfo();
    QCOMPARE(first.current, QStringLiteral("1"));
    QVERIFY(first.pageCount.toInt() >= 2);
    for (const CatalogueRow& row : c->rows()) {
        QVERIFY(!row.id.isEmpty() && !row.name.isEmpty() && !row.author.isEmpty());
        QVERIFY2(row.downurl.startsWith(QLatin1Char('/')), qPrintable(row.downurl));
    }

    c->lastPage();
    QVERIFY(settled(*c));
    QCOMPARE(c->pageInfo()->current, first.pageCount);
    c->nextPage();
    QCOMPARE(m_dialogs.last().text, QStringLiteral("后面没有了，当前已是最后一页!"));
    c->firstPage();
    QVERIFY(settled(*c));
    QCOMPARE(c->pageLabel(), QStringLiteral("1/") + first.pageCount);

    // One category: its three demo books, every one of that category.
    c->categoryClick(QStringLiteral("武侠仙侠 "));
    QVERIFY(settled(*c));
    QVERIFY(!c->rows().isEmpty());
    for (const CatalogueRow& row : c->rows())
        QCOMPARE(row.category, QStringLiteral("武侠仙侠"));

    // A book of the list downloads from the address a double-click would use.
    const DownloadOrder order = CatalogueController::downloadOrder(service.base(), c->rows().first().downurl);
    QNetworkRequest request{QUrl(order.url, QUrl::TolerantMode)};
    QNetworkReply* reply = m_network.get(request);
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait(10000));
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    QVERIFY(reply->readAll().size() > 0);
    reply->deleteLater();
}

void TestCatalogueController::referenceServiceSearchesAndPages()
{
    ServerFixture service;
    QVERIFY(service.start());
    auto admin = service.admin();
    QVERIFY(admin);
    const QString file = service.dataDir() + QStringLiteral("/book.txt");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(TextCodec::encodeGbk(QStringLiteral("第一章 开始\r\n正文\r\n")));
    f.close();
    // 25 books by one author, and one whose title holds the characters addresses dislike.
    for (int i = 1; i <= 25; ++i)
        QVERIFY(admin->importBook(file, QStringLiteral("历史军事"), QStringLiteral("长河%1").arg(i),
                                  QStringLiteral("史笔 先生"), QStringLiteral("全集"), QString()));
    const QString odd = QStringLiteral("剑<与>&“诗” C#");
    QVERIFY(admin->importBook(file, QStringLiteral("其他分类"), odd, QStringLiteral("某"), QStringLiteral("连载"),
                              QString()));
    auto c = controllerFor(service.base());

    QVERIFY(c->acceptSearch(QStringLiteral("史笔 先生")));
    c->requestSearch();
    QVERIFY(settled(*c));
    QCOMPARE(c->rows().size(), 20);
    QCOMPARE(c->pageLabel(), QStringLiteral("1/2"));
    QCOMPARE(c->go(QStringLiteral("2")).kind, PagingStep::Kind::Request);
    QVERIFY(settled(*c));
    QCOMPARE(c->rows().size(), 5);
    QCOMPARE(c->pageLabel(), QStringLiteral("2/2"));
    c->previousPage();
    QVERIFY(settled(*c));
    QCOMPARE(c->pageLabel(), QStringLiteral("1/2"));

    QVERIFY(c->acceptSearch(QStringLiteral("&“诗” C#")));
    c->requestSearch();
    QVERIFY(settled(*c));
    QCOMPARE(c->rows().size(), 1);
    QCOMPARE(c->rows().first().name, odd);
    QCOMPARE(c->rows().first().statue, QStringLiteral("连载"));

    QVERIFY(c->acceptSearch(QStringLiteral("没有这本书")));
    c->requestSearch();
    QVERIFY(settled(*c));
    QVERIFY(c->rows().isEmpty());
    QCOMPARE(m_dialogs.last().text, QStringLiteral("没有获取到任何数据！"));
}

QTEST_MAIN(TestCatalogueController)
#include "tst_cataloguecontroller.moc"
