#include "reader/text/HeadingMatcher.h"

#include <QString>

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr int kMaxBefore = 6;        // characters allowed before a keyword
constexpr int kMaxAfterKeyword = 30; // characters allowed after it
constexpr int kMaxNumerals = 4;
constexpr int kMaxAfterNumber = 20;

const char16_t kNumerals[] = u"一二两三四五六七八九十○零百千0123456789１２３４５６７８９０";

bool isNumeral(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return true;
    if (c >= u'０' && c <= u'９') // full-width digits are one contiguous block
        return true;
    switch (c) {
    case u'一':
    case u'二':
    case u'两':
    case u'三':
    case u'四':
    case u'五':
    case u'六':
    case u'七':
    case u'八':
    case u'九':
    case u'十':
    case u'○':
    case u'零':
    case u'百':
    case u'千':
        return true;
    default:
        return false;
    }
}

bool isNumberSeparator(char16_t c)
{
    switch (c) {
    case u'、':
    case u'，':
    case u'：':
    case u' ':
    case u'\f':
    case u'\n':
    case u'\r':
    case u'\t':
    case u'\v':
    case u'\x3000':
        return true;
    default:
        return false;
    }
}

bool isLetter(char16_t c, char lower)
{
    return c == static_cast<char16_t>(lower) || c == static_cast<char16_t>(lower - 'a' + 'A');
}

// Length of the keyword starting at `k`, 0 when none does.
int keywordAt(QStringView line, qsizetype k)
{
    const qsizetype n = line.size();
    const char16_t c = line[k].unicode();
    if (c == u'第')
        return 1;
    if (k + 1 < n) {
        const char16_t d = line[k + 1].unicode();
        if ((c == u'正' && d == u'文') || (c == u'作' && d == u'品'))
            return 2;
    }
    if (k + 2 < n && isLetter(c, 'v') && isLetter(line[k + 1].unicode(), 'i') && isLetter(line[k + 2].unicode(), 'p'))
        return 3;
    return 0;
}

} // namespace

bool isHeadingLine(QStringView line)
{
    const qsizetype n = line.size();
    if (n == 0 || n > kMaxHeadingUnits)
        return false;
    // "." never crosses an LF; lines of a book hold none, but the test stays exact for any text.
    const qsizetype firstLf = line.indexOf(u'\n');
    const qsizetype lastLf = line.lastIndexOf(u'\n');

    // First shape: a keyword among the first seven characters, at most thirty after it.
    for (qsizetype k = 0; k <= kMaxBefore && k < n; ++k) {
        if (firstLf >= 0 && firstLf < k)
            break;
        const int length = keywordAt(line, k);
        if (length > 0 && n - (k + length) <= kMaxAfterKeyword && lastLf < k)
            return true;
    }

    // Second shape: one to four numerals, a separator, at most twenty more. Numerals and
    // separators are disjoint sets, so the run of numerals decides alone.
    qsizetype m = 0;
    while (m < n && m <= kMaxNumerals && isNumeral(line[m].unicode()))
        ++m;
    if (m == 0 || m > kMaxNumerals || m >= n || !isNumberSeparator(line[m].unicode()))
        return false;
    return n - (m + 1) <= kMaxAfterNumber && lastLf <= m;
}

