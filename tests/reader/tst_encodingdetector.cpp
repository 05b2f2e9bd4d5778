// Telling a book's encoding from samples, and reading Big5 and BOM-less UTF-16 books into
// their chapters and back.
#include "reader/text/ChapterScan.h"
#include "reader/text/EncodingDetector.h"

#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A traditional-Chinese book of five chapters, as a Big5 book would hold it.
const char16_t kPassage[] = u"　　詩曰：混沌未分天地亂，茫茫渺渺無人見。自從盤古破鴻濛，開闢從茲清濁辨。\n"
                            u"　　覆載群生仰至仁，發明萬物皆成善。欲知造化會元功，須看西遊釋厄傳。\n"
                            u"　　蓋聞天地之數，有十二萬九千六百歲為一元。將一元分為十二會，乃子、丑、寅、卯、"
                            u"辰、巳、午、未、申、酉、戌、亥之十二支也。每會該一萬八百歲。\n";
const char16_t* const kNumbers[] = {u"一", u"二", u"三", u"四", u"五"};

QString bookText()
{
    QString text = QStringLiteral("西遊記\n");
    for (const char16_t* n : kNumbers) {
        text += QStringLiteral("第%1回　靈根育孕源流出\n").arg(QString::fromUtf16(n));
        for (int i = 0; i < 4; ++i)
            text += QString::fromUtf16(kPassage);
    }
    return text;
}

QByteArray encoded(const QString& text, TextEncoding encoding, bool bom)
{
    QByteArray bytes = encodeText(text, encoding);
    if (bom && encoding == TextEncoding::Utf8)
        bytes.prepend("\xEF\xBB\xBF");
    if (bom && encoding == TextEncoding::Utf16LE)
        bytes.prepend("\xFF\xFE");
    if (bom && encoding == TextEncoding::Utf16BE)
        bytes.prepend("\xFE\xFF");
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestEncodingDetector : public QObject {
    Q_OBJECT

private slots:
    void detect_data();
    void detect();
    void legacyBooksFromSamples();
    void booksReadInTheirEncoding_data();
    void booksReadInTheirEncoding();
    void tool();
};

void TestEncodingDetector::detect_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<bool>("bom");

    const QString book = bookText();
    QTest::newRow("UTF-8") << encoded(book, TextEncoding::Utf8, false) << int(TextEncoding::Utf8) << false;
    QTest::newRow("UTF-8 with BOM") << encoded(book, TextEncoding::Utf8, true) << int(TextEncoding::Utf8Bom) << true;
    QTest::newRow("GB18030") << encoded(book, TextEncoding::Gb18030, false) << int(TextEncoding::Gb18030) << false;
    QTest::newRow("Big5") << encoded(book, TextEncoding::Big5, false) << int(TextEncoding::Big5) << false;
    QTest::newRow("UTF-16LE") << encoded(book, TextEncoding::Utf16LE, false) << int(TextEncoding::Utf16LE) << false;
    QTest::newRow("UTF-16BE") << encoded(book, TextEncoding::Utf16BE, false) << int(TextEncoding::Utf16BE) << false;
    QTest::newRow("UTF-16LE with BOM") << encoded(book, TextEncoding::Utf16LE, true) << int(TextEncoding::Utf16LE)
                                       << true;
    QTest::newRow("UTF-16BE with BOM") << encoded(book, TextEncoding::Utf16BE, true) << int(TextEncoding::Utf16BE)
                                       << true;
    // One line, no line end: only the zero bytes of its ASCII characters tell.
    QTest::newRow("UTF-16LE, one line") << encodeText(QStringLiteral("第1章 天地"), TextEncoding::Utf16LE)
                                        << int(TextEncoding::Utf16LE) << false;
    QTest::newRow("short file") << encodeText(QStringLiteral("你好"), TextEncoding::Utf8) << int(TextEncoding::Utf8)
                                << false;
    QTest::newRow("empty file") << QByteArray() << int(TextEncoding::Utf8) << false;
    QTest::newRow("pure ASCII") << QByteArray("Chapter 1\nIt was a dark night.\n") << int(TextEncoding::Utf8) << false;
}

