// Chapters too long to show at once: where parts are cut, that the parts decode to exactly
// the chapter's text in every encoding, that normal chapters stay whole, and a book past
// 2 GiB scanned and read back in bounded memory.
#include "reader/text/ChapterListing.h"
#include "reader/text/ChapterParts.h"
#include "reader/text/ChapterScan.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#include <iconv.h>
#include <sys/resource.h>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray bom(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8Bom:
        return "\xEF\xBB\xBF";
    case TextEncoding::Utf16LE:
        return "\xFF\xFE";
    case TextEncoding::Utf16BE:
        return "\xFE\xFF";
    default:
        return {};
    }
}

QByteArray fileBytes(const QString& path, qint64 begin, qint64 end)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(begin))
        return {};
    return f.read(end - begin);
}

qint64 peakRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QString toolPath()
{
    return QStringLiteral(QUILLMERE_BIN_DIR "/quillmere-chapters");
}

} // namespace

class TestChapterParts : public QObject {
    Q_OBJECT

private slots:
    void partLengths_data();
    void partLengths();
    void gb18030UnitsAgreeWithIconv();
    void partsDecodeToTheChapter_data();
    void partsDecodeToTheChapter();
    void normalChaptersStayWhole();
    void cutJustPastTheLimit();
    void staleFileIsCutAfresh();
    void toolListsAndPrintsParts();
    void crOnlyBookWithoutHeadings();
    void longFirstLineLabelsPartsShortly();
    void bookOver2GiB_data();
    void bookOver2GiB();
};

