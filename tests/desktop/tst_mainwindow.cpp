#include "../reader/ReadingFixture.h"

#include "app/BookDialog.h"
#include "app/BookDialogs.h"
#include "app/BookshelfPage.h"
#include "desktop/MainWindow.h"
#include "desktop/MainWindowLayout.h"
#include "online/DroppedArchives.h"
#include "reader/ChapterListModel.h"
#include "reader/ChapterRulesDialog.h"
#include "reader/ReadingController.h"
#include "reader/ReadingLayout.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"
#include "reader/chapters/ChapterRulesController.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

// The main window as a whole: pages, toolbar, layout, load handler and opening files.
class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void opensOnTheReadingPage();
    void selectToolBar_data();
    void selectToolBar();
    void layoutRules();
    void tinyWindowStaysUsable();
    void loadAppliesStoredAppearance();
    void settingsPageFillsPage5();
    void searchPanel();
    void openFile_data();
    void openFile();
    void openFileThatCannotBeRead();
    void offeredBookAndBookmarksChangeTogether_data();
    void offeredBookAndBookmarksChangeTogether();
    void closingEndsTheProgram();
    void archiveDroppedOnShelf();
    void chapterRulesFromTheShelf();

private:
    void load();
    std::unique_ptr<ReadingFixture> m_fx;
    std::unique_ptr<MainWindow> m_window;
};

void TestMainWindow::init()
{
    m_fx = std::make_unique<ReadingFixture>();
    m_window = std::make_unique<MainWindow>(m_fx->services);
}

void TestMainWindow::cleanup()
{
    m_window.reset();
    m_fx.reset();
}

void TestMainWindow::load()
{
    m_window->formLoad();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->readingPage()->view()->isPageLoaded(), 20000);
}

void TestMainWindow::opensOnTheReadingPage()
{
    load();
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Quillmerev1.3 - 最好的TXT电子书阅读及管理工具"));
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_window->currentPage(), 2);
    const QStringList keys = {"T_ShuJia", "T_Reade", "T_NetShu", "T_UCenter", "T_SysSet"};
    const QStringList captions = {QStringLiteral("我的书架"), QStringLiteral("阅读窗口"), QStringLiteral("网络书库"),
                                  QStringLiteral("用户中心"), QStringLiteral("系统设置")};
    for (int i = 1; i <= 5; ++i) {
        QCOMPARE(m_window->toolbarButton(i)->objectName(), keys[i - 1]);
        QCOMPARE(m_window->toolbarButton(i)->text(), captions[i - 1]);
        QCOMPARE(m_window->toolbarButton(i)->isChecked(), i == 2);
        QCOMPARE(m_window->page(i)->isVisible(), i == 2);
        QCOMPARE(m_window->page(i)->objectName(), QStringLiteral("Panels_%1").arg(i));
    }
    // Centred on the screen.
    const QRect area = m_window->screen()->availableGeometry();
    QVERIFY(qAbs(m_window->x() - (area.left() + (area.width() - m_window->width()) / 2)) <= 1);
    QVERIFY(qAbs(m_window->y() - (area.top() + (area.height() - m_window->height()) / 2)) <= 1);
    // The chapter list starts shown, its "show" button hidden.
    QVERIFY(m_window->readingPage()->chapterList()->isVisible());
    QVERIFY(!m_window->findChild<QWidget*>(QStringLiteral("spliter_button_1"))->isVisible());
    // The notice pane stays hidden without an address, also for one of blanks.
    m_window->showNotice(QStringLiteral("   "));
    QVERIFY(!m_window->findChild<QWidget*>(QStringLiteral("WebBrowser2"))->isVisible());
}

void TestMainWindow::selectToolBar_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("shown");

    QTest::newRow("bookshelf") << 1 << 1;
    QTest::newRow("reading") << 2 << 2;
    QTest::newRow("online") << 3 << 3;
    QTest::newRow("user centre keeps the page") << 4 << 1;
    QTest::newRow("settings") << 5 << 5;
}

void TestMainWindow::selectToolBar()
{
    QFETCH(int, index);
    QFETCH(int, shown);
    load();
    m_window->selectToolBar(1);
    m_window->toolbarButton(index)->trigger(); // as a click on the button
    QCOMPARE(m_window->currentPage(), shown);
    for (int i = 1; i <= 5; ++i) {
        QCOMPARE(m_window->page(i)->isVisible(), i == shown);
        QCOMPARE(m_window->toolbarButton(i)->isChecked(), i == shown);
    }
}

