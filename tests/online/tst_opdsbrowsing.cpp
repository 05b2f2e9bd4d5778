// Browsing added catalogues: the reference service's feeds walked, paged and searched; a
// server that wants a login asks again until the login is right; failures shown in the page;
// the catalogue list kept without its passwords; a TXT and a RAR book of the reference
// service's feed put on the shelf through the download queue.
#include "../reader/ReadingFixture.h"
#include "../server/ServerFixture.h"

#include "FakePasswordStore.h"
#include "RecordingHttpServer.h"

#include "desktop/MainWindow.h"
#include "online/opds/OnlineLibraryPage.h"
#include "online/opds/OpdsBrowser.h"
#include "online/opds/OpdsCatalogues.h"
#include "online/opds/OpdsPage.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

class TestOpdsBrowsing : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void walkPageAndSearchTheReferenceService();
    void refusedLoginAsksAgain();
    void failuresShownInThePage_data();
    void failuresShownInThePage();
    void catalogueListKeepsNoPassword();
    void txtAndRarOntoTheShelf();
};

namespace {

bool waitLoaded(OpdsBrowser& browser, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while ((browser.isLoading() || browser.feed().totalEntries == 0) && browser.notice().isEmpty() &&
           timer.elapsed() < timeoutMs)
        QTest::qWait(20);
    return !browser.isLoading() && browser.notice().isEmpty();
}

const OpdsEntry* navigationNamed(const OpdsFeed& feed, const QString& title)
{
    for (const OpdsEntry& e : feed.navigation)
        if (e.title == title)
            return &e;
    return nullptr;
}

} // namespace

void TestOpdsBrowsing::walkPageAndSearchTheReferenceService()
{
    ServerFixture service;
    QVERIFY(service.start());
    QCOMPARE(service.admin()->run(QStringLiteral("seed-demo"), {}), 0);
    QNetworkAccessManager network;
    OpdsBrowser browser(network);
    browser.open(QUrl(service.base() + QStringLiteral("/opds")));
    QVERIFY2(waitLoaded(browser), qPrintable(browser.notice()));
    QCOMPARE(browser.feed().navigation.size(), 12);
    QVERIFY(browser.feed().hasSearch());

    const OpdsEntry* all = navigationNamed(browser.feed(), QStringLiteral("全部资源"));
    QVERIFY(all);
    browser.enter(*all);
    QVERIFY2(waitLoaded(browser), qPrintable(browser.notice()));
    QVERIFY(!browser.feed().publications.isEmpty());
    QVERIFY(!browser.feed().next.isEmpty());
    QCOMPARE(browser.breadcrumb().size(), 2);
    QVERIFY(browser.canGoBack());
    const QString firstTitle = browser.feed().publications.first().title;
    for (const OpdsEntry& book : browser.feed().publications) {
        QVERIFY(!book.acquisitions.isEmpty());
        QVERIFY(book.acquisitions.first().length >= 0);
    }

    // A page further: the history keeps its depth.
    QVERIFY(browser.nextPage());
    QVERIFY2(waitLoaded(browser), qPrintable(browser.notice()));
    QVERIFY(browser.feed().publications.first().title != firstTitle);
    QVERIFY(!browser.feed().previous.isEmpty());
    QCOMPARE(browser.breadcrumb().size(), 2);

    // A search through the OpenSearch description, with words of a title.
    QVERIFY(browser.search(firstTitle.left(2)));
    QTRY_VERIFY_WITH_TIMEOUT(!browser.isLoading() && browser.breadcrumb().size() == 3, 10000);
    QVERIFY(!browser.feed().publications.isEmpty());
    QVERIFY(browser.feed().publications.first().title.contains(firstTitle.left(2)) ||
            browser.feed().publications.first().author.contains(firstTitle.left(2)));

    // Back twice lands on the root again.
    QVERIFY(browser.back());
    QVERIFY2(waitLoaded(browser), qPrintable(browser.notice()));
    QVERIFY(browser.back());
    QVERIFY2(waitLoaded(browser), qPrintable(browser.notice()));
    QCOMPARE(browser.feed().navigation.size(), 12);
    QVERIFY(!browser.canGoBack());
}