void TestChapterParts::partLengths_data()
{
    QTest::addColumn<int>("encoding");
    QTest::addColumn<QByteArray>("window");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("length");
    const int utf8 = int(TextEncoding::Utf8);
    const QByteArray jia = QStringLiteral("甲").toUtf8();
    QTest::newRow("the rest fits") << utf8 << QByteArray("abc") << 16 << 3;
    QTest::newRow("just past an LF in the second half")
        << utf8 << QByteArray(20, 'a') + '\n' + QByteArray(20, 'b') << 32 << 21;
    QTest::newRow("an LF in the first half is too early")
        << utf8 << QByteArray(5, 'a') + '\n' + QByteArray(40, 'b') << 32 << 32;
    QTest::newRow("UTF-8 character across the limit") << utf8 << jia.repeated(20) << 32 << 30;
    QTest::newRow("UTF-8 four-byte character across the limit")
        << utf8 << QByteArray(30, 'a') + "\xF0\xA0\x80\x80" + QByteArray(10, 'a') << 32 << 30;
    QTest::newRow("UTF-8 character ending at the limit") << utf8 << QByteArray(29, 'a') + jia + "zzzz" << 32 << 32;
    QTest::newRow("UTF-8 run of stray continuation bytes") << utf8 << QByteArray(40, '\x80') << 32 << 32;
    QTest::newRow("just past a lone CR") << utf8 << QByteArray(20, 'a') + '\r' + QByteArray(20, 'b') << 32 << 21;
    QTest::newRow("just past a CR LF") << utf8 << QByteArray(20, 'a') + "\r\n" + QByteArray(20, 'b') << 32 << 22;
    QTest::newRow("a CR LF across the limit ends no line before it")
        << utf8 << QByteArray(20, 'a') + '\r' + QByteArray(10, 'a') + "\r\n" + QByteArray(10, 'b') << 32 << 21;
    QTest::newRow("a lone CR as the last byte") << utf8 << QByteArray(31, 'a') + '\r' + QByteArray(10, 'b') << 32 << 32;
    const int le = int(TextEncoding::Utf16LE);
    QByteArray pairAcross = QByteArray(30, 'a');
    pairAcross += QByteArray("\x40\xD8\x00\xDC", 4) + QByteArray(10, 'a'); // U+20000 at bytes 30..33
    QTest::newRow("UTF-16 surrogate pair across the limit") << le << pairAcross << 32 << 30;
    QTest::newRow("UTF-16 odd limit") << le << QByteArray(60, 'a') << 33 << 32;
    QTest::newRow("UTF-16 LF unit") << le << QByteArray(20, 'a') + QByteArray("\n\0", 2) + QByteArray(20, 'a') << 32
                                    << 22;
    QTest::newRow("UTF-16 LF byte at an odd offset is no LF")
        << le << QByteArray(21, 'a') + QByteArray("\n\0", 2) + QByteArray(20, 'a') << 32 << 32;
    QTest::newRow("UTF-16 lone CR unit") << le << QByteArray(20, 'a') + QByteArray("\r\0", 2) + QByteArray(20, 'a')
                                         << 32 << 22;
    QTest::newRow("UTF-16 CR LF units across the limit")
        << le
        << QByteArray(20, 'a') + QByteArray("\r\0", 2) + QByteArray(8, 'a') + QByteArray("\r\0\n\0", 4) +
               QByteArray(10, 'a')
        << 32 << 22;
    QTest::newRow("UTF-16 CR byte at an odd offset is no CR")
        << le << QByteArray(21, 'a') + QByteArray("\r\0", 2) + QByteArray(20, 'a') << 32 << 32;
    QTest::newRow("UTF-16BE CR unit") << int(TextEncoding::Utf16BE)
                                      << QByteArray(20, 'a') + QByteArray("\0\r", 2) + QByteArray(20, 'a') << 32 << 22;
    const int gb = int(TextEncoding::Gb18030);
    const QByteArray di = "\xB5\xDA"; // 第
    QTest::newRow("GB18030 after a blank") << gb << di.repeated(10) + ' ' + di.repeated(10) << 32 << 21;
    QTest::newRow("GB18030 two-byte characters only") << gb << QByteArray("a") + di.repeated(20) << 32 << 31;
    QTest::newRow("GB18030 four-byte character across the limit")
        << gb << di.repeated(15) + "\x81\x36\xA6\x31" + di.repeated(4) << 32 << 30; // U+2022 at 30..33
    QTest::newRow("GB18030 four-byte code iconv refuses is single bytes")
        << gb << di.repeated(15) + "\xFE\x39\xFE\x39" + di.repeated(4) << 32 << 32;
    QTest::newRow("GB18030 trail byte that looks like ASCII")
        << gb << di.repeated(15) + "\x81\x40" + di.repeated(4) << 32 << 32;
    QTest::newRow("GB18030 lead byte before a lone CR")
        << gb << di.repeated(10) + "\xB5\r" + di.repeated(10) << 32 << 22;
}

void TestChapterParts::partLengths()
{
    QFETCH(int, encoding);
    QFETCH(QByteArray, window);
    QFETCH(int, limit);
    QFETCH(int, length);
    QCOMPARE(partLength(window.constData(), window.size(), limit, TextEncoding(encoding)), qint64(length));
}

// The cut walks GB18030 as iconv decodes it; every four-byte code is checked.
void TestChapterParts::gb18030UnitsAgreeWithIconv()
{
    iconv_t cd = iconv_open("UTF-16LE", "GB18030");
    QVERIFY(cd != reinterpret_cast<iconv_t>(-1));
    int mismatches = 0;
    for (int a = 0x81; a <= 0xFE; ++a) {
        for (int b = 0x30; b <= 0x39; ++b) {
            for (int c = 0x81; c <= 0xFE; ++c) {
                for (int d = 0x30; d <= 0x39; ++d) {
                    char in[4] = {char(a), char(b), char(c), char(d)};
                    char out[16];
                    char* ip = in;
                    char* op = out;
                    size_t inLeft = 4;
                    size_t outLeft = sizeof out;
                    iconv(cd, nullptr, nullptr, nullptr, nullptr);
                    const bool decoded = iconv(cd, &ip, &inLeft, &op, &outLeft) != size_t(-1) && inLeft == 0;
                    const int length = gb18030UnitLength(reinterpret_cast<const unsigned char*>(in), 4);
                    mismatches += (length == 4) != decoded;
                }
            }
        }
    }
    iconv_close(cd);
    QCOMPARE(mismatches, 0);
    const unsigned char twoByte[2] = {0xB5, 0xDA};
    QCOMPARE(gb18030UnitLength(twoByte, 2), 2);
    QCOMPARE(gb18030UnitLength(twoByte, 1), 1);
}

