#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// How a book file's bytes are turned into text.
enum class TextEncoding { Utf8, Utf8Bom, Utf16LE, Utf16BE, Gb18030 };

// Bytes of the byte-order mark the encoding implies (0 for plain UTF-8 and GB18030).
int bomLength(TextEncoding encoding);

// Bytes per text unit where lines are split: 2 for UTF-16, 1 otherwise.
inline int lineUnitSize(TextEncoding encoding)
{
    return encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE ? 2 : 1;
}

// The encoding a byte-order mark at the start of `data` names; false when there is none.
bool encodingFromBom(const char* data, qint64 size, TextEncoding& encoding);

// Which encoding a file's leading bytes (and, without a byte-order mark, its content) call for:
// a byte-order mark picks UTF-8, UTF-16LE or UTF-16BE; otherwise valid UTF-8 is UTF-8 and
// anything else GB18030, the superset of GBK.
TextEncoding detectEncoding(const QByteArray& bytes);

// Strict UTF-8 check fed piece by piece, so a file can be judged while it streams past:
// overlong forms, surrogates, code points past U+10FFFF and a sequence cut by the end fail.
class Utf8Validator {
public:
    // false once the bytes seen so far cannot be UTF-8.
    bool feed(const char* data, qint64 size);
    // Ends the input: a sequence still open is invalid.
    bool finish();
    bool valid() const { return !m_bad; }

private:
    int m_need = 0; // continuation bytes still expected
    unsigned char m_low = 0x80;
    unsigned char m_high = 0xBF;
    bool m_bad = false;
};

// Turns complete runs of a file's bytes (whole lines, a chapter) into text. GB18030 goes
// through iconv; a byte iconv cannot place becomes U+FFFD and decoding goes on after it.
// One object per thread: it holds the iconv descriptor.
class TextDecoder {
public:
    explicit TextDecoder(TextEncoding encoding);
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    QString decode(const char* data, qint64 size);
    QString decode(const QByteArray& bytes) { return decode(bytes.constData(), bytes.size()); }
    TextEncoding encoding() const { return m_encoding; }

private:
    QString decodeGb18030(const char* data, qint64 size);

    TextEncoding m_encoding;
    void* m_iconv = nullptr; // iconv_t, kept out of the header
};

// GB18030's two-byte codes (lead 0x81..0xFE, trail 0x40..0x7E or 0x80..0xFE) as iconv decodes
// them, indexed by lead << 8 | trail: the one UTF-16 unit of the character, or 0 for a code
// that does not decode to exactly one unit (a few map outside the BMP). Built once, by one
// iconv call; all zero if iconv cannot do GB18030.
const char16_t* gb18030TwoByteTable();

// Text to the bytes the encoding gives it (no byte-order mark). Used to learn how the
// heading keywords look in a file's own bytes.
QByteArray encodeText(const QString& text, TextEncoding encoding);
