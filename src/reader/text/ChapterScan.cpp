#include "reader/text/ChapterScan.h"

#include "reader/text/ChapterParts.h"
#include "reader/text/EncodingDetector.h"
#include "reader/text/HeadingMatcher.h"
#include "reader/text/LineReader.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <functional>

namespace {

// What a label loses at both ends: blanks, and characters that show as nothing (byte-order
// marks left inside the text by joined files, zero-width spaces and joiners, direction marks).
bool isTrimmed(char16_t c)
{
    switch (c) {
    case u' ':
    case u'\xFEFF':
    case u'\xFFFE':
    case u'\x200B':
    case u'\x200C':
    case u'\x200D':
    case u'\x200E':
    case u'\x200F':
    case u'\x2060':
        return true;
    default:
        return false;
    }
}

enum class PassResult { Done, NotUtf8, ReadError };

// One pass over the file in the given encoding, from byte `start`. With checkUtf8 the pass
// gives up as soon as a byte shows the file is not UTF-8, and the caller starts again in the
// legacy encoding: a GBK book shows that within its first Chinese character.
template <typename Policy>
PassResult scanPass(QFile& file, TextEncoding encoding, qint64 start, bool checkUtf8, qint64 bufferBytes,
                    ChapterScan& scan, Policy& policy)
{
    scan.rows.clear();
    scan.lineCount = 0;
    if (!file.seek(start))
        return PassResult::ReadError;
    LineReader reader(file, encoding, start, checkUtf8, bufferBytes);
    TextDecoder decoder(encoding);
    policy.restart(encoding, decoder);

    RawLine line;
    qint64 index = -1;
    QByteArray firstLine;
    qint64 p = 0;
    qint64 fileEnd = start;
    while (reader.next(line)) {
        if (checkUtf8 && !reader.utf8Valid())
            return PassResult::NotUtf8;
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
        QString text;
        if (line.truncated || !policy.isHeading(line, index, text))
            continue;
        const qint64 i = index;
        ChapterRow& previous = scan.rows.last();
        previous.first = p;
        previous.last = i - 1;
        previous.byteEnd = line.begin;
        p = i - 1;
        ChapterRow row;
        row.number = static_cast<int>(scan.rows.size()) + 1;
        row.label = chapterLabel(text);
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
    lastRow.last = index;
    lastRow.byteEnd = fileEnd;
    scan.lineCount = index + 1;

    const QString label = chapterLabel(decoder.decode(firstLine), true);
    scan.rows.first().label = label.isEmpty() ? QStringLiteral("正文") : label;
    return PassResult::Done;
}

} // namespace

QString chapterLabel(QStringView line, bool firstLine)
{
    QString text;
    if (firstLine) {
        text = line.toString();
        text.remove(QLatin1Char('\r'));
        line = text;
    }
    qsizetype b = 0;
    qsizetype e = line.size();
    while (b < e && isTrimmed(line[b].unicode()))
        ++b;
    while (e > b && isTrimmed(line[e - 1].unicode()))
        --e;
    return line.mid(b, e - b).toString();
}

QString partLabel(const QString& label, int part)
{
    // Row 1's label is line 0, which may be long; every part carries its label, so only the
    // start of a long one is repeated.
    constexpr qsizetype kMaxBase = 60;
    QString base = label;
    if (base.size() > kMaxBase) {
        base.truncate(base.at(kMaxBase - 1).isHighSurrogate() ? kMaxBase - 1 : kMaxBase);
        base += QChar(0x2026);
    }
    return QStringLiteral("%1（第%2部分）").arg(base, QString::number(part));
}

namespace {

// The built-in heading test: the byte prefilter, then the hand-written matcher on the line.
class DefaultHeadings {
public:
    void restart(TextEncoding encoding, TextDecoder& decoder)
    {
        m_prefilter = &HeadingPrefilter::forEncoding(encoding);
        m_decoder = &decoder;
    }
    bool isHeading(const RawLine& line, qint64 /*index*/, QString& text)
    {
        if (!m_prefilter->mayMatch(line.data, line.size))
            return false;
        char16_t units[kMaxHeadingUnits];
        int count = 0;
        switch (m_prefilter->decodeShort(line.data, line.size, units, count)) {
        case HeadingPrefilter::ShortText::TooLong:
            return false;
        case HeadingPrefilter::ShortText::Decoded:
            if (!isHeadingLine(QStringView(units, count)))
                return false;
            // The units as they are: no byte-order guess.
            text = QString(reinterpret_cast<const QChar*>(units), count);
            return true;
        case HeadingPrefilter::ShortText::Unsure:
            text = m_decoder->decode(line.data, line.size);
            return isHeadingLine(text);
        }
        return false;
    }

private:
    const HeadingPrefilter* m_prefilter = nullptr;
    TextDecoder* m_decoder = nullptr; // the pass's own
};

// A heading test of the caller's.
class OtherHeadings {
public:
    explicit OtherHeadings(HeadingTest& test) : m_test(test) {}
    void restart(TextEncoding encoding, TextDecoder& decoder)
    {
        m_prefilter = &HeadingPrefilter::forEncoding(encoding);
        m_decoder = &decoder;
        m_test.restart(encoding);
    }
    bool isHeading(const RawLine& line, qint64 index, QString& text)
    {
        if (!m_test.mayMatch(line.data, line.size))
            return false;
        // Short lines the quick way, as the built-in test decodes them, with room for the
        // longer headings other tests allow.
        constexpr int kUnits = 128;
        char16_t units[kUnits];
        int count = 0;
        const HeadingPrefilter::ShortText decoded =
            m_prefilter->decodeShort(line.data, line.size, units, count, kUnits);
        if (decoded == HeadingPrefilter::ShortText::Decoded) {
            if (!m_test.isHeading(QStringView(units, count), index, line.begin))
                return false;
            text = QString(reinterpret_cast<const QChar*>(units), count);
            return true;
        }
        if (decoded == HeadingPrefilter::ShortText::TooLong && !m_test.wantsLongLine())
            return false;
        text = m_decoder->decode(line.data, line.size);
        return m_test.isHeading(text, index, line.begin);
    }

private:
    HeadingTest& m_test;
    const HeadingPrefilter* m_prefilter = nullptr;
    TextDecoder* m_decoder = nullptr; // the pass's own
};

template <typename Policy>
ChapterScan scanFile(const QString& path, const ScanLimits& limits, Policy& policy,
                     const std::function<void(ChapterScan&)>& rowsFound)
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
    if (file.read(head, sizeof head) < 0) {
        scan.error = unreadable;
        return scan;
    }
    // A byte-order mark, UTF-16 or the caller's choice decide at once; a plain file is read
    // as UTF-8 until a byte proves otherwise, and the samples then tell GB18030 from Big5.
    DetectedEncoding detected;
    bool decided = true;
    if (limits.encoding)
        detected = EncodingDetector::withEncoding(file, *limits.encoding);
    else
        decided = EncodingDetector::detectBeforeScan(file, detected);
    TextEncoding encoding = detected.encoding;
    // The buffer holds at least the longest heading, which must never be cut off.
    const qint64 bufferBytes = std::max<qint64>(limits.bufferBytes, ScanLimits::kMinBufferBytes);
    PassResult result = scanPass(file, encoding, detected.start, !decided, bufferBytes, scan, policy);
    if (result == PassResult::NotUtf8) {
        encoding = EncodingDetector::legacyEncoding(file);
        result = scanPass(file, encoding, 0, false, bufferBytes, scan, policy);
    }
    scan.encoding = encoding;
    if (result == PassResult::Done && rowsFound)
        rowsFound(scan);
    if (result == PassResult::Done &&
        !splitOverlongRows(file, scan, std::clamp<qint64>(limits.partBytes, 64, kMaxReadBackBytes)))
        result = PassResult::ReadError;
    if (result == PassResult::ReadError) {
        scan.rows.clear();
        scan.lineCount = 0;
        scan.error = unreadable;
        return scan;
    }
    scan.readable = true;
    return scan;
}

} // namespace

ChapterScan getChapterRows(const QString& path, const ScanLimits& limits)
{
    DefaultHeadings policy;
    return scanFile(path, limits, policy, {});
}

ChapterScan getChapterRows(const QString& path, HeadingTest& test, const ScanLimits& limits)
{
    OtherHeadings policy(test);
    return scanFile(path, limits, policy, [&test](ChapterScan& scan) { test.rowsFound(scan); });
}

bool scanIsCurrent(const ChapterScan& scan)
{
    if (!scan.readable)
        return false;
    const QFileInfo info(scan.path);
    return info.exists() && info.size() == scan.fileSize && info.lastModified() == scan.modified;
}