void TestChapterParts::partsDecodeToTheChapter_data()
{
    QTest::addColumn<int>("encoding");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("endsAtLines"); // lines short enough that every part ends after one
    QString lines = QStringLiteral("书名\n");
    for (int i = 0; i < 40; ++i)
        lines += QStringLiteral("他起得很早，看见%1只鸟。\r\n").arg(i);
    QString oneLine = QStringLiteral("\n");
    for (int i = 0; i < 60; ++i)
        oneLine += QStringLiteral("天地玄黄宇宙洪荒\u2022%1").arg(QString::fromUcs4(U"\U00020087"));
    QString crOnly = QStringLiteral("\n");
    for (int i = 0; i < 50; ++i)
        crOnly += QStringLiteral("一段没有换行的文字。\r");
    QString mixed = QStringLiteral("书名\r");
    const char* const ends[] = {"\r", "\n", "\r\n", "\n\r"};
    for (int i = 0; i < 40; ++i)
        mixed += QStringLiteral("他起得很早，看见%1只鸟。").arg(i) + QLatin1String(ends[i % 4]);
    for (TextEncoding e : {TextEncoding::Utf8, TextEncoding::Utf8Bom, TextEncoding::Utf16LE, TextEncoding::Utf16BE,
                           TextEncoding::Gb18030}) {
        const char* name = e == TextEncoding::Utf8      ? "UTF-8"
                           : e == TextEncoding::Utf8Bom ? "UTF-8 BOM"
                           : e == TextEncoding::Utf16LE ? "UTF-16LE"
                           : e == TextEncoding::Utf16BE ? "UTF-16BE"
                                                        : "GB18030";
        QTest::addRow("%s, many lines", name) << int(e) << lines << true;
        QTest::addRow("%s, one enormous line", name) << int(e) << oneLine << false;
        QTest::addRow("%s, CR line ends", name) << int(e) << crOnly << true;
        QTest::addRow("%s, mixed line ends", name) << int(e) << mixed << true;
    }
}

// A book without headings, cut into small parts: every part is within the limit, the parts
// follow each other without gap, their labels differ, and decoded one by one they give the
// chapter's text exactly.
void TestChapterParts::partsDecodeToTheChapter()
{
    QFETCH(int, encoding);
    QFETCH(QString, text);
    QFETCH(bool, endsAtLines);
    const auto enc = TextEncoding(encoding);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.txt"));
    const QByteArray bytes = bom(enc) + encodeText(text, enc);
    QVERIFY(writeFile(path, bytes));

    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    QString baseLabel = chapterLabel(text.section(lineEnd, 0, 0), true);
    if (baseLabel.isEmpty())
        baseLabel = QStringLiteral("正文");
    for (const qint64 partBytes : {64, 100, 257}) {
        ScanLimits limits;
        limits.partBytes = partBytes;
        limits.bufferBytes = 48;
        const ChapterScan scan = getChapterRows(path, limits);
        QVERIFY(scan.readable);
        QCOMPARE(scan.encoding, enc);
        QVERIFY(scan.rows.size() > 2);
        QString joined;
        TextDecoder decoder(enc);
        QStringList labels;
        for (int i = 0; i < scan.rows.size(); ++i) {
            const ChapterRow& row = scan.rows[i];
            QCOMPARE(row.number, i + 1);
            QCOMPARE(row.part, i + 1);
            QCOMPARE(row.range(), QStringLiteral("0,%1").arg(scan.lineCount - 1));
            QVERIFY(row.byteEnd - row.byteBegin <= partBytes);
            QVERIFY(row.byteEnd > row.byteBegin);
            QCOMPARE(row.byteBegin, i == 0 ? scan.rows[0].byteBegin : scan.rows[i - 1].byteEnd);
            labels << row.label;
            const QString part = decoder.decode(fileBytes(path, row.byteBegin, row.byteEnd));
            joined += part;
            // The read-back gives the part's lines, ended by LF, CR LF or a lone CR.
            QStringList expected = part.split(lineEnd);
            if (expected.last().isEmpty())
                expected.removeLast(); // nothing after a final line end
            QCOMPARE(readChapterLines(scan, i), expected);
            // Parts of up to 257 bytes are at least 129 long, and the second half of each holds
            // a line end of these texts: the part ends after the last such.
            if (endsAtLines && partBytes == 257 && i + 1 < scan.rows.size())
                QVERIFY(part.endsWith(QLatin1Char('\n')) || part.endsWith(QLatin1Char('\r')));
            QCOMPARE(row.label, partLabel(baseLabel, i + 1));
        }
        QCOMPARE(scan.rows.last().byteEnd, scan.fileSize);
        const qint64 chapterBegin = scan.rows.first().byteBegin;
        QCOMPARE(joined, decoder.decode(fileBytes(path, chapterBegin, scan.fileSize)));
        labels.removeDuplicates();
        QCOMPARE(labels.size(), scan.rows.size());
    }
}

