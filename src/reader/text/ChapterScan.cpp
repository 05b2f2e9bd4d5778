#include "reader/text/ChapterScan.h"

#include "reader/text/ChapterParts.h"
#include "reader/text/EncodingDetector.h"
#include "reader/text/HeadingMatcher.h"
#include "reader/text/LineReader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

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

// The heading lines of one piece of a book, a run of whole lines: where each is, by line
// number and byte offset within the piece, and its label.
struct PieceHeading {
    qint64 index = 0;
    qint64 begin = 0;
    QString label;
};

struct Piece {
    qint64 base = 0; // file offset of the piece's first byte
    qint64 size = 0;
    std::vector<PieceHeading> headings;
    qint64 lines = 0;
    QByteArray firstLine; // the first piece's line 0, which labels row 1
    qint64 firstLineEnd = 0;
};

// Bytes [begin, end) of a book file, as a device of their own that ends where the piece ends.
class FileRange : public QIODevice {
public:
    FileRange(const QString& path, qint64 begin, qint64 end) : m_file(path), m_begin(begin), m_end(end) {}
    bool openRange()
    {
        return m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) && m_file.seek(m_begin) &&
               open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    qint64 size() const override { return m_end - m_begin; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 left = m_end - m_begin - m_read;
        const qint64 got = left <= 0 ? 0 : m_file.read(data, std::min(maxSize, left));
        if (got > 0)
            m_read += got;
        return got;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QFile m_file;
    qint64 m_begin;
    qint64 m_end;
    qint64 m_read = 0;
};

template <typename Policy>
bool scanPiece(const QString& path, TextEncoding encoding, qint64 bufferBytes, bool first, Piece& piece, Policy& policy)
{
    FileRange device(path, piece.base, piece.base + piece.size);
    if (!device.openRange())
        return false;
    LineReader reader(device, encoding, 0, false, bufferBytes);
    TextDecoder decoder(encoding);
    policy.restart(encoding, decoder);
    RawLine line;
    qint64 index = -1;
    while (reader.next(line)) {
        ++index;
        if (first && index == 0) {
            piece.firstLine = QByteArray(line.data, static_cast<qsizetype>(line.size));
            piece.firstLineEnd = line.end;
            continue;
        }
        QString text;
        if (!line.truncated && policy.isHeading(line, index, text))
            piece.headings.push_back({index, line.begin, chapterLabel(text)});
    }
    piece.lines = index + 1;
    return !reader.readError() && line.end == piece.size;
}

// The first byte after the first LF at or after `from`; `size` when there is none.
qint64 afterLineEnd(QFile& file, qint64 from, qint64 size)
{
    char block[16384];
    if (!file.seek(from))
        return size;
    for (qint64 at = from; at < size;) {
        const qint64 got = file.read(block, sizeof block);
        if (got <= 0)
            return size;
        if (const void* lf = std::memchr(block, '\n', static_cast<size_t>(got)))
            return at + (static_cast<const char*>(lf) - block) + 1;
        at += got;
    }
    return size;
}

// The pass of scanPass for a book already known not to need the UTF-8 check, split at line
// ends over the cores, each piece read through a descriptor of its own. A line end byte (LF)
// never stands inside a character of UTF-8, GB18030 or Big5, and every line of a piece is
// whole, so each line is read exactly as the single pass reads it; the rows are then made
// from the headings in order, as scanPass makes them.
template <typename Policy>
bool parallelPass(QFile& file, TextEncoding encoding, qint64 start, qint64 bufferBytes, ChapterScan& scan,
                  Policy& policy)
{
    const qint64 size = file.size();
    const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 2U, 8U);
    std::vector<Piece> pieces;
    qint64 from = start;
    for (unsigned i = 1; i <= cores && from < size; ++i) {
        const qint64 to =
            i < cores ? afterLineEnd(file, std::max(from, start + (size - start) * i / cores), size) : size;
        pieces.push_back({from, to - from, {}, 0, {}, 0});
        from = to;
    }
    const QString path = file.fileName();
    std::vector<Policy> policies = policy.forPieces(pieces.size());
    if (policies.size() != pieces.size())
        return false; // a test that follows the lines in order: the single pass reads them
    for (size_t i = 0; i < pieces.size(); ++i)
        policies[i].setBase(pieces[i].base);
    std::vector<char> ok(pieces.size(), 0);
    std::vector<std::thread> workers;
    for (size_t i = 1; i < pieces.size(); ++i)
        workers.emplace_back(
            [&, i] { ok[i] = scanPiece<Policy>(path, encoding, bufferBytes, false, pieces[i], policies[i]); });
    ok[0] = scanPiece<Policy>(path, encoding, bufferBytes, true, pieces[0], policies[0]);
    for (std::thread& worker : workers)
        worker.join();
    // A piece that could not be read whole (the file changed or failed under the scan): the
    // single pass decides, and reports it.
    if (std::find(ok.begin(), ok.end(), 0) != ok.end())
        return false;
    policy.joinPieces(policies);

