#include "app/LibraryDatabase.h"

#include "DamagedDatabase.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray digestOf(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// A plain SQLite file made outside the library class, to play a damaged install.
void makeRawDatabase(const QString& path, const QStringList& statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString& s : statements)
            QVERIFY2(q.exec(s), qPrintable(s));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
}

} // namespace

class TestLibraryDatabase : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void missingFileIsCreatedWithDefaults();
    void existingFileIsOpenedNotRecreated();
    void damagedFilesAreRefusedUntouched_data();
    void damagedFilesAreRefusedUntouched();
    void lockedFileIsRefused();
    void damagedPagesAreReportedUntouched_data();
    void damagedPagesAreReportedUntouched();
    void emptySysSetGetsDefaultRow();
    void textValuesRoundTrip_data();
    void textValuesRoundTrip();
    void duplicatePathIsRefused();
    void paging_data();
    void paging();
    void categoryMatchesExactly();
    void stampsUseLocalNow();
    void editDuplicateCheckExcludesOwnRow();
    void settingsRoundTrip();
    void readerOptionsKeepTodaysLibrary();

private:
    QString dbPath() const { return m_dir->path() + QStringLiteral("/DataFile/Data.db"); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestLibraryDatabase::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestLibraryDatabase::missingFileIsCreatedWithDefaults()
{
    LibraryDatabase db;
    QCOMPARE(db.open(dbPath()), LibraryDatabase::OpenResult::Created);
    QVERIFY(QFile::exists(dbPath()));
    const auto s = db.settings();
    QVERIFY(s.has_value());
    QCOMPARE(s->downSavePath, QString());
    QCOMPARE(s->autoRun, false);
    QCOMPARE(s->bossKey, QStringLiteral("Ctrl|B"));
    QCOMPARE(s->txtColor, QStringLiteral("000000"));
    QCOMPARE(s->txtSize, QStringLiteral("中号"));
    QCOMPARE(s->backColor.size(), 6);
    QCOMPARE(db.countBooks(ShelfQuery::all()), 0);
    // Nothing of the temporary build file is left beside it.
    QCOMPARE(QDir(m_dir->path() + "/DataFile").entryList(QDir::Files), QStringList({"Data.db"}));
}

void TestLibraryDatabase::existingFileIsOpenedNotRecreated()
{
    {
        LibraryDatabase db(QStringLiteral("first"));
        QCOMPARE(db.open(dbPath()), LibraryDatabase::OpenResult::Created);
        QVERIFY(db.insertBook(QStringLiteral("武侠仙侠"), QStringLiteral("书"), QStringLiteral("佚名"),
                              QStringLiteral("/b/a.txt")));
    }
    LibraryDatabase again(QStringLiteral("second"));
    QCOMPARE(again.open(dbPath()), LibraryDatabase::OpenResult::Opened);
    QCOMPARE(again.countBooks(ShelfQuery::all()), 1);
}

void TestLibraryDatabase::damagedFilesAreRefusedUntouched_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<int>("expected");
    QTest::newRow("text file") << QByteArray("this is not a database, just words\n") << QStringList()
                               << int(LibraryDatabase::OpenResult::NotADatabase);
    QTest::newRow("no BookList") << QByteArray()
                                 << QStringList(
                                        {"CREATE TABLE SysSet (DownSavePath TEXT, AutoRun INTEGER, BossKey TEXT, "
                                         "TxtColor TEXT, TxtSize TEXT, BackColor TEXT)"})
                                 << int(LibraryDatabase::OpenResult::MissingTable);
    QTest::newRow("BookList lacks a column")
        << QByteArray()
        << QStringList({"CREATE TABLE BookList (id INTEGER PRIMARY KEY, name TEXT)",
                        "CREATE TABLE SysSet (DownSavePath TEXT, AutoRun INTEGER, BossKey TEXT, TxtColor TEXT, "
                        "TxtSize TEXT, BackColor TEXT)"})
        << int(LibraryDatabase::OpenResult::MissingTable);
}

