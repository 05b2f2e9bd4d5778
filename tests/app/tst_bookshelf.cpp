#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/BookshelfPage.h"
#include "app/LibraryDatabase.h"
#include "app/ReaderNavigator.h"

#include "FakeClock.h"
#include "FakeDesktopLauncher.h"
#include "FakeDialogs.h"
#include "FakePickers.h"
#include "FakeSpeechEngine.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "RecordingNavigator.h"

#include <memory>

namespace {

const QString kOther = QStringLiteral("其他分类");
const QString kWuxia = QStringLiteral("武侠仙侠");

} // namespace

// The bookshelf page driven through its widgets, as a user would.
class TestBookshelf : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void treeHasRootAndTenCategories();
    void clickOnChosenNodeReReads();
    void stripesStartWithTheFirstColour();
    void fillsOnePageNewestFirst_data();
    void fillsOnePageNewestFirst();
    void pagingRefusals_data();
    void pagingRefusals();
    void pagingMoves();
    void goBox_data();
    void goBox();
    void emptyShelfKeepsLoadingLabel();
    void emptyCategoryKeepsLabel();
    void categoryMatchesExactly();
    void pageBeyondLastShowsLastPage();
    void everyPageHoldsItsSlice_data();
    void everyPageHoldsItsSlice();
    void rightButtonMenuOnlyOnRow();
    void doubleClickOpensBook();
    void missingFileIsReported_data();
    void missingFileIsReported();
    void readFromMenu();
    void editAndAddAskTheDialog();
    void removeAsksFirst();
    void folderOfPath_data();
    void folderOfPath();
    void openFolder();
    void noticeShownOnlyWithAddress();
    void relayoutFollowsPageSize();
    void filterNarrowsRows_data();
    void filterNarrowsRows();
    void dropAddsFilesAndFolders();
    void importFolderSkipsWhatIsOnShelf();
    void cancelKeepsBatchesWritten();

private:
    QString writeBook(const QString& relativePath);
    QStringList shownNames() const;
    void addBooks(int count, const QString& type = kOther, const QString& prefix = QStringLiteral("book"));
    QString realFile(const QString& name);
    void click(const char* name);
    void go(const QString& text);
    QTreeWidget* list() const { return m_page->findChild<QTreeWidget*>(QStringLiteral("ListView1")); }
    QTreeWidget* tree() const { return m_page->findChild<QTreeWidget*>(QStringLiteral("TreeView1")); }
    QString label7() const { return m_page->findChild<QLabel*>(QStringLiteral("Label7"))->text(); }
    QTreeWidgetItem* rowWithPath(const QString& path) const;
    QPoint rowCenter(QTreeWidgetItem* row) const { return list()->visualItemRect(row).center(); }
    void selectCategory(const QString& name);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<LibraryDatabase> m_db;
    FakeDialogs m_dialogs;
    FakePickers m_pickers;
    FakeDesktopLauncher m_desktop;
    FakeClock m_clock;
    QNetworkAccessManager m_network;
    FakeSpeechEngine m_speech;
    AppState m_state;
    std::unique_ptr<AppServices> m_services;
    RecordingNavigator m_navigator;
    std::unique_ptr<BookshelfPage> m_page;
};

void TestBookshelf::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_db = std::make_unique<LibraryDatabase>();
    QCOMPARE(m_db->open(m_dir->filePath(QStringLiteral("Data.db"))), LibraryDatabase::OpenResult::Created);
    m_db->setNow([this] { return m_clock.now(); });
    m_state = AppState();
    m_state.library = m_db.get();
    m_dialogs = FakeDialogs();
    m_desktop = FakeDesktopLauncher();
    m_navigator = RecordingNavigator();
    m_services.reset(new AppServices{m_state, m_dialogs, m_pickers, m_desktop, m_clock, m_network, m_speech});
    m_page = std::make_unique<BookshelfPage>(*m_services, m_navigator);
    m_page->resize(900, 600);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
}

void TestBookshelf::cleanup()
{
    m_page.reset();
    m_db.reset();
    m_dir.reset();
}

void TestBookshelf::addBooks(int count, const QString& type, const QString& prefix)
{
    QVERIFY(m_db->connection().transaction());
    for (int i = 1; i <= count; ++i) {
        const QString name = QStringLiteral("%1%2").arg(prefix).arg(i);
        QVERIFY(m_db->insertBook(type, name, QStringLiteral("佚名"), QStringLiteral("/nowhere/%1.txt").arg(name)));
    }
    QVERIFY(m_db->connection().commit());
}

QString TestBookshelf::realFile(const QString& name)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write("第一章 开始\n正文\n");
    return path;
}

void TestBookshelf::click(const char* name)
{
    auto* label = m_page->findChild<QLabel*>(QLatin1String(name));
    QVERIFY2(label, name);
    QTest::mouseClick(label, Qt::LeftButton);
}

void TestBookshelf::go(const QString& text)
{
    m_page->findChild<QLineEdit*>(QStringLiteral("Text3"))->setText(text);
    QTest::mouseClick(m_page->findChild<QPushButton*>(QStringLiteral("Command4")), Qt::LeftButton);
}

QTreeWidgetItem* TestBookshelf::rowWithPath(const QString& path) const
{
    for (int i = 0; i < list()->topLevelItemCount(); ++i) {
        if (list()->topLevelItem(i)->text(5) == path)
            return list()->topLevelItem(i);
    }
    return nullptr;
}

