#include "reader/position/ReadingPlace.h"
#include "reader/text/ChapterScan.h"
#include "reader/text/TextDecoder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Finding the reading place again: in the same file, in rows another rule gives, and in a
// file edited since (the anchor finds the line that moved).
class TestReadingPlace : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void sameFile_data();
    void sameFile();
    void blankLineMovesOnToText();
    void otherRows();
    void editedFile_data();
    void editedFile();
    void entryRoundTrip();

private:
    QString write(const QString& text, TextEncoding encoding = TextEncoding::Utf8, const QByteArray& prefix = {});
    // The line of the book's text at `place` (what the page shows at its top).
    static QString lineAt(const ChapterScan& scan, const PlaceInBook& place);

    std::unique_ptr<QTemporaryDir> m_dir;
    int m_files = 0;
};

namespace {

// Ten chapters of twenty lines, each line telling its chapter and number.
QString book(const QString& lineEnd = QStringLiteral("\n"))
{
    QString text = QStringLiteral("位置之书") + lineEnd;
    for (int c = 1; c <= 10; ++c) {
        text += QStringLiteral("第%1章 标题%1").arg(c) + lineEnd;
        for (int l = 1; l <= 20; ++l)
            text += QStringLiteral("　　卷%1行%2：他走了进来，坐下说话。").arg(c).arg(l) + lineEnd;
    }
    return text;
}

// A rule that takes no line for a heading: the whole book is one row.
class NoHeadings : public HeadingTest {
public:
    void restart(TextEncoding) override {}
    bool mayMatch(const char*, qint64) override { return false; }
    bool isHeading(QStringView, qint64, qint64) override { return false; }
};

} // namespace

void TestReadingPlace::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

QString TestReadingPlace::write(const QString& text, TextEncoding encoding, const QByteArray& prefix)
{
    const QString path = m_dir->filePath(QStringLiteral("book%1.txt").arg(++m_files));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(prefix + encodeText(text, encoding));
    return path;
}

QString TestReadingPlace::lineAt(const ChapterScan& scan, const PlaceInBook& place)
{
    if (place.row < 0)
        return QStringLiteral("<nowhere>");
    return readChapterLines(scan, place.row).value(place.line);
}

void TestReadingPlace::sameFile_data()
{
    QTest::addColumn<QString>("lineEnd");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<QByteArray>("prefix");
    QTest::newRow("UTF-8") << QStringLiteral("\n") << int(TextEncoding::Utf8) << QByteArray();
    QTest::newRow("UTF-8, CR LF") << QStringLiteral("\r\n") << int(TextEncoding::Utf8) << QByteArray();
    QTest::newRow("GB18030, lone CR") << QStringLiteral("\r") << int(TextEncoding::Gb18030) << QByteArray();
    QTest::newRow("UTF-16LE with BOM") << QStringLiteral("\r\n") << int(TextEncoding::Utf16LE)
                                       << QByteArray("\xFF\xFE", 2);
}

void TestReadingPlace::sameFile()
{
    QFETCH(QString, lineEnd);
    QFETCH(int, encoding);
    QFETCH(QByteArray, prefix);
    const ChapterScan scan = getChapterRows(write(book(lineEnd), TextEncoding(encoding), prefix));
    QCOMPARE(scan.rows.size(), 11);
    QCOMPARE(int(scan.encoding), encoding);

    for (const qint64 line : {qint64(0), qint64(7), qint64(20)}) {
        const ReadingPlace place = placeOfLine(scan, 4, line);
        QVERIFY(place.isValid());
        QVERIFY2(lineAt(scan, {4, line}).startsWith(place.anchor), qPrintable(place.anchor));
        const PlaceInBook found = locatePlace(scan, place);
        QCOMPARE(found.row, 4);
        QCOMPARE(found.line, line);
    }
    // A line past the row's end stands for its start.
    const PlaceInBook pastEnd = locatePlace(scan, placeOfLine(scan, 4, 500));
    QCOMPARE(pastEnd.row, 4);
    QCOMPARE(pastEnd.line, 0);
}