void TestLibraryDatabase::damagedFilesAreRefusedUntouched()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, statements);
    QFETCH(int, expected);
    QDir().mkpath(QFileInfo(dbPath()).absolutePath());
    if (statements.isEmpty()) {
        QFile f(dbPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    } else {
        makeRawDatabase(dbPath(), statements);
    }
    const QByteArray before = digestOf(dbPath());
    LibraryDatabase db;
    QCOMPARE(int(db.open(dbPath())), expected);
    QVERIFY(!db.openErrorText().isEmpty());
    QVERIFY(db.openErrorText().contains(dbPath()));
    QCOMPARE(digestOf(dbPath()), before);
}

void TestLibraryDatabase::lockedFileIsRefused()
{
    {
        LibraryDatabase make(QStringLiteral("maker"));
        QCOMPARE(make.open(dbPath()), LibraryDatabase::OpenResult::Created);
    }
    QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
    holder.setDatabaseName(dbPath());
    QVERIFY(holder.open());
    QSqlQuery q(holder);
    QVERIFY(q.exec(QStringLiteral("BEGIN EXCLUSIVE")));
    QVERIFY(q.exec(QStringLiteral("UPDATE SysSet SET TxtSize = TxtSize")));
    {
        LibraryDatabase db;
        QCOMPARE(db.open(dbPath()), LibraryDatabase::OpenResult::Locked);
        QVERIFY(db.openErrorText().contains(QStringLiteral("占用")));
    }
    QVERIFY(q.exec(QStringLiteral("ROLLBACK")));
    q = QSqlQuery();
    holder.close();
    holder = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
}

void TestLibraryDatabase::damagedPagesAreReportedUntouched_data()
{
    QTest::addColumn<int>("pages");
    QTest::addColumn<bool>("countFails");
    QTest::newRow("rows of BookList") << int(DamagedDatabase::Pages::BookRows) << false;
    QTest::newRow("indexes of BookList") << int(DamagedDatabase::Pages::BookIndexes) << true;
}

// A file damaged after the opening checks passed: no read passes a failure off as an empty
// shelf or a missing book, every read and write tells the damage, and the file keeps every
// byte, also after the writes were tried.
void TestLibraryDatabase::damagedPagesAreReportedUntouched()
{
    QFETCH(int, pages);
    QFETCH(bool, countFails);
    const QString longPath = QStringLiteral("/书库/很长的目录名/") + QString(120, QLatin1Char('x'));
    {
        LibraryDatabase db(QStringLiteral("fill"));
        QCOMPARE(db.open(dbPath()), LibraryDatabase::OpenResult::Created);
        QVERIFY(db.connection().transaction());
        for (int i = 0; i < 400; ++i)
            QVERIFY(db.insertBook(QStringLiteral("武侠仙侠"), QStringLiteral("书%1").arg(i), QStringLiteral("佚名"),
                                  longPath + QString::number(i)));
        QVERIFY(db.connection().commit());
    }
    QVERIFY(DamagedDatabase::spoil(dbPath(), DamagedDatabase::Pages(pages)));
    const QByteArray before = digestOf(dbPath());

    LibraryDatabase db;
    QCOMPARE(db.open(dbPath()), LibraryDatabase::OpenResult::Opened);
    QCOMPARE(db.lastFailure(), LibraryDatabase::Failure::None);
    QCOMPARE(db.countBooks(ShelfQuery::all()) < 0, countFails);
    const ShelfPage page = db.shelfPage(ShelfQuery::all(), 1);
    QVERIFY(page.failed);
    QVERIFY(page.rows.isEmpty());
    QCOMPARE(db.lastFailure(), LibraryDatabase::Failure::Damaged);
    QVERIFY(db.failureText().startsWith(QStringLiteral("书库数据库文件已损坏或不是有效的数据库：")));
    QVERIFY(db.failureText().contains(dbPath()));
    QVERIFY(!db.shelfPage(ShelfQuery::ofCategory(QStringLiteral("武侠仙侠")), 3).rows.size());

    // Writes are refused once the damage is known; lookups tell a failure from no row.
    QCOMPARE(db.stampLastRead(longPath + QStringLiteral("399")), -1);
    QCOMPARE(db.lastFailure(), LibraryDatabase::Failure::Damaged);
    QCOMPARE(db.setBookmark(longPath + QStringLiteral("399"), QStringLiteral("第一章")), -1);
    QVERIFY(!db.insertBook(QStringLiteral("武侠仙侠"), QStringLiteral("新书"), QStringLiteral("佚名"), "/new.txt"));
    QVERIFY(!db.updateBook(1, QStringLiteral("武侠仙侠"), QStringLiteral("改"), QStringLiteral("佚名"), "/a.txt"));
    QVERIFY(!db.deleteBook(2));
    QVERIFY(!db.saveSettings(SettingsRow()));
    QCOMPARE(db.lastFailure(), LibraryDatabase::Failure::Damaged);
    if (!countFails) {
        QVERIFY(!db.bookByPath(longPath + QStringLiteral("7")));
        QCOMPARE(db.lastFailure(), LibraryDatabase::Failure::Damaged);
    }
    QVERIFY(!db.bookByPath(QStringLiteral("/not/on/the/shelf.txt")).has_value());
    db.connection().close();
    QCOMPARE(digestOf(dbPath()), before);
    QVERIFY(!QFile::exists(dbPath() + QStringLiteral("-journal")));
}

