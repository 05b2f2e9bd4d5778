#include "app/BookshelfController.h"
#include "app/LibraryDatabase.h"
#include "app/ReadingProgress.h"

#include "FakeDialogs.h"

#include <QTemporaryDir>
#include <QtTest>

// How far into a book: the shown chapter's byte offset in the file, the chapter's number of
// the total, as the reading view and the shelf show them.
class TestReadingProgress : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void ofRow_data();
    void ofRow();
    void parse_data();
    void parse();
    void shelfShowsStoredProgress();
};

void TestReadingProgress::ofRow_data()
{
    QTest::addColumn<qint64>("byteBegin");
    QTest::addColumn<qint64>("fileSize");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("view");

    QTest::newRow("first chapter is the start") << qint64(0) << qint64(5000) << 0 << 120 << "第 1/120 章 · 0.0%";
    QTest::newRow("by bytes, not by chapters") << qint64(1234) << qint64(10000) << 2 << 3 << "第 3/3 章 · 12.3%";
    QTest::newRow("rounded down: 100% only at the end")
        << qint64(9999) << qint64(10000) << 9 << 10 << "第 10/10 章 · 99.9%";
    QTest::newRow("a book past 2 GiB") << (qint64(3) << 30) << (qint64(4) << 30) << 1 << 2 << "第 2/2 章 · 75.0%";
    QTest::newRow("an unknown offset counts the chapters")
        << qint64(-1) << qint64(5000) << 1 << 4 << "第 2/4 章 · 25.0%";
    QTest::newRow("an offset past the end is the end")
        << qint64(7000) << qint64(5000) << 0 << 1 << "第 1/1 章 · 100.0%";
}

void TestReadingProgress::ofRow()
{
    QFETCH(qint64, byteBegin);
    QFETCH(qint64, fileSize);
    QFETCH(int, row);
    QFETCH(int, rows);
    QFETCH(QString, view);
    const ReadingProgress progress = ReadingProgress::ofRow(byteBegin, fileSize, row, rows);
    QCOMPARE(progress.viewText(), view);
    // What the shelf reads back is what the view showed.
    const std::optional<ReadingProgress> stored = ReadingProgress::parse(progress.entry());
    QVERIFY(stored);
    QCOMPARE(stored->viewText(), view);
}

void TestReadingProgress::parse_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("shelf"); // empty: not read back

    QTest::newRow("stored") << "1234/10000/3/3"
                            << "已读 12.3%（第 3/3 章）";
    QTest::newRow("three fields") << "1/2/3" << QString();
    QTest::newRow("not numbers") << "a/b/c/d" << QString();
    QTest::newRow("empty file") << "0/0/1/1" << QString();
    QTest::newRow("offset past the size") << "11/10/1/1" << QString();
    QTest::newRow("chapter past the total") << "1/10/4/3" << QString();
    QTest::newRow("chapter 0") << "1/10/0/3" << QString();
}

void TestReadingProgress::parse()
{
    QFETCH(QString, entry);
    QFETCH(QString, shelf);
    const std::optional<ReadingProgress> progress = ReadingProgress::parse(entry);
    QCOMPARE(progress ? progress->shelfText() : QString(), shelf);
}

void TestReadingProgress::shelfShowsStoredProgress()
{
    QTemporaryDir dir;
    LibraryDatabase library(QStringLiteral("progress"));
    QVERIFY(library.open(dir.filePath(QStringLiteral("Data.db"))) == LibraryDatabase::OpenResult::Created);
    FakeDialogs dialogs;
    BookshelfController shelf(library, dialogs);
    const QString path = QStringLiteral("/书/它's 100%.txt");
    QCOMPARE(shelf.progressText(path), QString());
    QVERIFY(library.setOption(ReadingProgress::optionName(path), QStringLiteral("500/1000/2/4")));
    QCOMPARE(shelf.progressText(path), QStringLiteral("已读 50.0%（第 2/4 章）"));
    QCOMPARE(shelf.progressText(QStringLiteral("/书/other.txt")), QString());
}

QTEST_MAIN(TestReadingProgress)
#include "tst_readingprogress.moc"
