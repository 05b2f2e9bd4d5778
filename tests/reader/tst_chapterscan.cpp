// The chapter scan and the read-back of chapters: row rules on small files, real novels in
// every encoding, stale ranges, escaping, and the quillmere-chapters tool.
#include "reader/text/ChapterListing.h"
#include "reader/text/ChapterScan.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString novelsDir()
{
    return QStringLiteral(QUILLMERE_TESTDATA_DIR "/novels");
}

QString toolPath()
{
    return QStringLiteral(QUILLMERE_BIN_DIR "/quillmere-chapters");
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// "number|range|label" per row, one string per row: easy to read when a comparison fails.
QStringList describe(const ChapterScan& scan)
{
    QStringList rows;
    for (const ChapterRow& row : scan.rows)
        rows << QStringLiteral("%1|%2|%3").arg(row.number).arg(row.range(), row.label);
    return rows;
}

QByteArray utf16(const QString& text, bool bigEndian)
{
    QByteArray bytes = bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
    for (QChar c : text) {
        const char hi = char(c.unicode() >> 8);
        const char lo = char(c.unicode() & 0xFF);
        bytes.append(bigEndian ? hi : lo);
        bytes.append(bigEndian ? lo : hi);
    }
    return bytes;
}

// Copies of one book in the shared test data; every copy must give the same rows.
struct Book {
    const char* name;
    QStringList copies;
    int headings; // lines the heading pattern matches after line 0
};

QList<Book> books()
{
    return {
        {"xiyouji-pg", {"xiyouji-pg-utf8.txt", "xiyouji-pg-gb18030.txt"}, 118},
        {"xiyouji-web-simp", {"xiyouji-web-simp-utf8-bom.txt", "xiyouji-web-simp-gbk.txt"}, 100},
        {"nahan", {"nahan-luxun-pg-utf8.txt", "nahan-luxun-pg-utf8-bom.txt", "nahan-luxun-pg-gb18030.txt"}, 14},
        {"shuihuzhuan", {"shuihuzhuan-pg-utf8.txt", "shuihuzhuan-pg-utf8-crlf.txt"}, 80},
        {"rulinwaishi", {"rulinwaishi-pg-utf8.txt", "rulinwaishi-pg-utf16le-bom.txt"}, 96},
    };
}

} // namespace

class TestChapterScan : public QObject {
    Q_OBJECT

private slots:
    void rows_data();
    void rows();
    void encodingsGiveSameRows_data();
    void encodingsGiveSameRows();
    void crAtBufferEdge_data();
    void crAtBufferEdge();
    void crOnlyNovels_data();
    void crOnlyNovels();
    void unreadableFiles();
    void lateNonUtf8ByteRestartsAsGbk();
    void damagedUtf8BookStaysUtf8();
    void longFirstLine();
    void readSplitContent_data();
    void readSplitContent();
    void chapterByOffsetsEqualsLineRule();
    void staleRanges_data();
    void staleRanges();
    void novels_data();
    void novels();
    void tool_data();
    void tool();
    void toolErrors();
};