void TestMainWindow::layoutRules()
{
    // A client area of 1000 x 700 pixels is a window of 15120 x 11010 twips.
    const QSize tw = MainWindowLayout::windowTwips(QSize(1000, 700));
    QCOMPARE(tw, QSize(15120, 11010));
    QCOMPARE(*MainWindowLayout::searchPanLeft(tw), 773);               // (15120 − 3520) / 15
    QCOMPARE(*MainWindowLayout::pageRect(tw), QRect(1, 40, 998, 659)); // 20, 600, W−150, H−1120

    // The reading page: the view leaves 3130 twips with the list, 135 without.
    const int pageW = tw.width() - 150;
    const int pageH = tw.height() - 1120;
    const ReadingLayout with = ReadingLayout::compute(pageW, pageH, tw.width(), true, 900);
    const ReadingLayout without = ReadingLayout::compute(pageW, pageH, tw.width(), false, 900);
    QCOMPARE(*with.toolbar, QRect(0, 0, 998, 24));
    QCOMPARE(*with.view, QRect(0, 24, ReadingLayout::toPixels(pageW - 3130), 635));
    QCOMPARE(without.view->width(), ReadingLayout::toPixels(pageW - 135));
    QCOMPARE(without.view->width() - with.view->width(), 200); // 2995 twips
    QCOMPARE(with.list->left(), ReadingLayout::toPixels(tw.width() - 3150));
    QCOMPARE(with.list->top(), 24);
    QCOMPARE(with.list->height(), 635);
    QVERIFY(!without.list);
    QCOMPARE(with.spliter->left(), with.view->width());
    QCOMPARE(with.spliterButton->top(), ReadingLayout::toPixels((pageH - 360) / 2 - 900));

    // Sizes that would be negative are skipped, step by step.
    const QSize tiny = MainWindowLayout::windowTwips(QSize(100, 20));
    QVERIFY(!MainWindowLayout::searchPanLeft(tiny));
    QVERIFY(!MainWindowLayout::pageRect(tiny));
    const ReadingLayout small = ReadingLayout::compute(1500, 300, 1650, true, 900);
    QVERIFY(small.toolbar);
    QVERIFY(!small.view);
    QVERIFY(!small.list);
}

void TestMainWindow::tinyWindowStaysUsable()
{
    load();
    const QRect before = m_window->page(2)->geometry();
    m_window->setMinimumSize(0, 0);
    m_window->resize(60, 30);
    QTRY_COMPARE(m_window->width(), 60);
    QCOMPARE(m_window->page(2)->geometry(), before); // the page step was skipped
    m_window->resize(900, 640);
    QTRY_COMPARE(m_window->width(), 900);
    QCOMPARE(m_window->page(2)->geometry(), *MainWindowLayout::pageRect(MainWindowLayout::windowTwips({900, 640})));
    QCOMPARE(m_window->findChild<QWidget*>(QStringLiteral("SearchPan"))->x(),
             *MainWindowLayout::searchPanLeft(MainWindowLayout::windowTwips({900, 640})));
}

void TestMainWindow::loadAppliesStoredAppearance()
{
    SettingsRow row = *m_fx->library.settings();
    row.txtColor = QStringLiteral("102030");
    row.backColor = QStringLiteral("F0E0D0");
    row.txtSize = QStringLiteral("特大号");
    QVERIFY(m_fx->library.saveSettings(row));
    load();
    const QString read = QStringLiteral("(function(){var e=document.getElementById('Content_Txt');"
                                        "return [e.style.color,e.style.backgroundColor,e.style.fontSize];})()");
    QTRY_COMPARE_WITH_TIMEOUT(runJs(m_window->readingPage()->view(), read).toStringList(),
                              QStringList({"rgb(16, 32, 48)", "rgb(240, 224, 208)", "22px"}), 5000);
    QCOMPARE(m_window->loadedSettings().txtSize, QStringLiteral("特大号"));
}

void TestMainWindow::settingsPageFillsPage5()
{
    load();
    auto* settings = new QLabel(QStringLiteral("settings"));
    settings->setObjectName(QStringLiteral("SettingsPage"));
    m_window->setSettingsPage(settings);
    m_window->selectToolBar(5);
    QCOMPARE(settings->parentWidget(), m_window->page(5));
    QVERIFY(settings->isVisible());
    QTRY_COMPARE(settings->size(), m_window->page(5)->size());
}