const HeadingPrefilter& HeadingPrefilter::forEncoding(TextEncoding encoding)
{
    static const HeadingPrefilter utf8(TextEncoding::Utf8);
    static const HeadingPrefilter gb18030(TextEncoding::Gb18030);
    static const HeadingPrefilter utf16le(TextEncoding::Utf16LE);
    static const HeadingPrefilter utf16be(TextEncoding::Utf16BE);
    switch (encoding) {
    case TextEncoding::Big5: {
        static const HeadingPrefilter big5(TextEncoding::Big5); // rare: built only when met
        return big5;
    }
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

HeadingPrefilter::HeadingPrefilter(TextEncoding encoding) : m_encoding(encoding)
{
    const int bytesPerUnit = lineUnitSize(encoding) == 2 ? 2 : 4;
    m_maxLineBytes = qint64(kMaxHeadingUnits) * bytesPerUnit;
    m_keywordWindow = qint64(kMaxBefore) * bytesPerUnit;
    m_numberedMaxBytes = qint64(kMaxNumerals + 1 + kMaxAfterNumber) * bytesPerUnit;
    if (lineUnitSize(encoding) == 2) {
        m_bytesOnly = true; // rare files: decoding every short line costs nothing worth saving
        return;
    }
    for (const char16_t* k : {u"第", u"正文", u"作品", u"vip"}) {
        Pattern pattern;
        pattern.bytes = encodeText(QString::fromUtf16(k), encoding);
        pattern.foldMask = QByteArray(pattern.bytes.size(), '\0');
        for (int i = 0; i < pattern.bytes.size(); ++i)
            if (pattern.bytes[i] >= 'a' && pattern.bytes[i] <= 'z')
                pattern.foldMask[i] = 0x20;
        m_keywords.append(pattern);
    }
    for (const char16_t* c = kNumerals; *c; ++c) {
        const QByteArray bytes = encodeText(QString(QChar(*c)), encoding);
        if (bytes.size() == 1) {
            m_digitFirst[static_cast<unsigned char>(bytes[0])] = true;
        } else if (bytes.size() >= 2) {
            const unsigned pair = static_cast<unsigned char>(bytes[0]) << 8 | static_cast<unsigned char>(bytes[1]);
            m_numeralPair[pair >> 6] |= quint64(1) << (pair & 63);
        }
    }
    if (encoding == TextEncoding::Gb18030)
        gb18030TwoByteTable(); // built now rather than in the middle of the first scan
    if (encoding == TextEncoding::Big5)
        big5TwoByteTable();
}

bool HeadingPrefilter::numeralStart(const unsigned char* p, qint64 size) const
{
    if (m_digitFirst[p[0]])
        return true;
    if (size < 2)
        return false;
    const unsigned pair = unsigned(p[0]) << 8 | p[1];
    return (m_numeralPair[pair >> 6] >> (pair & 63)) & 1;
}

// Whether the first two bytes of a keyword stand at a byte offset the keyword could begin at.
// The check runs on every short line of a book, so it compares 32 offsets at once.
bool HeadingPrefilter::keywordNear(const unsigned char* p, qint64 size) const
{
    if (size < 2)
        return false;
    const qint64 window = std::min(size - 2, m_keywordWindow); // last start offset that fits two bytes
    alignas(16) unsigned char head[48] = {};
    std::memcpy(head, p, static_cast<size_t>(std::min<qint64>(size, 33)));
    quint32 mask = 0;
#if defined(__SSE2__)
    const __m128i a0 = _mm_load_si128(reinterpret_cast<const __m128i*>(head));
    const __m128i a1 = _mm_load_si128(reinterpret_cast<const __m128i*>(head + 16));
    const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(head + 1));
    const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(head + 17));
    __m128i hit0 = _mm_setzero_si128();
    __m128i hit1 = _mm_setzero_si128();
    for (const Pattern& k : m_keywords) {
        const __m128i x = _mm_set1_epi8(k.bytes[0]);
        const __m128i y = _mm_set1_epi8(k.bytes[1]);
        const __m128i fx = _mm_set1_epi8(k.foldMask[0]);
        const __m128i fy = _mm_set1_epi8(k.foldMask[1]);
        hit0 = _mm_or_si128(
            hit0, _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a0, fx), x), _mm_cmpeq_epi8(_mm_or_si128(b0, fy), y)));
        hit1 = _mm_or_si128(
            hit1, _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a1, fx), x), _mm_cmpeq_epi8(_mm_or_si128(b1, fy), y)));
    }
    mask = quint32(_mm_movemask_epi8(hit0)) | quint32(_mm_movemask_epi8(hit1)) << 16;