// Books whose chapters all fit keep exactly the rows they had; the novels have chapters of
// up to about 80 KB, far under the part size.
void TestChapterParts::normalChaptersStayWhole()
{
    const QString novels = QStringLiteral(QUILLMERE_TESTDATA_DIR "/novels");
    const QStringList names = QDir(novels).entryList({QStringLiteral("*.txt")});
    if (names.isEmpty())
        QSKIP("shared test novels not found");
    ScanLimits whole;
    whole.partBytes = kMaxReadBackBytes;
    for (const QString& name : names) {
        const ChapterScan scan = getChapterRows(novels + QLatin1Char('/') + name);
        const ChapterScan reference = getChapterRows(novels + QLatin1Char('/') + name, whole);
        QCOMPARE(chapterListing(scan), chapterListing(reference));
        for (const ChapterRow& row : scan.rows)
            QCOMPARE(row.part, 0);
    }
}

// A chapter of exactly the part size stays whole; a few bytes more make two halves.
void TestChapterParts::cutJustPastTheLimit()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.txt"));
    ScanLimits limits;
    limits.partBytes = 100;
    const QByteArray head("T\n第一章\n");
    // Row 2 is "第一章\n" (10 bytes), 89 x and an LF, then "甲\n" and "Z": 105 bytes, cut
    // in halves of at most 53 bytes, the first within the x.
    QVERIFY(writeFile(path, head + QByteArray(89, 'x') + "\n" + "甲\n" + "Z"));
    ChapterScan scan = getChapterRows(path, limits);
    QCOMPARE(scan.rows.size(), 3);
    QCOMPARE(scan.rows[1].label, QStringLiteral("第一章（第1部分）"));
    QCOMPARE(scan.rows[2].label, QStringLiteral("第一章（第2部分）"));
    QCOMPARE(scan.rows[1].byteEnd - scan.rows[1].byteBegin, qint64(53));
    QCOMPARE(readChapterLines(scan, 1), (QStringList{"第一章", QString(43, QLatin1Char('x'))}));
    QCOMPARE(readChapterLines(scan, 2), (QStringList{QString(46, QLatin1Char('x')), "甲", "Z"}));

    QVERIFY(writeFile(path, head + QByteArray(89, 'x') + "\n"));
    scan = getChapterRows(path, limits);
    QCOMPARE(scan.rows.size(), 2);
    QCOMPARE(scan.rows[1].byteEnd - scan.rows[1].byteBegin, qint64(100));
    QCOMPARE(scan.rows[1].label, QStringLiteral("第一章"));
    QCOMPARE(scan.rows[1].part, 0);
}

