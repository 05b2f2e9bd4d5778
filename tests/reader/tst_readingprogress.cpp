#include "ReadingFixture.h"

#include "app/ReadingProgress.h"
#include "reader/ReadingController.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QtTest>

// The reading view tells the chapter's number of the total and how far into the book it is,
// and keeps that for the shelf.
class TestReadingProgressPage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void viewShowsChapterAndPercent();
};

void TestReadingProgressPage::viewShowsChapterAndPercent()
{
    ReadingFixture fx;
    RecordingNavigator nav;
    ReadingPage page(fx.services, nav);
    page.resize(900, 600);
    page.show();
    ReadingView* view = page.view();
    view->loadPage(fx.state.programFolder + QStringLiteral("/Reader.html"));
    QTRY_VERIFY_WITH_TIMEOUT(view->isPageLoaded(), 20000);

    // "测试之书\n" then four chapters of "第N章 标题N\n内容N甲\n内容N乙\n": chapter 3 (row 4)
    // starts after the title and two chapters.
    const QString path = fx.writeChapters(QStringLiteral("book.txt"), 4);
    const qint64 size = QFileInfo(path).size();
    const qint64 begin = QStringLiteral("测试之书\n").toUtf8().size() +
                         2 * QStringLiteral("第1章 标题1\n内容1甲\n内容1乙\n").toUtf8().size();
    QSignalSpy shown(view, &ReadingView::chapterDisplayed);
    page.controller().getChapter(path, QString());
    QVERIFY(shown.wait(10000));
    page.controller().setSelectedRow(3);
    page.controller().showSelected();
    QVERIFY(shown.wait(10000));

    const ReadingProgress expected = ReadingProgress::ofRow(begin, size, 3, 5);
    QVERIFY(expected.viewText().startsWith(QStringLiteral("第 4/5 章 · ")));
    const QString read = QStringLiteral("document.getElementById('Progress').textContent");
    QTRY_COMPARE_WITH_TIMEOUT(runJs(view, read).toString(), expected.viewText(), 5000);
    QCOMPARE(fx.library.option(ReadingProgress::optionName(path)), std::optional<QString>(expected.entry()));
}

QTEST_MAIN(TestReadingProgressPage)
#include "tst_readingprogress.moc"