#else
    for (int i = 0; i < 32; ++i)
        for (const Pattern& k : m_keywords)
            if ((head[i] | quint8(k.foldMask[0])) == quint8(k.bytes[0]) &&
                (head[i + 1] | quint8(k.foldMask[1])) == quint8(k.bytes[1]))
                mask |= quint32(1) << i;
#endif
    return (mask & ((quint32(2) << window) - 1)) != 0;
}

bool HeadingPrefilter::mayMatch(const char* data, qint64 size) const
{
    if (size <= 0 || size > m_maxLineBytes)
        return false;
    if (m_bytesOnly)
        return true;
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    return (size <= m_numberedMaxBytes && numeralStart(p, size)) || keywordNear(p, size);
}

HeadingPrefilter::ShortText HeadingPrefilter::decodeShort(const char* data, qint64 size, char16_t* units, int& count,
                                                          int capacity) const
{
    count = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    qint64 i = 0;
    const auto push = [&](char16_t u) {
        if (count == capacity)
            return false;
        units[count++] = u;
        return true;
    };
    switch (m_encoding) {
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE:
        if (size & 1)
            return ShortText::Unsure;
        for (; i < size; i += 2) {
            const bool be = m_encoding == TextEncoding::Utf16BE;
            if (!push(static_cast<char16_t>(be ? p[i] << 8 | p[i + 1] : p[i + 1] << 8 | p[i])))
                return ShortText::TooLong;
        }
        return ShortText::Decoded;
    case TextEncoding::Big5: {
        const char16_t* table = big5TwoByteTable();
        while (i < size) {
            const unsigned char c = p[i];
            char16_t u = c;
            if (c >= 0x80) {
                u = c >= 0x81 && i + 1 < size ? table[c << 8 | p[i + 1]] : 0;
                if (u == 0)
                    return ShortText::Unsure;
                ++i;
            }
            ++i;
            if (!push(u))
                return ShortText::TooLong;
        }
        return ShortText::Decoded;
    }
    case TextEncoding::Gb18030: {
        const char16_t* table = gb18030TwoByteTable();
        while (i < size) {
            const unsigned char c = p[i];
            char16_t u = 0;
            if (c < 0x80) {
                u = c;
                i += 1;
            } else if (c != 0x80 && c != 0xFF && i + 1 < size) {
                u = table[c << 8 | p[i + 1]]; // 0 for trails outside the two-byte ranges
                i += 2;
            }
            if (u == 0 && c != 0)
                return ShortText::Unsure;
            if (!push(u))
                return ShortText::TooLong;
        }
        return ShortText::Decoded;
    }
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom:
        while (i < size) {
            const unsigned char c = p[i];
            char32_t cp = 0;
            int length = 0;
            if (c < 0x80) {
                cp = c;
                length = 1;
            } else if (c >= 0xC2 && c <= 0xDF) {
                cp = c & 0x1F;
                length = 2;
            } else if (c >= 0xE0 && c <= 0xEF) {
                cp = c & 0x0F;
                length = 3;
            } else if (c >= 0xF0 && c <= 0xF4) {
                cp = c & 0x07;
                length = 4;
            } else {
                return ShortText::Unsure;
            }
            if (i + length > size)
                return ShortText::Unsure;
            for (int k = 1; k < length; ++k) {
                if ((p[i + k] & 0xC0) != 0x80)
                    return ShortText::Unsure;
                cp = cp << 6 | (p[i + k] & 0x3F);
            }
            // Overlong forms, surrogates and code points past U+10FFFF are left to the full decoder.
            if ((length == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
                (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
                return ShortText::Unsure;
            i += length;
            if (cp >= 0x10000) {
                if (!push(QChar::highSurrogate(cp)) || !push(QChar::lowSurrogate(cp)))
                    return ShortText::TooLong;
            } else if (!push(static_cast<char16_t>(cp))) {
                return ShortText::TooLong;
            }
        }
        return ShortText::Decoded;
    }
    return ShortText::Unsure;
}
