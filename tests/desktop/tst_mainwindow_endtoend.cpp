#include "../reader/ReadingFixture.h"

#include "app/BookDialog.h"
#include "app/BookDialogs.h"
#include "app/BookshelfPage.h"
#include "desktop/MainWindow.h"
#include "reader/ChapterListModel.h"
#include "reader/ReadingController.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

// A reader's session from start to end: add a novel from the open dialog, read three
// chapters on with the keyboard, bookmark, close, start again and go on from the bookmark.
class TestMainWindowEndToEnd : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void addReadBookmarkAndComeBack();
};

namespace {

void waitForChannel(ReadingView* view)
{
    QTRY_VERIFY_WITH_TIMEOUT(view->isPageLoaded(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(runJs(view, QStringLiteral("window.readerChannelReady === true")).toBool(), 10000);
}

void pressInPage(ReadingView* view, const char* key)
{
    runJs(view, QStringLiteral("document.getElementById('Content_Txt').dispatchEvent("
                               "new KeyboardEvent('keydown', {key: '%1', bubbles: true})); true")
                    .arg(QLatin1String(key)));
}

QString shownHtml(const ReadingController& controller, int row)
{
    return readChapterHtml(controller.scan(), row).replace(QStringLiteral("&quot;"), QStringLiteral("\""));
}

} // namespace

void TestMainWindowEndToEnd::addReadBookmarkAndComeBack()
{
    const QString novel = QStringLiteral(QUILLMERE_TESTDATA_DIR "/novels/xiyouji-web-simp-gbk.txt");
    if (!QFileInfo::exists(novel))
        QSKIP("the shared novels are not there (QUILLMERE_TESTDATA_DIR)");
    ReadingFixture fx;
    QString label;
    {
        MainWindow window(fx.services);
        window.formLoad();
        ReadingView* view = window.readingPage()->view();
        ReadingController& controller = window.readingPage()->controller();
        waitForChannel(view);

        // Open the file; it is not on the shelf, so the reader offers to add it.
        fx.pickers.nextFile(novel);
        fx.dialogs.answerNext(Answer::Yes);
        window.readingPage()->toolbarButton(1)->trigger();
        BookDialog* dialog = window.bookDialogs().current();
        QVERIFY(dialog);
        QSignalSpy shown(&controller, &ReadingController::chapterShown);
        dialog->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
        QCOMPARE(fx.dialogs.last().text, QStringLiteral("恭喜你：电子书添加成功！"));
        QVERIFY(shown.wait(20000));
        QCOMPARE(window.currentPage(), 2);
        QVERIFY(fx.library.bookByPath(novel).has_value());
        QVERIFY2(window.readingPage()->chapterModel().count() > 10,
                 qPrintable(QString::number(window.readingPage()->chapterModel().count()) + controller.bookPath()));
        QCOMPARE(controller.selectedRow(), 0);

        // Three chapters on with the Right key in the page.
        for (int row = 1; row <= 3; ++row) {
            pressInPage(view, "ArrowRight");
            QTRY_COMPARE_WITH_TIMEOUT(controller.selectedRow(), row, 5000);
            QTRY_COMPARE_WITH_TIMEOUT(txtHtml(view), shownHtml(controller, row), 5000);
        }
        label = controller.selectedLabel();
        QVERIFY(label.contains(QStringLiteral("第三回")));

        // Bookmark it; the shelf's bookmark column shows the label at once.
        window.readingPage()->bookmarkMenu()->findChild<QAction*>(QStringLiteral("AddShuQian"))->trigger();
        QCOMPARE(fx.dialogs.last().text, QStringLiteral("恭喜你：书签添加成功！"));
        QCOMPARE(fx.library.bookByPath(novel)->marke, label);
        auto* shelfList = window.bookshelfPage()->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
        QCOMPARE(shelfList->topLevelItem(0)->text(3), label);

        QSignalSpy closed(&window, &MainWindow::closed);
        window.close();
        QCOMPARE(closed.count(), 1);
    }

    // The next start: the book is on the shelf; "从书签处阅读" goes on at the bookmark.
    fx.state.currentBookPath.clear();
    MainWindow window(fx.services);
    window.formLoad();
    ReadingView* view = window.readingPage()->view();
    ReadingController& controller = window.readingPage()->controller();
    waitForChannel(view);
    window.selectToolBar(1);
    auto* shelfList = window.bookshelfPage()->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
    QCOMPARE(shelfList->topLevelItemCount(), 1);
    shelfList->setCurrentItem(shelfList->topLevelItem(0));
    QSignalSpy shown(&controller, &ReadingController::chapterShown);
    window.bookshelfPage()->bookMenu()->findChild<QAction*>(QStringLiteral("Menue_SQRead"))->trigger();
    QVERIFY(shown.wait(20000));
    QCOMPARE(window.currentPage(), 2);
    QCOMPARE(controller.selectedRow(), 3);
    QCOMPARE(controller.selectedLabel(), label);
    QTRY_COMPARE_WITH_TIMEOUT(txtHtml(view), shownHtml(controller, 3), 5000);
    QVERIFY(txtHtml(view).startsWith(label.toHtmlEscaped()));
    QCOMPARE(fx.state.currentBookPath, novel);
}

QTEST_MAIN(TestMainWindowEndToEnd)
#include "tst_mainwindow_endtoend.moc"