void TestOpdsBrowsing::refusedLoginAsksAgain()
{
    RecordingHttpServer server;
    QVERIFY(server.listen());
    const QByteArray good = "Basic " + QByteArray("alice:秘密").toBase64();
    QFile feedFile(QStringLiteral(QUILLMERE_SOURCE_DIR "/tests/online/data/opds/acquisition.atom"));
    QVERIFY(feedFile.open(QIODevice::ReadOnly));
    const QByteArray feed = feedFile.readAll();
    server.setResponder([&](const RecordingHttpServer::Request& request) {
        RecordingHttpServer::Answer a;
        if (request.header("authorization") != good) {
            a.status = 401;
            a.contentType = "text/html";
            a.body = "<html>401</html>";
            a.headers << "WWW-Authenticate: Basic realm=\"books\"";
            return a;
        }
        a.contentType = "application/atom+xml;profile=opds-catalog;kind=acquisition";
        a.body = feed;
        return a;
    });

    QNetworkAccessManager network;
    FakePasswordStore keyring;
    OpdsCatalogues catalogues(nullptr, &keyring);
    OpdsPage page(network, catalogues);
    QStringList asked;
    page.setLoginPrompt([&](const QString& message, const QString& user) -> std::optional<OpdsPage::Login> {
        asked << message;
        // A wrong password first, then the right one.
        return OpdsPage::Login{user.isEmpty() ? QStringLiteral("alice") : user,
                               asked.size() == 1 ? QStringLiteral("wrong") : QStringLiteral("秘密")};
    });
    OpdsCatalogueRow row;
    row.id = 7;
    row.name = QStringLiteral("家里的书");
    row.url = server.base() + QStringLiteral("/catalog/new.xml");
    page.open(row);
    auto* list = page.findChild<QTreeWidget*>(QStringLiteral("OpdsList"));
    QTRY_COMPARE_WITH_TIMEOUT(list->topLevelItemCount(), 2, 10000);
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked[0], QStringLiteral("这个书库需要登录，请输入用户名和密码"));
    QCOMPARE(asked[1], QStringLiteral("登录失败，请重新输入用户名和密码"));
    QCOMPARE(server.last().header("authorization"), good);
    QVERIFY(page.browser().notice().isEmpty());

    // The book on another host gets no password; the one on the catalogue's host does.
    QString why;
    const auto download = page.browser().downloadOf(page.browser().feed().publications[0], &why);
    QVERIFY(download);
    QCOMPARE(download->encoding, QStringLiteral("GB18030"));
    QCOMPARE(download->category, QStringLiteral("武侠仙侠"));
    QCOMPARE(download->fileName, QStringLiteral("笑傲江湖.txt"));
    QCOMPARE(download->authorization, good);
    QVERIFY(!page.browser().downloadOf(page.browser().feed().publications[1], &why));
    QCOMPARE(why, QStringLiteral("此格式无法在本阅读器中阅读"));
}

void TestOpdsBrowsing::failuresShownInThePage_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("never");
    QTest::addColumn<QString>("notice");
    QTest::newRow("html page") << QByteArray("<html><body>hello</body></html>") << 200 << false
                               << QStringLiteral("这个地址返回的不是 OPDS 书库目录（Atom 或 JSON 格式）");
    QTest::newRow("server error") << QByteArray("oops") << 500 << false
                                  << QStringLiteral("书库服务器返回了错误（HTTP 500）");
    QTest::newRow("never answers") << QByteArray() << 200 << true << QStringLiteral("书库服务器 0 秒没有回应");
}

void TestOpdsBrowsing::failuresShownInThePage()
{
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(bool, never);
    QFETCH(QString, notice);
    RecordingHttpServer server;
    QVERIFY(server.listen());
    RecordingHttpServer::Answer answer;
    answer.status = status;
    answer.contentType = "text/html";
    answer.body = body;
    answer.never = never;
    server.answerDefault(answer);

    QNetworkAccessManager network;
    OpdsCatalogues catalogues(nullptr, nullptr);
    OpdsPage page(network, catalogues);
    page.browser().setTimeoutMs(300);
    OpdsCatalogueRow row;
    row.id = 1;
    row.url = server.base() + QStringLiteral("/opds");
    page.open(row);
    auto* shown = page.findChild<QLabel*>(QStringLiteral("OpdsNotice"));
    QTRY_COMPARE_WITH_TIMEOUT(shown->text(), notice, 10000);
    QVERIFY(!page.browser().isLoading());

    // "重试" asks once more.
    const int before = server.requests().size();
    page.findChild<QPushButton*>(QStringLiteral("OpdsRetry"))->click();
    QVERIFY(server.waitForRequests(before + 1));
}