void TestChapterScan::rows_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("expected");
    const auto u = [](const char* s) { return QByteArray(s); };

    QTest::newRow("empty file") << u("") << QStringList();
    QTest::newRow("one line") << u("书名") << QStringList{"1|0,0|书名"};
    QTest::newRow("one line with LF") << u("书名\n") << QStringList{"1|0,0|书名"};
    QTest::newRow("only an LF") << u("\n") << QStringList{"1|0,0|正文"};
    QTest::newRow("no heading") << u("书名\n甲\n乙\n") << QStringList{"1|0,2|书名"};
    QTest::newRow("blank first line") << u("   \n第一章\n甲") << QStringList{"1|0,0|正文", "2|0,2|第一章"};
    QTest::newRow("blank lines ended by CRs first") << u(" \r \r\n甲") << QStringList{"1|0,2|正文"};
    QTest::newRow("first line trimmed, ended by a CR") << u("  书\r名 \r\n甲") << QStringList{"1|0,2|书"};
    QTest::newRow("heading on the first line")
        << u("第一章 开始\n甲\n乙\n第二章\n丙") << QStringList{"1|0,2|第一章 开始", "2|2,4|第二章"};
    QTest::newRow("consecutive headings")
        << u("目录\n第一章\n第二章\n第三章\n正文甲\n")
        << QStringList{"1|0,0|目录", "2|0,1|第一章", "3|1,2|第二章", "4|2,3|第三章", "5|3,4|正文甲"};
    QTest::newRow("heading is the last line") << u("书\n甲\n第九章") << QStringList{"1|0,1|书", "2|1,2|第九章"};
    QTest::newRow("blank lines kept in ranges")
        << u("书\n\n第一章\n\n甲\n\n") << QStringList{"1|0,1|书", "2|1,5|第一章"};
    QTest::newRow("CRLF") << u("书名\r\n第一章 起\r\n甲\r\n第二章\r\n乙\r\n")
                          << QStringList{"1|0,0|书名", "2|0,2|第一章 起", "3|2,4|第二章"};
    // Old Mac files and some exported texts end their lines in a CR alone.
    QTest::newRow("CR only") << u("书名\r第一章 起\r甲\r第二章\r乙\r")
                             << QStringList{"1|0,0|书名", "2|0,2|第一章 起", "3|2,4|第二章"};
    QTest::newRow("CR only, last line without one")
        << u("书名\r第一章\r甲\r第二章") << QStringList{"1|0,0|书名", "2|0,2|第一章", "3|2,3|第二章"};
    QTest::newRow("only a CR") << u("\r") << QStringList{"1|0,0|正文"};
    QTest::newRow("two CRs") << u("\r\r") << QStringList{"1|0,1|正文"};
    // Lines 书名 第一章 甲 (empty) 第二章 (empty) 乙: LF CR is two line ends, CR CR LF too.
    QTest::newRow("mixed line ends") << u("书名\r\n第一章\r甲\n\r第二章\r\r\n乙")
                                     << QStringList{"1|0,0|书名", "2|0,3|第一章", "3|3,6|第二章"};
    QTest::newRow("a CR inside an LF book ends a line")
        << u("书\n正文甲\r第一章\n乙\n") << QStringList{"1|0,0|书", "2|0,1|正文甲", "3|1,3|第一章"};
    QTest::newRow("GBK, CR only") << u("\xCA\xE9\r\xB5\xDA\xD2\xBB\xD5\xC2\r\xBC\xD7\r")
                                  << QStringList{"1|0,0|书", "2|0,2|第一章"};
    // A lead byte cut off by a CR is a fault of its own; the CR still ends the line.
    QTest::newRow("GBK lead byte before a CR")
        << u("\xCA\xE9\r\xB5\r\xB5\xDA\xD2\xBB\xD5\xC2\r\xBC\xD7") << QStringList{"1|0,1|书", "2|1,3|第一章"};
    QTest::newRow("UTF-16LE, CR only") << utf16(QStringLiteral("书\r第一章\r甲\r"), false)
                                       << QStringList{"1|0,0|书", "2|0,2|第一章"};
    QTest::newRow("UTF-16BE, CR only") << utf16(QStringLiteral("书\r第一章\r\r甲"), true)
                                       << QStringList{"1|0,0|书", "2|0,3|第一章"};
    // U+0D00 and U+0A0D hold the bytes of CR and LF but are no line ends.
    QTest::newRow("UTF-16LE, CR and LF bytes inside characters")
        << utf16(QStringLiteral("书\r第一章\u0D00\u0A0D\r甲"), false)
        << QStringList{"1|0,0|书", "2|0,2|第一章\u0D00\u0A0D"};
    QTest::newRow("labels trimmed of blanks only")
        << u("书\n  第一章  \n\t第二章\n\xE3\x80\x80第三章\xE3\x80\x80")
        << QStringList{"1|0,0|书", "2|0,1|第一章", "3|1,2|\t第二章", "4|2,3|\u3000第三章\u3000"};
    QTest::newRow("GBK bytes") << u("\xCA\xE9\n\xB5\xDA\xD2\xBB\xD5\xC2\n\xBC\xD7")
                               << QStringList{"1|0,0|书", "2|0,2|第一章"};
    QTest::newRow("UTF-8 BOM") << u("\xEF\xBB\xBF书\n第一章\n甲") << QStringList{"1|0,0|书", "2|0,2|第一章"};
    QTest::newRow("UTF-16LE") << utf16(QStringLiteral("书\r\n第一章\r\n甲\r\n"), false)
                              << QStringList{"1|0,0|书", "2|0,2|第一章"};
    QTest::newRow("UTF-16BE") << utf16(QStringLiteral("书\n第一章\n甲"), true)
                              << QStringList{"1|0,0|书", "2|0,2|第一章"};
    // Without text, every file answers as the empty one does.
    QTest::newRow("BOM only") << u("\xEF\xBB\xBF") << QStringList();
    QTest::newRow("UTF-16LE BOM only") << QByteArray("\xFF\xFE", 2) << QStringList();
    QTest::newRow("UTF-16BE BOM only") << QByteArray("\xFE\xFF", 2) << QStringList();
    QTest::newRow("BOM and an LF") << u("\xEF\xBB\xBF\n") << QStringList{"1|0,0|正文"};
    // Labels are built from the characters as they are: a U+FFFE or U+FEFF opening a line is
    // no byte-order mark, and such invisible characters are trimmed like blanks.
    QTest::newRow("U+FFFE before a heading")
        << u("书名\n\xEF\xBF\xBE第一章 开端\n正文\n") << QStringList{"1|0,0|书名", "2|0,1|第一章 开端", "3|1,2|正文"};
    QTest::newRow("U+FEFF before a heading and the title")
        << u("\xEF\xBB\xBF\xEF\xBB\xBF书名\n\xEF\xBB\xBF第一章\n") << QStringList{"1|0,0|书名", "2|0,1|第一章"};
    QTest::newRow("zero-width characters at the ends")
        << u("\xE2\x80\x8B书名\xE2\x80\x8B\n第一章\xE2\x80\x8D \xE2\x81\xA0\n第二\xE2\x80\x8B章\n")
        << QStringList{"1|0,0|书名", "2|0,1|第一章", "3|1,2|第二\u200B章"};
    QTest::newRow("only invisible characters")
        << u("\xEF\xBB\xBF\xEF\xBB\xBF \xEF\xBF\xBE") << QStringList{"1|0,0|正文"};
    QTest::newRow("markup in a heading") << u("书\n第1章 <b>&</b>\n")
                                         << QStringList{"1|0,0|书", "2|0,1|第1章 <b>&</b>"};
}