// After the file changed, a part is cut afresh from the lines of its chapter and never more
// than one part is read.
void TestChapterParts::staleFileIsCutAfresh()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.txt"));
    QByteArray text("T\n");
    for (int i = 0; i < 30; ++i)
        text += "line " + QByteArray::number(i).rightJustified(2, '0') + " of the long chapter\n";
    QVERIFY(writeFile(path, text));
    ScanLimits limits;
    limits.partBytes = 128;
    const ChapterScan scan = getChapterRows(path, limits);
    QVERIFY(scan.rows.size() >= 5);
    const QStringList third = readChapterLines(scan, 2);
    QVERIFY(!third.isEmpty());

    // The same text with a longer first line: the offsets no longer hold, the lines do.
    QVERIFY(writeFile(path, "Title line, longer now\n" + text.mid(2)));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(scan.modified.addSecs(5), QFileDevice::FileModificationTime));
    file.close();
    QVERIFY(!scanIsCurrent(scan));
    QCOMPARE(readChapterLines(scan, 2), third);
    // A part past the end of what is left gives nothing.
    QVERIFY(writeFile(path, "T\nshort\n"));
    QVERIFY(readChapterLines(scan, 4).isEmpty());
}

// The tool lists the parts of a 3 MB line and prints one of them, not the whole line.
void TestChapterParts::toolListsAndPrintsParts()
{
    if (!QFile::exists(toolPath()))
        QSKIP("quillmere-chapters is not built");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.txt"));
    QByteArray line;
    while (line.size() < 3 * 1024 * 1024)
        line += QStringLiteral("一段没有标题、没有换行的很长的文字。").toUtf8();
    QVERIFY(writeFile(path, "\n" + line));
    QProcess process;
    process.start(toolPath(), {path});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    const QList<QByteArray> rows = process.readAllStandardOutput().split('\n');
    const qint64 parts = (line.size() + ScanLimits::kDefaultPartBytes - 1) / ScanLimits::kDefaultPartBytes;
    QCOMPARE(rows.size(), parts + 1);
    QCOMPARE(rows[0], QStringLiteral("1\t0,1\t正文（第1部分）").toUtf8());
    QCOMPARE(rows[parts - 1], QStringLiteral("%1\t0,1\t正文（第%1部分）").arg(parts).toUtf8());

    process.start(toolPath(), {QStringLiteral("--chapter"), QStringLiteral("2"), path});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    const QByteArray part = process.readAllStandardOutput();
    QVERIFY(part.size() <= ScanLimits::kDefaultPartBytes + 1);
    QVERIFY(part.size() > ScanLimits::kDefaultPartBytes * 9 / 10);
    QVERIFY(line.contains(part.chopped(1)));
}

