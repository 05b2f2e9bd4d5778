// The bookshelf over a library that fails under it: a page of the file damaged after the
// opening checks passed, and a file another program holds, so that stamps cannot be written.
#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/BookshelfPage.h"
#include "app/LibraryDatabase.h"
#include "reader/BookOpener.h"

#include "DamagedDatabase.h"
#include "FakeClock.h"
#include "FakeDesktopLauncher.h"
#include "FakeDialogs.h"
#include "FakePickers.h"
#include "FakeSpeechEngine.h"
#include "RecordingNavigator.h"

#include <QCryptographicHash>
#include <QFile>
#include <QNetworkAccessManager>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace {

const QString kOther = QStringLiteral("其他分类");

QByteArray digestOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                       : QByteArray();
}

} // namespace

class TestDamagedShelf : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void damagedShelfIsReported_data();
    void damagedShelfIsReported();
    void failedStampIsReported();
    void openFileReportsTheLibrary();

private:
    QString dbPath() const { return m_dir->filePath(QStringLiteral("Data.db")); }
    void openShelf();
    QTreeWidget* list() const { return m_page->findChild<QTreeWidget*>(QStringLiteral("ListView1")); }

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

void TestDamagedShelf::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    LibraryDatabase fill(QStringLiteral("fill"));
    QCOMPARE(fill.open(dbPath()), LibraryDatabase::OpenResult::Created);
    QVERIFY(fill.connection().transaction());
    for (int i = 1; i <= 300; ++i)
        QVERIFY(fill.insertBook(kOther, QStringLiteral("书%1").arg(i), QStringLiteral("佚名"),
                                QStringLiteral("/nowhere/some/folder/book%1.txt").arg(i)));
    QVERIFY(fill.connection().commit());
    m_dialogs = FakeDialogs();
    m_navigator = RecordingNavigator();
}

void TestDamagedShelf::cleanup()
{
    m_page.reset();
    m_services.reset();
    m_db.reset();
    m_dir.reset();
}

// Opens the file as start-up does (its checks pass) and shows the shelf page on it.
void TestDamagedShelf::openShelf()
{
    m_db = std::make_unique<LibraryDatabase>();
    QCOMPARE(m_db->open(dbPath()), LibraryDatabase::OpenResult::Opened);
    m_state = AppState();
    m_state.library = m_db.get();
    m_services.reset(new AppServices{m_state, m_dialogs, m_pickers, m_desktop, m_clock, m_network, m_speech});
    m_page = std::make_unique<BookshelfPage>(*m_services, m_navigator);
    m_page->resize(900, 600);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
}

void TestDamagedShelf::damagedShelfIsReported_data()
{
    QTest::addColumn<int>("pages");
    QTest::newRow("rows cannot be read") << int(DamagedDatabase::Pages::BookRows);
    QTest::newRow("rows cannot be counted") << int(DamagedDatabase::Pages::BookIndexes);
}

// ReadList on a damaged page says so in Chinese, every time it is asked, and the file is
// left exactly as it was.
void TestDamagedShelf::damagedShelfIsReported()
{
    QFETCH(int, pages);
    QVERIFY(DamagedDatabase::spoil(dbPath(), DamagedDatabase::Pages(pages)));
    const QByteArray before = digestOf(dbPath());
    openShelf();

    m_page->readList();
    QCOMPARE(m_dialogs.count(), 1);
    QCOMPARE(m_dialogs.last().text,
             QStringLiteral("书库数据库文件已损坏或不是有效的数据库：\n%1\n\n文件未作任何改动。").arg(dbPath()));
    QCOMPARE(m_dialogs.last().title, QStringLiteral("书库读取失败"));
    QCOMPARE(m_dialogs.last().style, 16);
    QCOMPARE(list()->topLevelItemCount(), 0);

    // Another node of the tree reads again, and tells again.
    auto* tree = m_page->findChild<QTreeWidget*>(QStringLiteral("TreeView1"));
    QVERIFY(tree);
    QTreeWidgetItem* other = nullptr;
    for (int i = 0; i < tree->topLevelItem(0)->childCount(); ++i)
        if (tree->topLevelItem(0)->child(i)->text(0) == kOther)
            other = tree->topLevelItem(0)->child(i);
    QVERIFY(other);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(other).center());
    QTRY_COMPARE(m_dialogs.count(), 2);
    QCOMPARE(m_dialogs.last().title, QStringLiteral("书库读取失败"));
    QCOMPARE(list()->topLevelItemCount(), 0);

    m_page.reset();
    m_db.reset();
    QCOMPARE(digestOf(dbPath()), before);
}