void TestBookshelf::selectCategory(const QString& name)
{
    const auto found = tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(found.size(), 1);
    tree()->setCurrentItem(found.first());
}

void TestBookshelf::treeHasRootAndTenCategories()
{
    QTreeWidgetItem* root = tree()->topLevelItem(0);
    QCOMPARE(tree()->topLevelItemCount(), 1);
    QCOMPARE(root->text(0), QStringLiteral("我的书架"));
    QCOMPARE(root->data(0, Qt::UserRole).toString(), QStringLiteral("sj"));
    QVERIFY(root->isExpanded());
    const QStringList names = {kWuxia,
                               QStringLiteral("玄幻修真"),
                               QStringLiteral("都市言情"),
                               QStringLiteral("游戏动漫"),
                               QStringLiteral("历史军事"),
                               QStringLiteral("推理灵异"),
                               QStringLiteral("纪实文学"),
                               QStringLiteral("学习资料"),
                               QStringLiteral("管理哲学"),
                               kOther};
    QCOMPARE(root->childCount(), 10);
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(root->child(i)->text(0), names.at(i));
        QCOMPARE(root->child(i)->data(0, Qt::UserRole).toString(), QStringLiteral("Key%1").arg(i + 1));
    }
    // The chosen node carries the highlight colours, the others white.
    const QPalette palette = tree()->palette();
    QCOMPARE(root->background(0).color(), palette.color(QPalette::Highlight));
    selectCategory(names.at(2));
    QCOMPARE(root->child(2)->background(0).color(), palette.color(QPalette::Highlight));
    QCOMPARE(root->child(2)->foreground(0).color(), palette.color(QPalette::HighlightedText));
    QCOMPARE(root->background(0).color(), QColor(Qt::white));

    const QStringList headers = {QStringLiteral("ID"),   QStringLiteral("类别"),     QStringLiteral("书名"),
                                 QStringLiteral("书签"), QStringLiteral("最近阅读"), QStringLiteral("文件地址")};
    QCOMPARE(list()->columnCount(), 6);
    for (int i = 0; i < 6; ++i)
        QCOMPARE(list()->headerItem()->text(i), headers.at(i));
    QVERIFY(list()->alternatingRowColors());
}

void TestBookshelf::clickOnChosenNodeReReads()
{
    const auto clickNode = [this](QTreeWidgetItem* node) {
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualItemRect(node).center());
    };
    QTreeWidgetItem* root = tree()->topLevelItem(0);
    QTreeWidgetItem* wuxia = root->child(0);
    addBooks(1, kWuxia);
    m_page->readList();

    clickNode(wuxia);
    QCOMPARE(tree()->currentItem(), wuxia);
    QCOMPARE(list()->topLevelItemCount(), 1);
    // Books added from outside while the program runs show on a click of the chosen node.
    addBooks(2, kWuxia, QStringLiteral("later"));
    clickNode(wuxia);
    QCOMPARE(list()->topLevelItemCount(), 3);

    clickNode(root);
    QCOMPARE(list()->topLevelItemCount(), 3);
    addBooks(1, kOther, QStringLiteral("other"));
    clickNode(root);
    QCOMPARE(tree()->currentItem(), root);
    QCOMPARE(list()->topLevelItemCount(), 4);

    // A collapsed root opens again on its click.
    tree()->collapseItem(root);
    QVERIFY(!root->isExpanded());
    clickNode(root);
    QVERIFY(root->isExpanded());
    QCOMPARE(m_dialogs.count(), 0);
}

void TestBookshelf::stripesStartWithTheFirstColour()
{
    addBooks(3);
    m_page->readList();
    m_page->relayout();
    QTreeWidget* view = list();
    view->clearSelection();
    view->setCurrentItem(nullptr);
    const QImage shot = view->viewport()->grab().toImage();
    // Sample near the right edge of the last column, away from the text.
    auto colourOfRow = [&](int row) {
        const QRect r = view->visualItemRect(view->topLevelItem(row));
        return QColor(shot.pixel(view->viewport()->width() - 3, r.center().y()));
    };
    QCOMPARE(colourOfRow(0), QColor(236, 246, 255));
    QCOMPARE(colourOfRow(1), QColor(Qt::white));
    QCOMPARE(colourOfRow(2), QColor(236, 246, 255));
    const QRect last = view->visualItemRect(view->topLevelItem(2));
    QCOMPARE(QColor(shot.pixel(10, last.bottom() + 20)), QColor(Qt::white)); // below the rows
}

void TestBookshelf::fillsOnePageNewestFirst_data()
{
    QTest::addColumn<int>("books");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("firstPageRows");
    QTest::addColumn<int>("lastPageRows");
    QTest::addColumn<QString>("lastLabel");
    QTest::newRow("none") << 0 << QStringLiteral("Loadin...") << 0 << 0 << QStringLiteral("Loadin...");
    QTest::newRow("40 make one page") << 40 << QStringLiteral("1/1") << 40 << 40 << QStringLiteral("1/1");
    QTest::newRow("41 make two") << 41 << QStringLiteral("1/2") << 40 << 1 << QStringLiteral("2/2");
    QTest::newRow("81 make three") << 81 << QStringLiteral("1/3") << 40 << 1 << QStringLiteral("3/3");
}

