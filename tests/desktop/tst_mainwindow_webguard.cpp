// The notice pane under the category tree and the user panel's news view show only pages of
// the service itself, which reach no local file, open no WebSocket and go nowhere else.
#include "../reader/ReadingFixture.h"

#include "RecordingHttpServer.h"

#include "account/AccountWindows.h"
#include "account/UserPanel.h"
#include "desktop/MainWindow.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"

#include <QtTest>

class TestMainWindowWebGuard : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void noticeShowsOnlyServicePages_data();
    void noticeShowsOnlyServicePages();
    void noticePageStaysAndOpensNoSocket();
    void newsViewStaysAndOpensNoSocket();

private:
    // A page of the service whose script opens a WebSocket to the service and then moves
    // the page to another origin.
    RecordingHttpServer::Answer hostilePage() const;
    void checkStays(QWebEngineView* view, const QUrl& url);
    QWebEngineView* notice() const { return m_window->findChild<QWebEngineView*>(QStringLiteral("WebBrowser2")); }
    bool requested(const QByteArray& path) const;

    std::unique_ptr<ReadingFixture> m_fx;
    std::unique_ptr<RecordingHttpServer> m_server;
    std::unique_ptr<MainWindow> m_window;
};

void TestMainWindowWebGuard::init()
{
    m_fx = std::make_unique<ReadingFixture>();
    m_server = std::make_unique<RecordingHttpServer>();
    QVERIFY(m_server->listen());
    m_fx->state.serviceBase = m_server->base();
    RecordingHttpServer::Answer page;
    page.contentType = "text/html; charset=utf-8";
    page.body = "<html><head><title>notice</title></head><body>service notice</body></html>";
    m_server->answerDefault(page);
    m_window = std::make_unique<MainWindow>(m_fx->services);
    m_window->formLoad();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->readingPage()->view()->isPageLoaded(), 20000);
    m_window->selectToolBar(1);
}

void TestMainWindowWebGuard::cleanup()
{
    m_window.reset();
    m_server.reset();
    m_fx.reset();
}

bool TestMainWindowWebGuard::requested(const QByteArray& path) const
{
    for (const RecordingHttpServer::Request& request : m_server->requests())
        if (request.target.startsWith(path))
            return true;
    return false;
}

void TestMainWindowWebGuard::noticeShowsOnlyServicePages_data()
{
    QTest::addColumn<QString>("address"); // %1: the service base, %2: its port
    QTest::addColumn<bool>("shown");
    QTest::newRow("a local file") << QStringLiteral("file:///etc/hostname") << false;
    QTest::newRow("a page in a book folder") << QStringLiteral("file://%3/TxtBook/book/notice.htm") << false;
    QTest::newRow("a script") << QStringLiteral("javascript:document.title='pwned'") << false;
    QTest::newRow("another origin") << QStringLiteral("http://localhost:%2/notice.asp") << false;
    QTest::newRow("the service base as user name") << QStringLiteral("http://127.0.0.1:%2@localhost:%2/n") << false;
    QTest::newRow("the service's page") << QStringLiteral(" %1/readerserver/notice.asp ") << true;
}

void TestMainWindowWebGuard::noticeShowsOnlyServicePages()
{
    QFETCH(QString, address);
    QFETCH(bool, shown);
    QDir(m_fx->dir.path()).mkpath(QStringLiteral("TxtBook/book"));
    QFile page(m_fx->dir.filePath(QStringLiteral("TxtBook/book/notice.htm")));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<html><head><title>pwned</title></head><body>local</body></html>");
    page.close();

    const QString url = address.arg(m_server->base()).arg(m_server->port()).arg(m_fx->dir.path());
    m_window->showNotice(url);
    QTest::qWait(1500);
    QCOMPARE(notice()->isVisible(), shown);
    if (shown) {
        QTRY_COMPARE_WITH_TIMEOUT(notice()->title(), QStringLiteral("notice"), 10000);
        QCOMPARE(notice()->url(), QUrl(url.trimmed()));
    } else {
        QCOMPARE(notice()->url(), QUrl());
        QVERIFY(notice()->title() != QStringLiteral("pwned"));
        QCOMPARE(m_server->requests().size(), 0);
    }
}

RecordingHttpServer::Answer TestMainWindowWebGuard::hostilePage() const
{
    RecordingHttpServer::Answer page;
    page.contentType = "text/html; charset=utf-8";
    page.body = QStringLiteral("<html><head><title>notice</title></head><body>service notice<script>"
                               "try { new WebSocket('ws://127.0.0.1:%1/ws'); } catch (e) {}"
                               "setTimeout(function () { location.href = 'http://localhost:%1/elsewhere'; }, 300);"
                               "</script></body></html>")
                    .arg(m_server->port())
                    .toUtf8();
    return page;
}

void TestMainWindowWebGuard::checkStays(QWebEngineView* view, const QUrl& url)
{
    QVERIFY(view);
    QTRY_COMPARE_WITH_TIMEOUT(view->title(), QStringLiteral("notice"), 10000);
    QTest::qWait(1500);
    QVERIFY(!requested("/ws"));
    QVERIFY(!requested("/elsewhere"));
    QCOMPARE(view->url(), url);
}

// The service's own notice page: its script neither reaches the service through a
// WebSocket nor moves the pane to another page.
void TestMainWindowWebGuard::noticePageStaysAndOpensNoSocket()
{
    m_server->answer("/readerserver/notice.asp", hostilePage());
    const QUrl url(m_server->base() + QStringLiteral("/readerserver/notice.asp"));
    m_window->showNotice(url.toString());
    checkStays(notice(), url);
}

// The user panel's news view holds to the same rules.
void TestMainWindowWebGuard::newsViewStaysAndOpensNoSocket()
{
    m_server->answer("/readerserver/NewsInfo.asp", hostilePage());
    m_window->toolbarButton(4)->trigger();
    UserPanel* panel = m_window->accountWindows().userPanel();
    QVERIFY(panel);
    checkStays(panel->findChild<QWebEngineView*>(QStringLiteral("NewsView")),
               QUrl(m_server->base() + QStringLiteral("/readerserver/NewsInfo.asp")));
}

QTEST_MAIN(TestMainWindowWebGuard)
#include "tst_mainwindow_webguard.moc"