void TestMainWindow::searchPanel()
{
    load();
    auto* pan = m_window->findChild<QWidget*>(QStringLiteral("SearchPan"));
    auto* box = pan->findChild<QLineEdit*>(QStringLiteral("Text1"));
    auto* button = pan->findChild<QPushButton*>(QStringLiteral("Command1"));
    // The grey words are the box's text until it takes the focus.
    QCOMPARE(box->text(), QStringLiteral("输入书名或作者"));
    QCOMPARE(box->palette().color(QPalette::Text), QColor(128, 128, 128));
    QCOMPARE(button->text(), QStringLiteral("搜书"));
    // On every page, at the top right.
    m_window->selectToolBar(1);
    QVERIFY(pan->isVisible());
    QVERIFY(pan->geometry().right() >= m_window->width() - 10);
}

void TestMainWindow::openFile_data()
{
    QTest::addColumn<bool>("onShelf");
    QTest::addColumn<int>("answer"); // Answer as int
    QTest::addColumn<bool>("expectRead");
    QTest::addColumn<bool>("expectDialog");

    QTest::newRow("on the shelf") << true << int(Answer::Ok) << true << false;
    QTest::newRow("not on the shelf, No") << false << int(Answer::No) << true << false;
    QTest::newRow("not on the shelf, Yes") << false << int(Answer::Yes) << false << true;
}

void TestMainWindow::openFile()
{
    QFETCH(bool, onShelf);
    QFETCH(int, answer);
    QFETCH(bool, expectRead);
    QFETCH(bool, expectDialog);
    load();
    const QString path = m_fx->writeChapters(QStringLiteral("打开's.txt"), 3);
    const QDateTime old(QDate(2001, 1, 1), QTime(1, 1));
    if (onShelf) {
        m_fx->clock.set(old);
        m_fx->library.insertBook(QStringLiteral("其他分类"), QStringLiteral("打开"), QStringLiteral("佚名"), path);
    }
    m_fx->clock.set(QDateTime(QDate(2020, 5, 6), QTime(7, 8)));
    const int booksBefore = m_fx->library.countBooks(ShelfQuery::all());

    // Cancelling the dialog does nothing at all.
    m_fx->pickers.nextFile(QString());
    m_window->readingPage()->toolbarButton(1)->trigger();
    QCOMPARE(m_fx->dialogs.count(), 0);

    m_fx->pickers.nextFile(path);
    if (!onShelf)
        m_fx->dialogs.answerNext(static_cast<Answer>(answer));
    ReadingController& controller = m_window->readingPage()->controller();
    QSignalSpy shown(&controller, &ReadingController::chapterShown);
    m_window->readingPage()->toolbarButton(1)->trigger();

    const auto& request = m_fx->pickers.requests().last();
    QCOMPARE(request.title, QStringLiteral("打开电子书-Quillmere"));
    QCOMPARE(request.filter, QStringLiteral("文本文件(*.txt)|*.txt"));
    if (onShelf) {
        QCOMPARE(m_fx->dialogs.count(), 0);
    } else {
        QCOMPARE(m_fx->dialogs.count(), 1);
        QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("提示：\r\n\r\n") + path +
                                                QStringLiteral("\r\n\r\n还没有添加到书架，是否添加到你的书架？"));
        QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("添加电子书"));
        QCOMPARE(m_fx->dialogs.last().style, 4);
    }
    QCOMPARE(bool(m_window->bookDialogs().current()), expectDialog);
    if (expectRead) {
        QVERIFY(shown.wait(10000));
        QCOMPARE(controller.bookPath(), path);
        QCOMPARE(m_fx->state.currentBookPath, path);
        QCOMPARE(m_window->currentPage(), 2);
    } else {
        QTest::qWait(200);
        QCOMPARE(shown.count(), 0);
        QCOMPARE(m_fx->state.currentBookPath, QString());
    }
    if (expectDialog) {
        // The dialog comes up holding the file, to be added and then read.
        QVERIFY(m_window->bookDialogs().current()->isVisible());
        QCOMPARE(m_window->bookDialogs().current()->findChild<QLineEdit*>(QStringLiteral("Text3"))->text(), path);
    }
    // Only a book on the shelf is stamped; a book read without adding leaves the shelf alone.
    if (onShelf)
        QCOMPARE(m_fx->library.bookByPath(path)->lastread, m_fx->clock.now());
    QCOMPARE(m_fx->library.countBooks(ShelfQuery::all()), booksBefore);
}

