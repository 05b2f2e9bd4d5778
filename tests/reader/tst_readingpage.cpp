#include "ReadingFixture.h"

#include "reader/BookmarkController.h"
#include "reader/ChapterListModel.h"
#include "reader/FindBar.h"
#include "reader/ReadingController.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

// The reading page driven through its widgets and its page, with recorded message boxes.
class TestReadingPage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void toolbarButtonsAndMenus();
    void showsFirstChapterWithSnippets();
    void chapterBoundaries_data();
    void chapterBoundaries();
    void leftAndRightKeysInThePage();
    void modifierKeysInThePage_data();
    void modifierKeysInThePage();
    void realKeyTurnsChapterAfterShowing_data();
    void realKeyTurnsChapterAfterShowing();
    void nextChapterStartsAtTheTop();
    void pagingOnFromTheEnds_data();
    void pagingOnFromTheEnds();
    void enterAndDoubleClickInTheList();
    void emptyListIgnoresEverything();
    void openingMissingOrEmptyFiles_data();
    void openingMissingOrEmptyFiles();
    void laterOpenSupersedesEarlier();
    void bookmarkOpensItsChapter_data();
    void bookmarkOpensItsChapter();
    void goToBookmark_data();
    void goToBookmark();
    void bookmarkWithQuoteRoundTrips();
    void bookmarkOfBookNotOnShelf();
    void findBar();
    void appearance_data();
    void appearance();
    void contentFoundInBothCases();
    void bookTextIsNotRunAsHtml();
    void splitterButtons();
    void traditionalCharactersPerBook();
    void hardWrappedLinesJoinedPerBook();
    void wholeChapterTitles();
    void longListFitsItsWidestTitle();

private:
    void openBook(const QString& path, const QString& bookmark = QString());
    void waitShown(int row);
    ReadingController& controller() { return m_page->controller(); }
    ReadingView* view() { return m_page->view(); }

    std::unique_ptr<ReadingFixture> m_fx;
    std::unique_ptr<RecordingNavigator> m_nav;
    std::unique_ptr<ReadingPage> m_page;
};

void TestReadingPage::init()
{
    m_fx = std::make_unique<ReadingFixture>();
    m_nav = std::make_unique<RecordingNavigator>();
    m_page = std::make_unique<ReadingPage>(m_fx->services, *m_nav);
    m_nav->onGetChapter = [this](const QString& path, const QString& mark) { controller().getChapter(path, mark); };
    m_page->resize(900, 600);
    m_page->show();
    view()->loadPage(m_fx->state.programFolder + QStringLiteral("/Reader.html"));
    QTRY_VERIFY_WITH_TIMEOUT(view()->isPageLoaded(), 20000);
}

void TestReadingPage::cleanup()
{
    m_page.reset();
    m_nav.reset();
    m_fx.reset();
}

void TestReadingPage::openBook(const QString& path, const QString& bookmark)
{
    QSignalSpy shown(&controller(), &ReadingController::chapterShown);
    controller().getChapter(path, bookmark);
    QVERIFY(shown.wait(10000));
}