void TestBookshelf::fillsOnePageNewestFirst()
{
    QFETCH(int, books);
    QFETCH(QString, label);
    QFETCH(int, firstPageRows);
    QFETCH(int, lastPageRows);
    QFETCH(QString, lastLabel);
    addBooks(books);
    m_page->readList();
    QCOMPARE(label7(), label);
    QCOMPARE(list()->topLevelItemCount(), firstPageRows);
    QCOMPARE(m_dialogs.count(), 0);
    if (books > 0) {
        QTreeWidgetItem* top = list()->topLevelItem(0);
        QCOMPARE(top->text(0), QString::number(books));
        QCOMPARE(top->text(1), kOther);
        QCOMPARE(top->text(2), QStringLiteral("book%1").arg(books));
        QCOMPARE(top->text(3), QStringLiteral("Null"));
        QCOMPARE(top->text(4), QStringLiteral("2009/3/7 08:05"));
        QCOMPARE(top->text(5), QStringLiteral("/nowhere/book%1.txt").arg(books));
        QCOMPARE(top->foreground(2).color(), QColor(198, 79, 6));
    }
    if (books > 40) {
        click("Label8");
        QCOMPARE(m_dialogs.count(), 0);
        QCOMPARE(label7(), lastLabel);
        QCOMPARE(list()->topLevelItemCount(), lastPageRows);
        QCOMPARE(list()->topLevelItem(0)->text(0), QStringLiteral("1"));
    }
}

void TestBookshelf::pagingRefusals_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("onLastPage");
    QTest::addColumn<QString>("message");
    QTest::newRow("首页 on page 1") << "Label11" << false << QStringLiteral("当前已是第一页!");
    QTest::newRow("上一页 on page 1") << "Label10" << false << QStringLiteral("前面没有了，当前已是第一页!");
    QTest::newRow("下一页 on the last") << "Label9" << true << QStringLiteral("后面没有了，当前已是最后一页!");
    QTest::newRow("最后页 on the last") << "Label8" << true << QStringLiteral("当前已是最后一页!");
}

void TestBookshelf::pagingRefusals()
{
    QFETCH(QString, control);
    QFETCH(bool, onLastPage);
    QFETCH(QString, message);
    addBooks(81);
    m_page->readList();
    if (onLastPage)
        click("Label8");
    const QString labelBefore = label7();
    const QString firstIdBefore = list()->topLevelItem(0)->text(0);
    // A row added meanwhile shows whether the refusal re-read the list.
    addBooks(1, kOther, QStringLiteral("late"));
    m_dialogs.clear();

    click(control.toLatin1().constData());
    QCOMPARE(m_dialogs.count(), 1);
    QCOMPARE(m_dialogs.last().text, message);
    QCOMPARE(m_dialogs.last().title, QStringLiteral("Quillmere"));
    QCOMPARE(m_dialogs.last().style, 48);
    QCOMPARE(label7(), labelBefore);
    QCOMPARE(list()->topLevelItem(0)->text(0), firstIdBefore);
}

void TestBookshelf::pagingMoves()
{
    addBooks(81);
    m_page->readList();
    click("Label9");
    QCOMPARE(label7(), QStringLiteral("2/3"));
    QCOMPARE(list()->topLevelItem(0)->text(0), QStringLiteral("41"));
    QCOMPARE(list()->topLevelItem(39)->text(0), QStringLiteral("2"));
    QCOMPARE(list()->topLevelItemCount(), 40);
    click("Label9");
    QCOMPARE(label7(), QStringLiteral("3/3"));
    QCOMPARE(list()->topLevelItemCount(), 1);
    click("Label10");
    QCOMPARE(label7(), QStringLiteral("2/3"));
    click("Label11");
    QCOMPARE(label7(), QStringLiteral("1/3"));
    QCOMPARE(list()->topLevelItem(0)->text(0), QStringLiteral("81"));
    QCOMPARE(m_dialogs.count(), 0);
}

void TestBookshelf::goBox_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: no message
    QTest::addColumn<QString>("label");
    const QString wrong = QStringLiteral("输入的页码有误,请重新输入!");
    const QString outside = QStringLiteral("输入的页码有误,一共才3页,请重新输入!");
    QTest::newRow("2 between blanks") << QStringLiteral("  2 ") << QString() << QStringLiteral("2/3");
    QTest::newRow("2.7 is page 2") << QStringLiteral("2.7") << QString() << QStringLiteral("2/3");
    QTest::newRow("last page") << QStringLiteral("3") << QString() << QStringLiteral("3/3");
    QTest::newRow("0") << QStringLiteral("0") << outside << QStringLiteral("1/3");
    QTest::newRow("-1") << QStringLiteral("-1") << outside << QStringLiteral("1/3");
    QTest::newRow("0.5 rounds down to 0") << QStringLiteral("0.5") << outside << QStringLiteral("1/3");
    QTest::newRow("above the count") << QStringLiteral("4") << outside << QStringLiteral("1/3");
    QTest::newRow("huge") << QStringLiteral("1e300") << outside << QStringLiteral("1/3");
    QTest::newRow("letters") << QStringLiteral("abc") << wrong << QStringLiteral("1/3");
    QTest::newRow("digits then letters") << QStringLiteral("2a") << wrong << QStringLiteral("1/3");
    QTest::newRow("empty") << QString() << wrong << QStringLiteral("1/3");
    QTest::newRow("only blanks") << QStringLiteral("   ") << wrong << QStringLiteral("1/3");
}