void TestEncodingDetector::detect()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, encoding);
    QFETCH(bool, bom);
    // From memory, and from a device through its samples.
    const DetectedEncoding inMemory = EncodingDetector::detect(bytes);
    QCOMPARE(int(inMemory.encoding), encoding);
    QCOMPARE(inMemory.hasBom, bom);
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const DetectedEncoding fromDevice = EncodingDetector::detect(buffer);
    QCOMPARE(int(fromDevice.encoding), encoding);
    QCOMPARE(fromDevice.start, bom ? qint64(bomLength(fromDevice.encoding)) : 0);
}

void TestEncodingDetector::legacyBooksFromSamples()
{
    // A book far larger than the samples, told apart by the pieces spread over it.
    QString text = bookText();
    while (text.size() < 400000)
        text += text;
    for (const TextEncoding encoding : {TextEncoding::Gb18030, TextEncoding::Big5}) {
        QByteArray bytes = encodeText(text, encoding);
        QVERIFY(bytes.size() > EncodingDetector::kSamples * EncodingDetector::kSampleBytes);
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        QCOMPARE(int(EncodingDetector::detect(buffer).encoding), int(encoding));
    }
}

void TestEncodingDetector::booksReadInTheirEncoding_data()
{
    QTest::addColumn<int>("encoding");
    QTest::addColumn<bool>("bom");
    QTest::newRow("Big5") << int(TextEncoding::Big5) << false;
    QTest::newRow("UTF-16LE without BOM") << int(TextEncoding::Utf16LE) << false;
    QTest::newRow("UTF-16BE without BOM") << int(TextEncoding::Utf16BE) << false;
    QTest::newRow("GB18030") << int(TextEncoding::Gb18030) << false;
}

void TestEncodingDetector::booksReadInTheirEncoding()
{
    QFETCH(int, encoding);
    QFETCH(bool, bom);
    QTemporaryDir dir;
    const QString utf8Path = dir.filePath(QStringLiteral("utf8.txt"));
    const QString path = dir.filePath(QStringLiteral("book.txt"));
    const QString text = bookText();
    QVERIFY(writeFile(utf8Path, text.toUtf8()));
    QVERIFY(writeFile(path, encoded(text, TextEncoding(encoding), bom)));

    const ChapterScan expected = getChapterRows(utf8Path);
    const ChapterScan scan = getChapterRows(path);
    QVERIFY(scan.readable);
    QCOMPARE(int(scan.encoding), encoding);
    QCOMPARE(scan.rows.size(), 6);
    QCOMPARE(scan.rows[1].label, QStringLiteral("第一回　靈根育孕源流出"));
    for (int i = 0; i < scan.rows.size(); ++i) {
        QCOMPARE(scan.rows[i].label, expected.rows[i].label);
        QCOMPARE(scan.rows[i].range(), expected.rows[i].range());
        QCOMPARE(readChapterLines(scan, i), readChapterLines(expected, i));
    }
    QCOMPARE(ReadSplitContent(path, 1, 3), ReadSplitContent(utf8Path, 1, 3));

    // Read in the user's choice of encoding instead: the same rows when it is the right one.
    ScanLimits limits;
    limits.encoding = TextEncoding(encoding);
    QCOMPARE(getChapterRows(path, limits).rows.size(), scan.rows.size());
}

void TestEncodingDetector::tool()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big5.txt"));
    QVERIFY(writeFile(path, encodeText(bookText(), TextEncoding::Big5)));
    const auto run = [&](const QStringList& args) {
        QProcess tool;
        tool.start(QStringLiteral(QUILLMERE_BIN_DIR "/quillmere-chapters"), args + QStringList{path});
        tool.waitForFinished(30000);
        return tool.readAllStandardOutput();
    };
    QCOMPARE(run({QStringLiteral("--encoding")}), QByteArray("BIG5\n"));
    const QByteArray listing = run({});
    QVERIFY(listing.contains(QStringLiteral("\t第一回　靈根育孕源流出\n").toUtf8()));
    QCOMPARE(run({QStringLiteral("--encoding-from"), QStringLiteral("big5")}), listing);
    // Read as GB18030 the headings are garbled and none is found.
    QVERIFY(run({QStringLiteral("--encoding-from"), QStringLiteral("GBK")}) != listing);
}

QTEST_GUILESS_MAIN(TestEncodingDetector)
#include "tst_encodingdetector.moc"
