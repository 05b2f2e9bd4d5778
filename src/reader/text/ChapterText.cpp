// Reading a chapter back: by the byte offsets the scan recorded while the file is unchanged,
// by counting lines afresh otherwise. No read-back takes more than a bounded number of bytes.
#include "reader/text/ChapterScan.h"

#include "reader/text/ChapterParts.h"
#include "reader/text/EncodingDetector.h"
#include "reader/text/LineReader.h"

#include <QFile>

#include <algorithm>

namespace {

// Where lines first..last lie in a file, and how it is encoded.
struct LineSpan {
    TextEncoding encoding = TextEncoding::Utf8;
    qint64 begin = -1;
    qint64 end = -1;
    qint64 count = 0;
};

enum class SpanResult { Found, NotUtf8, Failed };

SpanResult locatePass(QFile& file, TextEncoding encoding, qint64 start, bool checkUtf8, qint64 first, qint64 last,
                      LineSpan& span)
{
    span = LineSpan();
    span.encoding = encoding;
    if (!file.seek(start))
        return SpanResult::Failed;
    LineReader reader(file, encoding, start, checkUtf8);
    RawLine line;
    qint64 index = -1;
    while (reader.next(line)) {
        if (checkUtf8 && !reader.utf8Valid())
            return SpanResult::NotUtf8;
        ++index;
        if (index == first)
            span.begin = line.begin;
        if (index >= first && index <= last) {
            span.end = line.end;
            ++span.count;
        }
        // Past the wanted lines only the UTF-8 question can still need the rest of the file.
        if (index >= last && !checkUtf8)
            break;
    }
    if (reader.readError())
        return SpanResult::Failed;
    if (checkUtf8 && !reader.utf8Valid())
        return SpanResult::NotUtf8;
    return SpanResult::Found;
}

bool locateLines(QFile& file, qint64 first, qint64 last, LineSpan& span)
{
    char head[3] = {};
    if (file.read(head, sizeof head) < 0)
        return false;
    DetectedEncoding detected;
    const bool decided = EncodingDetector::detectBeforeScan(file, detected);
    SpanResult result = locatePass(file, detected.encoding, detected.start, !decided, first, last, span);
    if (result == SpanResult::NotUtf8)
        result = locatePass(file, EncodingDetector::legacyEncoding(file), 0, false, first, last, span);
    return result == SpanResult::Found;
}

// The end of the first part of [begin, end) when it is longer than `maxBytes`; `end` otherwise.
qint64 boundedEnd(QFile& file, TextEncoding encoding, qint64 begin, qint64 end, qint64 maxBytes)
{
    if (end - begin <= maxBytes)
        return end;
    qint64 cut = begin;
    cutIntoParts(file, encoding, begin, end, maxBytes, [&cut](qint64, qint64 partEnd) {
        cut = partEnd;
        return false;
    });
    return cut;
}

// The lines held in bytes [begin, end) of the file, which start at a line start (or, for a
// part, at a character boundary). A part ending inside a line gives that line's first piece,
// and a part starting inside one its last piece (an empty line when it starts at the LF of
// a CR LF).
QStringList readSpan(QFile& file, TextEncoding encoding, qint64 begin, qint64 end)
{
    if (end <= begin || !file.seek(begin))
        return {};
    const QByteArray bytes = file.read(end - begin);
    TextDecoder decoder(encoding);
    const QString text = decoder.decode(bytes);
    // Lines end as the scan counts them: at LF, CR LF or a lone CR. The next LF and the next
    // CR are each looked up only once passed, so a book without one of them costs one search.
    QStringList lines;
    const qsizetype size = text.size();
    qsizetype nextLf = text.indexOf(u'\n');
    qsizetype nextCr = text.indexOf(u'\r');
    qsizetype from = 0;
    while (from < size) {
        if (nextLf >= 0 && nextLf < from)
            nextLf = text.indexOf(u'\n', from);
        if (nextCr >= 0 && nextCr < from)
            nextCr = text.indexOf(u'\r', from);
        const qsizetype stop = nextLf < 0 ? nextCr : nextCr < 0 ? nextLf : std::min(nextLf, nextCr);
        if (stop < 0) {
            lines.append(text.mid(from)); // the file's last line, without a line end
            break;
        }
        lines.append(text.mid(from, stop - from));
        from = stop + 1;
        if (stop == nextCr && from < size && text[from] == u'\n')
            ++from;
    }
    return lines;
}

QString toHtml(const QStringList& lines)
{
    qsizetype size = 0;
    for (const QString& line : lines)
        size += line.size() + 4;
    QString html;
    html.reserve(size + size / 8);
    for (const QString& line : lines) {
        appendEscapedLine(html, line);
        html += QStringLiteral("<br>");
    }
    return html;
}

// A row read by counting lines, because the file changed since the scan: the row's lines
// are found afresh and, for a part, cut into parts afresh; at most one part is read.
QStringList readStaleRow(const ChapterScan& scan, const ChapterRow& row)
{
    QFile file(scan.path);
    if (row.last <= row.first || !file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    LineSpan span;
    if (!locateLines(file, row.first + 1, row.last, span) || span.count == 0)
        return {};
    const qint64 partBytes =
        std::min(scan.partBytes > 0 ? scan.partBytes : ScanLimits::kDefaultPartBytes, kMaxReadBackBytes);
    const int wanted = std::max(row.part, 1);
    qint64 begin = -1;
    qint64 end = -1;
    int part = 0;
    cutIntoParts(file, span.encoding, span.begin, span.end, partBytes, [&](qint64 b, qint64 e) {
        if (++part < wanted)
            return true;
        begin = b;
        end = e;
        return false;
    });
    return begin < 0 ? QStringList() : readSpan(file, span.encoding, begin, end);
}

} // namespace

void appendEscapedLine(QString& html, QStringView line)
{
    qsizetype plain = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char16_t c = line[i].unicode();
        if (c != u'<' && c != u'>' && c != u'&')
            continue;
        html += line.mid(plain, i - plain);
        html += c == u'<' ? QLatin1String("&lt;") : c == u'>' ? QLatin1String("&gt;") : QLatin1String("&amp;");
        plain = i + 1;
    }
    html += line.mid(plain);
}