void TestBookshelf::goBox()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(QString, label);
    addBooks(81);
    m_page->readList();
    go(text);
    QCOMPARE(m_page->findChild<QLineEdit*>(QStringLiteral("Text3"))->text(), QString());
    QCOMPARE(label7(), label);
    if (message.isEmpty()) {
        QCOMPARE(m_dialogs.count(), 0);
    } else {
        QCOMPARE(m_dialogs.count(), 1);
        QCOMPARE(m_dialogs.last().text, message);
        QCOMPARE(m_dialogs.last().title, QStringLiteral("Quillmere"));
        QCOMPARE(m_dialogs.last().style, 48);
    }
}

void TestBookshelf::emptyShelfKeepsLoadingLabel()
{
    m_page->readList();
    QCOMPARE(label7(), QStringLiteral("Loadin..."));
    QCOMPARE(list()->topLevelItemCount(), 0);
    // Nothing to page through: the buttons refuse rather than walk into pages that do not exist.
    click("Label9");
    QCOMPARE(m_dialogs.last().text, QStringLiteral("后面没有了，当前已是最后一页!"));
    click("Label8");
    QCOMPARE(m_dialogs.last().text, QStringLiteral("当前已是最后一页!"));
    go(QStringLiteral("1"));
    QCOMPARE(m_dialogs.last().text, QStringLiteral("输入的页码有误,一共才0页,请重新输入!"));
    QCOMPARE(m_dialogs.count(), 3);
    addBooks(3);
    m_page->readList();
    QCOMPARE(label7(), QStringLiteral("1/1"));
}

void TestBookshelf::emptyCategoryKeepsLabel()
{
    addBooks(45);
    m_page->readList();
    click("Label9");
    QCOMPARE(label7(), QStringLiteral("2/2"));
    selectCategory(kWuxia);
    QCOMPARE(list()->topLevelItemCount(), 0);
    QCOMPARE(label7(), QStringLiteral("2/2"));
    QCOMPARE(m_dialogs.count(), 0);
    selectCategory(kOther);
    QCOMPARE(label7(), QStringLiteral("2/2"));
    QCOMPARE(list()->topLevelItemCount(), 5);
}

void TestBookshelf::categoryMatchesExactly()
{
    addBooks(2, kWuxia, QStringLiteral("wx"));
    addBooks(1, QStringLiteral("武侠"), QStringLiteral("odd"));
    addBooks(1, QStringLiteral("武侠仙侠 "), QStringLiteral("blank"));
    m_page->readList();
    QCOMPARE(list()->topLevelItemCount(), 4);
    selectCategory(kWuxia);
    QCOMPARE(list()->topLevelItemCount(), 2);
    QCOMPARE(list()->topLevelItem(0)->text(2), QStringLiteral("wx2"));
    QCOMPARE(list()->topLevelItem(1)->text(2), QStringLiteral("wx1"));
    selectCategory(QStringLiteral("我的书架"));
    QCOMPARE(list()->topLevelItemCount(), 4);
}

void TestBookshelf::pageBeyondLastShowsLastPage()
{
    addBooks(81);
    addBooks(5, kWuxia, QStringLiteral("wx"));
    m_page->readList();
    go(QStringLiteral("3"));
    QCOMPARE(label7(), QStringLiteral("3/3"));
    QCOMPARE(list()->topLevelItemCount(), 6);

    // A category with fewer pages shows its last page, and the page follows.
    selectCategory(kWuxia);
    QCOMPARE(label7(), QStringLiteral("1/1"));
    QCOMPARE(list()->topLevelItemCount(), 5);
    click("Label11");
    QCOMPARE(m_dialogs.last().text, QStringLiteral("当前已是第一页!"));

    // Removing the only rows of the last page shows the page before.
    selectCategory(QStringLiteral("我的书架"));
    go(QStringLiteral("3"));
    m_dialogs.clear();
    for (int id = 1; id <= 6; ++id)
        QVERIFY(m_db->deleteBook(id));
    m_page->readList();
    QCOMPARE(label7(), QStringLiteral("2/2"));
    QCOMPARE(list()->topLevelItemCount(), 40);
    QCOMPARE(list()->topLevelItem(39)->text(0), QStringLiteral("7"));
    QCOMPARE(m_dialogs.count(), 0);
}

void TestBookshelf::everyPageHoldsItsSlice_data()
{
    QTest::addColumn<int>("books");
    for (int n : {1, 39, 40, 41, 79, 80, 81, 119, 121, 201})
        QTest::newRow(qPrintable(QStringLiteral("%1 books").arg(n))) << n;
}