void TestLibraryDatabase::emptySysSetGetsDefaultRow()
{
    {
        LibraryDatabase make(QStringLiteral("maker"));
        QCOMPARE(make.open(dbPath()), LibraryDatabase::OpenResult::Created);
        QSqlQuery q(make.connection());
        QVERIFY(q.exec(QStringLiteral("DELETE FROM SysSet")));
    }
    LibraryDatabase db;
    QCOMPARE(db.open(dbPath()), LibraryDatabase::OpenResult::Opened);
    QCOMPARE(db.bossKey().value_or(QString()), QStringLiteral("Ctrl|B"));
    QSqlQuery count(db.connection());
    QVERIFY(count.exec(QStringLiteral("SELECT COUNT(*) FROM SysSet")) && count.next());
    QCOMPARE(count.value(0).toInt(), 1);
}

void TestLibraryDatabase::textValuesRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("single quote") << "It's 'quoted'";
    QTest::newRow("double quote") << "say \"hi\"";
    QTest::newRow("percent and underscore") << "100% _done_";
    QTest::newRow("backslash") << "C:\\书\\a.txt";
    QTest::newRow("chinese") << "第一章 风起云涌";
    QTest::newRow("sql injection") << "x'); DROP TABLE BookList; --";
}

void TestLibraryDatabase::textValuesRoundTrip()
{
    QFETCH(QString, text);
    LibraryDatabase db;
    QVERIFY(db.open(dbPath()) == LibraryDatabase::OpenResult::Created);
    const QString path = QStringLiteral("/books/") + text + QStringLiteral(".txt");
    const auto id = db.insertBook(text, text, text, path);
    QVERIFY(id.has_value());

    const auto byPath = db.bookByPath(path);
    QVERIFY(byPath.has_value());
    QCOMPARE(byPath->id, *id);
    QCOMPARE(byPath->name, text);
    QCOMPARE(byPath->type, text);
    QCOMPARE(byPath->marke, QStringLiteral("Null"));
    QVERIFY(db.bookByName(text).has_value());
    QCOMPARE(db.countBooks(ShelfQuery::ofCategory(text)), 1);

    QCOMPARE(db.setBookmark(path, text), 1);
    QCOMPARE(db.bookById(*id)->marke, text);
    QCOMPARE(db.stampLastRead(path), 1);
    // A path that only looks like the stored one under LIKE rules must not match.
    QVERIFY(!db.bookByPath(QStringLiteral("/books/%")).has_value());
    QCOMPARE(db.setBookmark(QStringLiteral("/books/%"), text), 0);
}

void TestLibraryDatabase::duplicatePathIsRefused()
{
    LibraryDatabase db;
    QVERIFY(db.open(dbPath()) == LibraryDatabase::OpenResult::Created);
    QVERIFY(db.insertBook("a", "a", "a", "/x/a.txt").has_value());
    QVERIFY(!db.insertBook("b", "b", "b", "/x/a.txt").has_value());
    QVERIFY(!db.lastError().isEmpty());
    // Paths differing only in letter case are different files here.
    QVERIFY(db.insertBook("c", "c", "c", "/x/A.txt").has_value());
}