void TestMainWindow::openFileThatCannotBeRead()
{
    load();
    ReadingController& controller = m_window->readingPage()->controller();
    const QString shown = m_fx->writeChapters(QStringLiteral("shown.txt"), 2);
    QSignalSpy chapters(&controller, &ReadingController::chapterShown);
    m_window->getChapter(shown, QString());
    QVERIFY(chapters.wait(10000));

    // A file gone between the dialog and the open: told, nothing asked.
    const QString gone = m_fx->dir.filePath(QStringLiteral("gone.txt"));
    m_fx->pickers.nextFile(gone);
    m_window->readingPage()->toolbarButton(1)->trigger();
    QCOMPARE(m_fx->dialogs.count(), 1);
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("文件地址不存在，请检查是否移动或删除了以下文件：\r\n") + gone);
    QCOMPARE(m_fx->dialogs.last().style, 16);

    // An empty book on the shelf: stamped and scanned, then reported; the shown book stays
    // the current one, so a bookmark still lands on the right row.
    const QString empty = m_fx->writeBook(QStringLiteral("empty.txt"), QString());
    m_fx->library.insertBook(QStringLiteral("其他分类"), QStringLiteral("空"), QStringLiteral("佚名"), empty);
    m_fx->pickers.nextFile(empty);
    m_window->readingPage()->toolbarButton(1)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_fx->dialogs.count(), 2, 10000);
    QVERIFY(m_fx->dialogs.last().text.startsWith(QStringLiteral("这本电子书是空文件")));
    QCOMPARE(m_fx->state.currentBookPath, shown);
    QCOMPARE(controller.bookPath(), shown);
    QCOMPARE(m_window->readingPage()->chapterModel().headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
             QStringLiteral("章节列表"));
}

void TestMainWindow::offeredBookAndBookmarksChangeTogether_data()
{
    QTest::addColumn<QString>("close"); // how the book dialog ends: "Esc", "Command3" (取消), "Command2" (确认保存)
    QTest::addColumn<bool>("readsOffered");
    QTest::addColumn<bool>("offeredOnShelf");

    QTest::newRow("Esc") << QStringLiteral("Esc") << false << false;
    QTest::newRow("取消") << QStringLiteral("Command3") << true << false;
    QTest::newRow("确认保存") << QStringLiteral("Command2") << true << true;
}

// Reading a shelf book, then 打开文件 on another book and 是 to the add question: whatever
// the book dialog's outcome, the book shown, its chapter list and the path bookmarks use
// describe one book.
void TestMainWindow::offeredBookAndBookmarksChangeTogether()
{
    QFETCH(QString, close);
    QFETCH(bool, readsOffered);
    QFETCH(bool, offeredOnShelf);
    load();
    ReadingPage* page = m_window->readingPage();
    ReadingController& controller = page->controller();
    const QString shelfBook = m_fx->writeChapters(QStringLiteral("书架上的.txt"), 4);
    m_fx->library.insertBook(QStringLiteral("其他分类"), QStringLiteral("书架上的"), QStringLiteral("佚名"), shelfBook);
    m_fx->library.setBookmark(shelfBook, QStringLiteral("第1章 标题1"));
    QSignalSpy shown(&controller, &ReadingController::chapterShown);
    m_window->getChapter(shelfBook, QString());
    QVERIFY(shown.wait(10000));

    const QString offered = m_fx->writeBook(QStringLiteral("另一本.txt"),
                                            QStringLiteral("另一本\n第一回 甲\n一\n第二回 乙\n二\n第三回 丙\n三\n"));
    m_fx->pickers.nextFile(offered);
    m_fx->dialogs.answerNext(Answer::Yes);
    page->toolbarButton(1)->trigger();
    BookDialog* dialog = m_window->bookDialogs().current();
    QVERIFY(dialog);
    // While the dialog is open, the shelf book is still the one shown and marked.
    QCOMPARE(m_fx->state.currentBookPath, shelfBook);

    m_fx->dialogs.clear();
    shown.clear();
    if (close == QLatin1String("Esc")) {
        QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog, Qt::Key_Escape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!m_window->bookDialogs().current());
        QTest::qWait(200); // nothing is being read
        QCOMPARE(shown.count(), 0);
    } else {
        QTest::mouseClick(dialog->findChild<QPushButton*>(close), Qt::LeftButton);
        QVERIFY(shown.wait(10000));
    }
    const QString book = readsOffered ? offered : shelfBook;
    QCOMPARE(controller.bookPath(), book);
    QCOMPARE(m_fx->state.currentBookPath, book);
    QCOMPARE(bool(m_fx->library.bookByPath(offered)), offeredOnShelf);

    // 添加书签 marks the shown book's row, with the label of its own chapter.
    m_fx->dialogs.clear();
    controller.setSelectedRow(2);
    controller.showSelected();
    const QString label = controller.selectedLabel();
    page->readMenu()->findChild<QAction*>(QStringLiteral("Menue_InsertSQ"))->trigger();
    QCOMPARE(m_fx->dialogs.count(), 1);
    const bool bookOnShelf = !readsOffered || offeredOnShelf;
    if (bookOnShelf) {
        QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("恭喜你：书签添加成功！"));
        QCOMPARE(m_fx->library.bookByPath(book)->marke, label);
    } else {
        QVERIFY(m_fx->dialogs.last().text.contains(QStringLiteral("还没有添加到你的书架")));
    }
    // The shelf book's mark is touched only when it is the one shown.
    QCOMPARE(m_fx->library.bookByPath(shelfBook)->marke, readsOffered ? QStringLiteral("第1章 标题1") : label);

    // 跳转到书签 follows the shown book's stored mark.
    controller.showFirst();
    page->readMenu()->findChild<QAction*>(QStringLiteral("Menue_GotoSQ"))->trigger();
    QCOMPARE(controller.selectedRow(), bookOnShelf ? 2 : 0);
    QCOMPARE(m_fx->state.currentBookPath, controller.bookPath());
}