// A 60 MB GBK book without headings whose lines end in a lone CR is one chapter shown in parts
// cut after whole lines, exactly as its LF copy is; every line reads back without a CR.
void TestChapterParts::crOnlyBookWithoutHeadings()
{
    QTemporaryDir dir;
    const QStorageInfo storage(dir.path());
    if (storage.bytesAvailable() < (qint64(256) << 20))
        QSKIP("needs 256 MB free beside the temporary folder for two 60 MB books");
    // A block of lines of 13 to 91 characters, none of them a heading, repeated to 60 MB.
    QString block;
    for (int i = 0; i < 2000; ++i)
        block += QStringLiteral("他起得很早，看见%1只鸟。").arg(i).repeated(i % 7 + 1) + QLatin1Char('\n');
    const QByteArray lfBlock = encodeText(block, TextEncoding::Gb18030);
    QByteArray crBlock = lfBlock;
    crBlock.replace('\n', '\r');
    const qint64 blocks = (qint64(60) << 20) / lfBlock.size() + 1;
    const QString crPath = dir.filePath(QStringLiteral("cr.txt"));
    const QString lfPath = dir.filePath(QStringLiteral("lf.txt"));
    const auto writeBook = [blocks](const QString& path, const QString& first, const QByteArray& body) {
        QFile f(path);
        bool ok = f.open(QIODevice::WriteOnly) && f.write(encodeText(first, TextEncoding::Gb18030)) == 5;
        for (qint64 i = 0; ok && i < blocks; ++i)
            ok = f.write(body) == body.size();
        return ok;
    };
    QVERIFY(writeBook(crPath, QStringLiteral("无题\r"), crBlock));
    QVERIFY(writeBook(lfPath, QStringLiteral("无题\n"), lfBlock));

    const qint64 rssBefore = peakRssKiB();
    const ChapterScan scan = getChapterRows(crPath);
    QVERIFY(scan.readable);
    QCOMPARE(scan.encoding, TextEncoding::Gb18030);
    QCOMPARE(scan.lineCount, 1 + blocks * 2000);
    const qint64 chapterBytes = scan.fileSize - 5;
    QVERIFY(scan.rows.size() >= (chapterBytes + ScanLimits::kDefaultPartBytes - 1) / ScanLimits::kDefaultPartBytes);
    QCOMPARE(scan.rows.first().label, QStringLiteral("无题（第1部分）"));
    for (int i = 0; i < scan.rows.size(); ++i) {
        const ChapterRow& row = scan.rows[i];
        QCOMPARE(row.part, i + 1);
        QCOMPARE(row.range(), QStringLiteral("0,%1").arg(scan.lineCount - 1));
        QCOMPARE(row.byteBegin, i == 0 ? qint64(5) : scan.rows[i - 1].byteEnd);
        QVERIFY(row.byteEnd - row.byteBegin <= ScanLimits::kDefaultPartBytes);
    }
    QCOMPARE(scan.rows.last().byteEnd, scan.fileSize);
    QVERIFY2(peakRssKiB() - rssBefore < 100 * 1024, qPrintable(QString::number(peakRssKiB() - rssBefore)));

    // Parts end after a whole line, so every part reads back as whole lines.
    const QStringList split = block.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QSet<QString> blockLines(split.cbegin(), split.cend());
    for (const int i : {0, 1, int(scan.rows.size()) / 2, int(scan.rows.size()) - 1}) {
        const QByteArray bytes = fileBytes(crPath, scan.rows[i].byteBegin, scan.rows[i].byteEnd);
        QVERIFY(bytes.endsWith('\r'));
        const QStringList lines = readChapterLines(scan, i);
        QCOMPARE(lines.size(), bytes.count('\r'));
        for (const QString& line : lines)
            QVERIFY2(blockLines.contains(line), qPrintable(line));
    }

    const ChapterScan lf = getChapterRows(lfPath);
    QCOMPARE(chapterListing(scan), chapterListing(lf));
    for (int i = 0; i < scan.rows.size(); ++i) {
        QCOMPARE(scan.rows[i].byteBegin, lf.rows[i].byteBegin);
        QCOMPARE(scan.rows[i].byteEnd, lf.rows[i].byteEnd);
    }
    const int middle = int(scan.rows.size()) / 2;
    QCOMPARE(readChapterLines(scan, middle), readChapterLines(lf, middle));
}

// A first line of a megabyte labels row 1 as before, but its parts repeat only its start.
void TestChapterParts::longFirstLineLabelsPartsShortly()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.txt"));
    const QString first = QStringLiteral("很长的第一行").repeated(60000);
    QVERIFY(writeFile(path, first.toUtf8() + "\n" + QByteArray(300 * 1024, 'a')));
    const ChapterScan scan = getChapterRows(path);
    QCOMPARE(scan.rows.size(), 3);
    const QString start = first.left(60) + QChar(0x2026);
    QCOMPARE(scan.rows[0].label, start + QStringLiteral("（第1部分）"));
    QCOMPARE(scan.rows[2].label, start + QStringLiteral("（第3部分）"));
    QCOMPARE(partLabel(QStringLiteral("短"), 2), QStringLiteral("短（第2部分）"));
    const QString astral = QString(59, QLatin1Char('a')) + QString::fromUcs4(U"\U00020000") + QStringLiteral("b");
    QCOMPARE(partLabel(astral, 1), QString(59, QLatin1Char('a')) + QChar(0x2026) + QStringLiteral("（第1部分）"));
}