// Every page of the whole shelf and of a category holds exactly its 40 ids, newest first,
// whichever end of the list the page is read from.
void TestBookshelf::everyPageHoldsItsSlice()
{
    QFETCH(int, books);
    // Books of two categories interleaved: 武侠仙侠 gets every third id.
    QList<qint64> all;
    QList<qint64> wuxia;
    QVERIFY(m_db->connection().transaction());
    for (int i = 1; i <= books; ++i) {
        const QString type = i % 3 == 0 ? kWuxia : kOther;
        const auto id = m_db->insertBook(type, QString::number(i), QString(), QStringLiteral("/p/%1.txt").arg(i));
        QVERIFY(id);
        all.prepend(*id);
        if (type == kWuxia)
            wuxia.prepend(*id);
    }
    QVERIFY(m_db->connection().commit());
    BookshelfController& shelf = m_page->controller();
    for (const auto& [query, expected] : {std::pair{ShelfQuery::all(), all}, {ShelfQuery::ofCategory(kWuxia), wuxia}}) {
        shelf.setQuery(query);
        const int pages = (int(expected.size()) + 39) / 40;
        for (int page = 1; page <= pages; ++page) {
            if (page > 1 || shelf.currentPage() != 1)
                QVERIFY(shelf.go(QString::number(page)));
            QList<qint64> ids;
            for (const BookRow& row : shelf.rows())
                ids << row.id;
            QCOMPARE(ids, expected.mid((page - 1) * 40, 40));
            QCOMPARE(shelf.pageLabel(), QStringLiteral("%1/%2").arg(page).arg(pages));
        }
    }
    QCOMPARE(m_dialogs.count(), 0);
}

void TestBookshelf::rightButtonMenuOnlyOnRow()
{
    addBooks(2);
    m_page->readList();
    QMenu* menu = m_page->bookMenu();
    QCOMPARE(menu->objectName(), QStringLiteral("BookContrl"));
    QCOMPARE(menu->title(), QStringLiteral("电子书操作"));
    const QList<QAction*> actions = menu->actions();
    QCOMPARE(actions.size(), 13);
    const QStringList names = {"Menue_TopRead", "Menue_SQRead",  "Menue_ModBookInfo", "GotoForlder",
                               "SendShare",     "Menue_DelBook", "Menue_ChapterRules"};
    const QStringList captions = {QStringLiteral("开始阅读"),         QStringLiteral("从书签处阅读"),
                                  QStringLiteral("修改本书信息"),     QStringLiteral("跳转到所在目录"),
                                  QStringLiteral("共享到网络服务器"), QStringLiteral("从列表中删除"),
                                  QStringLiteral("章节规则…")};
    for (int i = 0; i < actions.size(); ++i) {
        if (i % 2 == 1) {
            QVERIFY(actions.at(i)->isSeparator());
            continue;
        }
        QCOMPARE(actions.at(i)->objectName(), names.at(i / 2));
        QCOMPARE(actions.at(i)->text(), captions.at(i / 2));
    }

    QWidget* viewport = list()->viewport();
    const QPoint blank(viewport->width() / 2, viewport->height() - 5);
    QVERIFY(!list()->itemAt(blank));
    QTest::mouseClick(viewport, Qt::RightButton, {}, blank);
    QVERIFY(!menu->isVisible());
    QVERIFY(!m_page->selectedBook());

    QTreeWidgetItem* second = list()->topLevelItem(1);
    QTest::mouseClick(viewport, Qt::RightButton, {}, rowCenter(second));
    QVERIFY(menu->isVisible());
    QVERIFY(second->isSelected());
    QCOMPARE(m_page->selectedBook()->path, QStringLiteral("/nowhere/book1.txt"));
    menu->hide();

    // A later press on blank space leaves nothing for the menu items to act on.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, blank);
    QVERIFY(!m_page->selectedBook());
    QVERIFY(m_navigator.calls.isEmpty());
}

void TestBookshelf::doubleClickOpensBook()
{
    const QString path = realFile(QStringLiteral("三国.txt"));
    QVERIFY(m_db->insertBook(kOther, QStringLiteral("三国"), QStringLiteral("罗贯中"), path));
    addBooks(1);
    m_page->readList();
    m_clock.set(QDateTime(QDate(2024, 11, 30), QTime(23, 4)));
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, rowCenter(rowWithPath(path)));
    QCOMPARE(m_dialogs.count(), 0);
    QCOMPARE(m_navigator.calls, QStringList({"selectToolBar(2)", QStringLiteral("getChapter(%1|)").arg(path)}));
    QCOMPARE(m_db->bookByPath(path)->lastread, QDateTime(QDate(2024, 11, 30), QTime(23, 4)));
    // The shelf shows the stamp at once.
    QCOMPARE(rowWithPath(path)->text(4), QStringLiteral("2024/11/30 23:04"));

    // A double-click on blank space opens nothing.
    m_navigator.calls.clear();
    const QPoint blank(list()->viewport()->width() / 2, list()->viewport()->height() - 5);
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, blank);
    QVERIFY(m_navigator.calls.isEmpty());
    QCOMPARE(m_dialogs.count(), 0);
}

void TestBookshelf::missingFileIsReported_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("double-click") << QStringLiteral("dblclick");
    QTest::newRow("开始阅读") << QStringLiteral("Menue_TopRead");
    QTest::newRow("从书签处阅读") << QStringLiteral("Menue_SQRead");
}