// The page holds the chapter of `row`, wrapped in the header and footer snippets.
void TestReadingPage::waitShown(int row)
{
    QTRY_COMPARE_WITH_TIMEOUT(controller().selectedRow(), row, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(m_page->chapterModel().nowChapter(), row, 5000);
    // innerHTML gives quotes in text back bare.
    const QString expected =
        m_fx->state.chapterHeaderHtml +
        readChapterHtml(controller().scan(), row).replace(QStringLiteral("&quot;"), QStringLiteral("\"")) +
        m_fx->state.chapterFooterHtml;
    QTRY_COMPARE_WITH_TIMEOUT(txtHtml(view()), expected, 5000);
}

void TestReadingPage::toolbarButtonsAndMenus()
{
    const QStringList tips = {QStringLiteral("打开文件"),
                              QString(),
                              QStringLiteral("书签"),
                              QStringLiteral("查找内容"),
                              QString(),
                              QStringLiteral("第一节"),
                              QStringLiteral("上一节"),
                              QStringLiteral("下一节"),
                              QStringLiteral("最后一节"),
                              QString(),
                              QStringLiteral("开始朗读"),
                              QStringLiteral("停止朗读"),
                              QStringLiteral("语音诵读设置"),
                              QStringLiteral("使用帮助")};
    for (int i = 1; i <= 14; ++i) {
        QAction* button = m_page->toolbarButton(i);
        QVERIFY(button);
        QCOMPARE(button->isSeparator(), tips[i - 1].isEmpty());
        if (!button->isSeparator())
            QCOMPARE(button->toolTip(), tips[i - 1]);
    }
    QVERIFY(!m_page->toolbarButton(15));

    // "书签" opens its menu on a click anywhere on the button.
    auto* toolbar = m_page->findChild<QToolBar*>(QStringLiteral("Toolbar2"));
    auto* bookmarkButton = qobject_cast<QToolButton*>(toolbar->widgetForAction(m_page->toolbarButton(3)));
    QVERIFY(bookmarkButton);
    QCOMPARE(bookmarkButton->popupMode(), QToolButton::InstantPopup);
    const QList<QAction*> items = m_page->bookmarkMenu()->actions();
    QCOMPARE(items.size(), 3);
    QCOMPARE(items[0]->text(), QStringLiteral("添加书签"));
    QCOMPARE(items[0]->objectName(), QStringLiteral("AddShuQian"));
    QVERIFY(items[1]->isSeparator());
    QCOMPARE(items[2]->text(), QStringLiteral("跳转到书签"));
    QCOMPARE(items[2]->objectName(), QStringLiteral("GotoShuQian"));

    QMenu* menu = m_page->readMenu();
    QCOMPARE(menu->title(), QStringLiteral("阅读操作"));
    QStringList names;
    QStringList captions;
    for (QAction* a : menu->actions()) {
        names << a->objectName();
        captions << a->text();
    }
    QCOMPARE(names, QStringList({"Menue_VoiceRead", "Menue_InsertSQ", "Menue_GotoSQ", "Menue_Find", "ShareThisBook",
                                 "Menue_Convert", "Menue_Unwrap", "Menue_LastPlace", "Menue_SearchBook", "",
                                 "Menue_ChapterRules", "Menue_MarkChapterStart", "Menue_DropChapter"}));
    QCOMPARE(captions,
             QStringList({QStringLiteral("语音朗读"), QStringLiteral("添加书签"), QStringLiteral("跳转到书签"),
                          QStringLiteral("查找内容"), QStringLiteral("共享本书到网络"), QStringLiteral("繁简转换"),
                          QStringLiteral("合并硬换行"), QStringLiteral("回到上次阅读位置"), QStringLiteral("全书搜索"),
                          QString(), QStringLiteral("章节规则…"), QStringLiteral("设为章节开头"),
                          QStringLiteral("取消此章节")}));
    // The browser's own menu never shows: a right click in the page opens Menue_ReadPage.
    QCOMPARE(view()->contextMenuPolicy(), Qt::CustomContextMenu);
    emit view()->customContextMenuRequested(QPoint(20, 20));
    QTRY_VERIFY(menu->isVisible());
    menu->close();
}

void TestReadingPage::showsFirstChapterWithSnippets()
{
    m_fx->state.chapterHeaderHtml = QStringLiteral("<p class=\"hdr\">HEADER</p>");
    m_fx->state.chapterFooterHtml = QStringLiteral("<p class=\"ftr\">FOOTER</p>");
    m_fx->state.bannerHtml = QStringLiteral("<b>BANNER</b>");
    const QString path = m_fx->writeChapters(QStringLiteral("a.txt"), 3);
    openBook(path);

    QCOMPARE(m_fx->state.currentBookPath, path);
    QCOMPARE(m_page->chapterModel().count(), 4);
    QCOMPARE(controller().selectedRow(), 0);
    // Row 1 holds what comes after the title line up to the first heading: nothing here.
    QTRY_VERIFY_WITH_TIMEOUT(txtHtml(view()).startsWith(QStringLiteral("<p class=\"hdr\">HEADER</p>")), 5000);
    QVERIFY(txtHtml(view()).endsWith(QStringLiteral("<p class=\"ftr\">FOOTER</p>")));
    QCOMPARE(runJs(view(), QStringLiteral("document.getElementById('AdsDiv').innerHTML")).toString(),
             QStringLiteral("<b>BANNER</b>"));

    // Icons: the shown row "NowChapter", every other "Space".
    const auto iconKey = [this](int row) {
        return m_page->chapterModel().index(row, 0).data(ChapterListModel::IconKeyRole).toString();
    };
    QCOMPARE(iconKey(0), QStringLiteral("NowChapter"));
    QCOMPARE(iconKey(1), QStringLiteral("Space"));

    controller().setSelectedRow(2);
    controller().showSelected();
    waitShown(2);
    QCOMPARE(iconKey(0), QStringLiteral("Space"));
    QCOMPARE(iconKey(2), QStringLiteral("NowChapter"));
    QCOMPARE(
        txtHtml(view()),
        QStringLiteral("<p class=\"hdr\">HEADER</p>第2章 标题2<br>内容2甲<br>内容2乙<br><p class=\"ftr\">FOOTER</p>"));
    QCOMPARE(runJs(view(), QStringLiteral("document.getElementById('Content_Txt').scrollTop")).toInt(), 0);
    QCOMPARE(m_page->chapterList()->currentIndex().row(), 2);
    // The list's tool tip is the row's label.
    QCOMPARE(m_page->chapterModel().index(2, 2).data(Qt::ToolTipRole).toString(), QStringLiteral("第2章 标题2"));
}

void TestReadingPage::chapterBoundaries_data()
{
    QTest::addColumn<int>("button"); // Toolbar2 button moving to the edge first: 6 first, 9 last
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("message");

    QTest::newRow("left on the first") << 6 << 37 << QStringLiteral("当前是第一章，前面没有章节！");
    QTest::newRow("right on the last") << 9 << 39 << QStringLiteral("已经是最后一章了！");
}

void TestReadingPage::chapterBoundaries()
{
    QFETCH(int, button);
    QFETCH(int, key);
    QFETCH(QString, message);
    openBook(m_fx->writeChapters(QStringLiteral("b.txt"), 4));
    m_page->toolbarButton(button)->trigger();
    const int edge = button == 6 ? 0 : 4;
    waitShown(edge);

    m_fx->dialogs.clear();
    controller().changeChapter(key);
    QCOMPARE(m_fx->dialogs.count(), 1);
    QCOMPARE(m_fx->dialogs.last().text, message);
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("Quillmere"));
    QCOMPARE(m_fx->dialogs.last().style, 64);
    QCOMPARE(controller().selectedRow(), edge);

    // One step the other way is allowed, and the toolbar's own buttons say the same.
    controller().changeChapter(key == 37 ? 39 : 37);
    waitShown(key == 37 ? 1 : 3);
    m_page->toolbarButton(key == 37 ? 7 : 8)->trigger();
    m_page->toolbarButton(key == 37 ? 7 : 8)->trigger();
    QCOMPARE(m_fx->dialogs.count(), 2);
    QCOMPARE(m_fx->dialogs.last().text, message);
    // Other key codes do nothing.
    controller().changeChapter(13);
    controller().changeChapter(40);
    QCOMPARE(m_fx->dialogs.count(), 2);
    QCOMPARE(controller().selectedRow(), edge);
}

