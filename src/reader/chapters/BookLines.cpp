#include "reader/chapters/BookLines.h"

#include <QFile>

#include <algorithm>

namespace {

// The unit at `at` (one byte, or one UTF-16 unit of two), as a number.
inline unsigned unitAt(const QByteArray& bytes, qint64 at, int unit, bool bigEndian)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData()) + at;
    if (unit == 1)
        return p[0];
    return bigEndian ? (unsigned(p[0]) << 8 | p[1]) : (unsigned(p[1]) << 8 | p[0]);
}

// Calls onLine(begin, size, next) for each line of `bytes` from `at`; `next` is just past its end.
template <typename F> void forEachLine(const QByteArray& bytes, TextEncoding encoding, qint64 at, F onLine)
{
    const int unit = lineUnitSize(encoding);
    const bool bigEndian = encoding == TextEncoding::Utf16BE;
    const qint64 size = bytes.size() - bytes.size() % unit;
    qint64 lineBegin = at;
    for (qint64 i = at; i + unit <= size; i += unit) {
        const unsigned u = unitAt(bytes, i, unit, bigEndian);
        if (u != 0x0A && u != 0x0D)
            continue;
        qint64 next = i + unit;
        if (u == 0x0D && next + unit <= size && unitAt(bytes, next, unit, bigEndian) == 0x0A)
            next += unit;
        onLine(lineBegin, i - lineBegin, next);
        lineBegin = next;
        i = next - unit;
    }
    if (lineBegin < size)
        onLine(lineBegin, size - lineBegin, size);
}

QByteArray readRange(QFile& file, qint64 begin, qint64 end)
{
    if (begin < 0 || end <= begin || !file.seek(begin))
        return {};
    return file.read(end - begin);
}

} // namespace

QList<BookLine> linesBetween(QFile& file, TextEncoding encoding, qint64 begin, qint64 end, qint64 maxBytes)
{
    QList<BookLine> lines;
    const QByteArray bytes = readRange(file, begin, std::min(end, begin + maxBytes));
    TextDecoder decoder(encoding);
    forEachLine(bytes, encoding, 0, [&](qint64 at, qint64 size, qint64) {
        lines.append({begin + at, decoder.decode(bytes.constData() + at, size)});
    });
    return lines;
}

QList<BookLine> linesAround(QFile& file, TextEncoding encoding, qint64 textStart, qint64 from, qint64 to)
{
    const int unit = lineUnitSize(encoding);
    from = std::max(from, textStart);
    from -= (from - textStart) % unit;
    // One unit before `from` tells whether a line starts at `from` itself.
    const qint64 readFrom = from > textStart ? from - unit : from;
    const QByteArray bytes = readRange(file, readFrom, std::min(to, file.size()));
    QList<BookLine> lines;
    TextDecoder decoder(encoding);
    bool first = readFrom == textStart;
    forEachLine(bytes, encoding, 0, [&](qint64 at, qint64 size, qint64) {
        if (first)
            lines.append({readFrom + at, decoder.decode(bytes.constData() + at, size)});
        first = true;
    });
    return lines;
}

qint64 countLineEnds(const QByteArray& bytes, TextEncoding encoding)
{
    qint64 count = 0;
    forEachLine(bytes, encoding, 0, [&](qint64, qint64, qint64 next) {
        const qint64 unit = lineUnitSize(encoding);
        const unsigned last = unitAt(bytes, next - unit, int(unit), encoding == TextEncoding::Utf16BE);
        if (last == 0x0A || last == 0x0D)
            ++count;
    });
    return count;
}
