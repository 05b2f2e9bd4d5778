#include "reader/text/ChapterScan.h"

#include "reader/text/HeadingMatcher.h"
#include "reader/text/LineReader.h"

#include <QFile>
#include <QFileInfo>

#include <limits>

namespace {

QString trimBlanks(QStringView s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && s[b] == u' ')
        ++b;
    while (e > b && s[e - 1] == u' ')
        --e;
    return s.mid(b, e - b).toString();
}

const HeadingPrefilter& prefilterFor(TextEncoding encoding)
{
    // Built once per encoding: it encodes the keywords through iconv.
    static const HeadingPrefilter utf8(TextEncoding::Utf8);
    static const HeadingPrefilter gb18030(TextEncoding::Gb18030);
    static const HeadingPrefilter utf16le(TextEncoding::Utf16LE);
    static const HeadingPrefilter utf16be(TextEncoding::Utf16BE);
    switch (encoding) {
    case TextEncoding::Gb18030:
        return gb18030;
    case TextEncoding::Utf16LE:
        return utf16le;
    case TextEncoding::Utf16BE:
        return utf16be;
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom:
        break;
    }
    return utf8;
}

enum class PassResult { Done, NotUtf8, ReadError };

// One pass over the file in the given encoding. With checkUtf8 the pass gives up as soon
// as a byte shows the file is not UTF-8, and the caller starts again in GB18030: a GBK book
// shows that within its first Chinese character.
PassResult scanPass(QFile& file, TextEncoding encoding, bool checkUtf8, ChapterScan& scan)
{
    scan.rows.clear();
    scan.lineCount = 0;
    const qint64 start = bomLength(encoding);
    if (!file.seek(start))
        return PassResult::ReadError;
    LineReader reader(file, encoding, start, checkUtf8);
    const HeadingPrefilter& prefilter = prefilterFor(encoding);
    TextDecoder decoder(encoding);

    RawLine line;
    qint64 index = -1;
    QByteArray firstLine;
    int p = 0;
    qint64 fileEnd = start;
    while (reader.next(line)) {
        if (checkUtf8 && !reader.utf8Valid())
            return PassResult::NotUtf8;
        if (index + 1 >= std::numeric_limits<int>::max())
            break; // line numbers are ints; a file of two billion lines ends here
        ++index;
        fileEnd = line.end;
        if (index == 0) {
            firstLine = QByteArray(line.data, static_cast<qsizetype>(line.size));
            ChapterRow row;
            row.number = 1;
            row.byteBegin = line.end;
            scan.rows.append(row);
            continue;
        }
        if (line.truncated || !prefilter.mayMatch(line.data, line.size))
            continue;
        char16_t units[kMaxHeadingUnits];
        int count = 0;
        QString text;
        switch (prefilter.decodeShort(line.data, line.size, units, count)) {
        case HeadingPrefilter::ShortText::TooLong:
            continue;
        case HeadingPrefilter::ShortText::Decoded:
            if (!isHeadingLine(QStringView(units, count)))
                continue;
            text = QString::fromUtf16(units, count);
            break;
        case HeadingPrefilter::ShortText::Unsure:
            text = decoder.decode(line.data, line.size);
            if (!isHeadingLine(text))
                continue;
            break;
        }
        const int i = static_cast<int>(index);
        ChapterRow& previous = scan.rows.last();
        previous.first = p;
        previous.last = i - 1;
        previous.byteEnd = line.begin;
        p = i - 1;
        ChapterRow row;
        row.number = static_cast<int>(scan.rows.size()) + 1;
        row.label = trimBlanks(text);
        row.first = p;
        row.last = i - 1;
        row.byteBegin = line.begin;
        scan.rows.append(row);
    }
    if (reader.readError())
        return PassResult::ReadError;
    if (checkUtf8 && !reader.utf8Valid())
        return PassResult::NotUtf8;
    if (index < 0)
        return PassResult::Done; // no line at all: no rows

    ChapterRow& lastRow = scan.rows.last();
    lastRow.first = p;
    lastRow.last = static_cast<int>(index);
    lastRow.byteEnd = fileEnd;
    scan.lineCount = static_cast<int>(index) + 1;

    QString label = trimBlanks(decoder.decode(firstLine));
    label.remove(QLatin1Char('\r'));
    label = trimBlanks(label);
    scan.rows.first().label = label.isEmpty() ? QStringLiteral("正文") : label;
    return PassResult::Done;
}

} // namespace

ChapterScan getChapterRows(const QString& path)
{
    ChapterScan scan;
    scan.path = path;
    const QString unreadable = QStringLiteral("无法读取文件：\n%1").arg(path);
    QFile file(path);
    const QFileInfo info(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        scan.error = unreadable;
        return scan;
    }
    scan.fileSize = info.size();
    scan.modified = info.lastModified();

    char head[3] = {};
    const qint64 got = file.read(head, sizeof head);
    if (got < 0) {
        scan.error = unreadable;
        return scan;
    }
    TextEncoding encoding = TextEncoding::Utf8;
    const bool hasBom = encodingFromBom(head, got, encoding);
    PassResult result = scanPass(file, encoding, !hasBom, scan);
    if (result == PassResult::NotUtf8) {
        encoding = TextEncoding::Gb18030;
        result = scanPass(file, encoding, false, scan);
    }
    if (result == PassResult::ReadError) {
        scan.rows.clear();
        scan.lineCount = 0;
        scan.error = unreadable;
        return scan;
    }
    scan.encoding = encoding;
    scan.readable = true;
    return scan;
}

bool scanIsCurrent(const ChapterScan& scan)
{
    if (!scan.readable)
        return false;
    const QFileInfo info(scan.path);
    return info.exists() && info.size() == scan.fileSize && info.lastModified() == scan.modified;
}