void TestChapterScan::rows()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.txt"));
    QVERIFY(writeFile(path, content));
    const ChapterScan scan = getChapterRows(path);
    QVERIFY(scan.readable);
    QCOMPARE(describe(scan), expected);
    if (!scan.rows.isEmpty())
        QCOMPARE(scan.rows.last().last + 1, scan.lineCount);
}

void TestChapterScan::encodingsGiveSameRows_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("headings of both shapes") << QStringLiteral(
        "书名\n第一章 风起云涌\n正文。\n  第12章\n1、序\n十二：约定\n３\u3000归来\nvip章节\n作品相关\n");
    // U+2022 takes four bytes in GB18030 and U+20087 two bytes for two UTF-16 units.
    QTest::newRow("characters off the fast path")
        << QStringLiteral("书\n第三章 \u2022%1\n甲\n\u2022%1第四章\n").arg(QString::fromUcs4(U"\U00020087"));
    QTest::newRow("invisible characters around labels")
        << QStringLiteral("\uFEFF书名\u200B\n\uFFFE第一章 开端\n\uFEFF第二章\uFEFF\n\u200D 第三章\n");
    QTest::newRow("near misses")
        << QStringLiteral("书\n甲乙丙丁戊己庚第一章\n12345、标题\n第%1\n第二章\n").arg(QString(31, QLatin1Char('x')));
}

// One text in GBK, UTF-8 with and without BOM, UTF-16 both ways, LF, CRLF and CR: same rows.
void TestChapterScan::encodingsGiveSameRows()
{
    QFETCH(QString, text);
    QTemporaryDir dir;
    QString crlf = text;
    crlf.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    QString cr = text;
    cr.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    const QList<QByteArray> copies = {text.toUtf8(),
                                      encodeText(text, TextEncoding::Gb18030),
                                      "\xEF\xBB\xBF" + text.toUtf8(),
                                      utf16(text, false),
                                      utf16(text, true),
                                      crlf.toUtf8(),
                                      encodeText(crlf, TextEncoding::Gb18030),
                                      utf16(crlf, true),
                                      cr.toUtf8(),
                                      encodeText(cr, TextEncoding::Gb18030),
                                      utf16(cr, false),
                                      utf16(cr, true)};
    QStringList reference;
    QList<QStringList> referenceText;
    for (int i = 0; i < copies.size(); ++i) {
        const QString path = dir.filePath(QStringLiteral("copy%1.txt").arg(i));
        QVERIFY(writeFile(path, copies[i]));
        const ChapterScan scan = getChapterRows(path);
        QList<QStringList> text;
        for (int row = 0; row < scan.rows.size(); ++row) {
            text << readChapterLines(scan, row);
            QCOMPARE(readChapterHtml(scan, row), ReadSplitContent(path, scan.rows[row].first + 1, scan.rows[row].last));
        }
        if (i == 0) {
            reference = describe(scan);
            referenceText = text;
        }
        QCOMPARE(describe(scan), reference);
        QVERIFY2(text == referenceText, qPrintable(QStringLiteral("copy %1").arg(i)));
    }
    QVERIFY(reference.size() > 1);
}

