// Reading a chapter back: by the byte offsets the scan recorded while the file is unchanged,
// by counting lines afresh otherwise.
#include "reader/text/ChapterScan.h"

#include "reader/text/LineReader.h"

#include <QFile>

namespace {

// Where lines first..last lie in a file, and how it is encoded.
struct LineSpan {
    TextEncoding encoding = TextEncoding::Utf8;
    qint64 begin = -1;
    qint64 end = -1;
    int count = 0;
};

enum class SpanResult { Found, NotUtf8, Failed };

SpanResult locatePass(QFile& file, TextEncoding encoding, bool checkUtf8, int first, int last, LineSpan& span)
{
    span = LineSpan();
    span.encoding = encoding;
    const qint64 start = bomLength(encoding);
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

bool locateLines(QFile& file, int first, int last, LineSpan& span)
{
    char head[3] = {};
    const qint64 got = file.read(head, sizeof head);
    if (got < 0)
        return false;
    TextEncoding encoding = TextEncoding::Utf8;
    const bool hasBom = encodingFromBom(head, got, encoding);
    SpanResult result = locatePass(file, encoding, !hasBom, first, last, span);
    if (result == SpanResult::NotUtf8)
        result = locatePass(file, TextEncoding::Gb18030, false, first, last, span);
    return result == SpanResult::Found;
}

// The lines held in bytes [begin, end) of the file, which start at a line start.
QStringList readSpan(QFile& file, TextEncoding encoding, qint64 begin, qint64 end)
{
    if (end <= begin || !file.seek(begin))
        return {};
    const QByteArray bytes = file.read(end - begin);
    TextDecoder decoder(encoding);
    const QString text = decoder.decode(bytes);
    QStringList lines;
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype lf = text.indexOf(u'\n', from);
        if (lf < 0) {
            lines.append(text.mid(from)); // the file's last line, without LF
            break;
        }
        qsizetype to = lf;
        if (to > from && text[to - 1] == u'\r')
            --to;
        lines.append(text.mid(from, to - from));
        from = lf + 1;
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

QStringList readLines(const QString& path, int first, int last)
{
    first = std::max(first, 0);
    if (last < first)
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    LineSpan span;
    if (!locateLines(file, first, last, span) || span.count == 0)
        return {};
    return readSpan(file, span.encoding, span.begin, span.end);
}

QString ReadSplitContent(const QString& path, int first, int last)
{
    return toHtml(readLines(path, first, last));
}

QStringList readChapterLines(const ChapterScan& scan, int rowIndex)
{
    if (rowIndex < 0 || rowIndex >= scan.rows.size())
        return {};
    const ChapterRow& row = scan.rows[rowIndex];
    if (row.byteBegin >= 0 && row.byteEnd >= row.byteBegin && scanIsCurrent(scan)) {
        QFile file(scan.path);
        if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            QStringList lines = readSpan(file, scan.encoding, row.byteBegin, row.byteEnd);
            // The offsets are trusted only while they still cut the file into the scanned lines.
            if (lines.size() == std::max(0, row.last - row.first))
                return lines;
        }
    }
    return readLines(scan.path, row.first + 1, row.last);
}

QString readChapterHtml(const ChapterScan& scan, int rowIndex)
{
    return toHtml(readChapterLines(scan, rowIndex));
}
