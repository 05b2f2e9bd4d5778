#include "reader/text/ChapterParts.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// glibc's GB18030 decodes a four-byte code whose linear index (b1 b2 b3 b4 counted from
// 81 30 81 30) lies in these ranges, and refuses the rest; the decoder then goes on at the
// next byte, so the cut must know the same ranges.
constexpr struct {
    qint64 first;
    qint64 last;
} kFourByteRanges[] = {{0, 19056}, {19065, 39075}, {39086, 39419}, {189000, 1237575}};

bool isTwoByteTrail(unsigned char t)
{
    return (t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFE);
}

bool isDigit(unsigned char b)
{
    return b >= 0x30 && b <= 0x39;
}

// Just past the last line end in window[from, to): an LF, or a CR not followed by LF (a CR
// LF ends just past its LF; one whose LF lies at `to` or beyond does not end in the range). -1
// when there is none. `size` bytes of the window are readable.
qint64 afterLastLineEnd(const char* window, qint64 size, qint64 from, qint64 to, TextEncoding encoding)
{
    if (to <= from)
        return -1;
    if (lineUnitSize(encoding) == 1) {
        const void* lf = memrchr(window + from, '\n', static_cast<size_t>(to - from));
        const qint64 afterLf = lf ? static_cast<const char*>(lf) - window + 1 : -1;
        // Every CR after the last LF is a lone one, but for one right before `to` whose LF follows.
        const qint64 crFrom = lf ? afterLf : from;
        qint64 crTo = to;
        if (crTo > crFrom && window[crTo - 1] == '\r' && crTo < size && window[crTo] == '\n')
            --crTo;
        const void* cr = crTo > crFrom ? memrchr(window + crFrom, '\r', static_cast<size_t>(crTo - crFrom)) : nullptr;
        return cr ? static_cast<const char*>(cr) - window + 1 : afterLf;
    }
    const bool bigEndian = encoding == TextEncoding::Utf16BE;
    const auto unitAt = [&](qint64 i) {
        const char lo = bigEndian ? window[i + 1] : window[i];
        const char hi = bigEndian ? window[i] : window[i + 1];
        return hi == 0 ? lo : '\0';
    };
    for (qint64 i = (to - 2) & ~qint64(1); i >= from; i -= 2) {
        const char c = unitAt(i);
        if (c == '\n' || (c == '\r' && (i + 4 > size || unitAt(i + 2) != '\n')))
            return i + 2;
    }
    return -1;
}

char16_t utf16Unit(const char* p, bool bigEndian)
{
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<char16_t>(bigEndian ? b[0] << 8 | b[1] : b[1] << 8 | b[0]);
}

qint64 gb18030Boundary(const char* window, qint64 size, qint64 limit)
{
    const auto* p = reinterpret_cast<const unsigned char*>(window);
    // A byte below 0x30 is never part of a longer character, so a cut after one is safe; in
    // Chinese text one turns up within a line or two (CR, blank, ASCII punctuation).
    for (qint64 i = limit - 1; i >= limit / 2; --i) {
        if (p[i] < 0x30)
            return i + 1;
    }
    // Otherwise walk the characters from the part's start, exactly as the decoder does.
    qint64 pos = 0;
    while (pos < limit) {
        const int length = gb18030UnitLength(p + pos, size - pos);
        if (pos + length > limit)
            break;
        pos += length;
    }
    return pos;
}

// Big5 trail bytes start at 0x40, so a cut after any lower byte is safe; otherwise the
// characters are walked from the part's start as the decoder takes them.
qint64 big5Boundary(const char* window, qint64 size, qint64 limit)
{
    const auto* p = reinterpret_cast<const unsigned char*>(window);
    for (qint64 i = limit - 1; i >= limit / 2; --i) {
        if (p[i] < 0x40)
            return i + 1;
    }
    const char16_t* table = big5TwoByteTable();
    qint64 pos = 0;
    while (pos < limit) {
        const int length = pos + 1 < size && p[pos] >= 0x81 && table[p[pos] << 8 | p[pos + 1]] != 0 ? 2 : 1;
        if (pos + length > limit)
            break;
        pos += length;
    }
    return pos;
}

} // namespace

int gb18030UnitLength(const unsigned char* p, qint64 avail)
{
    if (avail < 2 || p[0] < 0x81 || p[0] == 0xFF)
        return 1;
    if (isTwoByteTrail(p[1]))
        return 2;
    if (avail < 4 || !isDigit(p[1]) || p[2] < 0x81 || p[2] == 0xFF || !isDigit(p[3]))
        return 1;
    const qint64 linear = ((qint64(p[0] - 0x81) * 10 + (p[1] - 0x30)) * 126 + (p[2] - 0x81)) * 10 + (p[3] - 0x30);
    for (const auto& range : kFourByteRanges) {
        if (linear >= range.first && linear <= range.last)
            return 4;
    }
    return 1;
}