void TestOpdsBrowsing::catalogueListKeepsNoPassword()
{
    ReadingFixture fx;
    FakePasswordStore keyring;
    OpdsCatalogues catalogues(&fx.library, &keyring);
    QString error;
    OpdsCatalogueRow row;
    row.name = QStringLiteral("书库");
    row.url = QStringLiteral("ftp://books.example/");
    QVERIFY(!catalogues.save(row, {}, false, &error));
    QCOMPARE(error, QStringLiteral("书库地址必须是以 http:// 或 https:// 开头的网址"));

    row.url = QStringLiteral("https://books.example/opds");
    row.userName = QStringLiteral("alice");
    const auto id = catalogues.save(row, QStringLiteral("Zq8-unique-secret"), true, &error);
    QVERIFY2(id, qPrintable(error));
    QTRY_COMPARE(keyring.passwords.value(OpdsCatalogues::keyOf(*id)), QStringLiteral("Zq8-unique-secret"));
    QCOMPARE(catalogues.list().size(), 1);
    QVERIFY(catalogues.list().first().passwordStored);
    QFile data(fx.dir.filePath(QStringLiteral("Data.db")));
    QVERIFY(data.open(QIODevice::ReadOnly));
    QVERIFY(!data.readAll().contains("Zq8-unique-secret"));

    // Read back in a new run: from the keyring.
    OpdsCatalogues later(&fx.library, &keyring);
    QString got;
    later.passwordOf(later.list().first(), [&](const QString& password, const QString&) { got = password; });
    QTRY_COMPARE(got, QStringLiteral("Zq8-unique-secret"));

    // Without a keyring the row says no password is kept, and the page is told why.
    keyring.unavailable = true;
    OpdsCatalogueRow second = row;
    QSignalSpy notices(&catalogues, &OpdsCatalogues::keyringNotice);
    const auto id2 = catalogues.save(second, QStringLiteral("pw"), true, &error);
    QVERIFY(id2);
    QTRY_COMPARE(notices.count(), 1);
    QVERIFY(!catalogues.byId(*id2)->passwordStored);

    QVERIFY(catalogues.remove(*id));
    QCOMPARE(catalogues.list().size(), 1);
}

void TestOpdsBrowsing::txtAndRarOntoTheShelf()
{
    ServerFixture service;
    QVERIFY(service.start());
    QCOMPARE(service.admin()->run(QStringLiteral("seed-demo"), {}), 0);
    ReadingFixture fx;
    FakePasswordStore keyring;
    fx.services.passwords = &keyring;
    fx.state.serviceBase = service.base();
    fx.state.downloadFolder = fx.dir.filePath(QStringLiteral("TxtBook"));
    QVERIFY(QDir().mkpath(fx.state.downloadFolder));
    MainWindow window(fx.services);
    window.formLoad();
    window.selectToolBar(3);

    OnlineLibraryPage* library = window.onlineLibrary();
    QVERIFY(library);
    OpdsCatalogueRow row;
    row.name = QStringLiteral("参考书库");
    row.url = service.base() + QStringLiteral("/opds");
    QString error;
    QVERIFY(library->catalogues().save(row, {}, false, &error));
    library->choose(1);
    OpdsBrowser& browser = library->opdsPage()->browser();
    QVERIFY2(waitLoaded(browser), qPrintable(browser.notice()));
    const OpdsEntry* all = navigationNamed(browser.feed(), QStringLiteral("全部资源"));
    QVERIFY(all);
    browser.enter(*all);
    QVERIFY2(waitLoaded(browser), qPrintable(browser.notice()));
    QTRY_VERIFY(browser.breadcrumb().size() == 2);

    auto* list = library->opdsPage()->findChild<QTreeWidget*>(QStringLiteral("OpdsList"));
    QStringList titles;
    QString txtEncoding;
    for (const QString& type : {QStringLiteral("text/plain"), QStringLiteral("application/vnd.rar")}) {
        int found = -1;
        for (int i = 0; i < browser.feed().publications.size() && found < 0; ++i)
            if (browser.feed().publications[i].acquisitions.value(0).type.startsWith(type))
                found = i;
        QVERIFY2(found >= 0, qPrintable(type));
        const OpdsEntry& book = browser.feed().publications[found];
        titles << book.title;
        if (type == QLatin1String("text/plain"))
            txtEncoding = book.acquisitions[0].type.section(QStringLiteral("charset="), 1).toUpper();
        library->opdsPage()->activateRow(browser.feed().navigation.size() + found);
    }
    QCOMPARE(list->topLevelItemCount(), browser.feed().publications.size());
    for (const QString& title : titles) {
        QTRY_VERIFY_WITH_TIMEOUT(fx.library.bookByName(title).has_value(), 20000);
        const BookRow book = *fx.library.bookByName(title);
        QVERIFY(QFileInfo::exists(book.path));
        QVERIFY(book.path.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive));
    }
    // The TXT's charset is its encoding on the shelf.
    QVERIFY(!txtEncoding.isEmpty());
    QCOMPARE(fx.library.bookEncoding(fx.library.bookByName(titles[0])->path).value_or(QString()).toUpper(),
             txtEncoding);
    QCOMPARE(fx.dialogs.count(), 0);

    // Back to the built-in catalogue: its page is there, unchanged.
    library->choose(0);
    QVERIFY(window.findChild<QTreeWidget*>(QStringLiteral("ListView3"))->isVisible());
}

QTEST_MAIN(TestOpdsBrowsing)
#include "tst_opdsbrowsing.moc"