void TestChapterScan::crAtBufferEdge_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("expected");
    // The scan reads through a buffer of 256 bytes here. A CR as the buffer's last byte may
    // be the first half of a CR LF whose LF only the next read brings.
    const QByteArray a250(250, 'a');
    const QString heading = QStringLiteral("第一章");
    const QByteArray tail = "第一章\r\n甲";
    QTest::newRow("CR LF across the edge")
        << "书\r\n" + a250 + "\r\n" + tail << QStringList{"1|0,1|书", "2|1,3|第一章"};
    QTest::newRow("lone CR at the edge") << "书\r\n" + a250 + "\r" + tail << QStringList{"1|0,1|书", "2|1,3|第一章"};
    const QString a255(255, QLatin1Char('a'));
    QTest::newRow("CR LF at the end of a full buffer")
        << QByteArray(255, 'a') + "\r\n" + tail << QStringList{"1|0,0|" + a255, "2|0,2|第一章"};
    QTest::newRow("lone CR at the end of a full buffer")
        << QByteArray(255, 'a') + "\r" + tail << QStringList{"1|0,0|" + a255, "2|0,2|第一章"};
    // Row 1's label is then the line's first 256 bytes.
    QTest::newRow("CR LF at the edge of a long line's second buffer")
        << QByteArray(511, 'a') + "\r\n" + tail
        << QStringList{"1|0,0|" + QString(256, QLatin1Char('a')), "2|0,2|第一章"};
    QTest::newRow("lone CR at the edge of a long line's second buffer")
        << QByteArray(511, 'a') + "\r" + tail << QStringList{"1|0,0|" + QString(256, QLatin1Char('a')), "2|0,2|第一章"};
    // GBK: 0x0D is no trail byte, so a lead byte before it stands alone.
    const QByteArray gbkTail = encodeText(heading + QStringLiteral("\r\n甲"), TextEncoding::Gb18030);
    QTest::newRow("GBK, lead byte and CR LF across the edge")
        << "\xCA\xE9\r\n" + a250 + "\xB5\r\n" + gbkTail << QStringList{"1|0,1|书", "2|1,3|第一章"};
    QTest::newRow("GBK, lone CR at the edge")
        << "\xCA\xE9\r\n" + a250 + "a\r" + gbkTail << QStringList{"1|0,1|书", "2|1,3|第一章"};
    // UTF-16: the buffer starts after the BOM; line 1 starts at its byte 6.
    const QString u124(124, QLatin1Char('a'));
    QTest::newRow("UTF-16LE, CR LF across the edge")
        << utf16(QStringLiteral("书\r\n") + u124 + QStringLiteral("\r\n") + heading + QStringLiteral("\r\n甲"), false)
        << QStringList{"1|0,1|书", "2|1,3|第一章"};
    QTest::newRow("UTF-16BE, lone CR at the edge")
        << utf16(QStringLiteral("书\r\n") + u124 + QStringLiteral("\r") + heading + QStringLiteral("\r\n甲"), true)
        << QStringList{"1|0,1|书", "2|1,3|第一章"};
    const QString u127(127, QLatin1Char('a'));
    QTest::newRow("UTF-16BE, CR LF at the end of a full buffer")
        << utf16(u127 + QStringLiteral("\r\n") + heading + QStringLiteral("\r甲"), true)
        << QStringList{"1|0,0|" + u127, "2|0,2|第一章"};
    QTest::newRow("UTF-16LE, lone CR at the end of a full buffer")
        << utf16(u127 + QStringLiteral("\r") + heading + QStringLiteral("\r甲"), false)
        << QStringList{"1|0,0|" + u127, "2|0,2|第一章"};
}

// A CR LF split by the end of the read buffer stays one line end, and a lone CR there ends its
// line: the rows are those of the reader's own buffer, and chapter 2 reads back whole.
void TestChapterScan::crAtBufferEdge()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.txt"));
    QVERIFY(writeFile(path, content));
    ScanLimits small;
    small.bufferBytes = ScanLimits::kMinBufferBytes;
    const ChapterScan scan = getChapterRows(path, small);
    QCOMPARE(describe(scan), expected);
    const ChapterScan reference = getChapterRows(path);
    QCOMPARE(scan.lineCount, reference.lineCount);
    for (int i = 0; i < scan.rows.size(); ++i) {
        QCOMPARE(scan.rows[i].range(), reference.rows[i].range());
        QCOMPARE(scan.rows[i].byteBegin, reference.rows[i].byteBegin);
        QCOMPARE(scan.rows[i].byteEnd, reference.rows[i].byteEnd);
        QCOMPARE(readChapterHtml(scan, i), ReadSplitContent(path, scan.rows[i].first + 1, scan.rows[i].last));
    }
    QCOMPARE(readChapterLines(scan, 1), (QStringList{"第一章", "甲"}));
}

