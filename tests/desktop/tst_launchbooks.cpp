#include "../reader/ReadingFixture.h"

#include "desktop/MainWindow.h"
#include "desktop/instance/LaunchBooks.h"
#include "reader/ReadingController.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"

#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

// Books opened from outside the window: the command line and starts that hand their files
// over. The main window with fakes.
class TestLaunchBooks : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void fileIsOnTheShelfAndShown_data();
    void fileIsOnTheShelfAndShown();
    void filesThatCannotBeOpenedAreNamed();

private:
    int shelfRows() const
    {
        return m_window->findChild<QTreeWidget*>(QStringLiteral("ListView1"))->topLevelItemCount();
    }
    std::unique_ptr<ReadingFixture> m_fx;
    std::unique_ptr<MainWindow> m_window;
};

void TestLaunchBooks::init()
{
    m_fx = std::make_unique<ReadingFixture>();
    m_window = std::make_unique<MainWindow>(m_fx->services);
    m_window->formLoad();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->readingPage()->view()->isPageLoaded(), 20000);
    m_window->selectToolBar(1);
}

void TestLaunchBooks::cleanup()
{
    m_window.reset();
    m_fx.reset();
}

void TestLaunchBooks::fileIsOnTheShelfAndShown_data()
{
    QTest::addColumn<QStringList>("names");   // files given, in order
    QTest::addColumn<QStringList>("onShelf"); // of them, those the shelf holds already
    QTest::addColumn<QStringList>("titles");  // the rows of "其他分类" afterwards, newest first

    QTest::newRow("new file") << QStringList{QStringLiteral("斗破 苍穹's.TXT")} << QStringList()
                              << QStringList{QStringLiteral("斗破 苍穹's")};
    QTest::newRow("already on the shelf")
        << QStringList{QStringLiteral("旧书.txt")} << QStringList{QStringLiteral("旧书.txt")}
        << QStringList{QStringLiteral("书架上的")};
    QTest::newRow("several, the first shown")
        << QStringList{QStringLiteral("一.txt"), QStringLiteral("二.txt"), QStringLiteral("三.txt")}
        << QStringList{QStringLiteral("二.txt")}
        << QStringList{QStringLiteral("三"), QStringLiteral("一"), QStringLiteral("书架上的")};
    QTest::newRow("name with title and author")
        << QStringList{QStringLiteral("《诛仙》萧鼎.txt")} << QStringList() << QStringList{QStringLiteral("诛仙")};
}

void TestLaunchBooks::fileIsOnTheShelfAndShown()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, onShelf);
    QFETCH(QStringList, titles);
    const QDateTime old(QDate(2001, 1, 1), QTime(1, 1));
    m_fx->clock.set(old);
    QStringList paths;
    for (const QString& name : names) {
        paths << m_fx->writeChapters(name, 2);
        if (onShelf.contains(name))
            m_fx->library.insertBook(QStringLiteral("其他分类"), QStringLiteral("书架上的"), QStringLiteral("某人"),
                                     paths.last());
    }
    const QDateTime now(QDate(2024, 2, 3), QTime(4, 5));
    m_fx->clock.set(now);

    QSignalSpy shown(&m_window->readingPage()->controller(), &ReadingController::chapterShown);
    LaunchBooks books(m_fx->library, m_fx->dialogs, m_fx->desktop, *m_window);
    QCOMPARE(books.open(paths), paths.first());

    QCOMPARE(m_fx->dialogs.count(), 0);
    // Every file is on the shelf once, under its file name when it was new, author unknown
    // unless the name gives one.
    const QHash<QString, QString> authors = {{QStringLiteral("书架上的"), QStringLiteral("某人")},
                                             {QStringLiteral("诛仙"), QStringLiteral("萧鼎")}};
    const ShelfPage page = m_fx->library.shelfPage(ShelfQuery::ofCategory(QStringLiteral("其他分类")), 1);
    QStringList stored;
    for (const BookRow& row : page.rows) {
        stored << row.name;
        QCOMPARE(row.author, authors.value(row.name, QStringLiteral("佚名")));
        QCOMPARE(row.marke, QStringLiteral("Null"));
    }
    QCOMPARE(stored, titles);
    QCOMPARE(m_fx->library.countBooks(ShelfQuery::all()), names.size());
    // The first is read as a double-click on the shelf reads it: the reading page, "最近阅读"
    // stamped, the first chapter; and the shelf shows the new rows.
    QCOMPARE(m_window->currentPage(), 2);
    QVERIFY(shown.wait(10000));
    QCOMPARE(m_fx->state.currentBookPath, paths.first());
    QCOMPARE(m_fx->library.bookByPath(paths.first())->lastread, now);
    QCOMPARE(shelfRows(), names.size());
    QCOMPARE(m_window->readingPage()->controller().bookPath(), paths.first());
    QCOMPARE(m_window->readingPage()->controller().selectedRow(), 0);
}

void TestLaunchBooks::filesThatCannotBeOpenedAreNamed()
{
    const QString missing = m_fx->dir.filePath(QStringLiteral("不在.txt"));
    const QString folder = m_fx->dir.path();
    const QString locked = m_fx->writeBook(QStringLiteral("锁住.txt"), QStringLiteral("x"));
    QFile::setPermissions(locked, QFileDevice::WriteOwner);
    const bool rootReadsAnyway = QFileInfo(locked).isReadable();
    const QString good = m_fx->writeChapters(QStringLiteral("好.txt"), 1);

    LaunchBooks books(m_fx->library, m_fx->dialogs, m_fx->desktop, *m_window);
    QCOMPARE(books.open({missing, folder, locked, good}), rootReadsAnyway ? locked : good);

    QCOMPARE(m_fx->library.countBooks(ShelfQuery::all()), rootReadsAnyway ? 2 : 1);
    QVERIFY(m_fx->library.bookByPath(good));
    QCOMPARE(m_fx->dialogs.count(), 1);
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("电子书打开失败!"));
    QCOMPARE(m_fx->dialogs.last().style, 16);
    QString expected = QStringLiteral("以下文件无法打开：\r\n") + missing + QStringLiteral("（文件不存在）\r\n") +
                       folder + QStringLiteral("（不是文件）");
    if (!rootReadsAnyway)
        expected += QStringLiteral("\r\n") + locked + QStringLiteral("（没有读取权限）");
    QCOMPARE(m_fx->dialogs.last().text, expected);

    // Nothing readable at all: nothing is shown, the page stays.
    m_fx->dialogs.clear();
    m_window->selectToolBar(1);
    QCOMPARE(books.open({missing}), QString());
    QCOMPARE(m_window->currentPage(), 1);
    QCOMPARE(m_fx->dialogs.count(), 1);
}

QTEST_MAIN(TestLaunchBooks)
#include "tst_launchbooks.moc"
