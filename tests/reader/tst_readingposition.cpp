#include "ReadingFixture.h"

#include "reader/ReadingController.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"
#include "reader/position/ReadingPlace.h"
#include "reader/search/BookSearchPane.h"

#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

#include <QSignalSpy>
#include <QtTest>

// The reading page keeps the paragraph at its top and opens the book there again; the
// bookmark still opens its chapter at the top.
class TestReadingPosition : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void reopensAtTheParagraphLeft();
    void bookmarkStillOpensAtChapterTop();
    void searchShowsTheMatchSelected();

private:
    static std::unique_ptr<ReadingPage> openPage(ReadingFixture& fx, RecordingNavigator& nav);
    static QString longBook(ReadingFixture& fx);
};

std::unique_ptr<ReadingPage> TestReadingPosition::openPage(ReadingFixture& fx, RecordingNavigator& nav)
{
    auto page = std::make_unique<ReadingPage>(fx.services, nav);
    page->resize(900, 600);
    page->show();
    page->view()->loadPage(fx.state.programFolder + QStringLiteral("/Reader.html"));
    if (!QTest::qWaitFor([&] { return page->view()->isPageLoaded(); }, 20000))
        qWarning("the reading page did not load");
    return page;
}

QString TestReadingPosition::longBook(ReadingFixture& fx)
{
    QString text = QStringLiteral("位置之书\n");
    for (int c = 1; c <= 3; ++c) {
        text += QStringLiteral("第%1章 标题%1\n").arg(c);
        for (int l = 0; l < 300; ++l)
            text += QStringLiteral("　　卷%1行%2：他走了进来，坐下说话。\n").arg(c).arg(l);
    }
    return fx.writeBook(QStringLiteral("long.txt"), text);
}

void TestReadingPosition::reopensAtTheParagraphLeft()
{
    ReadingFixture fx;
    RecordingNavigator nav;
    const QString path = longBook(fx);
    // A header snippet with line breaks of its own comes before the text.
    fx.state.chapterHeaderHtml = QStringLiteral("<p>头<br>部</p>");
    {
        auto page = openPage(fx, nav);
        QSignalSpy top(page->view(), &ReadingView::topParagraphShown);
        QSignalSpy shown(&page->controller(), &ReadingController::chapterShown);
        page->controller().getChapter(path, QString());
        QVERIFY(shown.wait(10000));
        QCOMPARE(page->controller().selectedRow(), 0);
        page->controller().showPlace(2, 150);
        // The page reports the paragraph it scrolled to: the header's break, then line 150.
        QTRY_VERIFY_WITH_TIMEOUT(!top.isEmpty() && top.last().first().toInt() == 151, 5000);
        QCOMPARE(page->controller().lineOfParagraph(151), 150);
    } // closing the page writes the place

    const std::optional<ReadingPlace> place = ReadingPlace::load(&fx.library, path);
    QVERIFY(place);
    QVERIFY(readChapterLines(getChapterRows(path), 2).value(150).startsWith(place->anchor));
    QVERIFY(!place->anchor.isEmpty());

    auto page = openPage(fx, nav);
    QSignalSpy top(page->view(), &ReadingView::topParagraphShown);
    page->controller().getChapter(path, QString());
    QTRY_COMPARE_WITH_TIMEOUT(page->controller().selectedRow(), 2, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!top.isEmpty() && top.last().first().toInt() == 151, 5000);
}

void TestReadingPosition::bookmarkStillOpensAtChapterTop()
{
    ReadingFixture fx;
    RecordingNavigator nav;
    const QString path = longBook(fx);
    QVERIFY(ReadingPlace::save(&fx.library, path, placeOfLine(getChapterRows(path), 3, 200)));

    auto page = openPage(fx, nav);
    QSignalSpy shown(page->view(), &ReadingView::chapterDisplayed);
    page->controller().getChapter(path, QStringLiteral("第1章 标题1"));
    QVERIFY(shown.wait(10000));
    QCOMPARE(page->controller().selectedRow(), 1);
    QTest::qWait(400); // a scroll would be reported by now
    QCOMPARE(runJs(page->view(), QStringLiteral("document.getElementById('Content_Txt').scrollTop")).toInt(), 0);

    // The stored place is offered beside it.
    page->gotoLastPlace();
    QCOMPARE(page->controller().selectedRow(), 3);
    QTRY_VERIFY_WITH_TIMEOUT(
        runJs(page->view(), QStringLiteral("document.getElementById('Content_Txt').scrollTop")).toInt() > 1000, 5000);
}

void TestReadingPosition::searchShowsTheMatchSelected()
{
    ReadingFixture fx;
    RecordingNavigator nav;
    const QString path = longBook(fx);
    auto page = openPage(fx, nav);
    QSignalSpy shown(page->view(), &ReadingView::chapterDisplayed);
    page->controller().getChapter(path, QString());
    QVERIFY(shown.wait(10000));

    page->openBookSearch();
    BookSearchPane* pane = page->bookSearchPane();
    QVERIFY(pane && pane->isVisible());
    pane->query()->setText(QStringLiteral("行250："));
    QTest::keyClick(pane->query(), Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(pane->results()->topLevelItemCount(), 3, 10000);
    QCOMPARE(pane->summary()->text(), QStringLiteral("共找到 3 处"));
    QCOMPARE(pane->results()->topLevelItem(1)->text(0), QStringLiteral("第2章 标题2"));
    QVERIFY(pane->results()->topLevelItem(1)->text(1).startsWith(QStringLiteral("卷2行250：他走了进来")));

    QTreeWidgetItem* second = pane->results()->topLevelItem(1);
    pane->results()->setCurrentItem(second);
    emit pane->results()->itemActivated(second, 0);
    QTRY_COMPARE_WITH_TIMEOUT(page->controller().selectedRow(), 2, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(runJs(page->view(), QStringLiteral("window.getSelection().toString()")).toString(),
                              QStringLiteral("行250："), 5000);
    QVERIFY(runJs(page->view(), QStringLiteral("document.getElementById('Content_Txt').scrollTop")).toInt() > 1000);
}

QTEST_MAIN(TestReadingPosition)
#include "tst_readingposition.moc"