void TestMainWindow::closingEndsTheProgram()
{
    load();
    QSignalSpy closed(m_window.get(), &MainWindow::closed);
    m_window->close();
    QCOMPARE(closed.count(), 1);
}

// An archive dropped on the shelf is unpacked into a folder of its own under the download
// folder and its first TXT file goes on the shelf, into the chosen category; the archive stays.
void TestMainWindow::archiveDroppedOnShelf()
{
    const QString archive = QStringLiteral(QUILLMERE_TESTDATA_DIR "/rar/rar4-nested-dirs-stored.rar");
    if (!QFileInfo::exists(archive))
        QSKIP("shared test archive rar4-nested-dirs-stored.rar not found");
    m_fx->state.downloadFolder = m_fx->dir.filePath(QStringLiteral("TxtBook"));
    QSignalSpy done(&m_window->droppedArchives(), &DroppedArchives::done);
    QWidget* shelf = m_window->bookshelfPage();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(archive)});
    // Qt hands a drop only to the widget that took the drag when it entered.
    QDragEnterEvent enter(QPoint(200, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(shelf, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(200, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(shelf, &drop);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 20000);
    const QString book = m_fx->state.downloadFolder + QStringLiteral("/rar4-nested-dirs-stored/example/hoge.txt");
    QCOMPARE(done.first().at(2).toString(), book);
    const auto row = m_fx->library.bookByPath(book);
    QVERIFY(row);
    QCOMPARE(row->type, QStringLiteral("其他分类"));
    QCOMPARE(row->name, QStringLiteral("hoge"));
    QVERIFY(QFileInfo::exists(archive));
    QCOMPARE(m_fx->dialogs.count(), 0);
}

// "章节规则…" of the shelf's book menu opens the dialog for the selected book, open or not.
void TestMainWindow::chapterRulesFromTheShelf()
{
    load();
    const QString book = m_fx->writeChapters(QStringLiteral("规则.txt"), 3);
    m_fx->library.insertBook(QStringLiteral("其他分类"), QStringLiteral("规则"), QStringLiteral("佚名"), book);
    BookshelfPage* shelf = m_window->bookshelfPage();
    shelf->readList();
    auto* list = shelf->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
    QVERIFY(list && list->topLevelItemCount() == 1);
    list->topLevelItem(0)->setSelected(true);
    QAction* rules = shelf->bookMenu()->findChild<QAction*>(QStringLiteral("Menue_ChapterRules"));
    QVERIFY(rules);
    rules->trigger();
    auto* dialog = m_window->findChild<ChapterRulesDialog*>(QStringLiteral("ChapterRulesDialog"));
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->controller().bookPath(), book);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->controller().isPreviewing(), 10000);
    QCOMPARE(dialog->controller().preview().chapters, 4);
    dialog->close();
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