void TestLibraryDatabase::paging_data()
{
    QTest::addColumn<int>("books");
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("pageCount");
    QTest::addColumn<int>("rows");
    QTest::addColumn<qint64>("firstId");
    QTest::newRow("empty shelf") << 0 << 1 << 0 << 0 << 0 << qint64(0);
    QTest::newRow("40 books, one page") << 40 << 1 << 1 << 1 << 40 << qint64(40);
    QTest::newRow("41 books, second page holds one") << 41 << 2 << 2 << 2 << 1 << qint64(1);
    QTest::newRow("81 books, third page") << 81 << 3 << 3 << 3 << 1 << qint64(1);
    QTest::newRow("81 books, middle page") << 81 << 2 << 2 << 3 << 40 << qint64(41);
    QTest::newRow("page 0 reads page 1") << 81 << 0 << 1 << 3 << 40 << qint64(81);
    QTest::newRow("past the last reads the last") << 81 << 9 << 3 << 3 << 1 << qint64(1);
}

void TestLibraryDatabase::paging()
{
    QFETCH(int, books);
    QFETCH(int, requested);
    QFETCH(int, page);
    QFETCH(int, pageCount);
    QFETCH(int, rows);
    QFETCH(qint64, firstId);
    LibraryDatabase db;
    QVERIFY(db.open(dbPath()) == LibraryDatabase::OpenResult::Created);
    QSqlDatabase c = db.connection();
    c.transaction();
    for (int i = 1; i <= books; ++i)
        QVERIFY(db.insertBook("其他分类", QString::number(i), "佚名", QStringLiteral("/b/%1.txt").arg(i)));
    c.commit();

    const ShelfPage p = db.shelfPage(ShelfQuery::all(), requested);
    QCOMPARE(p.page, page);
    QCOMPARE(p.pageCount, pageCount);
    QCOMPARE(p.totalRows, books);
    QCOMPARE(p.rows.size(), rows);
    if (rows > 0) {
        QCOMPARE(p.rows.first().id, firstId);
        for (int i = 1; i < p.rows.size(); ++i)
            QVERIFY(p.rows[i - 1].id > p.rows[i].id); // newest first
    }
}

void TestLibraryDatabase::categoryMatchesExactly()
{
    LibraryDatabase db;
    QVERIFY(db.open(dbPath()) == LibraryDatabase::OpenResult::Created);
    db.insertBook("武侠仙侠", "a", "x", "/a.txt");
    db.insertBook("武侠仙侠 ", "b", "x", "/b.txt");
    db.insertBook("Other", "c", "x", "/c.txt");
    QCOMPARE(db.shelfPage(ShelfQuery::ofCategory("武侠仙侠"), 1).rows.size(), 1);
    QCOMPARE(db.shelfPage(ShelfQuery::ofCategory("other"), 1).rows.size(), 0);
    QCOMPARE(db.shelfPage(ShelfQuery::all(), 1).rows.size(), 3);
}

void TestLibraryDatabase::stampsUseLocalNow()
{
    LibraryDatabase db;
    QVERIFY(db.open(dbPath()) == LibraryDatabase::OpenResult::Created);
    QDateTime now(QDate(2009, 3, 7), QTime(8, 5, 0));
    db.setNow([&now] { return now; });
    db.insertBook("其他分类", "a", "x", "/a.txt");
    QCOMPARE(db.bookByPath("/a.txt")->lastread, now);
    now = QDateTime(QDate(2010, 12, 25), QTime(23, 59, 30));
    QCOMPARE(db.stampLastRead("/a.txt"), 1);
    QCOMPARE(db.bookByPath("/a.txt")->lastread, now);
    QCOMPARE(LibraryDatabase::shelfTimeText(QDateTime(QDate(2009, 3, 7), QTime(8, 5))), "2009/3/7 08:05");
    QCOMPARE(LibraryDatabase::shelfTimeText(QDateTime()), QString());
    // A row written by another tool without a stamp gets the column's default.
    QSqlQuery q(db.connection());
    QVERIFY(q.exec("INSERT INTO BookList (type, name, author, path) VALUES ('x', 'y', 'z', '/raw.txt')"));
    QVERIFY(db.bookByPath("/raw.txt")->lastread.isValid());
    QCOMPARE(db.bookByPath("/raw.txt")->marke, QStringLiteral("Null"));
}

