// The reading page against hostile and outsized input: HTML from the service that tries to
// run script, and a chapter of megabytes shown in parts that bookmarks find again.
#include "ReadingFixture.h"

#include "reader/ChapterListModel.h"
#include "reader/ReadingController.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"

#include <QSignalSpy>
#include <QtTest>

class TestReadingHostile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void serviceHtmlRunsNoScript_data();
    void serviceHtmlRunsNoScript();
    void longChapterShownInParts();
    void bookmarkFindsItsPart();

private:
    ReadingController& controller() { return m_page->controller(); }
    ReadingView* view() { return m_page->view(); }
    void openBook(const QString& path, const QString& bookmark = QString());
    QString writeHeadless(const QString& name, int megabytes);

    std::unique_ptr<ReadingFixture> m_fx;
    std::unique_ptr<RecordingNavigator> m_nav;
    std::unique_ptr<ReadingPage> m_page;
};

void TestReadingHostile::init()
{
    m_fx = std::make_unique<ReadingFixture>();
    m_nav = std::make_unique<RecordingNavigator>();
    m_page = std::make_unique<ReadingPage>(m_fx->services, *m_nav);
    m_page->resize(900, 600);
    m_page->show();
    view()->loadPage(m_fx->state.programFolder + QStringLiteral("/Reader.html"));
    QTRY_VERIFY_WITH_TIMEOUT(view()->isPageLoaded(), 20000);
}

void TestReadingHostile::cleanup()
{
    m_page.reset();
    m_nav.reset();
    m_fx.reset();
}

void TestReadingHostile::openBook(const QString& path, const QString& bookmark)
{
    QSignalSpy shown(&controller(), &ReadingController::chapterShown);
    controller().getChapter(path, bookmark);
    QVERIFY(shown.wait(20000));
}

// A book whose first line is its title and the rest one line of `megabytes` MB.
QString TestReadingHostile::writeHeadless(const QString& name, int megabytes)
{
    QString text = QStringLiteral("无题\n");
    const QString sentence = QStringLiteral("这一段文字没有标题也没有换行，只是一直写下去。");
    while (text.size() * 3 < megabytes * 1024 * 1024)
        text += sentence;
    return m_fx->writeBook(name, text);
}

void TestReadingHostile::serviceHtmlRunsNoScript_data()
{
    QTest::addColumn<QString>("banner");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("footer");
    const QString img = QStringLiteral("<img src=x onerror=\"window.pwned=(window.pwned||0)+1\">");
    QTest::newRow("banner image with onerror") << QStringLiteral("<b>广告</b>") + img << QString() << QString();
    QTest::newRow("header and footer with onerror") << QString() << img << img;
    QTest::newRow("script element, svg onload, javascript link")
        << QStringLiteral("<script>window.pwned=1</script><svg onload=\"window.pwned=1\"></svg>"
                          "<a id=\"js\" href=\"javascript:window.pwned=1\">点我</a>")
        << QStringLiteral("<iframe srcdoc=\"<script>parent.pwned=1</script>\"></iframe>") << QString();
}

// The banner and the chapter snippets come from the network and stay HTML, but the page's
// security policy lets only its own script file run: no event handler, no inline script.
void TestReadingHostile::serviceHtmlRunsNoScript()
{
    QFETCH(QString, banner);
    QFETCH(QString, header);
    QFETCH(QString, footer);
    m_fx->state.bannerHtml = banner;
    m_fx->state.chapterHeaderHtml = header;
    m_fx->state.chapterFooterHtml = footer;
    openBook(m_fx->writeChapters(QStringLiteral("a.txt"), 3));
    // The page's own script still runs: it connects its channel to the program.
    QTRY_VERIFY_WITH_TIMEOUT(runJs(view(), QStringLiteral("window.readerChannelReady === true")).toBool(), 10000);

    // Count the failing images from outside the page, then show chapter 1 so that they fail
    // once more while the counter watches.
    runJs(view(), QStringLiteral("window.failed = 0; document.addEventListener('error', function () { "
                                 "window.failed++; }, true); true"));
    controller().setSelectedRow(1);
    controller().showSelected();
    const int images = int(banner.count(QStringLiteral("<img")) + header.count(QStringLiteral("<img")) +
                           footer.count(QStringLiteral("<img")));
    if (images > 0)
        QTRY_COMPARE_WITH_TIMEOUT(runJs(view(), QStringLiteral("window.failed")).toInt(), images, 10000);
    else
        QTest::qWait(500);
    if (banner.contains(QLatin1String("javascript:")))
        runJs(view(), QStringLiteral("document.getElementById('js').click(); true"));
    QTest::qWait(200);
    QCOMPARE(runJs(view(), QStringLiteral("typeof window.pwned")).toString(), QStringLiteral("undefined"));

    // Still HTML: the markup became elements.
    if (banner.contains(QLatin1String("<b>")))
        QVERIFY(runJs(view(), QStringLiteral("document.querySelector('#AdsDiv b') !== null")).toBool());
    QVERIFY(
        runJs(view(), QStringLiteral("document.getElementById('TXT').textContent.indexOf('内容1甲') >= 0")).toBool());
    // And a real key press still reaches the program through the page's script.
    view()->setFocus();
    QTest::keyClick(view()->focusProxy(), Qt::Key_Right);
    QTRY_COMPARE_WITH_TIMEOUT(controller().selectedRow(), 2, 5000);
}

// A 4 MB chapter without headings comes up in parts: the first at once, the next on Right.
void TestReadingHostile::longChapterShownInParts()
{
    const QString path = writeHeadless(QStringLiteral("long.txt"), 4);
    openBook(path);
    ChapterListModel& model = m_page->chapterModel();
    QVERIFY(model.count() >= 4 * 1024 * 1024 / ScanLimits::kDefaultPartBytes);
    QCOMPARE(model.label(0), QStringLiteral("无题（第1部分）"));
    QCOMPARE(model.label(1), QStringLiteral("无题（第2部分）"));
    QTRY_VERIFY_WITH_TIMEOUT(txtHtml(view()).contains(QStringLiteral("这一段文字没有标题")), 10000);
    const int shown = int(txtHtml(view()).size());
    QVERIFY(shown < 2 * ScanLimits::kDefaultPartBytes);

    controller().changeChapter(ReadingController::KeyRight);
    QTRY_COMPARE_WITH_TIMEOUT(model.nowChapter(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(txtHtml(view()), readChapterHtml(controller().scan(), 1), 10000);
    QCOMPARE(m_fx->dialogs.count(), 0);
}

// A bookmark set on a part holds that part's label and opens that part again.
void TestReadingHostile::bookmarkFindsItsPart()
{
    const QString path = writeHeadless(QStringLiteral("marked.txt"), 1);
    QVERIFY(m_fx->library.insertBook(QStringLiteral("其他分类"), QStringLiteral("无题"), QStringLiteral("佚名"), path));
    openBook(path);
    QVERIFY(m_page->chapterModel().count() >= 4);
    controller().setSelectedRow(3);
    controller().showSelected();
    m_page->addBookmark();
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("恭喜你：书签添加成功！"));
    QCOMPARE(m_fx->library.bookByPath(path)->marke, QStringLiteral("无题（第4部分）"));

    openBook(path, m_fx->library.bookByPath(path)->marke);
    QCOMPARE(controller().selectedRow(), 3);
    controller().showFirst();
    m_page->gotoBookmark();
    QCOMPARE(controller().selectedRow(), 3);
}

QTEST_MAIN(TestReadingHostile)
#include "tst_readinghostile.moc"