void TestBookshelf::missingFileIsReported()
{
    QFETCH(QString, how);
    const QString path = m_dir->filePath(QStringLiteral("gone/水浒.txt"));
    QVERIFY(m_db->insertBook(kOther, QStringLiteral("水浒"), QStringLiteral("施耐庵"), path));
    m_page->readList();
    const QDateTime stampBefore = m_db->bookByPath(path)->lastread;
    m_clock.advanceSecs(3600);
    QTreeWidgetItem* row = rowWithPath(path);
    if (how == QLatin1String("dblclick")) {
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, rowCenter(row));
    } else {
        QTest::mouseClick(list()->viewport(), Qt::RightButton, {}, rowCenter(row));
        m_page->bookMenu()->hide();
        m_page->bookMenu()->findChild<QAction*>(how)->trigger();
    }
    QCOMPARE(m_dialogs.count(), 1);
    QCOMPARE(m_dialogs.last().text, QStringLiteral("文件地址不存在，请检查是否移动或删除了以下文件：\r\n") + path);
    QCOMPARE(m_dialogs.last().title, QStringLiteral("电子书打开失败!"));
    QCOMPARE(m_dialogs.last().style, 16);
    QVERIFY(m_navigator.calls.isEmpty());
    QCOMPARE(m_db->bookByPath(path)->lastread, stampBefore);
}

void TestBookshelf::readFromMenu()
{
    const QString path = realFile(QStringLiteral("红楼梦.txt"));
    QVERIFY(m_db->insertBook(kOther, QStringLiteral("红楼梦"), QStringLiteral("曹雪芹"), path));
    m_page->readList();
    const QDateTime stampBefore = m_db->bookByPath(path)->lastread;
    m_clock.advanceSecs(3600);
    QMenu* menu = m_page->bookMenu();

    QTest::mouseClick(list()->viewport(), Qt::RightButton, {}, rowCenter(rowWithPath(path)));
    menu->hide();
    menu->findChild<QAction*>(QStringLiteral("Menue_TopRead"))->trigger();
    QCOMPARE(m_navigator.calls, QStringList({"selectToolBar(2)", QStringLiteral("getChapter(%1|)").arg(path)}));

    // Never bookmarked: the book opens with the bookmark text "Null".
    m_navigator.calls.clear();
    menu->findChild<QAction*>(QStringLiteral("Menue_SQRead"))->trigger();
    QCOMPARE(m_navigator.calls, QStringList({"selectToolBar(2)", QStringLiteral("getChapter(%1|Null)").arg(path)}));

    QCOMPARE(m_db->setBookmark(path, QStringLiteral("第三回 贾雨村's \"夤缘\"")), 1);
    m_page->readList();
    QTest::mouseClick(list()->viewport(), Qt::RightButton, {}, rowCenter(rowWithPath(path)));
    menu->hide();
    m_navigator.calls.clear();
    menu->findChild<QAction*>(QStringLiteral("Menue_SQRead"))->trigger();
    QCOMPARE(m_navigator.calls.value(1), QStringLiteral("getChapter(%1|第三回 贾雨村's \"夤缘\")").arg(path));
    // Reading from the menu does not stamp.
    QCOMPARE(m_db->bookByPath(path)->lastread, stampBefore);
    QCOMPARE(m_dialogs.count(), 0);
}

void TestBookshelf::editAndAddAskTheDialog()
{
    addBooks(3);
    m_page->readList();
    QTest::mouseClick(m_page->findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    QCOMPARE(m_page->findChild<QPushButton*>(QStringLiteral("Command2"))->text(), QStringLiteral("添加本地电子书"));
    QTest::mouseClick(list()->viewport(), Qt::RightButton, {}, rowCenter(list()->topLevelItem(1)));
    m_page->bookMenu()->hide();
    m_page->bookMenu()->findChild<QAction*>(QStringLiteral("Menue_ModBookInfo"))->trigger();
    QCOMPARE(m_navigator.calls, QStringList({"showBookDialog(addnew)", "showBookDialog(edit>||<2)"}));
}

void TestBookshelf::removeAsksFirst()
{
    const QString path = realFile(QStringLiteral("西游记.txt"));
    QVERIFY(m_db->insertBook(kOther, QStringLiteral("西游记"), QStringLiteral("吴承恩"), path));
    addBooks(1);
    m_page->readList();
    QAction* remove = m_page->bookMenu()->findChild<QAction*>(QStringLiteral("Menue_DelBook"));

    QTest::mouseClick(list()->viewport(), Qt::RightButton, {}, rowCenter(rowWithPath(path)));
    m_page->bookMenu()->hide();
    m_dialogs.answerNext(Answer::No);
    remove->trigger();
    QCOMPARE(m_dialogs.last().text, QStringLiteral("是否真要将《西游记》从列表中移除！"));
    QCOMPARE(m_dialogs.last().title, QStringLiteral("确认删除"));
    QCOMPARE(m_dialogs.last().style, 4);
    QVERIFY(m_db->bookByPath(path));
    QCOMPARE(list()->topLevelItemCount(), 2);

    m_dialogs.answerNext(Answer::Yes);
    remove->trigger();
    QVERIFY(!m_db->bookByPath(path));
    QCOMPARE(list()->topLevelItemCount(), 1);
    QVERIFY(!rowWithPath(path));
    QVERIFY(QFile::exists(path));
    QCOMPARE(m_dialogs.count(), 2);
}

void TestBookshelf::folderOfPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("folder");
    QTest::newRow("slash path") << QStringLiteral("/home/u/书/a.txt") << QStringLiteral("/home/u/书");
    QTest::newRow("backslash path") << QStringLiteral("C:\\书\\a.txt") << QStringLiteral("C:\\书\\");
    QTest::newRow("folder holds the file name") << QStringLiteral("/home/a.txt/a.txt") << QStringLiteral("/home/a.txt");
    QTest::newRow("at the root") << QStringLiteral("/a.txt") << QStringLiteral("/");
    QTest::newRow("bare name") << QStringLiteral("a.txt") << QString();
}