// The shelf reads, but another program holds the file for writing: a double-click still
// opens the book, and then says that "最近阅读" could not be written.
void TestDamagedShelf::failedStampIsReported()
{
    const QString book = m_dir->filePath(QStringLiteral("三国.txt"));
    {
        QFile f(book);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("第一章 开始\n正文\n");
    }
    {
        LibraryDatabase add(QStringLiteral("add"));
        QCOMPARE(add.open(dbPath()), LibraryDatabase::OpenResult::Opened);
        QVERIFY(add.insertBook(kOther, QStringLiteral("三国"), QStringLiteral("罗贯中"), book));
    }
    openShelf();
    m_page->readList();
    QCOMPARE(m_dialogs.count(), 0);
    QTreeWidgetItem* row = list()->topLevelItem(0);
    QCOMPARE(row->text(5), book);

    QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
    holder.setDatabaseName(dbPath());
    QVERIFY(holder.open());
    {
        QSqlQuery q(holder);
        QVERIFY(q.exec(QStringLiteral("BEGIN IMMEDIATE")));
        const QRect rect = list()->visualItemRect(row);
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, rect.center());
        QVERIFY(m_navigator.calls.contains(QStringLiteral("getChapter(%1|)").arg(book)));
        QCOMPARE(m_dialogs.count(), 1);
        QVERIFY(m_dialogs.last().text.startsWith(QStringLiteral("这本书的最近阅读时间未能写入书库。\r\n\r\n")));
        QVERIFY(m_dialogs.last().text.contains(QStringLiteral("正被其他程序占用")));
        QCOMPARE(m_dialogs.last().title, QStringLiteral("书库写入失败"));
        QCOMPARE(m_dialogs.last().style, 48);
        QVERIFY(q.exec(QStringLiteral("ROLLBACK")));
    }
    holder.close();
    holder = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
}

// "打开文件" on a shelf book whose stamp cannot be written opens it and says so; on a damaged
// file, where it cannot even be told whether the book is on the shelf, it reads the book
// without offering to add it, and says why.
void TestDamagedShelf::openFileReportsTheLibrary()
{
    const QString real = m_dir->filePath(QStringLiteral("book7.txt"));
    {
        QFile f(real);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("书\n");
    }
    {
        LibraryDatabase move(QStringLiteral("move"));
        QCOMPARE(move.open(dbPath()), LibraryDatabase::OpenResult::Opened);
        QVERIFY(move.updateBook(7, kOther, QStringLiteral("书7"), QStringLiteral("佚名"), real));
    }
    openShelf();
    BookOpener opener(*m_services, m_navigator);

    QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
    holder.setDatabaseName(dbPath());
    QVERIFY(holder.open());
    {
        QSqlQuery q(holder);
        QVERIFY(q.exec(QStringLiteral("BEGIN IMMEDIATE")));
        opener.openPath(real);
        QVERIFY(q.exec(QStringLiteral("ROLLBACK")));
    }
    holder.close();
    holder = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    QCOMPARE(m_navigator.calls, QStringList{QStringLiteral("getChapter(%1|)").arg(real)});
    QCOMPARE(m_dialogs.count(), 1);
    QCOMPARE(m_dialogs.last().title, QStringLiteral("书库写入失败"));

    m_page.reset();
    m_db.reset();
    QVERIFY(DamagedDatabase::spoil(dbPath(), DamagedDatabase::Pages::BookRows));
    openShelf();
    BookOpener onDamaged(*m_services, m_navigator);
    m_navigator.calls.clear();
    onDamaged.openPath(real);
    QCOMPARE(m_navigator.calls, QStringList{QStringLiteral("getChapter(%1|)").arg(real)});
    QCOMPARE(m_dialogs.count(), 2);
    QCOMPARE(m_dialogs.last().title, QStringLiteral("书库读取失败"));
    QVERIFY(m_dialogs.last().text.startsWith(QStringLiteral("书库数据库文件已损坏")));
}

QTEST_MAIN(TestDamagedShelf)
#include "tst_damagedshelf.moc"
