#include "reader/position/LineBytes.h"

namespace {

constexpr char16_t kLf = u'\n';
constexpr char16_t kCr = u'\r';

struct Units {
    const unsigned char* data;
    qint64 size; // in units
    int width;
    bool bigEndian;

    Units(const char* bytes, qint64 byteSize, TextEncoding encoding)
        : data(reinterpret_cast<const unsigned char*>(bytes)), width(lineUnitSize(encoding)),
          bigEndian(encoding == TextEncoding::Utf16BE)
    {
        size = byteSize / width;
    }

    char16_t at(qint64 i) const
    {
        if (width == 1)
            return data[i];
        const unsigned char* p = data + 2 * i;
        return bigEndian ? char16_t(p[0] << 8 | p[1]) : char16_t(p[1] << 8 | p[0]);
    }
};

} // namespace

qint64 countLineEnds(const char* data, qint64 size, TextEncoding encoding)
{
    const Units u(data, size, encoding);
    qint64 ends = 0;
    for (qint64 i = 0; i < u.size; ++i) {
        const char16_t c = u.at(i);
        if (c == kLf)
            ++ends;
        else if (c == kCr && (i + 1 == u.size || u.at(i + 1) != kLf))
            ++ends;
    }
    return ends;
}

qint64 lineStartOffset(const char* data, qint64 size, qint64 line, TextEncoding encoding)
{
    if (line <= 0)
        return 0;
    const Units u(data, size, encoding);
    qint64 seen = 0;
    for (qint64 i = 0; i < u.size; ++i) {
        const char16_t c = u.at(i);
        if (c == kLf || (c == kCr && (i + 1 == u.size || u.at(i + 1) != kLf))) {
            if (++seen == line)
                return (i + 1) * u.width;
        }
    }
    return -1;
}

qint64 lineEndOffset(const char* data, qint64 size, qint64 from, TextEncoding encoding)
{
    const Units u(data, size, encoding);
    for (qint64 i = from / u.width; i < u.size; ++i) {
        const char16_t c = u.at(i);
        if (c == kLf || c == kCr)
            return i * u.width;
    }
    return size;
}

bool startsLine(const char* data, qint64 size, qint64 pos, TextEncoding encoding, bool atTextStart)
{
    const Units u(data, size, encoding);
    const qint64 i = pos / u.width;
    if (pos % u.width != 0 || i > u.size)
        return false;
    if (i == 0)
        return atTextStart;
    const char16_t before = u.at(i - 1);
    if (before == kLf)
        return true;
    return before == kCr && (i == u.size || u.at(i) != kLf);
}