// The novels with every line end made a lone CR give the rows and the text of the originals.
void TestChapterScan::crOnlyNovels_data()
{
    QTest::addColumn<QString>("name");
    for (const Book& book : books()) {
        for (const QString& name : book.copies)
            QTest::newRow(qPrintable(name)) << name;
    }
}

void TestChapterScan::crOnlyNovels()
{
    QFETCH(QString, name);
    const QString original = novelsDir() + QLatin1Char('/') + name;
    QFile in(original);
    if (!in.open(QIODevice::ReadOnly))
        QSKIP("shared test novels not found");
    const ChapterScan reference = getChapterRows(original);
    QByteArray bytes = in.readAll();
    if (lineUnitSize(reference.encoding) == 1) {
        // LF and CR are single bytes inside no character of UTF-8 or GB18030.
        bytes.replace("\r\n", "\r");
        bytes.replace('\n', '\r');
    } else {
        QString text = TextDecoder(reference.encoding).decode(bytes.mid(2));
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\r")).replace(QLatin1Char('\n'), QLatin1Char('\r'));
        bytes = utf16(text, reference.encoding == TextEncoding::Utf16BE);
    }
    QVERIFY(!bytes.contains('\n') || lineUnitSize(reference.encoding) == 2);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QVERIFY(writeFile(path, bytes));
    const ChapterScan scan = getChapterRows(path);
    QCOMPARE(scan.encoding, reference.encoding);
    QCOMPARE(scan.lineCount, reference.lineCount);
    QCOMPARE(describe(scan), describe(reference));
    QCOMPARE(chapterListing(scan), chapterListing(reference));
    for (int row = 0; row < scan.rows.size(); ++row)
        QCOMPARE(readChapterLines(scan, row), readChapterLines(reference, row));
    const int last = int(scan.rows.size()) - 1;
    QCOMPARE(ReadSplitContent(path, scan.rows[last].first + 1, scan.rows[last].last), readChapterHtml(reference, last));
}

void TestChapterScan::unreadableFiles()
{
    QTemporaryDir dir;
    for (const QString& path : {dir.filePath(QStringLiteral("missing.txt")), dir.path()}) {
        const ChapterScan scan = getChapterRows(path);
        QVERIFY(!scan.readable);
        QVERIFY(scan.rows.isEmpty());
        QVERIFY(scan.error.contains(path));
        QCOMPARE(ReadSplitContent(path, 0, 10), QString());
        QCOMPARE(readChapterHtml(scan, 0), QString());
    }
}

// A file that looks like UTF-8 for megabytes and then shows a GBK byte is GBK throughout.
void TestChapterScan::lateNonUtf8ByteRestartsAsGbk()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("late.txt"));
    QByteArray bytes("title\n");
    for (int i = 0; i < 60000; ++i)
        bytes += "chapter 1 text, plain ASCII\n";
    bytes += "\xB5\xDA\xD2\xBB\xD5\xC2\n\xBC\xD7\n"; // 第一章, 甲
    QVERIFY(writeFile(path, bytes));
    ScanLimits whole;
    whole.partBytes = kMaxReadBackBytes; // row 1 shown whole
    const ChapterScan scan = getChapterRows(path, whole);
    QCOMPARE(scan.encoding, TextEncoding::Gb18030);
    QCOMPARE(describe(scan), (QStringList{"1|0,60000|title", "2|60000,60002|第一章"}));
    QCOMPARE(readChapterLines(scan, 1), (QStringList{"第一章", "甲"}));
    QCOMPARE(readLines(path, 60001, 60002), (QStringList{"第一章", "甲"}));
}