void TestBookshelf::folderOfPath()
{
    QFETCH(QString, path);
    QFETCH(QString, folder);
    QCOMPARE(BookshelfActions::folderOf(path), folder);
}

void TestBookshelf::openFolder()
{
    const QString path = m_dir->filePath(QStringLiteral("书/a.txt/a.txt"));
    QVERIFY(m_db->insertBook(kOther, QStringLiteral("a"), QStringLiteral("佚名"), path));
    m_page->readList();
    QTest::mouseClick(list()->viewport(), Qt::RightButton, {}, rowCenter(rowWithPath(path)));
    m_page->bookMenu()->hide();
    m_page->bookMenu()->findChild<QAction*>(QStringLiteral("GotoForlder"))->trigger();
    QCOMPARE(m_desktop.folders, QStringList{m_dir->filePath(QStringLiteral("书/a.txt"))});
    QCOMPARE(m_dialogs.count(), 0);
    // Sharing is not wired here: the item does nothing yet.
    m_page->bookMenu()->findChild<QAction*>(QStringLiteral("SendShare"))->trigger();
    QVERIFY(m_navigator.calls.isEmpty());
}

void TestBookshelf::noticeShownOnlyWithAddress()
{
    auto* notice = new QWidget;
    m_page->setNoticeView(notice);
    QCOMPARE(notice->objectName(), QStringLiteral("WebBrowser2"));
    QVERIFY(notice->isHidden());
    m_page->showNotice(QStringLiteral("   "));
    QVERIFY(notice->isHidden());
    m_page->showNotice(QStringLiteral(" http://127.0.0.1:8086/notice.asp "));
    QVERIFY(!notice->isHidden());
    QCOMPARE(notice->property("url").toUrl(), QUrl(QStringLiteral("http://127.0.0.1:8086/notice.asp")));
    QCOMPARE(notice->geometry(), QRect(4, 264, 114, m_page->height() - 264));
}

void TestBookshelf::relayoutFollowsPageSize()
{
    m_page->resize(1000, 600);
    QWidget* bar = m_page->findChild<QWidget*>(QStringLiteral("PagingBar"));
    const int listHeight = 600 - (bar->height() + 10);
    QCOMPARE(list()->geometry(), QRect(128, 0, 872, listHeight));
    QCOMPARE(bar->geometry().top(), listHeight + 10);
    QCOMPARE(list()->columnWidth(1), 100);
    QCOMPARE(list()->columnWidth(2), 872 * 24 / 100);
    QCOMPARE(list()->columnWidth(3), 872 * 40 / 100);
    QCOMPARE(list()->columnWidth(4), 133);
    // Too small for the list: the steps are skipped and nothing breaks.
    const QRect before = list()->geometry();
    m_page->resize(60, 20);
    QCOMPARE(list()->geometry(), before);
    m_page->resize(1000, 600);
    QCOMPARE(list()->geometry(), QRect(128, 0, 872, listHeight));
}

QString TestBookshelf::writeBook(const QString& relativePath)
{
    const QString path = m_dir->filePath(relativePath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write("第一章\n正文\n");
    return path;
}

QStringList TestBookshelf::shownNames() const
{
    QStringList names;
    for (int i = 0; i < list()->topLevelItemCount(); ++i)
        names << list()->topLevelItem(i)->text(2);
    names.sort();
    return names;
}

void TestBookshelf::filterNarrowsRows_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("title") << QString() << QStringLiteral("斗破") << QStringList{QStringLiteral("斗破苍穹")};
    QTest::newRow("author") << QString() << QStringLiteral("天蚕")
                            << QStringList{QStringLiteral("斗破苍穹"), QStringLiteral("武动乾坤")};
    QTest::newRow("percent is no wildcard")
        << QString() << QStringLiteral("%") << QStringList{QStringLiteral("100%纯爱")};
    QTest::newRow("underscore is no wildcard")
        << QString() << QStringLiteral("a_b") << QStringList{QStringLiteral("a_b")};
    QTest::newRow("blank shows all") << QString() << QStringLiteral("  ")
                                     << QStringList{QStringLiteral("100%纯爱"), QStringLiteral("a_b"),
                                                    QStringLiteral("aXb"),      QStringLiteral("天龙八部"),
                                                    QStringLiteral("斗破苍穹"), QStringLiteral("武动乾坤")};
    QTest::newRow("within the category") << kWuxia << QStringLiteral("金庸") << QStringList{QStringLiteral("天龙八部")};
    QTest::newRow("nothing in the category") << kWuxia << QStringLiteral("天蚕") << QStringList{};
}

