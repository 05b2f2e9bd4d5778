#pragma once

#include "reader/text/TextDecoder.h"

#include <QByteArray>
#include <QList>
#include <QStringView>

#include <array>

// A chapter heading is a short line of one of two shapes:
//   ^(.{0,6})(第|正文|作品|VIP|vip)(.{0,30}$)
//   ^[一二两三四五六七八九十○零百千0-9１２３４５６７８９０]{1,4}(、|，|：|\s|\u3000)(.{0,20}$)
// matched with IgnoreCase, "." being any character but LF and \s being [ \f\n\r\t\v].
// As in the engine books were first read with, "." counts UTF-16 units, so a character
// outside the BMP counts as two.
//
// The matcher is written out by hand rather than run through a regex engine: the scan
// calls it for every short line of a book and it has to be cheap.
bool isHeadingLine(QStringView line);

// The longest heading in UTF-16 units: six, the three letters of "VIP", thirty.
constexpr int kMaxHeadingUnits = 6 + 3 + 30;

// Quick tests on a line's raw bytes, so that the scan looks closer only at the few lines
// that might be headings. mayMatch never says no to a heading: a keyword must begin within
// the first seven characters and a numbered heading starts with a numeral, and no character
// takes more than four bytes per UTF-16 unit, which bounds how far into the line to look.
class HeadingPrefilter {
public:
    explicit HeadingPrefilter(TextEncoding encoding);
    // One shared prefilter per encoding, built when first asked for (it encodes its keywords
    // through iconv, too slow to repeat for every scan).
    static const HeadingPrefilter& forEncoding(TextEncoding encoding);

    // False only for a line that cannot be a heading; lines longer than four bytes per
    // unit of the longest heading never are.
    bool mayMatch(const char* data, qint64 size) const;

    enum class ShortText { Decoded, TooLong, Unsure };
    // Decodes a line into `units` (room for kMaxHeadingUnits) when it is short enough to be a
    // heading, giving exactly what TextDecoder gives, without its cost. TooLong: more units
    // than any heading has. Unsure: a character this fast path does not know how to place
    // (invalid bytes, GB18030 four-byte forms); the caller decodes the line in full.
    // `capacity` (at least kMaxHeadingUnits) lets a caller with a larger buffer take longer lines.
    ShortText decodeShort(const char* data, qint64 size, char16_t* units, int& count,
                          int capacity = kMaxHeadingUnits) const;

private:
    struct Pattern {
        QByteArray bytes;
        QByteArray foldMask; // 0x20 where an ASCII letter may come in either case
    };
    bool keywordNear(const unsigned char* p, qint64 size) const;
    bool numeralStart(const unsigned char* p, qint64 size) const;

    TextEncoding m_encoding;
    qint64 m_maxLineBytes = 0;
    qint64 m_keywordWindow = 0; // last byte offset a keyword may start at
    qint64 m_numberedMaxBytes = 0;
    bool m_bytesOnly = false; // UTF-16: the length bound is the whole test
    QList<Pattern> m_keywords;
    std::array<bool, 256> m_digitFirst{};      // one-byte numerals
    std::array<quint64, 1024> m_numeralPair{}; // bit (b0 << 8 | b1) set: a numeral may start so
};