// A real UTF-8 novel with a stray Latin-1 byte in the middle, a damaged run of bytes and its
// last character cut off is still UTF-8: the same rows, one U+FFFD for each fault.
void TestChapterScan::damagedUtf8BookStaysUtf8()
{
    QFile in(novelsDir() + QStringLiteral("/xiyouji-pg-utf8.txt"));
    if (!in.open(QIODevice::ReadOnly))
        QSKIP("shared test novels not found");
    const QByteArray original = in.readAll();
    QTemporaryDir dir;
    const QString clean = dir.filePath(QStringLiteral("clean.txt"));
    QVERIFY(writeFile(clean, original));
    const ChapterScan reference = getChapterRows(clean);

    QByteArray damaged = original;
    const qsizetype middle = damaged.indexOf('\n', damaged.size() / 2) + 1;
    damaged.insert(middle, "caf\xE9 ");
    damaged.insert(damaged.indexOf('\n', damaged.size() / 4) + 1, QByteArray("\xFF\xFE\x80"));
    damaged.chop(1);
    damaged += "\xE4\xB8"; // a download that stopped inside its last character
    const QString path = dir.filePath(QStringLiteral("damaged.txt"));
    QVERIFY(writeFile(path, damaged));
    const ChapterScan scan = getChapterRows(path);
    QCOMPARE(scan.encoding, TextEncoding::Utf8);
    QCOMPARE(describe(scan), describe(reference));
    int replacements = 0;
    for (int row = 0; row < scan.rows.size(); ++row)
        replacements += readChapterLines(scan, row).join(QLatin1Char('\n')).count(QChar(0xFFFD));
    QCOMPARE(replacements, 1 + 3 + 1);
    QVERIFY(readChapterLines(scan, int(scan.rows.size()) - 1).last().endsWith(QChar(0xFFFD)));
}

// A first line far longer than the read buffer still labels row 1, and the lines after it
// keep their numbers.
void TestChapterScan::longFirstLine()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.txt"));
    const QByteArray first(3 * 1024 * 1024, 'x');
    QVERIFY(writeFile(path, first + "\n第一章\n甲\n" + first + "\n第二章"));
    ScanLimits whole;
    whole.partBytes = kMaxReadBackBytes; // chapter 2 shown whole
    const ChapterScan scan = getChapterRows(path, whole);
    QCOMPARE(scan.rows.size(), 3);
    QVERIFY(scan.rows[0].label.size() >= 1024 * 1024);
    QCOMPARE(scan.rows[1].range(), QStringLiteral("0,3"));
    QCOMPARE(scan.rows[2].range(), QStringLiteral("3,4"));
    const QStringList lines = readChapterLines(scan, 1);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[2].size(), first.size());
}

void TestChapterScan::readSplitContent_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<QString>("html");
    const QByteArray text("0\n1 <b>bold</b> & \"q\"\n2\r\n3\n");
    QTest::newRow("escaped, quotes left") << text << 1 << 1 << "1 &lt;b&gt;bold&lt;/b&gt; &amp; \"q\"<br>";
    QTest::newRow("CR before LF dropped") << text << 2 << 3 << "2<br>3<br>";
    QTest::newRow("past the end adds nothing") << text << 3 << 9 << "3<br>";
    QTest::newRow("wholly past the end") << text << 4 << 9 << "";
    QTest::newRow("first after last") << text << 2 << 1 << "";
    QTest::newRow("line 0") << text << 0 << 0 << "0<br>";
    QTest::newRow("negative first") << text << -3 << 0 << "0<br>";
    QTest::newRow("empty lines") << QByteArray("a\n\n\nb") << 1 << 3 << "<br><br>b<br>";
    QTest::newRow("script stays text") << QByteArray("<script>alert(1)</script>") << 0 << 0
                                       << "&lt;script&gt;alert(1)&lt;/script&gt;<br>";
    QTest::newRow("entity stays text") << QByteArray("&lt;") << 0 << 0 << "&amp;lt;<br>";
    QTest::newRow("empty file") << QByteArray() << 0 << 5 << "";
    QTest::newRow("GBK") << QByteArray("\xCA\xE9\n\xBC\xD7<\n") << 1 << 1 << "甲&lt;<br>";
    const QByteArray mixed("0\r1\r\n2\n\r3\r");
    QTest::newRow("CR, CR LF, LF CR") << mixed << 0 << 9 << "0<br>1<br>2<br><br>3<br>";
    QTest::newRow("nothing after a final CR") << mixed << 5 << 9 << "";
    QTest::newRow("GBK, CR only") << QByteArray("\xCA\xE9\r\xBC\xD7<\r\xD2\xD2") << 1 << 2 << "甲&lt;<br>乙<br>";
    QTest::newRow("GBK lead byte before a CR")
        << QByteArray("\xCA\xE9\r\xB5\r\xBC\xD7") << 1 << 2 << "\uFFFD<br>甲<br>";
    QTest::newRow("UTF-16LE, CR only") << utf16(QStringLiteral("0\r1\r2"), false) << 1 << 2 << "1<br>2<br>";
}

void TestChapterScan::readSplitContent()
{
    QFETCH(QByteArray, content);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(QString, html);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.txt"));
    QVERIFY(writeFile(path, content));
    QCOMPARE(ReadSplitContent(path, first, last), html);
}