qint64 partLength(const char* window, qint64 size, qint64 limit, TextEncoding encoding)
{
    if (size <= 0)
        return 0;
    limit = std::max<qint64>(limit, 16);
    if (size <= limit)
        return size; // the rest of the chapter fits
    const qint64 half = limit / 2;
    const qint64 afterLineEnd = afterLastLineEnd(window, size, half, limit, encoding);
    if (afterLineEnd > 0)
        return afterLineEnd;

    switch (encoding) {
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom: {
        // Every byte that is not a continuation byte starts a character (or a fault the
        // decoder replaces on its own), and no character is longer than four bytes.
        const auto* p = reinterpret_cast<const unsigned char*>(window);
        for (qint64 k = 0; k <= 3; ++k) {
            if ((p[limit - k] & 0xC0) != 0x80)
                return limit - k;
        }
        return limit;
    }
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        const bool bigEndian = encoding == TextEncoding::Utf16BE;
        qint64 cut = limit & ~qint64(1);
        // Keep a surrogate pair together.
        if (cut >= 4 && cut + 2 <= size && QChar::isHighSurrogate(utf16Unit(window + cut - 2, bigEndian)) &&
            QChar::isLowSurrogate(utf16Unit(window + cut, bigEndian)))
            cut -= 2;
        return cut;
    }
    case TextEncoding::Gb18030:
        return gb18030Boundary(window, size, limit);
    case TextEncoding::Big5:
        return big5Boundary(window, size, limit);
    }
    return limit;
}

bool cutIntoParts(QFile& file, TextEncoding encoding, qint64 begin, qint64 end, qint64 partBytes,
                  const std::function<bool(qint64, qint64)>& onPart)
{
    partBytes = std::max<qint64>(partBytes, 16);
    std::vector<char> window(
        static_cast<size_t>(std::min(partBytes, std::max<qint64>(end - begin, 0)) + kPartLookahead));
    qint64 pos = begin;
    while (pos < end) {
        // Parts of even size: what is left is shared out among as many parts as it needs, so
        // a chapter just over the limit becomes two halves rather than a part and a sliver.
        const qint64 left = end - pos;
        const qint64 parts = (left + partBytes - 1) / partBytes;
        const qint64 limit = std::max<qint64>((left + parts - 1) / parts, 16);
        const qint64 want = std::min<qint64>(left, limit + kPartLookahead);
        if (!file.seek(pos))
            return false;
        qint64 got = 0;
        while (got < want) {
            const qint64 n = file.read(window.data() + got, want - got);
            if (n < 0)
                return false;
            if (n == 0)
                break; // the file is shorter than the scan saw: what is there is the rest
            got += n;
        }
        if (got == 0)
            return true;
        const qint64 length = partLength(window.data(), got, limit, encoding);
        if (length <= 0)
            return false;
        if (!onPart(pos, pos + length))
            return true;
        pos += length;
        if (got < want && length == got)
            return true;
    }
    return true;
}

bool splitOverlongRows(QFile& file, ChapterScan& scan, qint64 partBytes)
{
    scan.partBytes = partBytes;
    const bool anyLong = std::any_of(scan.rows.cbegin(), scan.rows.cend(), [partBytes](const ChapterRow& row) {
        return row.byteBegin >= 0 && row.byteEnd - row.byteBegin > partBytes;
    });
    if (!anyLong)
        return true;

    QList<ChapterRow> rows;
    rows.reserve(scan.rows.size());
    for (const ChapterRow& row : std::as_const(scan.rows)) {
        if (row.byteBegin < 0 || row.byteEnd - row.byteBegin <= partBytes) {
            rows.append(row);
            continue;
        }
        int part = 0;
        const bool ok =
            cutIntoParts(file, scan.encoding, row.byteBegin, row.byteEnd, partBytes, [&](qint64 begin, qint64 end) {
                ChapterRow piece = row;
                piece.part = ++part;
                piece.label = partLabel(row.label, part);
                piece.byteBegin = begin;
                piece.byteEnd = end;
                rows.append(piece);
                return true;
            });
        if (!ok)
            return false;
    }
    for (int i = 0; i < rows.size(); ++i)
        rows[i].number = i + 1;
    scan.rows = std::move(rows);
    return true;
}