    scan.rows.clear();
    ChapterRow firstRow;
    firstRow.number = 1;
    firstRow.byteBegin = pieces.front().base + pieces.front().firstLineEnd; // row 1's text follows line 0
    scan.rows.append(firstRow);
    qint64 p = 0;
    qint64 lineBase = 0;
    for (const Piece& piece : pieces) {
        for (const PieceHeading& heading : piece.headings) {
            const qint64 i = lineBase + heading.index;
            ChapterRow& previous = scan.rows.last();
            previous.first = p;
            previous.last = i - 1;
            previous.byteEnd = piece.base + heading.begin;
            p = i - 1;
            ChapterRow row;
            row.number = static_cast<int>(scan.rows.size()) + 1;
            row.label = heading.label;
            row.first = p;
            row.last = i - 1;
            row.byteBegin = piece.base + heading.begin;
            scan.rows.append(row);
        }
        lineBase += piece.lines;
    }
    const QByteArray& firstLine = pieces.front().firstLine;
    ChapterRow& lastRow = scan.rows.last();
    lastRow.first = p;
    lastRow.last = lineBase - 1;
    lastRow.byteEnd = size;
    scan.lineCount = lineBase;
    TextDecoder decoder(encoding);
    const QString label = chapterLabel(decoder.decode(firstLine), true);
    scan.rows.first().label = label.isEmpty() ? QStringLiteral("正文") : label;
    return true;
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
    // It holds nothing between lines, so a big book may be split over the cores.
    std::vector<DefaultHeadings> forPieces(size_t count) const { return std::vector<DefaultHeadings>(count); }
    void setBase(qint64 /*base*/) {}
    void joinPieces(std::vector<DefaultHeadings>& /*pieces*/) {}

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

    // One policy per piece, each over a test of its own; none when the caller's test follows
    // the lines in order (forPiece gives nothing).
    std::vector<OtherHeadings> forPieces(size_t count)
    {
        m_pieceTests.clear();
        std::vector<OtherHeadings> policies;
        policies.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            std::unique_ptr<HeadingTest> test = m_test.forPiece();
            if (!test) {
                m_pieceTests.clear();
                return {};
            }
            m_pieceTests.push_back(std::move(test));
            policies.emplace_back(*m_pieceTests.back());
        }
        return policies;
    }
    // The file offset of the piece's first byte: the lines' offsets are counted from it.
    void setBase(qint64 base) { m_base = base; }
    void joinPieces(std::vector<OtherHeadings>& /*pieces*/)
    {
        m_test.joinPieces(m_pieceTests);
        m_pieceTests.clear();
    }

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
            if (!m_test.isHeading(QStringView(units, count), index, m_base + line.begin))
                return false;
            text = QString(reinterpret_cast<const QChar*>(units), count);
            return true;
        }
        if (decoded == HeadingPrefilter::ShortText::TooLong && !m_test.wantsLongLine())
            return false;
        text = m_decoder->decode(line.data, line.size);
        return m_test.isHeading(text, index, m_base + line.begin);
    }

private:
    HeadingTest& m_test;
    std::vector<std::unique_ptr<HeadingTest>> m_pieceTests; // while the pieces run
    qint64 m_base = 0;
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
    // A book known in its encoding before the pass may go over every core; a plain book is
    // judged UTF-8 on the way, in order, by one pass.
    const auto pass = [&](TextEncoding inEncoding, qint64 start, bool checkUtf8) {
        if (!checkUtf8 && lineUnitSize(inEncoding) == 1 && scan.fileSize - start > limits.parallelFromBytes &&
            parallelPass<Policy>(file, inEncoding, start, bufferBytes, scan, policy))
            return PassResult::Done;
        return scanPass(file, inEncoding, start, checkUtf8, bufferBytes, scan, policy);
    };
    PassResult result = pass(encoding, detected.start, !decided);
    if (result == PassResult::NotUtf8) {
        encoding = EncodingDetector::legacyEncoding(file);
        result = pass(encoding, 0, false);
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