void TestLibraryDatabase::editDuplicateCheckExcludesOwnRow()
{
    LibraryDatabase db;
    QVERIFY(db.open(dbPath()) == LibraryDatabase::OpenResult::Created);
    const qint64 a = *db.insertBook("其他分类", "a", "x", "/a.txt");
    const qint64 b = *db.insertBook("其他分类", "b", "x", "/b.txt");
    QVERIFY(!db.otherBookWithPath("/a.txt", a).has_value());
    const auto other = db.otherBookWithPath("/a.txt", b);
    QVERIFY(other.has_value());
    QCOMPARE(other->name, QStringLiteral("a"));
    QVERIFY(db.updateBook(a, "武侠仙侠", "新名", "作者", "/a2.txt"));
    QCOMPARE(db.bookById(a)->path, QStringLiteral("/a2.txt"));
    QVERIFY(!db.updateBook(b, "武侠仙侠", "b", "x", "/a2.txt")); // path stays unique
    QVERIFY(db.deleteBook(a));
    QVERIFY(!db.bookById(a).has_value());
}

void TestLibraryDatabase::settingsRoundTrip()
{
    LibraryDatabase db;
    QVERIFY(db.open(dbPath()) == LibraryDatabase::OpenResult::Created);
    SettingsRow row;
    row.downSavePath = QStringLiteral("  /下载/书 ");
    row.autoRun = true;
    row.bossKey = QStringLiteral("Alt|q");
    row.txtColor = QStringLiteral("010203");
    row.txtSize = QStringLiteral("特大号");
    row.backColor = QStringLiteral("0000FF");
    QVERIFY(db.saveSettings(row));
    QCOMPARE(db.downSavePath().value(), row.downSavePath);
    QCOMPARE(db.autoRun().value(), true);
    QCOMPARE(db.bossKey().value(), row.bossKey);
    QCOMPARE(db.txtColor().value(), row.txtColor);
    QCOMPARE(db.txtSize().value(), row.txtSize);
    QCOMPARE(db.backColor().value(), row.backColor);

    QSqlQuery q(db.connection());
    QVERIFY(q.exec("DELETE FROM SysSet"));
    QVERIFY(!db.bossKey().has_value());
    QVERIFY(db.saveSettings(row)); // an empty table gets its row on save
    QVERIFY(q.exec("SELECT COUNT(*) FROM SysSet") && q.next());
    QCOMPARE(q.value(0).toInt(), 1);
}

