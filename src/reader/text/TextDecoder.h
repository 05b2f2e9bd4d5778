#pragma once

#include "reader/text/Utf8Validator.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

// How a book file's bytes are turned into text.
enum class TextEncoding { Utf8, Utf8Bom, Utf16LE, Utf16BE, Gb18030, Big5 };

// Bytes of the byte-order mark the encoding implies (0 for plain UTF-8, GB18030 and Big5).
int bomLength(TextEncoding encoding);

// Bytes per text unit where lines are split: 2 for UTF-16, 1 otherwise.
inline int lineUnitSize(TextEncoding encoding)
{
    return encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE ? 2 : 1;
}

// The encoding a byte-order mark at the start of `data` names; false when there is none.
bool encodingFromBom(const char* data, qint64 size, TextEncoding& encoding);

// Which encoding a file's leading bytes (and, without a byte-order mark, its content) call for:
// a byte-order mark picks UTF-8, UTF-16LE or UTF-16BE; otherwise bytes that read as UTF-8 by
// Utf8Validator::readsAsUtf8 are UTF-8 and anything else GB18030, the superset of GBK.
TextEncoding detectEncoding(const QByteArray& bytes);

// UTF-16 units needed to hold `bytes` bytes decoded in `encoding`: no encoding gives more
// than one unit per byte (UTF-16 one per two bytes). -1 for a negative size or one past
// kMaxDecodeBytes. All arithmetic is 64-bit: a chapter over 2 GiB must never wrap.
qint64 decodedUnitsBound(qint64 bytes, TextEncoding encoding);

// Turns complete runs of a file's bytes (whole lines, a chapter part) into text. Nothing is
// read as a byte-order mark: a U+FEFF or U+FFFE inside the run is kept as the character it is.
// UTF-8 faults become one U+FFFD each (see Utf8Validator); GB18030 and Big5 go through iconv,
// a byte iconv cannot place becomes U+FFFD and decoding goes on after it. Runs over kMaxDecodeBytes
// are refused (the empty text): the reader shows long chapters in parts far below it.
// One object per thread: it holds the iconv descriptor.
class TextDecoder {
public:
    static constexpr qint64 kMaxDecodeBytes = qint64(1) << 30;

    explicit TextDecoder(TextEncoding encoding);
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    QString decode(const char* data, qint64 size);
    QString decode(const QByteArray& bytes) { return decode(bytes.constData(), bytes.size()); }
    TextEncoding encoding() const { return m_encoding; }

private:
    QString decodeIconv(const char* data, qint64 size);
    static QString decodeUtf8(const char* data, qint64 size);

    TextEncoding m_encoding;
    void* m_iconv = nullptr; // iconv_t, kept out of the header
};

// GB18030's two-byte codes (lead 0x81..0xFE, trail 0x40..0x7E or 0x80..0xFE) as iconv decodes
// them, indexed by lead << 8 | trail: the one UTF-16 unit of the character, or 0 for a code
// that does not decode to exactly one unit (a few map outside the BMP). Built once, by one
// iconv call; all zero if iconv cannot do GB18030.
const char16_t* gb18030TwoByteTable();

// The same for Big5 (lead 0x81..0xFE, trail 0x40..0x7E or 0xA1..0xFE); Big5 has no longer
// codes, so a byte pair missing here is a fault the decoder replaces byte by byte.
const char16_t* big5TwoByteTable();

// The iconv name Big5 text is read with: Windows' code page 950, the Big5 of Taiwanese TXT
// files, where iconv has it.
const char* big5CharsetName();

// Text to the bytes the encoding gives it (no byte-order mark). Used to learn how the
// heading keywords look in a file's own bytes. Big5 gives nothing for a text it cannot hold.
QByteArray encodeText(const QString& text, TextEncoding encoding);