void TestReadingPage::leftAndRightKeysInThePage()
{
    openBook(m_fx->writeChapters(QStringLiteral("c.txt"), 3));
    QTRY_VERIFY_WITH_TIMEOUT(runJs(view(), QStringLiteral("window.readerChannelReady === true")).toBool(), 10000);

    const auto press = [this](const char* key) {
        runJs(view(), QStringLiteral("document.getElementById('Content_Txt').dispatchEvent("
                                     "new KeyboardEvent('keydown', {key: '%1', bubbles: true})); true")
                          .arg(QLatin1String(key)));
    };
    press("ArrowRight");
    waitShown(1);
    press("ArrowRight");
    waitShown(2);
    press("ArrowLeft");
    waitShown(1);
    press("ArrowDown"); // scrolling keys are the page's own
    QTest::qWait(200);
    QCOMPARE(controller().selectedRow(), 1);

    // A real key press on the view reaches the page and comes back the same way.
    view()->setFocus();
    QTest::keyClick(view()->focusProxy(), Qt::Key_Right);
    waitShown(2);
    // Held modifiers do not keep the key from the chapters.
    QTest::keyClick(view()->focusProxy(), Qt::Key_Left, Qt::ControlModifier);
    waitShown(1);
    QCOMPARE(m_fx->dialogs.count(), 0);
}

void TestReadingPage::modifierKeysInThePage_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("modifiers");   // the KeyboardEvent's flags, e.g. "ctrlKey: true"
    QTest::addColumn<QList<int>>("received"); // what ChangeChapter gets, the closing Enter (13) included

    QTest::newRow("Ctrl+Right") << "ArrowRight"
                                << "ctrlKey: true" << QList<int>{39, 13};
    QTest::newRow("Alt+Left") << "ArrowLeft"
                              << "altKey: true" << QList<int>{37, 13};
    QTest::newRow("Meta+Right") << "ArrowRight"
                                << "metaKey: true" << QList<int>{39, 13};
    QTest::newRow("Ctrl+Shift+Left") << "ArrowLeft"
                                     << "ctrlKey: true, shiftKey: true" << QList<int>{37, 13};
    QTest::newRow("Ctrl+Enter") << "Enter"
                                << "ctrlKey: true" << QList<int>{13, 13};
    QTest::newRow("Ctrl+F finds") << "f"
                                  << "ctrlKey: true" << QList<int>{13};
    QTest::newRow("Ctrl+C copies") << "c"
                                   << "ctrlKey: true" << QList<int>{13};
    QTest::newRow("Ctrl+A selects all") << "A"
                                        << "ctrlKey: true" << QList<int>{13};
    // Events made by script carry no key code; the key still goes over.
    QTest::newRow("Alt+F is no find") << "f"
                                      << "altKey: true" << QList<int>{0, 13};
}

// Every key pressed in the page reaches ChangeChapter, with its modifiers, except the
// page's own find, copy and select-all.
void TestReadingPage::modifierKeysInThePage()
{
    QFETCH(QString, key);
    QFETCH(QString, modifiers);
    QFETCH(QList<int>, received);
    QTRY_VERIFY_WITH_TIMEOUT(runJs(view(), QStringLiteral("window.readerChannelReady === true")).toBool(), 10000);
    QList<int> codes;
    view()->setKeyHandler([&codes](int keyCode) { codes << keyCode; });
    const auto press = [this](const QString& k, const QString& flags) {
        runJs(view(), QStringLiteral("document.getElementById('Content_Txt').dispatchEvent("
                                     "new KeyboardEvent('keydown', {key: '%1', %2 bubbles: true})); true")
                          .arg(k, flags.isEmpty() ? QString() : flags + QStringLiteral(",")));
    };
    press(key, modifiers);
    press(QStringLiteral("Enter"), QString()); // arrives after the key above
    QTRY_COMPARE_WITH_TIMEOUT(codes.size(), received.size(), 5000);
    QCOMPARE(codes, received);
}

void TestReadingPage::realKeyTurnsChapterAfterShowing_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("next");

    QTest::newRow("Enter in the list") << "enter" << 2 << int(Qt::Key_Right) << 3;
    QTest::newRow("double-click in the list") << "double-click" << 1 << int(Qt::Key_Right) << 2;
    QTest::newRow("下一节") << "button 8" << 1 << int(Qt::Key_Right) << 2;
    QTest::newRow("最后一节") << "button 9" << 4 << int(Qt::Key_Left) << 3;
}

