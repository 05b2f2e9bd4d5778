// What the update check reads reaches the windows: the notice page opens in WebBrowser2,
// the banner fills AdsDiv and the chapter header and footer wrap each chapter.
#include "../reader/ReadingFixture.h"
#include "UpdateReplies.h"

#include "desktop/MainWindow.h"
#include "reader/ReadingController.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"
#include "update/UpdateCheck.h"

#include "FakeProgramStarter.h"
#include "RecordingHttpServer.h"

#include <QSignalSpy>
#include <QtTest>

class TestUpdateSnippets : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void snippetsReachTheReadingPageAndTheNoticePane();
};

void TestUpdateSnippets::snippetsReachTheReadingPageAndTheNoticePane()
{
    RecordingHttpServer service;
    QVERIFY(service.listen());
    InfoBlock info;
    info.notice = service.base() + QStringLiteral("/readerserver/NewsInfo.asp");
    info.banner = QStringLiteral("<span class=\"ad\">书友社区</span>");
    info.header = QStringLiteral("<p class=\"hdr\">本书由书友分享</p>");
    info.footer = QStringLiteral("<p class=\"ftr\">喜欢请推荐</p>");
    RecordingHttpServer::Answer block;
    block.body = info.xml();
    service.answer("/readerserver/getinfo.asp", block);
    RecordingHttpServer::Answer page;
    page.contentType = "text/html; charset=utf-8";
    page.body = QStringLiteral("<html><body><p id=\"n\">今日公告</p></body></html>").toUtf8();
    service.answer("/readerserver/NewsInfo.asp", page);

    ReadingFixture fx;
    fx.state.serviceBase = service.base();
    FakeProgramStarter starter;
    UpdateCheck check(fx.state, fx.network, fx.dialogs, starter, QStringLiteral("/nowhere/update"));
    QVERIFY(!check.run(service.base() + QStringLiteral("/readerserver/getinfo.asp?desknum=X&rnt=1")).endReader);

    // Start-up's last steps, as the reader takes them.
    MainWindow window(fx.services);
    window.formLoad();
    window.showNotice(fx.state.noticeUrl);
    ReadingView* view = window.readingPage()->view();
    QTRY_VERIFY_WITH_TIMEOUT(view->isPageLoaded(), 20000);

    auto* notice = window.findChild<QWebEngineView*>(QStringLiteral("WebBrowser2"));
    QVERIFY(notice);
    QVERIFY(!notice->isHidden());
    QTRY_COMPARE_WITH_TIMEOUT(runJs(notice, QStringLiteral("document.getElementById('n') ? "
                                                           "document.getElementById('n').textContent : ''"))
                                  .toString(),
                              QStringLiteral("今日公告"), 20000);

    const QString book = fx.writeChapters(QStringLiteral("snippets.txt"), 2);
    QSignalSpy shown(&window.readingPage()->controller(), &ReadingController::chapterShown);
    window.getChapter(book, QString());
    QVERIFY(shown.wait(10000));
    QTRY_VERIFY_WITH_TIMEOUT(txtHtml(view).startsWith(info.header), 5000);
    QVERIFY(txtHtml(view).endsWith(info.footer));
    QCOMPARE(runJs(view, QStringLiteral("document.getElementById('AdsDiv').innerHTML")).toString(), info.banner);
}

QTEST_MAIN(TestUpdateSnippets)
#include "tst_updatesnippets.moc"