void TestChapterParts::bookOver2GiB_data()
{
    QTest::addColumn<int>("encoding");
    QTest::addColumn<qint64>("holeBytes");
    QTest::newRow("GBK, a chapter over 2 GiB") << int(TextEncoding::Gb18030) << (qint64(2) << 30) + (qint64(2) << 20);
}

// A sparse book whose one chapter passes 2 GiB: the scan lists it in parts and every part
// reads back within bounds, in far less memory than the chapter.
void TestChapterParts::bookOver2GiB()
{
    QFETCH(int, encoding);
    QFETCH(qint64, holeBytes);
    const auto enc = TextEncoding(encoding);
    QTemporaryDir dir;
    const QStorageInfo storage(dir.path());
    if (storage.bytesAvailable() < holeBytes + (qint64(1) << 30))
        QSKIP(qPrintable(QStringLiteral("needs %1 GiB free beside the temporary folder for a sparse file, has %2 GiB")
                             .arg(holeBytes >> 30)
                             .arg(storage.bytesAvailable() >> 30)));
    const QString path = dir.filePath(QStringLiteral("big.txt"));
    // Enough Chinese up front that the file shows itself GBK early, a hole of NUL bytes (one
    // enormous line), then a last chapter.
    const int headLines = 8000;
    QString head = QStringLiteral("大书\n");
    for (int i = 0; i < headLines; ++i)
        head += QStringLiteral("天地玄黄，宇宙洪荒，日月盈昃，辰宿列张，寒来暑往，秋收冬藏。\n");
    const QByteArray start = encodeText(head, enc);
    const QByteArray tail = encodeText(QStringLiteral("\n第二章 尾声\n完\n"), enc);
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(start), qint64(start.size()));
        QVERIFY(f.resize(start.size() + holeBytes));
        QVERIFY(f.seek(start.size() + holeBytes));
        QCOMPARE(f.write(tail), qint64(tail.size()));
    }
    const qint64 rssBefore = peakRssKiB();
    const ChapterScan scan = getChapterRows(path);
    QVERIFY(scan.readable);
    QCOMPARE(scan.encoding, enc);
    QCOMPARE(scan.fileSize, start.size() + holeBytes + tail.size());
    QVERIFY(scan.rows.size() > (qint64(2) << 30) / ScanLimits::kDefaultPartBytes);
    QCOMPARE(scan.rows.first().label, QStringLiteral("大书（第1部分）"));
    QCOMPARE(scan.rows.last().label, QStringLiteral("第二章 尾声"));
    QCOMPARE(scan.rows.last().range(), QStringLiteral("%1,%2").arg(headLines + 1).arg(headLines + 3));
    for (int i = 0; i + 1 < scan.rows.size(); ++i) {
        QVERIFY(scan.rows[i].byteEnd - scan.rows[i].byteBegin <= ScanLimits::kDefaultPartBytes);
        QCOMPARE(scan.rows[i + 1].byteBegin, scan.rows[i].byteEnd);
    }
    const int beyond2GiB = int(scan.rows.size()) - 3;
    QVERIFY(scan.rows[beyond2GiB].byteBegin > (qint64(2) << 30));
    const QStringList lines = readChapterLines(scan, beyond2GiB);
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.first().size(), scan.rows[beyond2GiB].byteEnd - scan.rows[beyond2GiB].byteBegin);
    QCOMPARE(lines.first().count(QChar(0)), lines.first().size());
    QCOMPARE(readChapterLines(scan, int(scan.rows.size()) - 1), (QStringList{"第二章 尾声", "完"}));
    QCOMPARE(readChapterLines(scan, 0).first(),
             QStringLiteral("天地玄黄，宇宙洪荒，日月盈昃，辰宿列张，寒来暑往，秋收冬藏。"));
    // The chapter is 2 GiB; scanning and reading it back took a few megabytes.
    QVERIFY2(peakRssKiB() - rssBefore < 200 * 1024, qPrintable(QString::number(peakRssKiB() - rssBefore)));
}

QTEST_GUILESS_MAIN(TestChapterParts)
#include "tst_chapterparts.moc"