// After a chapter is shown from the list or the toolbar, the page has the keyboard: a key
// pressed right away (not one sent through the page's script) turns the chapter.
void TestReadingPage::realKeyTurnsChapterAfterShowing()
{
    QFETCH(QString, how);
    QFETCH(int, shown);
    QFETCH(int, key);
    QFETCH(int, next);
    QVERIFY(QTest::qWaitForWindowActive(m_page.get()));
    openBook(m_fx->writeChapters(QStringLiteral("focus.txt"), 4));
    QTRY_VERIFY_WITH_TIMEOUT(runJs(view(), QStringLiteral("window.readerChannelReady === true")).toBool(), 10000);
    QTreeView* list = m_page->chapterList();
    list->setFocus();
    QTRY_VERIFY(list->hasFocus());

    if (how == QLatin1String("enter")) {
        list->setCurrentIndex(m_page->chapterModel().index(shown, 0));
        QTest::keyClick(list, Qt::Key_Return);
    } else if (how == QLatin1String("double-click")) {
        const QPoint at = list->visualRect(m_page->chapterModel().index(shown, 2)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    } else {
        auto* toolbar = m_page->findChild<QToolBar*>(QStringLiteral("Toolbar2"));
        QWidget* button = toolbar->widgetForAction(m_page->toolbarButton(how.section(u' ', 1).toInt()));
        QTest::mouseClick(button, Qt::LeftButton);
    }
    waitShown(shown);

    QWidget* focused = QApplication::focusWidget();
    QVERIFY(focused);
    QCOMPARE(focused, view()->focusProxy());
    QTest::keyClick(focused, Qt::Key(key));
    waitShown(next);
    QCOMPARE(m_fx->dialogs.count(), 0);
}

// A chapter read down to its end: the next one starts at its top.
void TestReadingPage::nextChapterStartsAtTheTop()
{
    QString text = QStringLiteral("长书\n");
    for (int chapter = 1; chapter <= 2; ++chapter) {
        text += QStringLiteral("第%1章 长\n").arg(chapter);
        for (int line = 0; line < 300; ++line)
            text += QStringLiteral("这是长章%1的一行（%2），足够长，页面要滚动才能读完。\n").arg(chapter).arg(line);
    }
    openBook(m_fx->writeBook(QStringLiteral("long.txt"), text));
    controller().setSelectedRow(1);
    controller().showSelected();
    waitShown(1);

    const QString scrollTop = QStringLiteral("document.getElementById('Content_Txt').scrollTop");
    runJs(view(), scrollTop + QStringLiteral(" = 5000; true"));
    QTRY_VERIFY_WITH_TIMEOUT(runJs(view(), scrollTop).toInt() > 1000, 5000);

    m_page->toolbarButton(8)->trigger();
    waitShown(2);
    QCOMPARE(runJs(view(), scrollTop).toInt(), 0);
}

void TestReadingPage::pagingOnFromTheEnds_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("fromEnd");
    QTest::addColumn<int>("next");
    QTest::addColumn<bool>("shownAtEnd");
    QTest::newRow("PageDown at the end: next chapter from its top") << int(Qt::Key_PageDown) << true << 2 << false;
    QTest::newRow("Space at the end: next chapter") << int(Qt::Key_Space) << true << 2 << false;
    QTest::newRow("PageUp at the top: previous chapter at its end") << int(Qt::Key_PageUp) << false << 0 << true;
}

// Real keys in the page: paging on from the end (or back from the top) of a long chapter
// crosses into the next (previous) one.
void TestReadingPage::pagingOnFromTheEnds()
{
    QFETCH(int, key);
    QFETCH(bool, fromEnd);
    QFETCH(int, next);
    QFETCH(bool, shownAtEnd);
    QVERIFY(QTest::qWaitForWindowActive(m_page.get()));
    QString text;
    for (int chapter = 1; chapter <= 3; ++chapter) {
        text += QStringLiteral("第%1章 长\n").arg(chapter);
        for (int line = 0; line < 200; ++line)
            text += QStringLiteral("这是长章%1的一行（%2），足够长，页面要滚动才能读完。\n").arg(chapter).arg(line);
    }
    openBook(m_fx->writeBook(QStringLiteral("paging.txt"), text));
    QTRY_VERIFY_WITH_TIMEOUT(runJs(view(), QStringLiteral("window.readerChannelReady === true")).toBool(), 10000);
    controller().setSelectedRow(1);
    controller().showSelected();
    waitShown(1);

    const QString scrollTop = QStringLiteral("document.getElementById('Content_Txt').scrollTop");
    runJs(view(), scrollTop + (fromEnd ? QStringLiteral(" = 1e7; true") : QStringLiteral(" = 0; true")));
    QTRY_VERIFY_WITH_TIMEOUT((runJs(view(), scrollTop).toInt() > 1000) == fromEnd, 5000);

    QWidget* focused = QApplication::focusWidget();
    QVERIFY(focused);
    QCOMPARE(focused, view()->focusProxy());
    QTest::keyClick(focused, Qt::Key(key));
    waitShown(next);
    if (shownAtEnd)
        QTRY_VERIFY_WITH_TIMEOUT(runJs(view(), scrollTop).toInt() > 1000, 5000);
    else
        QCOMPARE(runJs(view(), scrollTop).toInt(), 0);
    QCOMPARE(m_fx->dialogs.count(), 0);
}