QStringList readLines(const QString& path, qint64 first, qint64 last)
{
    first = std::max<qint64>(first, 0);
    if (last < first)
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    LineSpan span;
    if (!locateLines(file, first, last, span) || span.count == 0)
        return {};
    const qint64 end = boundedEnd(file, span.encoding, span.begin, span.end, kMaxReadBackBytes);
    return readSpan(file, span.encoding, span.begin, end);
}

QString ReadSplitContent(const QString& path, qint64 first, qint64 last)
{
    return toHtml(readLines(path, first, last));
}

QStringList readChapterLines(const ChapterScan& scan, int rowIndex)
{
    if (rowIndex < 0 || rowIndex >= scan.rows.size())
        return {};
    const ChapterRow& row = scan.rows[rowIndex];
    const bool knownBytes = row.byteBegin >= 0 && row.byteEnd >= row.byteBegin;
    if (knownBytes && scanIsCurrent(scan)) {
        QFile file(scan.path);
        if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            const qint64 end = boundedEnd(file, scan.encoding, row.byteBegin, row.byteEnd, kMaxReadBackBytes);
            QStringList lines = readSpan(file, scan.encoding, row.byteBegin, end);
            // The offsets are trusted only while they still cut the file into the scanned lines.
            if (row.part > 0 || lines.size() == std::max<qint64>(0, row.last - row.first))
                return lines;
        }
    }
    return readStaleRow(scan, row);
}

QString readChapterHtml(const ChapterScan& scan, int rowIndex)
{
    return toHtml(readChapterLines(scan, rowIndex));
}

QString chapterLinesHtml(const QStringList& lines)
{
    return toHtml(lines);
}
