#pragma once

#include <QStringView>

// Chapter numbers as novels write them: Arabic and full-width digits, Chinese digits read
// one by one ("一○○" is 100, "二零一" 201) and Chinese numbers with 十/百/千/万 ("两百零三",
// "十二", "廿一"), the financial forms (壹贰叁… 拾佰仟) included.

// The value of one numeral character 0..9, or -1 when `c` is not a digit of any kind.
int numeralDigit(char16_t c);

// True for every character a chapter number may be written with (digits and 十百千万…).
bool isNumeralChar(char16_t c);

// The value of `text`, made only of numeral characters; -1 when it is empty, holds another
// character, is malformed ("十十", "百二十" with nothing before 百) or exceeds a billion.
qint64 parseChineseNumber(QStringView text);

// The number a heading carries: the numerals after its first 第, or else the first run of
// numeral characters among its first `window` characters, parsed. -1 when it has none.
qint64 headingNumber(QStringView heading, int window = 12);