void TestReadingPage::enterAndDoubleClickInTheList()
{
    openBook(m_fx->writeChapters(QStringLiteral("d.txt"), 3));
    QTreeView* list = m_page->chapterList();
    list->setFocus();
    list->setCurrentIndex(m_page->chapterModel().index(3, 0));
    QCOMPARE(controller().selectedRow(), 3); // selecting alone does not show
    QCOMPARE(m_page->chapterModel().nowChapter(), 0);
    QTest::keyClick(list, Qt::Key_Return);
    waitShown(3);

    const QRect rect = list->visualRect(m_page->chapterModel().index(1, 2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    waitShown(1);
    QCOMPARE(m_page->chapterModel().nowChapter(), 1);
}

void TestReadingPage::emptyListIgnoresEverything()
{
    // Nothing open yet: no toolbar or list action may do anything or say anything.
    for (int button : {6, 7, 8, 9})
        m_page->toolbarButton(button)->trigger();
    QTest::keyClick(m_page->chapterList(), Qt::Key_Return);
    m_page->addBookmark();
    m_page->gotoBookmark();
    controller().changeChapter(37);
    QCOMPARE(m_fx->dialogs.count(), 0);
    QCOMPARE(controller().selectedRow(), -1);
}

void TestReadingPage::openingMissingOrEmptyFiles_data()
{
    QTest::addColumn<QString>("file"); // "" = a missing file
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("textStart");
    QTest::addColumn<int>("style");

    QTest::newRow("missing") << QString() << QString()
                             << QStringLiteral("文件地址不存在，请检查是否移动或删除了以下文件：\r\n") << 16;
    QTest::newRow("empty") << QStringLiteral("empty.txt") << QString()
                           << QStringLiteral("这本电子书是空文件，没有可以显示的内容：\r\n") << 48;
}

void TestReadingPage::openingMissingOrEmptyFiles()
{
    QFETCH(QString, file);
    QFETCH(QString, content);
    QFETCH(QString, textStart);
    QFETCH(int, style);
    const QString shown = m_fx->writeChapters(QStringLiteral("shown.txt"), 2);
    openBook(shown);
    controller().showLast();
    waitShown(2);

    const QString path =
        file.isEmpty() ? m_fx->dir.filePath(QStringLiteral("gone.txt")) : m_fx->writeBook(file, content);
    QSignalSpy scanning(&controller(), &ReadingController::scanningChanged);
    controller().getChapter(path, QString());
    QTRY_VERIFY_WITH_TIMEOUT(!controller().isScanning(), 10000);
    QCOMPARE(m_fx->dialogs.count(), 1);
    QCOMPARE(m_fx->dialogs.last().text, textStart + path);
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("电子书打开失败!"));
    QCOMPARE(m_fx->dialogs.last().style, style);
    // The book being read stays, with its chapter, list and path.
    QCOMPARE(m_fx->state.currentBookPath, shown);
    QCOMPARE(m_page->chapterModel().count(), 3);
    QCOMPARE(controller().selectedRow(), 2);
}

void TestReadingPage::laterOpenSupersedesEarlier()
{
    QString big = QStringLiteral("大书\n");
    for (int i = 1; i <= 3000; ++i)
        big += QStringLiteral("第%1章 大\n").arg(i) + QString(200, QChar(0x6587)) + QLatin1Char('\n');
    const QString first = m_fx->writeBook(QStringLiteral("big.txt"), big);
    const QString second = m_fx->writeChapters(QStringLiteral("small.txt"), 2);
    QSignalSpy filled(&controller(), &ReadingController::chapterListFilled);
    controller().getChapter(first, QString());
    controller().getChapter(second, QString());
    QTRY_VERIFY_WITH_TIMEOUT(!controller().isScanning(), 10000);
    QTest::qWait(300); // the first scan, had it been delivered, would have arrived by now
    QCOMPARE(filled.count(), 1);
    QCOMPARE(controller().bookPath(), second);
    QCOMPARE(m_page->chapterModel().count(), 3);
}

void TestReadingPage::bookmarkOpensItsChapter_data()
{
    QTest::addColumn<QString>("bookmark");
    QTest::addColumn<int>("row");

    QTest::newRow("matching label") << QStringLiteral("第2章 重名") << 2;
    QTest::newRow("duplicated label opens the first") << QStringLiteral("第3章 重名") << 3;
    QTest::newRow("Null matches nothing") << QStringLiteral("Null") << 0;
    QTest::newRow("case matters") << QStringLiteral("第2章 重名 ") << 0;
    QTest::newRow("first line label") << QStringLiteral("标题行") << 0;
}

void TestReadingPage::bookmarkOpensItsChapter()
{
    QFETCH(QString, bookmark);
    QFETCH(int, row);
    const QString path =
        m_fx->writeBook(QStringLiteral("marks.txt"),
                        QStringLiteral("标题行\n第1章 开头\n一\n第2章 重名\n二\n第3章 重名\n三\n第3章 重名\n四\n"));
    openBook(path, bookmark);
    waitShown(row);
}

void TestReadingPage::goToBookmark_data()
{
    QTest::addColumn<QString>("marke");
    QTest::addColumn<int>("expected");

    QTest::newRow("matches") << QStringLiteral("第3章 标题3") << 3;
    QTest::newRow("never set") << QStringLiteral("Null") << 1;
    QTest::newRow("file changed") << QStringLiteral("第9章 不在了") << 1;
}

void TestReadingPage::goToBookmark()
{
    QFETCH(QString, marke);
    QFETCH(int, expected);
    const QString path = m_fx->writeChapters(QStringLiteral("go.txt"), 4);
    m_fx->library.insertBook(QStringLiteral("其他分类"), QStringLiteral("书"), QStringLiteral("佚名"), path);
    m_fx->library.setBookmark(path, marke);
    openBook(path);
    controller().setSelectedRow(1);
    controller().showSelected();
    waitShown(1);

    QSignalSpy shown(&controller(), &ReadingController::chapterShown);
    m_page->readMenu()->findChild<QAction*>(QStringLiteral("Menue_GotoSQ"))->trigger();
    QCOMPARE(shown.count(), 1); // no match shows the current chapter again
    waitShown(expected);
    QCOMPARE(m_fx->dialogs.count(), 0);

    // The toolbar's drop-down item does the same.
    controller().setSelectedRow(0);
    m_page->bookmarkMenu()->findChild<QAction*>(QStringLiteral("GotoShuQian"))->trigger();
    waitShown(expected == 1 ? 0 : expected);
}

void TestReadingPage::bookmarkWithQuoteRoundTrips()
{
    const QString label = QStringLiteral("第2章 他说'走吧' \"好\"");
    const QString path = m_fx->writeBook(QStringLiteral("quote's.txt"),
                                         QStringLiteral("书\n第1章 起\n甲\n") + label + QStringLiteral("\n乙\n"));
    m_fx->library.insertBook(QStringLiteral("其他分类"), QStringLiteral("引号's"), QStringLiteral("佚名"), path);
    openBook(path);
    controller().setSelectedRow(2);
    controller().showSelected();

    m_page->bookmarkMenu()->findChild<QAction*>(QStringLiteral("AddShuQian"))->trigger();
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("恭喜你：书签添加成功！"));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("添加成功"));
    QCOMPARE(m_fx->dialogs.last().style, 64);
    QCOMPARE(m_nav->calls.last(), QStringLiteral("readList")); // the shelf shows the new label
    QCOMPARE(m_fx->library.bookByPath(path)->marke, label);

    controller().showFirst();
    waitShown(0);
    m_page->readMenu()->findChild<QAction*>(QStringLiteral("Menue_GotoSQ"))->trigger();
    waitShown(2);
}

