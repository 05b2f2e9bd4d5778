#include "../reader/ReadingFixture.h"

#include "desktop/TypographyController.h"
#include "reader/ReadingController.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QtTest>

// A typography choice reaches the chapter on show at once, without reloading the page, and
// is there again for the next start.
class TestTypography : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void choiceReachesThePageWithoutReloading();
};

void TestTypography::choiceReachesThePageWithoutReloading()
{
    ReadingFixture fx;
    RecordingNavigator nav;
    ReadingPage page(fx.services, nav);
    TypographyController typography(*fx.state.library, page, {QStringLiteral("Noto Sans CJK SC")});
    typography.load();
    page.resize(900, 600);
    page.show();
    ReadingView* view = page.view();
    view->loadPage(fx.state.programFolder + QStringLiteral("/Reader.html"));
    QTRY_VERIFY_WITH_TIMEOUT(view->isPageLoaded(), 20000);
    QSignalSpy shown(view, &ReadingView::chapterDisplayed);
    page.controller().getChapter(fx.writeChapters(QStringLiteral("book.txt"), 2), QString());
    QVERIFY(shown.wait(10000));
    page.controller().showLast(); // "第2章 标题2", then its two lines
    QVERIFY(shown.wait(10000));

    // Before any choice: one column of 40 characters (47.3em at 14px).
    const QString width = QStringLiteral("getComputedStyle(document.getElementById('Content')).maxWidth");
    QTRY_COMPARE_WITH_TIMEOUT(runJs(view, width).toString(), QStringLiteral("662.2px"), 5000);
    // A hard-wrapped line of 40 full-width characters stays one line of the page.
    const QString line =
        QStringLiteral("　　那人道：“你们这几个客人，都从哪里来？要往哪里去？今日天色晚了，且歇一夜。”");
    QCOMPARE(line.size(), 40);
    const QString lineBoxes = QStringLiteral("(function(){var r=document.createRange();"
                                             "r.selectNodeContents(document.getElementById('TXT').firstChild);"
                                             "return r.getClientRects().length;})()");
    view->showChapterHtml(line + QStringLiteral("<br>"), QString());
    QVERIFY(shown.wait(10000));
    QCOMPARE(runJs(view, lineBoxes).toInt(), 1);
    page.controller().showLast();
    QVERIFY(shown.wait(10000));

    const QString text = txtHtml(view);
    QVERIFY2(text.count(QStringLiteral("<br>")) >= 2, qPrintable(text));
    runJs(view, QStringLiteral("window.sameDocument = 1"));

    QAction* indent = typography.menu()->findChild<QAction*>(QStringLiteral("Typography_Indent"));
    QVERIFY(indent);
    indent->trigger();
    ReadingTypography chosen = typography.current();
    QVERIFY(chosen.indent);
    chosen.font = QStringLiteral("Noto Sans CJK SC");
    chosen.lineSpacing = 250;
    chosen.paragraphSpacing = 100;
    chosen.lineChars = 30;
    typography.choose(chosen);

    // Each line (the second, after its <br>) starts two characters in; lines 2.5 of 14px high
    // and a line's height apart (35 + 14), a column of 30 + 2 characters.
    const QString read = QStringLiteral(
        "(function(){var t=document.getElementById('TXT');var s=getComputedStyle(t);"
        "var br=t.querySelectorAll('br');function box(n){var r=document.createRange();r.selectNodeContents(n);"
        "return r.getBoundingClientRect();}var second=box(br[0].nextSibling),third=box(br[1].nextSibling);"
        "var left=Math.round(second.left-t.getBoundingClientRect().left);var gap=Math.round(third.top-second.top);"
        "return [s.fontFamily.split(',')[0],s.lineHeight,s.textIndent,String(left),String(gap),"
        "getComputedStyle(document.getElementById('Content')).maxWidth,String(window.sameDocument)];})()");
    QTRY_COMPARE_WITH_TIMEOUT(runJs(view, read).toStringList(),
                              QStringList({"\"Noto Sans CJK SC\"", "35px", "29.12px", "29", "49", "545.72px", "1"}),
                              5000);
    QCOMPARE(txtHtml(view), text);

    TypographyController again(*fx.state.library, page, {});
    again.load();
    QCOMPARE(again.current(), chosen);
}

QTEST_MAIN(TestTypography)
#include "tst_typography.moc"