void TestChapterScan::chapterByOffsetsEqualsLineRule()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.txt"));
    QVERIFY(writeFile(path, "书\r\n第一章\r\n甲 <i>\r\n\r\n第二章\r\n第三章\r\n乙\r\n&\r"));
    const ChapterScan scan = getChapterRows(path);
    QCOMPARE(scan.rows.size(), 4);
    QCOMPARE(readChapterHtml(scan, 0), QString());
    QCOMPARE(readChapterHtml(scan, 1), QStringLiteral("第一章<br>甲 &lt;i&gt;<br><br>"));
    QCOMPARE(readChapterHtml(scan, 2), QStringLiteral("第二章<br>"));
    // The last line ends in a lone CR, and nothing follows it.
    QCOMPARE(readChapterHtml(scan, 3), QStringLiteral("第三章<br>乙<br>&amp;<br>"));
    for (int row = 0; row < scan.rows.size(); ++row)
        QCOMPARE(readChapterHtml(scan, row), ReadSplitContent(path, scan.rows[row].first + 1, scan.rows[row].last));
    QCOMPARE(readChapterHtml(scan, 4), QString());
    QCOMPARE(readChapterHtml(scan, -1), QString());
}

void TestChapterScan::staleRanges_data()
{
    QTest::addColumn<QByteArray>("changed");
    QTest::addColumn<QString>("lastChapter");
    // The book is scanned as "书\n第一章\n甲\n乙\n第二章\n丙\n丁\n", then rewritten.
    QTest::newRow("shortened: missing lines left out") << QByteArray("书\n第一章\n甲\n乙\n第二章\n") << "第二章<br>";
    QTest::newRow("emptied") << QByteArray() << "";
    QTest::newRow("same size, other text")
        << QByteArray("书\n第一章\n甲\n乙\n第二章\n戊\n己\n") << "第二章<br>戊<br>己<br>";
    QTest::newRow("lines inserted before")
        << QByteArray("书\n序\n第一章\n甲\n乙\n第二章\n丙\n丁\n") << "乙<br>第二章<br>丙<br>";
    QTest::newRow("now GBK") << QByteArray("\xCA\xE9\n1\n2\n3\n4\n\xB1\xFB\n5\n") << "4<br>丙<br>5<br>";
    QTest::newRow("now CR only") << QByteArray("书\r第一章\r甲\r乙\r第二章\r丙\r丁\r") << "第二章<br>丙<br>丁<br>";
    QTest::newRow("now CR LF") << QByteArray("书\r\n第一章\r\n甲\r\n乙\r\n第二章\r\n丙\r\n丁\r\n")
                               << "第二章<br>丙<br>丁<br>";
    QTest::newRow("now GBK, CR only") << QByteArray("\xCA\xE9\r1\r2\r3\r4\r\xB1\xFB\r5") << "4<br>丙<br>5<br>";
    QTest::newRow("now UTF-16BE, CR only")
        << utf16(QStringLiteral("书\r第一章\r甲\r乙\r第二章\r丙\r"), true) << "第二章<br>丙<br>";
}

void TestChapterScan::staleRanges()
{
    QFETCH(QByteArray, changed);
    QFETCH(QString, lastChapter);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.txt"));
    QVERIFY(writeFile(path, "书\n第一章\n甲\n乙\n第二章\n丙\n丁\n"));
    const ChapterScan scan = getChapterRows(path);
    QCOMPARE(describe(scan), (QStringList{"1|0,0|书", "2|0,3|第一章", "3|3,6|第二章"}));
    QVERIFY(scanIsCurrent(scan));

    QVERIFY(writeFile(path, changed));
    // File times can be coarse: make sure the rewrite shows as a change.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(scan.modified.addSecs(5), QFileDevice::FileModificationTime));
    file.close();
    QVERIFY(!scanIsCurrent(scan));
    QCOMPARE(readChapterHtml(scan, 2), lastChapter);
}

void TestChapterScan::novels_data()
{
    QTest::addColumn<QStringList>("copies");
    QTest::addColumn<int>("headings");
    for (const Book& book : books())
        QTest::newRow(book.name) << book.copies << book.headings;
}