void TestReadingPage::bookmarkOfBookNotOnShelf()
{
    const QString path = m_fx->writeChapters(QStringLiteral("loose.txt"), 2);
    openBook(path);
    m_page->readMenu()->findChild<QAction*>(QStringLiteral("Menue_InsertSQ"))->trigger();
    QCOMPARE(m_fx->dialogs.count(), 1);
    QVERIFY(m_fx->dialogs.last().text.contains(QStringLiteral("还没有添加到你的书架")));
    QVERIFY(!m_fx->dialogs.last().text.contains(QStringLiteral("成功！")));
    QCOMPARE(m_fx->dialogs.last().style, 48);
    QVERIFY(!m_nav->calls.contains(QStringLiteral("readList")));

    BookmarkController direct(&m_fx->library, m_fx->dialogs, {});
    QCOMPARE(direct.addBookmark(path, QStringLiteral("第1章 标题1"), true), BookmarkController::AddResult::NotOnShelf);
    QCOMPARE(direct.addBookmark(path, QStringLiteral("第1章 标题1"), false), BookmarkController::AddResult::NoChapter);
}

void TestReadingPage::findBar()
{
    openBook(m_fx->writeChapters(QStringLiteral("find.txt"), 2));
    controller().showLast();
    waitShown(2);

    FindBar* bar = m_page->findBar();
    QVERIFY(!bar->isVisible());
    m_page->toolbarButton(4)->trigger();
    QVERIFY(bar->isVisible());
    auto* text = bar->findChild<QLineEdit*>(QStringLiteral("FindText"));
    QTRY_VERIFY(text->hasFocus());

    QSignalSpy searched(bar, &FindBar::searched);
    text->setText(QStringLiteral("内容2"));
    QTRY_VERIFY_WITH_TIMEOUT(bar->lastSearchFound() && bar->statusText() == QStringLiteral("1/2"), 5000);
    bar->findChild<QToolButton*>(QStringLiteral("FindNext"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(bar->statusText(), QStringLiteral("2/2"), 5000);
    bar->findChild<QToolButton*>(QStringLiteral("FindPrevious"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(bar->statusText(), QStringLiteral("1/2"), 5000);

    text->setText(QStringLiteral("不存在的字"));
    QTRY_COMPARE_WITH_TIMEOUT(bar->statusText(), QStringLiteral("没有找到"), 5000);
    QVERIFY(!bar->lastSearchFound());

    QTest::keyClick(text, Qt::Key_Escape);
    QVERIFY(!bar->isVisible());
    // Ctrl+F on the page opens it too.
    QTest::keyClick(m_page->chapterList(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(bar->isVisible());
    bar->close();
    // The reading menu's "查找内容" opens it again.
    m_page->readMenu()->findChild<QAction*>(QStringLiteral("Menue_Find"))->trigger();
    QVERIFY(bar->isVisible());
}

void TestReadingPage::appearance_data()
{
    QTest::addColumn<QString>("txtColor");
    QTest::addColumn<QString>("txtSize");
    QTest::addColumn<QString>("backColor");
    QTest::addColumn<QString>("color");
    QTest::addColumn<QString>("background");
    QTest::addColumn<QString>("fontSize");

    QTest::newRow("小号") << "FF0000" << QStringLiteral("小号") << "00FF00"
                          << "rgb(255, 0, 0)"
                          << "rgb(0, 255, 0)"
                          << "12px";
    QTest::newRow("中号") << "000000" << QStringLiteral("中号") << "FFFFFF"
                          << "rgb(0, 0, 0)"
                          << "rgb(255, 255, 255)"
                          << "14px";
    QTest::newRow("大号") << "123456" << QStringLiteral("大号") << "ABCDEF"
                          << "rgb(18, 52, 86)"
                          << "rgb(171, 205, 239)"
                          << "18px";
    QTest::newRow("特大号") << "000000" << QStringLiteral("特大号") << "FBF7EE"
                            << "rgb(0, 0, 0)"
                            << "rgb(251, 247, 238)"
                            << "22px";
    QTest::newRow("unknown size") << "000000" << QStringLiteral("超大") << "FBF7EE"
                                  << "rgb(0, 0, 0)"
                                  << "rgb(251, 247, 238)"
                                  << "14px";
    // A stored colour that is not six hex digits never reaches the page's script.
    QTest::newRow("bad colour kept out") << "red');alert(1);('" << QStringLiteral("大号") << "FBF7EE"
                                         << "rgb(0, 0, 0)"
                                         << "rgb(251, 247, 238)"
                                         << "18px";
}

void TestReadingPage::appearance()
{
    QFETCH(QString, txtColor);
    QFETCH(QString, txtSize);
    QFETCH(QString, backColor);
    QFETCH(QString, color);
    QFETCH(QString, background);
    QFETCH(QString, fontSize);
    ReadingAppearance* appearance = view();
    appearance->applyAppearance(txtColor, txtSize, backColor);
    const QString read =
        QStringLiteral("(function(){var e=document.getElementById('Content_Txt');"
                       "var s=getComputedStyle(e);return [s.color,s.backgroundColor,e.style.fontSize];})()");
    QTRY_COMPARE_WITH_TIMEOUT(runJs(view(), read).toStringList(), QStringList({color, background, fontSize}), 5000);
}

void TestReadingPage::contentFoundInBothCases()
{
    QVERIFY(runJs(view(), QStringLiteral("document.getElementById('content') !== null && "
                                         "document.getElementById('content') === document.getElementById('Content')"))
                .toBool());
    for (const char* id : {"Content_Txt", "TXT", "AdsDiv", "Content"})
        QVERIFY2(
            runJs(view(), QStringLiteral("document.getElementById('%1') !== null").arg(QLatin1String(id))).toBool(),
            id);
}

void TestReadingPage::bookTextIsNotRunAsHtml()
{
    openBook(m_fx->writeBook(QStringLiteral("html.txt"),
                             QStringLiteral("书\n第1章 <b>粗</b>\n<img src=x onerror=\"window.pwned=1\">&amp;\n")));
    controller().showLast();
    waitShown(1);
    QTRY_VERIFY_WITH_TIMEOUT(txtHtml(view()).contains(QStringLiteral("&lt;img src=x")), 5000);
    QVERIFY(!runJs(view(), QStringLiteral("window.pwned === 1")).toBool());
    QVERIFY(txtHtml(view()).contains(QStringLiteral("&amp;amp;")));
}

void TestReadingPage::splitterButtons()
{
    m_page->resize(1200, 700);
    QTRY_COMPARE(m_page->width(), 1200);
    m_page->relayout();
    auto* hide = m_page->findChild<QToolButton*>(QStringLiteral("spliter_button_0"));
    auto* show = m_page->findChild<QToolButton*>(QStringLiteral("spliter_button_1"));
    const int withList = view()->width();
    QVERIFY(m_page->chapterList()->isVisible());
    QVERIFY(hide->isVisible());
    QVERIFY(!show->isVisible());

    hide->click();
    QVERIFY(!m_page->chapterList()->isVisible());
    QVERIFY(!hide->isVisible());
    QVERIFY(show->isVisible());
    // The reading view takes the freed 2995 twips (200 pixels, give or take rounding).
    QVERIFY2(qAbs(view()->width() - withList - 200) <= 1, qPrintable(QString::number(view()->width() - withList)));

    // Opening a book shows the list again.
    openBook(m_fx->writeChapters(QStringLiteral("s.txt"), 1));
    QVERIFY(m_page->chapterList()->isVisible());
    QCOMPARE(view()->width(), withList);
    QVERIFY(!show->isVisible());
}

void TestReadingPage::traditionalCharactersPerBook()
{
    const QString path = m_fx->writeBook(QStringLiteral("convert.txt"),
                                         QStringLiteral("书\n第1章 开始\n汉字\n第2章 头发\n以后他的头发白了\n"));
    m_fx->library.insertBook(QStringLiteral("其他分类"), QStringLiteral("书"), QStringLiteral("佚名"), path);
    m_fx->library.setBookmark(path, QStringLiteral("第2章 头发"));
    openBook(path, QStringLiteral("第2章 头发"));
    waitShown(2);
    auto* menu = m_page->readMenu()->findChild<QMenu*>(QStringLiteral("Menue_Convert"));
    QVERIFY(menu);
    QVERIFY(menu->findChild<QAction*>(QStringLiteral("Menue_ConvertNone"))->isChecked());

    QSignalSpy shown(&controller(), &ReadingController::chapterShown);
    menu->findChild<QAction*>(QStringLiteral("Menue_ConvertTraditional"))->trigger();
    QCOMPARE(shown.count(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(txtHtml(view()).contains(QStringLiteral("以後他的頭髮白了")), 5000);
    QVERIFY(menu->findChild<QAction*>(QStringLiteral("Menue_ConvertTraditional"))->isChecked());
    // The list shows the converted label; bookmarks keep the file's own.
    const QModelIndex label = m_page->chapterModel().index(2, ChapterListModel::LabelColumn);
    QCOMPARE(label.data().toString(), QStringLiteral("第2章 頭髮"));
    QCOMPARE(controller().selectedLabel(), QStringLiteral("第2章 头发"));
    m_page->readMenu()->findChild<QAction*>(QStringLiteral("Menue_InsertSQ"))->trigger();
    QCOMPARE(m_fx->library.bookByPath(path)->marke, QStringLiteral("第2章 头发"));

    // Read-aloud speaks what the page shows.
    m_page->toolbarButton(11)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_fx->speech.calls.size(), 1, 5000);
    QVERIFY(m_fx->speech.lastCall().text.contains(QStringLiteral("頭髮")));

    // Another book is shown as its file has it; reopening the first brings the choice
    // back, and its bookmark still finds its chapter.
    openBook(m_fx->writeChapters(QStringLiteral("plain.txt"), 1));
    QVERIFY(menu->findChild<QAction*>(QStringLiteral("Menue_ConvertNone"))->isChecked());
    QCOMPARE(m_page->chapterModel().index(1, ChapterListModel::LabelColumn).data().toString(),
             QStringLiteral("第1章 标题1"));
    openBook(path, m_fx->library.bookByPath(path)->marke);
    QCOMPARE(controller().selectedRow(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(txtHtml(view()).contains(QStringLiteral("以後他的頭髮白了")), 5000);
    QVERIFY(menu->findChild<QAction*>(QStringLiteral("Menue_ConvertTraditional"))->isChecked());
}

void TestReadingPage::hardWrappedLinesJoinedPerBook()
{
    const QString a = QStringLiteral("　　天色渐渐暗了下来他走");
    const QString b = QStringLiteral("在回家的路上心里想着今天");
    const QString c = QStringLiteral("发生的事情。");
    const QString d = QStringLiteral("　　又一段的开头也很长很");
    const QString e = QStringLiteral("长一直写到这一行的最后面");
    const QString path =
        m_fx->writeBook(QStringLiteral("wrapped.txt"), QStringLiteral("书\n第1章 雨夜\n") + a + "\n" + b + "\n" + c +
                                                           "\n" + d + "\n" + e + QStringLiteral("\n才结束。\n"));
    m_fx->library.insertBook(QStringLiteral("其他分类"), QStringLiteral("书"), QStringLiteral("佚名"), path);
    openBook(path, QStringLiteral("第1章 雨夜"));
    waitShown(1); // off by default: every line of the file is a line of the page
    QAction* unwrap = m_page->readMenu()->findChild<QAction*>(QStringLiteral("Menue_Unwrap"));
    QVERIFY(unwrap);
    QVERIFY(unwrap->isCheckable() && !unwrap->isChecked());

    QSignalSpy shown(&controller(), &ReadingController::chapterShown);
    unwrap->trigger();
    QCOMPARE(shown.count(), 1);

    QTRY_VERIFY_WITH_TIMEOUT(txtHtml(view()).contains(a + b + c + QStringLiteral("<br>") + d + e), 5000);
    QVERIFY(unwrap->isChecked());
    m_page->readMenu()->findChild<QAction*>(QStringLiteral("Menue_InsertSQ"))->trigger();
    QCOMPARE(m_fx->library.bookByPath(path)->marke, QStringLiteral("第1章 雨夜"));

    openBook(m_fx->writeChapters(QStringLiteral("plain.txt"), 1));
    QVERIFY(!unwrap->isChecked());
    openBook(path, m_fx->library.bookByPath(path)->marke);
    QCOMPARE(controller().selectedRow(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(txtHtml(view()).contains(a + b + c), 5000);
    QVERIFY(unwrap->isChecked());
}

void TestReadingPage::wholeChapterTitles()
{
    const QString title = QStringLiteral("第1章 一个很长很长的章节标题长到窗格放不下它");
    openBook(m_fx->writeBook(QStringLiteral("long.txt"), QStringLiteral("书\n") + title + QStringLiteral("\n内容\n")));
    QTreeView* list = m_page->chapterList();
    const QModelIndex label = m_page->chapterModel().index(1, ChapterListModel::LabelColumn);
    QCOMPARE(label.data().toString(), title);
    QCOMPARE(label.data(Qt::ToolTipRole).toString(), title);
    QVERIFY(list->fontMetrics().horizontalAdvance(title) > list->viewport()->width());
    // The column holds the whole title; the list scrolls sideways to it.
    QTRY_VERIFY(list->columnWidth(ChapterListModel::LabelColumn) >= list->fontMetrics().horizontalAdvance(title));
}

// A long list: the widest title lies far down, and the column follows a narrower pane or a
// changed title without losing it.
void TestReadingPage::longListFitsItsWidestTitle()
{
    const QString wide = QStringLiteral("第1999章 最后一章的标题长得超过窗格很多很多很多很多");
    QString text = QStringLiteral("书\n");
    for (int c = 1; c < 1999; ++c)
        text += QStringLiteral("第%1章 短\n内容\n").arg(c);
    text += wide + QStringLiteral("\n内容\n");
    openBook(m_fx->writeBook(QStringLiteral("many.txt"), text));
    QTreeView* list = m_page->chapterList();
    QTRY_COMPARE(m_page->chapterModel().count(), 2000);
    const int needed = list->fontMetrics().horizontalAdvance(wide);
    QTRY_VERIFY(list->columnWidth(ChapterListModel::LabelColumn) >= needed);
    m_page->resize(m_page->width() - 40, m_page->height());
    QTRY_VERIFY(list->columnWidth(ChapterListModel::LabelColumn) >= needed);

    // Titles shown in other characters are measured anew: short ones give the width back.
    QStringList shorter;
    for (int r = 0; r < m_page->chapterModel().count(); ++r)
        shorter << QStringLiteral("短");
    m_page->chapterModel().setShownLabels(shorter);
    QTRY_VERIFY(list->columnWidth(ChapterListModel::LabelColumn) < needed);
}

QTEST_MAIN(TestReadingPage)
#include "tst_readingpage.moc"
