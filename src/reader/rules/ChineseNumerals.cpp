#include "reader/rules/ChineseNumerals.h"

#include <algorithm>
#include <vector>

namespace {

// The power of ten a unit character stands for, 0 when `c` is none.
qint64 unitValue(char16_t c)
{
    switch (c) {
    case u'十':
    case u'拾':
        return 10;
    case u'百':
    case u'佰':
        return 100;
    case u'千':
    case u'仟':
        return 1000;
    case u'万':
    case u'萬':
        return 10000;
    case u'亿':
    case u'億':
        return 100000000;
    default:
        return 0;
    }
}

// 廿 and 卅 are twenty and thirty in one character.
qint64 tensValue(char16_t c)
{
    return c == u'廿' ? 20 : c == u'卅' ? 30 : 0;
}

constexpr qint64 kMaxNumber = 1000000000;

} // namespace

int numeralDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'０' && c <= u'９')
        return c - u'０';
    switch (c) {
    case u'零':
    case u'〇':
    case u'○':
    case u'◯':
        return 0;
    case u'一':
    case u'壹':
        return 1;
    case u'二':
    case u'两':
    case u'兩':
    case u'贰':
    case u'貳':
        return 2;
    case u'三':
    case u'叁':
    case u'參':
        return 3;
    case u'四':
    case u'肆':
        return 4;
    case u'五':
    case u'伍':
        return 5;
    case u'六':
    case u'陆':
    case u'陸':
        return 6;
    case u'七':
    case u'柒':
        return 7;
    case u'八':
    case u'捌':
        return 8;
    case u'九':
    case u'玖':
        return 9;
    default:
        return -1;
    }
}

bool isNumeralChar(char16_t c)
{
    // Asked of every character near the start of every heading: one look-up.
    static const std::vector<bool> numerals = [] {
        std::vector<bool> table(0x10000);
        for (char32_t u = 0; u < 0x10000; ++u) {
            const auto c16 = static_cast<char16_t>(u);
            table[u] = numeralDigit(c16) >= 0 || unitValue(c16) > 0 || tensValue(c16) > 0;
        }
        return table;
    }();
    return numerals[c];
}

qint64 parseChineseNumber(QStringView text)
{
    if (text.isEmpty())
        return -1;
    bool hasUnit = false;
    for (QChar ch : text) {
        const char16_t c = ch.unicode();
        if (!isNumeralChar(c))
            return -1;
        hasUnit = hasUnit || unitValue(c) > 0 || tensValue(c) > 0;
    }
    if (!hasUnit) {
        // Digits one by one, as in "一○○" or "2024".
        qint64 value = 0;
        for (QChar ch : text) {
            value = value * 10 + numeralDigit(ch.unicode());
            if (value > kMaxNumber)
                return -1;
        }
        return value;
    }
    // Positional: each unit multiplies the digit before it; 万 and 亿 close a section.
    qint64 total = 0;
    qint64 section = 0;
    qint64 digit = -1;            // the digit waiting for its unit, -1 when none
    qint64 lastUnit = kMaxNumber; // units inside a section must fall: 千 before 百 before 十
    qint64 sectionUnit = kMaxNumber * 10;
    qint64 lastSeen = 0; // the unit just before a trailing digit, as in "三百五"
    bool zeroBefore = false;
    for (QChar ch : text) {
        const char16_t c = ch.unicode();
        if (const qint64 tens = tensValue(c)) {
            if (digit > 0 || lastUnit <= 10)
                return -1;
            section += tens;
            digit = -1;
            lastUnit = lastSeen = 10;
            zeroBefore = false;
            continue;
        }
        const qint64 unit = unitValue(c);
        if (unit == 0) {
            const int d = numeralDigit(c);
            if (digit > 0)
                return -1; // two digits in a row inside a positional number
            digit = d == 0 ? -1 : d;
            if (d == 0)
                zeroBefore = true;
            continue;
        }
        if (unit >= 10000) {
            const qint64 value = section + std::max<qint64>(digit, 0);
            if (unit >= sectionUnit || value == 0)
                return -1;
            total += value * unit;
            section = 0;
            digit = -1;
            lastUnit = kMaxNumber;
            sectionUnit = lastSeen = unit;
            zeroBefore = false;
            continue;
        }
        if (unit >= lastUnit)
            return -1;
        if (digit < 0) {
            if (unit != 10)
                return -1; // only ten stands without its digit: "十二", "一百十"
            digit = 1;
        }
        section += digit * unit;
        digit = -1;
        lastUnit = lastSeen = unit;
        zeroBefore = false;
    }
    if (digit > 0)
        section += digit * (zeroBefore || lastSeen < 100 ? 1 : lastSeen / 10);
    total += section;
    return total > kMaxNumber ? -1 : total;
}

qint64 headingNumber(QStringView heading, int window)
{
    const qsizetype n = heading.size();
    // 第 before a numeral marks the number even after a book title ("《三国演义》第五回"); in
    // "第二卷 第一章" it is the chapter's.
    qsizetype b = -1;
    for (qsizetype i = 0; i + 1 < n && i < window + 24; ++i) {
        if (heading[i] != u'第' || !isNumeralChar(heading[i + 1].unicode()))
            continue;
        qsizetype e = i + 1;
        while (e < n && isNumeralChar(heading[e].unicode()))
            ++e;
        const bool volume = e < n && (heading[e] == u'卷' || heading[e] == u'部');
        if (b < 0 || !volume)
            b = i + 1;
        if (!volume)
            break;
    }
    if (b < 0) {
        b = 0;
        while (b < n && b < window && !isNumeralChar(heading[b].unicode()))
            ++b;
        if (b >= n || b >= window)
            return -1;
    }
    qsizetype e = b;
    while (e < n && isNumeralChar(heading[e].unicode()))
        ++e;
    return parseChineseNumber(heading.mid(b, e - b));
}