void TestBookshelf::filterNarrowsRows()
{
    QFETCH(QString, category);
    QFETCH(QString, filter);
    QFETCH(QStringList, names);
    const QList<QStringList> books = {
        {QStringLiteral("斗破苍穹"), QStringLiteral("天蚕土豆")},
        {QStringLiteral("武动乾坤"), QStringLiteral("天蚕土豆")},
        {QStringLiteral("100%纯爱"), QStringLiteral("佚名")},
        {QStringLiteral("a_b"), QStringLiteral("佚名")},
        {QStringLiteral("aXb"), QStringLiteral("佚名")},
    };
    for (const QStringList& book : books)
        QVERIFY(m_db->insertBook(kOther, book.at(0), book.at(1), QStringLiteral("/n/%1.txt").arg(book.at(0))));
    QVERIFY(m_db->insertBook(kWuxia, QStringLiteral("天龙八部"), QStringLiteral("金庸"), QStringLiteral("/n/tl.txt")));
    m_page->readList();
    if (!category.isEmpty())
        selectCategory(category);
    m_page->findChild<QLineEdit*>(QStringLiteral("ShelfFilter"))->setText(filter);
    names.sort();
    QCOMPARE(shownNames(), names);
    QCOMPARE(m_dialogs.count(), 0);
}

void TestBookshelf::dropAddsFilesAndFolders()
{
    const QString single = writeBook(QStringLiteral("《斗破苍穹》天蚕土豆.txt"));
    writeBook(QStringLiteral("lib/遮天-辰东.txt"));
    writeBook(QStringLiteral("lib/sub/deep/鬼吹灯.TXT"));
    writeBook(QStringLiteral("lib/sub/notes.md"));
    auto drop = [this](const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at = list()->geometry().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_page.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_page.get(), &dropped);
    };
    drop({QUrl::fromLocalFile(m_dir->filePath(QStringLiteral("lib/sub/notes.md")))});
    QCOMPARE(m_dialogs.count(), 1);
    QCOMPARE(m_dialogs.last().style, int(Dialogs::Exclamation));
    m_dialogs.clear();
    drop({QUrl::fromLocalFile(single)});
    QTRY_VERIFY(!m_page->shelfImport().isRunning());
    QCOMPARE(shownNames(), QStringList{QStringLiteral("斗破苍穹")});
    QCOMPARE(m_db->bookByPath(single)->author, QStringLiteral("天蚕土豆"));
    QCOMPARE(m_dialogs.count(), 0);

    selectCategory(kWuxia);
    drop({QUrl::fromLocalFile(m_dir->filePath(QStringLiteral("lib"))), QUrl::fromLocalFile(single)});
    QTRY_VERIFY(!m_page->shelfImport().isRunning());
    QCOMPARE(shownNames(), (QStringList{QStringLiteral("遮天"), QStringLiteral("鬼吹灯")}));
    QCOMPARE(m_db->countBooks(ShelfQuery::all()), 3);
    QCOMPARE(m_dialogs.last().style, int(Dialogs::Information));
    QVERIFY2(m_dialogs.last().text.contains(QStringLiteral("新添加 2 本，已在书架上跳过 1 本")),
             qPrintable(m_dialogs.last().text));
}

void TestBookshelf::importFolderSkipsWhatIsOnShelf()
{
    const QString known = writeBook(QStringLiteral("shelf/a.txt"));
    writeBook(QStringLiteral("shelf/b/c/雪中悍刀行 作者：烽火戏诸侯.txt"));
    writeBook(QStringLiteral("shelf/b/cover.jpg"));
    QVERIFY(m_db->insertBook(kOther, QStringLiteral("已有"), QStringLiteral("佚名"), known));
    m_pickers.nextFolder(m_dir->filePath(QStringLiteral("shelf")));
    QTest::mouseClick(m_page->findChild<QPushButton*>(QStringLiteral("ImportFolder")), Qt::LeftButton);
    QTRY_VERIFY(!m_page->shelfImport().isRunning());
    QCOMPARE(m_db->countBooks(ShelfQuery::all()), 2);
    // The root is chosen, so the new book goes to "其他分类"; the known one keeps its title.
    QCOMPARE(m_db->countBooks(ShelfQuery::ofCategory(kOther)), 2);
    QCOMPARE(m_db->bookByPath(known)->name, QStringLiteral("已有"));
    QCOMPARE(m_db->bookByName(QStringLiteral("雪中悍刀行"))->author, QStringLiteral("烽火戏诸侯"));
    QVERIFY(m_dialogs.last().text.contains(QStringLiteral("共找到 2 个 TXT 文件：新添加 1 本，已在书架上跳过 1 本")));
    QCOMPARE(shownNames().size(), 2);
}

void TestBookshelf::cancelKeepsBatchesWritten()
{
    for (int i = 0; i < 30; ++i)
        writeBook(QStringLiteral("many/%1/book%2.txt").arg(i % 3).arg(i));
    ShelfImport import(*m_db);
    import.setBatchSize(10);
    connect(&import, &ShelfImport::progress, &import, [&import](int done, int) {
        if (done >= 10)
            import.cancel();
    });
    ShelfImport::Outcome outcome;
    bool finished = false;
    connect(&import, &ShelfImport::finished, this, [&](const ShelfImport::Outcome& o) {
        outcome = o;
        finished = true;
    });
    QVERIFY(import.start({m_dir->filePath(QStringLiteral("many"))}, kOther));
    QVERIFY(!import.start({m_dir->filePath(QStringLiteral("many"))}, kOther));
    QTRY_VERIFY(finished);
    QVERIFY(outcome.cancelled);
    QCOMPARE(outcome.found, 30);
    QCOMPARE(outcome.added, 10);
    QCOMPARE(m_db->countBooks(ShelfQuery::all()), 10);
}

QTEST_MAIN(TestBookshelf)
#include "tst_bookshelf.moc"