void TestReadingPlace::blankLineMovesOnToText()
{
    const ChapterScan scan =
        getChapterRows(write(QStringLiteral("书\n第1章 一\n甲\n\n　　\n乙在这里\n第2章 二\n丙\n")));
    QCOMPARE(scan.rows.size(), 3);
    const ReadingPlace place = placeOfLine(scan, 1, 2); // the blank line after 甲
    QCOMPARE(place.anchor, QStringLiteral("乙在这里"));
    const PlaceInBook found = locatePlace(scan, place);
    QCOMPARE(found.row, 1);
    QCOMPARE(lineAt(scan, found), QStringLiteral("乙在这里"));
}

void TestReadingPlace::otherRows()
{
    const QString path = write(book());
    const ChapterScan chapters = getChapterRows(path);
    const ReadingPlace place = placeOfLine(chapters, 6, 12);
    const QString expected = lineAt(chapters, {6, 12});

    // Another rule gives other rows: the offset still finds its line in them.
    NoHeadings none;
    const ChapterScan whole = getChapterRows(path, none);
    QCOMPARE(whole.rows.size(), 1);
    const PlaceInBook inWhole = locatePlace(whole, place);
    QCOMPARE(inWhole.row, 0);
    QCOMPARE(lineAt(whole, inWhole), expected);

    // Small parts cut the one row into many; the place is in one of them.
    ScanLimits small;
    small.partBytes = 512;
    const ChapterScan parts = getChapterRows(path, none, small);
    QVERIFY(parts.rows.size() > 10);
    const PlaceInBook inParts = locatePlace(parts, place);
    QVERIFY(inParts.row > 0);
    QCOMPARE(lineAt(parts, inParts), expected);
}

void TestReadingPlace::editedFile_data()
{
    QTest::addColumn<QString>("edited");
    QTest::addColumn<QString>("expected"); // the line landed on; empty: the start of chapter 6
    const QString original = book();
    const QString line = QStringLiteral("　　卷6行12：他走了进来，坐下说话。");
    QString inserted = original;
    inserted.insert(original.indexOf(QStringLiteral("第3章")), QStringLiteral("新加的一行文字\n").repeated(40));
    QTest::newRow("lines added before") << inserted << line;
    QString removed = original;
    const qsizetype from = original.indexOf(QStringLiteral("第2章"));
    removed.remove(from, original.indexOf(QStringLiteral("第4章")) - from);
    QTest::newRow("chapters removed before") << removed << line;
    QString gone = original;
    gone.replace(line, QStringLiteral("改写过的一行"));
    QTest::newRow("the line itself rewritten") << gone << QString();
}

void TestReadingPlace::editedFile()
{
    QFETCH(QString, edited);
    QFETCH(QString, expected);
    const QString path = write(book());
    const ReadingPlace place = placeOfLine(getChapterRows(path), 6, 12);

    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(edited.toUtf8());
    f.close();
    const ChapterScan scan = getChapterRows(path);
    const PlaceInBook found = locatePlace(scan, place);
    QVERIFY(found.row >= 0);
    if (expected.isEmpty()) {
        QCOMPARE(scan.rows[found.row].label, QStringLiteral("第6章 标题6"));
        QCOMPARE(found.line, 0);
    } else {
        QCOMPARE(lineAt(scan, found), expected);
    }
}

void TestReadingPlace::entryRoundTrip()
{
    const ReadingPlace place{12345, QStringLiteral("他说/她说：“走。”")};
    const std::optional<ReadingPlace> back = ReadingPlace::parse(place.entry());
    QVERIFY(back);
    QCOMPARE(back->offset, place.offset);
    QCOMPARE(back->anchor, place.anchor);
    QVERIFY(!ReadingPlace::parse(QStringLiteral("abc/x")));
    QVERIFY(!ReadingPlace::parse(QStringLiteral("-5/x")));
    QVERIFY(!ReadingPlace::parse(QString()));
}

QTEST_MAIN(TestReadingPlace)
#include "tst_readingplace.moc"