// Every copy of a book (GBK, GB18030, UTF-8 with and without BOM, CRLF, UTF-16LE) gives the
// same rows and the same chapter text; ranges join up and cover the book.
void TestChapterScan::novels()
{
    QFETCH(QStringList, copies);
    QFETCH(int, headings);
    if (!QDir(novelsDir()).exists())
        QSKIP("shared test novels not found");
    QStringList reference;
    ChapterScan first;
    for (const QString& name : copies) {
        const ChapterScan scan = getChapterRows(novelsDir() + QLatin1Char('/') + name);
        QVERIFY2(scan.readable, qPrintable(name));
        const TextEncoding encoding = name.contains(QLatin1String("utf16le")) ? TextEncoding::Utf16LE
                                      : name.contains(QLatin1String("bom"))   ? TextEncoding::Utf8Bom
                                      : name.contains(QLatin1String("gb"))    ? TextEncoding::Gb18030
                                                                              : TextEncoding::Utf8;
        QCOMPARE(scan.encoding, encoding);
        QCOMPARE(scan.rows.size(), headings + 1);
        for (int i = 0; i < scan.rows.size(); ++i) {
            QCOMPARE(scan.rows[i].number, i + 1);
            QCOMPARE(scan.rows[i].first, i == 0 ? 0 : scan.rows[i - 1].last);
            QVERIFY(!scan.rows[i].label.contains(QLatin1Char('\r')));
        }
        QCOMPARE(scan.rows.last().last, scan.lineCount - 1);
        if (reference.isEmpty()) {
            reference = describe(scan);
            first = scan;
            continue;
        }
        QCOMPARE(describe(scan), reference);
        for (int row = 0; row < scan.rows.size(); row += 9)
            QCOMPARE(readChapterLines(scan, row), readChapterLines(first, row));
        const int last = int(scan.rows.size()) - 1;
        QCOMPARE(readChapterHtml(scan, last),
                 ReadSplitContent(scan.path, scan.rows[last].first + 1, scan.rows[last].last));
    }
}

void TestChapterScan::tool_data()
{
    novels_data();
}

// The tool prints the same rows for every copy of a book, and a chapter's plain text.
void TestChapterScan::tool()
{
    QFETCH(QStringList, copies);
    QFETCH(int, headings);
    if (!QDir(novelsDir()).exists())
        QSKIP("shared test novels not found");
    if (!QFile::exists(toolPath()))
        QSKIP("quillmere-chapters is not built");
    QByteArray reference;
    for (const QString& name : copies) {
        const QString path = novelsDir() + QLatin1Char('/') + name;
        QProcess process;
        process.start(toolPath(), {path});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        const QByteArray out = process.readAllStandardOutput();
        QCOMPARE(out.count('\n'), headings + 1);
        QCOMPARE(out, chapterListing(getChapterRows(path)));
        if (reference.isEmpty())
            reference = out;
        QCOMPARE(out, reference);

        process.start(toolPath(), {QStringLiteral("--chapter"), QStringLiteral("2"), path});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        const ChapterScan scan = getChapterRows(path);
        const QByteArray text = process.readAllStandardOutput();
        QCOMPARE(text, readChapterLines(scan, 1).join(QLatin1Char('\n')).toUtf8() + '\n');
        QVERIFY(!text.contains("<br>"));
    }
}

void TestChapterScan::toolErrors()
{
    if (!QFile::exists(toolPath()))
        QSKIP("quillmere-chapters is not built");
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("book.txt"));
    QVERIFY(writeFile(book, "书\n第一章\n<甲>\n"));
    const QString crBook = dir.filePath(QStringLiteral("cr.txt"));
    QVERIFY(writeFile(crBook, "书\r第一章\r<甲>\r第二章\r乙"));
    struct Case {
        QStringList args;
        bool ok;
        QByteArray out;
    };
    const QList<Case> cases = {
        {{dir.filePath(QStringLiteral("missing.txt"))}, false, {}},
        {{dir.path()}, false, {}},
        {{}, false, {}},
        {{QStringLiteral("--chapter"), QStringLiteral("9"), book}, false, {}},
        {{QStringLiteral("--chapter"), QStringLiteral("x"), book}, false, {}},
        {{book}, true, "1\t0,0\t书\n2\t0,2\t第一章\n"},
        {{book, QStringLiteral("--chapter"), QStringLiteral("2")}, true, "第一章\n<甲>\n"},
        {{QStringLiteral("--chapter"), QStringLiteral("1"), book}, true, ""},
        {{crBook}, true, "1\t0,0\t书\n2\t0,2\t第一章\n3\t2,4\t第二章\n"},
        {{QStringLiteral("--chapter"), QStringLiteral("2"), crBook}, true, "第一章\n<甲>\n"},
    };
    for (const Case& c : cases) {
        QProcess process;
        process.start(toolPath(), c.args);
        QVERIFY(process.waitForFinished(30000));
        const QString what = c.args.join(QLatin1Char(' '));
        QVERIFY2((process.exitCode() == 0) == c.ok, qPrintable(what));
        if (c.ok)
            QCOMPARE(process.readAllStandardOutput(), c.out);
        else
            QVERIFY2(!process.readAllStandardError().trimmed().isEmpty(), qPrintable(what));
    }
}

QTEST_GUILESS_MAIN(TestChapterScan)
#include "tst_chapterscan.moc"
