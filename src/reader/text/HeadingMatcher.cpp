#include "reader/text/HeadingMatcher.h"

#include <QString>

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

HeadingPrefilter::HeadingPrefilter(TextEncoding encoding)
{
    const int bytesPerUnit = lineUnitSize(encoding) == 2 ? 2 : 4;
    m_maxLineBytes = qint64(kMaxHeadingUnits) * bytesPerUnit;
    m_keywordWindow = qint64(kMaxBefore) * bytesPerUnit;
    m_numberedMaxBytes = qint64(kMaxNumerals + 1 + kMaxAfterNumber) * bytesPerUnit;
    if (lineUnitSize(encoding) == 2) {
        m_bytesOnly = true; // rare files: decoding every short line costs nothing worth saving
        return;
    }
    const auto add = [encoding](QList<Pattern>& list, std::array<bool, 256>& first, const QString& text) {
        Pattern pattern;
        pattern.bytes = encodeText(text, encoding);
        pattern.foldMask = QByteArray(pattern.bytes.size(), '\0');
        for (int i = 0; i < pattern.bytes.size(); ++i) {
            const char b = pattern.bytes[i];
            if (b >= 'a' && b <= 'z')
                pattern.foldMask[i] = 0x20;
        }
        list.append(pattern);
        const auto lead = static_cast<unsigned char>(pattern.bytes[0]);
        first[lead] = true;
        if (pattern.foldMask[0])
            first[lead & ~0x20] = true;
    };
    for (const char16_t* k : {u"第", u"正文", u"作品", u"vip"})
        add(m_keywords, m_keywordFirst, QString::fromUtf16(k));
    for (const char16_t* c = kNumerals; *c; ++c)
        add(m_numerals, m_numeralFirst, QString(QChar(*c)));
}

bool HeadingPrefilter::matchesAt(const Pattern& pattern, const unsigned char* p)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(pattern.bytes.constData());
    const auto* fold = reinterpret_cast<const unsigned char*>(pattern.foldMask.constData());
    for (qsizetype i = 0; i < pattern.bytes.size(); ++i)
        if ((p[i] | fold[i]) != bytes[i])
            return false;
    return true;
}

bool HeadingPrefilter::mayMatch(const char* data, qint64 size) const
{
    if (size <= 0 || size > m_maxLineBytes)
        return false;
    if (m_bytesOnly)
        return true;
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    if (size <= m_numberedMaxBytes && m_numeralFirst[p[0]]) {
        for (const Pattern& pattern : m_numerals)
            if (pattern.bytes.size() <= size && matchesAt(pattern, p))
                return true;
    }
    const qint64 window = std::min(size - 1, m_keywordWindow);
    for (qint64 i = 0; i <= window; ++i) {
        if (!m_keywordFirst[p[i]])
            continue;
        for (const Pattern& pattern : m_keywords)
            if (i + pattern.bytes.size() <= size && matchesAt(pattern, p + i))
                return true;
    }
    return false;
}
