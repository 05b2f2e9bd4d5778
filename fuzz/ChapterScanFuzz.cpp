// Fuzz target: the chapter scan and the read-back of chapters. Each input is written to a
// file and scanned three ways (the reader's buffer, a tiny buffer, tiny parts); the rows must
// agree with each other and with the file, and every read-back must stay inside its row.
#include "FuzzCheck.h"
#include "reader/text/ChapterListing.h"
#include "reader/text/ChapterScan.h"
#include "reader/text/EncodingDetector.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cstddef>
#include <cstdint>

#include <unistd.h>

namespace {

// The file each input is written to, in memory where possible, removed when the run ends.
struct BookFile {
    QString path;
    BookFile()
    {
        const QString shm = QStringLiteral("/dev/shm");
        const QString dir = QFileInfo(shm).isWritable() ? shm : QDir::tempPath();
        path = QStringLiteral("%1/quillmere-fuzz-scan-%2.txt").arg(dir).arg(qint64(getpid()));
    }
    ~BookFile() { QFile::remove(path); }
};

QString bookPath()
{
    static const BookFile file;
    return file.path;
}

bool writeBook(const QByteArray& bytes)
{
    QFile f(bookPath());
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Whether the text unit at bytes[i] (one byte, or two in UTF-16) is the ASCII character c.
bool unitIs(const QByteArray& bytes, qint64 i, int unit, bool bigEndian, char c)
{
    if (unit == 1)
        return bytes[i] == c;
    return bigEndian ? bytes[i] == 0 && bytes[i + 1] == c : bytes[i] == c && bytes[i + 1] == 0;
}

// Lines as the reader counts them after any byte-order mark: ended by LF, CR LF or a lone CR,
// and a last line without a line end. Also where line 0 ends.
struct Lines {
    qint64 count = 0;
    qint64 firstEnd = -1;
};

Lines countLines(const QByteArray& bytes, qint64 start, int unit, bool bigEndian)
{
    Lines lines;
    qint64 lastEnd = start;
    for (qint64 i = start; i + unit <= bytes.size(); i += unit) {
        const bool lf = unitIs(bytes, i, unit, bigEndian, '\n');
        if (!lf && !unitIs(bytes, i, unit, bigEndian, '\r'))
            continue;
        if (!lf && i + 2 * unit <= bytes.size() && unitIs(bytes, i + unit, unit, bigEndian, '\n'))
            i += unit; // CR LF is one line end
        if (lines.firstEnd < 0)
            lines.firstEnd = i + unit;
        ++lines.count;
        lastEnd = i + unit;
    }
    if (lastEnd < bytes.size()) {
        ++lines.count;
        if (lines.firstEnd < 0)
            lines.firstEnd = bytes.size();
    }
    return lines;
}

// The book with every LF unit made a CR, as old Mac files end their lines; empty when the book
// has no LF or a CR of its own.
QByteArray crForLf(const QByteArray& bytes, TextEncoding encoding, qint64 start)
{
    const int unit = lineUnitSize(encoding);
    const bool bigEndian = encoding == TextEncoding::Utf16BE;
    QByteArray out = bytes;
    bool changed = false;
    for (qint64 i = start; i + unit <= out.size(); i += unit) {
        if (unitIs(out, i, unit, bigEndian, '\r'))
            return {};
        if (unitIs(out, i, unit, bigEndian, '\n')) {
            out[bigEndian ? i + 1 : i] = '\r';
            changed = true;
        }
    }
    return changed ? out : QByteArray();
}

qint64 units(const QStringList& lines)
{
    qint64 total = 0;
    for (const QString& line : lines)
        total += line.size();
    return total;
}

void checkWholeRows(const QByteArray& bytes, const ChapterScan& scan)
{
    const qint64 start = EncodingDetector::detect(bytes).start; // past a byte-order mark
    const Lines lines = countLines(bytes, start, lineUnitSize(scan.encoding), scan.encoding == TextEncoding::Utf16BE);
    FUZZ_CHECK(scan.lineCount == lines.count, "lines counted as the file has them");
    FUZZ_CHECK(scan.rows.isEmpty() == (lines.count == 0), "rows exactly when there are lines");
    if (scan.rows.isEmpty())
        return;
    FUZZ_CHECK(scan.rows.first().byteBegin == lines.firstEnd, "row 1 starts after line 0");
    FUZZ_CHECK(scan.rows.last().byteEnd == bytes.size(), "the last row ends at the end of the file");
    FUZZ_CHECK(scan.rows.last().last == scan.lineCount - 1, "the last row ends at the last line");
    FUZZ_CHECK(!scan.rows.first().label.isEmpty() && !scan.rows.first().label.contains(QLatin1Char('\r')),
               "row 1 is labelled, without CR");
    for (int i = 0; i < scan.rows.size(); ++i) {
        const ChapterRow& row = scan.rows[i];
        FUZZ_CHECK(row.number == i + 1, "rows numbered from 1");
        FUZZ_CHECK(row.part == 0, "no parts");
        FUZZ_CHECK(row.first <= row.last && row.last < scan.lineCount, "range ordered and inside the file");
        FUZZ_CHECK(row.first == (i == 0 ? 0 : scan.rows[i - 1].last), "ranges join up");
        FUZZ_CHECK(row.byteBegin <= row.byteEnd && row.byteEnd <= bytes.size(), "bytes inside the file");
        FUZZ_CHECK(i == 0 || row.byteBegin == scan.rows[i - 1].byteEnd, "bytes join up");
        FUZZ_CHECK(chapterLabel(row.label, i == 0) == row.label, "labels trimmed");
    }
    // Read-back: the rows' lines, by offsets and by counting lines alike, never past the row.
    for (int i = 0; i < scan.rows.size() && i < 12; ++i) {
        const ChapterRow& row = scan.rows[i];
        const QStringList lines = readChapterLines(scan, i);
        FUZZ_CHECK(lines.size() == row.last - row.first, "a row reads back its lines");
        FUZZ_CHECK(units(lines) <= row.byteEnd - row.byteBegin, "read-back never past the row");
        FUZZ_CHECK(readChapterHtml(scan, i) == ReadSplitContent(scan.path, row.first + 1, row.last),
                   "offsets and line counting agree");
        if (i > 0) {
            const QStringList heading = readLines(scan.path, row.first + 1, row.first + 1);
            FUZZ_CHECK(heading.size() == 1 && isHeadingLine(heading.first()), "a row starts at a heading");
            FUZZ_CHECK(chapterLabel(heading.first()) == row.label, "the label is the heading");
        }
    }
    FUZZ_CHECK(readChapterLines(scan, -1).isEmpty() && readChapterLines(scan, int(scan.rows.size())).isEmpty(),
               "no rows outside the list");
    FUZZ_CHECK(readLines(scan.path, scan.lineCount, scan.lineCount + 3).isEmpty(), "nothing past the last line");
}

// `parts` is `whole` with every row over partBytes cut into parts.
void checkParts(const QByteArray& bytes, const ChapterScan& whole, const ChapterScan& parts, qint64 partBytes)
{
    TextDecoder decoder(whole.encoding);
    int at = 0;
    for (const ChapterRow& row : whole.rows) {
        FUZZ_CHECK(at < parts.rows.size(), "every chapter listed");
        if (row.byteEnd - row.byteBegin <= partBytes) {
            const ChapterRow& same = parts.rows[at++];
            FUZZ_CHECK(same.part == 0 && same.label == row.label && same.range() == row.range() &&
                           same.byteBegin == row.byteBegin && same.byteEnd == row.byteEnd,
                       "a chapter within the limit stays as it is");
            continue;
        }
        QString joined;
        qint64 pos = row.byteBegin;
        int part = 0;
        while (at < parts.rows.size() && parts.rows[at].byteBegin < row.byteEnd) {
            const ChapterRow& piece = parts.rows[at++];
            ++part;
            FUZZ_CHECK(piece.part == part && piece.label == partLabel(row.label, part), "parts numbered and labelled");
            FUZZ_CHECK(piece.range() == row.range(), "parts keep their chapter's lines");
            FUZZ_CHECK(piece.byteBegin == pos && piece.byteEnd > pos, "parts join up");
            FUZZ_CHECK(piece.byteEnd - piece.byteBegin <= partBytes, "parts within the limit");
            joined += decoder.decode(bytes.constData() + piece.byteBegin, piece.byteEnd - piece.byteBegin);
            pos = piece.byteEnd;
            const QStringList lines = readChapterLines(parts, at - 1);
            FUZZ_CHECK(units(lines) <= piece.byteEnd - piece.byteBegin, "a part reads back within itself");
        }
        FUZZ_CHECK(part >= 2 && pos == row.byteEnd, "an over-long chapter is cut into parts covering it");
        FUZZ_CHECK(joined == decoder.decode(bytes.constData() + row.byteBegin, row.byteEnd - row.byteBegin),
                   "the parts decode to the chapter");
    }
    FUZZ_CHECK(at == parts.rows.size(), "no rows beyond the chapters");
    for (int i = 0; i < parts.rows.size(); ++i)
        FUZZ_CHECK(parts.rows[i].number == i + 1, "parts numbered from 1");
}

// The rows' text as read back, of the first rows.
QList<QStringList> firstRowsText(const ChapterScan& scan)
{
    QList<QStringList> text;
    for (int i = 0; i < scan.rows.size() && i < 12; ++i)
        text.append(readChapterLines(scan, i));
    return text;
}

// A scan of the CR copy of a book gives what the scan of the book gave.
void checkSameScan(const ChapterScan& lf, const QList<QStringList>& lfText, const ChapterScan& cr)
{
    FUZZ_CHECK(cr.encoding == lf.encoding && cr.lineCount == lf.lineCount, "CR line ends: same encoding and lines");
    FUZZ_CHECK(chapterListing(cr) == chapterListing(lf), "CR line ends: same rows");
    for (int i = 0; i < lf.rows.size() && i < cr.rows.size(); ++i)
        FUZZ_CHECK(cr.rows[i].byteBegin == lf.rows[i].byteBegin && cr.rows[i].byteEnd == lf.rows[i].byteEnd,
                   "CR line ends: same bytes");
    FUZZ_CHECK(firstRowsText(cr) == lfText, "CR line ends: same text");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (!writeBook(bytes))
        return 0;

    ScanLimits whole;
    whole.partBytes = kMaxReadBackBytes;
    const ChapterScan scan = getChapterRows(bookPath(), whole);
    FUZZ_CHECK(scan.readable, "a readable file scans");
    FUZZ_CHECK(scan.fileSize == qint64(size), "the scan saw the whole file");
    TextEncoding bomEncoding = TextEncoding::Utf8;
    if (encodingFromBom(bytes.constData(), bytes.size(), bomEncoding))
        FUZZ_CHECK(scan.encoding == bomEncoding, "a byte-order mark names the encoding");
    else
        FUZZ_CHECK(scan.encoding == EncodingDetector::detect(bytes).encoding,
                   "streamed and whole-file detection agree");
    checkWholeRows(bytes, scan);

    // A small line buffer gives the same rows; only row 1's label, the start of line 0, is
    // shorter when line 0 outgrows the buffer.
    ScanLimits tiny = whole;
    tiny.bufferBytes = ScanLimits::kMinBufferBytes + qint64(size % 64);
    const ChapterScan again = getChapterRows(bookPath(), tiny);
    FUZZ_CHECK(again.rows.size() == scan.rows.size(), "the buffer size changes no row");
    for (int i = 0; i < scan.rows.size(); ++i) {
        const ChapterRow& a = again.rows[i];
        const ChapterRow& b = scan.rows[i];
        FUZZ_CHECK(a.range() == b.range() && a.byteBegin == b.byteBegin && a.byteEnd == b.byteEnd,
                   "the buffer size moves no row");
        FUZZ_CHECK(a.label == b.label || (i == 0 && b.byteBegin >= tiny.bufferBytes - 2),
                   "the buffer size keeps labels");
    }

    // Small parts.
    ScanLimits small;
    small.partBytes = 64 + qint64(size % 193);
    const ChapterScan parts = getChapterRows(bookPath(), small);
    checkParts(bytes, scan, parts, small.partBytes);

    // Old Mac line ends: the book with every LF made a CR has the same rows, parts and text.
    const QByteArray crCopy = crForLf(bytes, scan.encoding, EncodingDetector::detect(bytes).start);
    if (!crCopy.isEmpty()) {
        const QList<QStringList> wholeText = firstRowsText(scan);
        const QList<QStringList> partsText = firstRowsText(parts);
        if (writeBook(crCopy)) {
            checkSameScan(scan, wholeText, getChapterRows(bookPath(), whole));
            checkSameScan(parts, partsText, getChapterRows(bookPath(), small));
        }
    }

    // The file changes under the scan: every read-back stays within one part.
    if (!parts.rows.isEmpty() && writeBook(bytes.left(bytes.size() / 2) + bytes)) {
        for (int i = 0; i < parts.rows.size() && i < 8; ++i)
            FUZZ_CHECK(units(readChapterLines(parts, i)) <= small.partBytes, "a stale read-back stays bounded");
    }
    return 0;
}
