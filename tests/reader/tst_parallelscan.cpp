// The scan over every core gives exactly the rows of the single pass: every book of the shared
// test data, and small books with the line ends, long lines and last lines where cuts go wrong;
// the automatic rule choice, which tries every rule in that pass, picks the same rule too.
#include "reader/rules/AutoRuleChoice.h"
#include "reader/rules/RuleLibrary.h"
#include "reader/text/ChapterScan.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

namespace {

// Everything a row holds, one string per row, with the scan's own figures first.
QStringList everything(const ChapterScan& scan)
{
    QStringList out{QStringLiteral("readable=%1 encoding=%2 lines=%3")
                        .arg(scan.readable)
                        .arg(int(scan.encoding))
                        .arg(scan.lineCount)};
    for (const ChapterRow& row : scan.rows)
        out << QStringLiteral("%1|%2|%3|%4|%5-%6")
                   .arg(row.number)
                   .arg(row.range(), row.label)
                   .arg(row.part)
                   .arg(row.byteBegin)
                   .arg(row.byteEnd);
    return out;
}

void compareScans(const QString& path, ScanLimits limits)
{
    limits.parallelFromBytes = std::numeric_limits<qint64>::max();
    const ChapterScan serial = getChapterRows(path, limits);
    for (const qint64 from : {qint64(0), qint64(1000)}) {
        limits.parallelFromBytes = from;
        QCOMPARE(everything(getChapterRows(path, limits)), everything(serial));
    }
}

// The chosen rule and its rows, split over the cores from `from` bytes on.
QStringList autoChoice(const QString& path, ScanLimits limits, qint64 from)
{
    limits.parallelFromBytes = from;
    AutoRuleChoice choice(RuleLibrary().enabledRules());
    QStringList out = everything(choice.scan(path, limits));
    out.prepend(choice.chosen().name);
    for (const RuleScore& score : choice.scores())
        out << QStringLiteral("%1 %2 %3").arg(score.name).arg(score.headings).arg(score.score);
    return out;
}

} // namespace

class TestParallelScan : public QObject {
    Q_OBJECT
private slots:
    void testNovels_data();
    void testNovels();
    void awkwardCuts_data();
    void awkwardCuts();
};

void TestParallelScan::testNovels_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("forceEncoding");
    const QDir novels(QStringLiteral(QUILLMERE_TESTDATA_DIR "/novels"));
    const QStringList names = novels.entryList({QStringLiteral("*.txt")}, QDir::Files);
    if (names.isEmpty()) // a row that skips: a data table without rows aborts the test
        QTest::newRow("no shared novels") << novels.filePath(QStringLiteral("none.txt")) << false;
    for (const QString& name : names) {
        QTest::newRow(qPrintable(name)) << novels.filePath(name) << false;
        // A plain UTF-8 book is judged on the way by the single pass; named, it goes over the cores too.
        QTest::newRow(qPrintable(name + QStringLiteral(" (encoding named)"))) << novels.filePath(name) << true;
    }
}

void TestParallelScan::testNovels()
{
    QFETCH(QString, path);
    QFETCH(bool, forceEncoding);
    if (!QFile::exists(path))
        QSKIP("shared test novels not found");
    ScanLimits limits;
    if (forceEncoding)
        limits.encoding = getChapterRows(path).encoding;
    compareScans(path, limits);
    const QStringList serialChoice = autoChoice(path, limits, std::numeric_limits<qint64>::max());
    QCOMPARE(autoChoice(path, limits, 1000), serialChoice);
    // A small buffer cuts long lines short: the pieces must cut them alike.
    limits.bufferBytes = ScanLimits::kMinBufferBytes;
    limits.partBytes = 4096;
    compareScans(path, limits);
}

void TestParallelScan::awkwardCuts_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("bufferBytes");
    QByteArray chapters;
    for (int i = 1; i <= 40; ++i)
        chapters += "\xE7\xAC\xAC" + QByteArray::number(i) + "\xE7\xAB\xA0\n" + QByteArray(37 * i % 300, 'x') + "\n\n";
    QByteArray crlf = chapters;
    crlf.replace("\n", "\r\n");
    QByteArray cr = chapters;
    cr.replace("\n", "\r");
    QTest::newRow("LF, UTF-8 with BOM") << "\xEF\xBB\xBF" + chapters << (qint64(1) << 20);
    QTest::newRow("CR LF") << "\xEF\xBB\xBF" + crlf << (qint64(1) << 20);
    QTest::newRow("lone CR: no LF to cut at") << "\xEF\xBB\xBF" + cr << (qint64(1) << 20);
    QTest::newRow("no line end after the last line")
        << "\xEF\xBB\xBF" + chapters + "\xE7\xAC\xAC\xE6\x9C\xAB" << (qint64(1) << 20);
    QTest::newRow("one long line in the middle, small buffer")
        << "\xEF\xBB\xBF" + chapters + QByteArray(5000, 'y') + "\n" + chapters << ScanLimits::kMinBufferBytes;
    QTest::newRow("empty lines only") << "\xEF\xBB\xBF" + QByteArray(3000, '\n') << (qint64(1) << 20);
    QTest::newRow("title line alone, then the text")
        << "\xEF\xBB\xBF" + QByteArray("\n") + chapters << (qint64(1) << 20);
}

void TestParallelScan::awkwardCuts()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, bufferBytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.txt"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    ScanLimits limits;
    limits.bufferBytes = bufferBytes;
    compareScans(path, limits);
}

QTEST_GUILESS_MAIN(TestParallelScan)
#include "tst_parallelscan.moc"