// A library of today's shape opens unchanged; the first option, book encoding, book rule or
// chapter mark written adds its table and every row of BookList and SysSet is still there, in a later opening as well.
void TestLibraryDatabase::readerOptionsKeepTodaysLibrary()
{
    QDir().mkpath(m_dir->path() + QStringLiteral("/DataFile"));
    makeRawDatabase(dbPath(),
                    {"CREATE TABLE BookList (id INTEGER PRIMARY KEY AUTOINCREMENT, type TEXT NOT NULL DEFAULT '',"
                     " name TEXT NOT NULL DEFAULT '', author TEXT NOT NULL DEFAULT '', path TEXT NOT NULL UNIQUE,"
                     " marke TEXT NOT NULL DEFAULT 'Null', lastread TEXT)",
                     "CREATE TABLE SysSet (DownSavePath TEXT NOT NULL DEFAULT '', AutoRun INTEGER NOT NULL DEFAULT 0,"
                     " BossKey TEXT NOT NULL DEFAULT 'Ctrl|B', TxtColor TEXT NOT NULL DEFAULT '000000',"
                     " TxtSize TEXT NOT NULL DEFAULT '中号', BackColor TEXT NOT NULL DEFAULT 'FBF7EE')",
                     "INSERT INTO SysSet VALUES ('/d', 1, 'Alt|Q', '112233', '大号', '445566')",
                     "INSERT INTO BookList (type, name, author, path, marke, lastread) VALUES"
                     " ('武侠仙侠', '书一', '甲', '/b/1.txt', '第3章', '2009-03-07 08:05:00')",
                     "INSERT INTO BookList (type, name, author, path) VALUES ('其他分类', '书二', '乙', '/b/2.txt')"});
    const QByteArray before = digestOf(dbPath());
    {
        LibraryDatabase db(QStringLiteral("today"));
        QCOMPARE(db.open(dbPath()), LibraryDatabase::OpenResult::Opened);
        QCOMPARE(db.option(QStringLiteral("ReadingTheme")), std::nullopt);
        QCOMPARE(db.bookEncoding(QStringLiteral("/b/1.txt")), std::nullopt);
        QVERIFY(!db.bookRule(QStringLiteral("/b/1.txt")));
        QVERIFY(db.chapterMarks(QStringLiteral("/b/1.txt")).isEmpty());
        QVERIFY(db.removeChapterMark(QStringLiteral("/b/1.txt"), 5)); // nothing to remove yet
        QCOMPARE(db.lastFailure(), LibraryDatabase::Failure::None);
        QCOMPARE(digestOf(dbPath()), before);

        QVERIFY(db.setBookRule(QStringLiteral("/b/1.txt"), QStringLiteral("第N章/回/节/集"), QStringLiteral("^第'%")));
        QVERIFY(db.setBookRule(QStringLiteral("/b/2.txt"), QStringLiteral("自动识别"), QString()));
        QVERIFY(db.setBookRule(QStringLiteral("/b/2.txt"), QString(), QString()));
        QVERIFY(db.setChapterMark(QStringLiteral("/b/1.txt"), {900, QStringLiteral("插曲"), true}));
        QVERIFY(db.setChapterMark(QStringLiteral("/b/1.txt"), {30, QStringLiteral("第二天他起得很早。"), true}));
        QVERIFY(db.setChapterMark(QStringLiteral("/b/1.txt"), {30, QStringLiteral("第二天他起得很早。"), false}));
        QVERIFY(db.setChapterMark(QStringLiteral("/b/2.txt"), {7, QStringLiteral("x"), true}));
        QVERIFY(db.removeChapterMark(QStringLiteral("/b/2.txt"), 7));

        QVERIFY(db.setBookEncoding(QStringLiteral("/b/1.txt"), QStringLiteral("GB18030")));
        QVERIFY(db.setBookEncoding(QStringLiteral("/b/1.txt"), QStringLiteral("BIG5")));
        QVERIFY(db.setBookEncoding(QStringLiteral("/b/2.txt"), QStringLiteral("UTF-16LE")));
        QVERIFY(db.setBookEncoding(QStringLiteral("/b/2.txt"), QString()));

        QVERIFY(db.setOption(QStringLiteral("ReadingTheme"), QStringLiteral("night")));
        QVERIFY(db.setOption(QStringLiteral("ReadingTheme"), QStringLiteral("夜间's")));
        QVERIFY(db.setReadingColors(QStringLiteral("A9A59B"), QStringLiteral("1C1D20")));
    }
    LibraryDatabase again(QStringLiteral("later"));
    QCOMPARE(again.open(dbPath()), LibraryDatabase::OpenResult::Opened);
    QCOMPARE(again.option(QStringLiteral("ReadingTheme")), QStringLiteral("夜间's"));
    QCOMPARE(again.bookEncoding(QStringLiteral("/b/1.txt")), QStringLiteral("BIG5"));
    QCOMPARE(again.bookEncoding(QStringLiteral("/b/2.txt")), std::nullopt);
    const std::optional<BookRuleRow> rule = again.bookRule(QStringLiteral("/b/1.txt"));
    QVERIFY(rule);
    QCOMPARE(rule->ruleName + rule->pattern, QStringLiteral("第N章/回/节/集^第'%"));
    QVERIFY(!again.bookRule(QStringLiteral("/b/2.txt")));
    const QList<ChapterMarkRow> marks = again.chapterMarks(QStringLiteral("/b/1.txt"));
    QCOMPARE(marks.size(), 2);
    QCOMPARE(marks[0].offset, 30); // in offset order, the later write replacing the earlier
    QVERIFY(!marks[0].start);
    QCOMPARE(marks[1].lineText, QStringLiteral("插曲"));
    QVERIFY(again.chapterMarks(QStringLiteral("/b/2.txt")).isEmpty());
    const SettingsRow row = *again.settings();
    QCOMPARE(row.downSavePath, QStringLiteral("/d"));
    QCOMPARE(row.bossKey, QStringLiteral("Alt|Q"));
    QCOMPARE(row.txtSize, QStringLiteral("大号"));
    QCOMPARE(row.txtColor + row.backColor, QStringLiteral("A9A59B1C1D20"));
    QCOMPARE(again.countBooks(ShelfQuery::all()), 2);
    const auto first = again.bookByPath(QStringLiteral("/b/1.txt"));
    QVERIFY(first);
    QCOMPARE(first->marke, QStringLiteral("第3章"));
}

QTEST_GUILESS_MAIN(TestLibraryDatabase)
#include "tst_librarydatabase.moc"
