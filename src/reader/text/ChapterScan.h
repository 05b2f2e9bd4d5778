#pragma once

#include "reader/text/TextDecoder.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>
#include <optional>
#include <vector>

// One row of the chapter list: number, line range "a,b" and label. The chapter's text
// is lines a+1..b (zero-based); a is the last line of the previous chapter, 0 for row 1.
// Line numbers and byte offsets are 64-bit: a book may pass 2 GiB and two billion lines.
//
// A chapter too long to show at once is listed as several rows, its parts: each part row
// carries the chapter's line range, the chapter's label with the part number after it, and
// the bytes of its own part.
struct ChapterRow {
    int number = 0;   // 1-based
    qint64 first = 0; // a
    qint64 last = 0;  // b
    QString label;
    int part = 0; // 1-based part of an over-long chapter; 0 for a chapter shown whole
    // Bytes of lines a+1..b in the file as scanned (of the part, for a part): [byteBegin,
    // byteEnd). -1 when unknown.
    qint64 byteBegin = -1;
    qint64 byteEnd = -1;

    QString range() const { return QString::number(first) + QLatin1Char(',') + QString::number(last); }
};

// The result of scanning one book.
struct ChapterScan {
    QString path;
    bool readable = false; // false: the file could not be opened or read
    QString error;         // a Chinese message when !readable
    TextEncoding encoding = TextEncoding::Utf8;
    qint64 fileSize = -1; // size and modification time when scanned, to tell a stale range
    QDateTime modified;
    qint64 lineCount = 0;   // lines in the file (an empty file has none)
    qint64 partBytes = 0;   // the part size the rows were cut with
    QList<ChapterRow> rows; // empty for an empty or unreadable file
};

// How a scan reads and cuts. The defaults serve the reader; tests and the fuzz targets use
// small values to reach the long-line and part paths with small inputs.
struct ScanLimits {
    // A chapter of more bytes than this is listed in parts of at most this many bytes: about
    // 40,000 Chinese characters, several times the longest chapter of a real novel, and what
    // the reading page lays out in a blink and in little memory. (At a megabyte it takes a
    // second and a few hundred MB.)
    static constexpr qint64 kDefaultPartBytes = qint64(128) << 10;

    static constexpr qint64 kMinBufferBytes = 256; // a heading is at most 39 characters

    // The line reader's buffer. A line longer than it is seen only in part: row 1's label
    // is the start of a longer first line, and no such line is a heading.
    qint64 bufferBytes = qint64(1) << 20;
    qint64 partBytes = kDefaultPartBytes; // kept between 64 and kMaxReadBackBytes
    // A book with more bytes than this, in an encoding of one-byte line ends and known before
    // the scan (a byte-order mark, a legacy encoding, the caller's choice), is scanned in pieces
    // at line boundaries on every core, by the built-in heading test or a caller's test that
    // can be split (HeadingTest::forPiece); the rows are the same.
    static constexpr qint64 kDefaultParallelBytes = qint64(4) << 20;
    qint64 parallelFromBytes = kDefaultParallelBytes;
    // Read the book in this encoding rather than the one detected (a byte-order mark of the
    // same encoding is still skipped).
    std::optional<TextEncoding> encoding;
};

// The scan of getChapter: line 0 labels row 1 (or "正文"), every later line matching
// the heading pattern starts a row, and chapters over limits.partBytes are cut into parts.
// It streams the file through a fixed buffer and keeps only the rows. Never throws; an
// unreadable file gives readable=false.
ChapterScan getChapterRows(const QString& path, const ScanLimits& limits = ScanLimits());

// A heading test other than the built-in one, for getChapterRows below. The scan asks
// mayMatch of every line but line 0 on its raw bytes (a line cut short by the buffer is never
// a heading), decodes the lines it lets through and asks isHeading of them.
class HeadingTest {
public:
    virtual ~HeadingTest() = default;
    // A pass over the file begins in `encoding`; a second one follows when the file proves
    // not to be UTF-8, so whatever the test kept from the first is forgotten here.
    virtual void restart(TextEncoding encoding) = 0;
    virtual bool mayMatch(const char* data, qint64 size) = 0;
    // Asked of a line mayMatch let through that is longer than 128 UTF-16 units; false leaves
    // it undecoded and no heading.
    virtual bool wantsLongLine() { return true; }
    // `index` is the zero-based line number, `byteBegin` the file offset of its first byte.
    virtual bool isHeading(QStringView line, qint64 index, qint64 byteBegin) = 0;
    // The rows after the pass, before over-long chapters are cut into parts: the test may
    // join rows here (a row joined to the one before extends it to its own end).
    virtual void rowsFound(ChapterScan& /*scan*/) {}

    // A test that judges every line by itself may share a big book's scan over the cores
    // (see ScanLimits::parallelFromBytes): forPiece() gives a fresh test for one piece of the
    // file, and joinPieces() takes the pieces' tests back, in file order, once all have run.
    // A piece's test counts `index` from the piece's first line; `byteBegin` stays the file
    // offset. nullptr (the default) keeps the scan one pass in order.
    virtual std::unique_ptr<HeadingTest> forPiece() const { return nullptr; }
    virtual void joinPieces(std::vector<std::unique_ptr<HeadingTest>>& /*pieces*/) {}
};

// The same scan with the caller's heading test.
ChapterScan getChapterRows(const QString& path, HeadingTest& test, const ScanLimits& limits = ScanLimits());

// The heading test, applied to a line as read (without its line end: LF, CR LF or a lone
// CR). Declared in HeadingMatcher.h, repeated here for the callers of the scan.
bool isHeadingLine(QStringView line);

// A chapter label from a line: blanks and invisible characters (U+FEFF, U+FFFE, the
// zero-width and direction marks) trimmed from both ends. No character is read as a
// byte-order mark. Row 1's label also loses every CR (firstLine).
QString chapterLabel(QStringView line, bool firstLine = false);

// The label of part `part` (1-based) of the chapter labelled `label` (its first 60
// characters and "…" when it is longer).
QString partLabel(const QString& label, int part);

// True while the file still has the size and modification time it had when scanned, so
// the byte offsets of the rows still hold.
bool scanIsCurrent(const ChapterScan& scan);

// The most bytes one read-back of a line range takes from the file; what lies beyond is
// left out, as lines missing from the file are.
constexpr qint64 kMaxReadBackBytes = qint64(64) << 20;

// Lines first..last (zero-based, inclusive) as HTML: each line escaped ("<", ">", "&")
// and followed by "<br>". An index past the last line adds nothing; an unreadable file
// gives the empty text.
QString ReadSplitContent(const QString& path, qint64 first, qint64 last);

// The same lines as plain text, without escaping or "<br>".
QStringList readLines(const QString& path, qint64 first, qint64 last);

// The text of row `rowIndex` (0-based) of `scan` (lines a+1..b, or the row's part), plain.
// Reads only the row's bytes while the file is as scanned; otherwise it counts lines
// afresh (and cuts the parts afresh), so a stale range still leaves missing lines out
// without error, and never reads more than one part.
QStringList readChapterLines(const ChapterScan& scan, int rowIndex);

// Row `rowIndex` (0-based) of `scan` as ReadSplitContent would give it for lines a+1..b,
// by the rule of readChapterLines.
QString readChapterHtml(const ChapterScan& scan, int rowIndex);
// Lines as readChapterHtml shows them: each escaped and followed by <br>.
QString chapterLinesHtml(const QStringList& lines);

// Book text is data: "<", ">" and "&" are escaped so that no line can become markup.
void appendEscapedLine(QString& html, QStringView line);
