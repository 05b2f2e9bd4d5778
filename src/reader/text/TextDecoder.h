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
// a byte-order mark picks UTF-8, UTF-16LE or UTF-16BE; otherwise bytes that read as UTF-8 by
// Utf8Validator::readsAsUtf8 are UTF-8 and anything else GB18030, the superset of GBK.
TextEncoding detectEncoding(const QByteArray& bytes);

// A UTF-8 check fed piece by piece, so a file can be judged while it streams past. It counts
// what it sees rather than stopping at the first fault: a book cut off in the middle of its
// last character, or a few stray bytes among megabytes of Chinese, is still a UTF-8 book.
//
// An invalid sequence is counted the way the decoder replaces it: the longest start of a
// valid sequence (or one lone byte) is one fault, shown as one U+FFFD. Overlong forms,
// surrogates and code points past U+10FFFF are faults.
class Utf8Validator {
public:
    // A book is UTF-8 while it has fewer than one fault per this many multi-byte characters.
    // GBK text breaks UTF-8 on nearly every character, so no GBK book comes near it.
    static constexpr qint64 kCharactersPerFault = 10000;

    // False once the bytes seen so far are not strictly UTF-8. With `bytesAfter` (how many
    // bytes will still follow) counting stops as soon as no ending could make the input read
    // as UTF-8 any more: a GBK book is told apart within its first few kilobytes. -1 counts
    // every byte.
    bool feed(const char* data, qint64 size, qint64 bytesAfter = -1);
    // Ends the input. True when every byte was strictly UTF-8 and nothing was left open.
    bool finish();
    bool valid() const { return m_faults == 0 && !m_openAtEnd; }

    qint64 faults() const { return m_faults; }
    qint64 multibyteCharacters() const { return m_multibyte; }
    // After finish(): the input ended inside a character (a download cut short).
    bool cutShort() const { return m_openAtEnd; }

    // After finish(): whether the whole input reads as UTF-8. A character cut off by the end
    // is not a fault.
    bool readsAsUtf8() const { return !m_hopeless && toleratedFaults(m_faults, m_multibyte); }
    // While feeding, with `bytesLeft` bytes still to come: false once no ending could make the
    // input read as UTF-8, so a GBK book is told apart within its first few kilobytes.
    bool mayReadAsUtf8(qint64 bytesLeft) const;

    // The measure itself: faults under one in kCharactersPerFault multi-byte characters.
    static bool toleratedFaults(qint64 faults, qint64 multibyteCharacters);

private:
    // Counts a fault; false when, with `bytesLeft` still to come (-1: unknown), the input can
    // no longer read as UTF-8.
    bool countFault(qint64 bytesLeft);

    int m_need = 0; // continuation bytes still expected
    unsigned char m_low = 0x80;
    unsigned char m_high = 0xBF;
    qint64 m_faults = 0;
    qint64 m_multibyte = 0;
    bool m_openAtEnd = false;
    bool m_hopeless = false; // counting stopped: the input does not read as UTF-8
};

// UTF-16 units needed to hold `bytes` bytes decoded in `encoding`: no encoding gives more
// than one unit per byte (UTF-16 one per two bytes). -1 for a negative size or one past
// kMaxDecodeBytes. All arithmetic is 64-bit: a chapter over 2 GiB must never wrap.
qint64 decodedUnitsBound(qint64 bytes, TextEncoding encoding);

// Turns complete runs of a file's bytes (whole lines, a chapter part) into text. Nothing is
// read as a byte-order mark: a U+FEFF or U+FFFE inside the run is kept as the character it is.
// UTF-8 faults become one U+FFFD each (see Utf8Validator); GB18030 goes through iconv, a byte
// iconv cannot place becomes U+FFFD and decoding goes on after it. Runs over kMaxDecodeBytes
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
    QString decodeGb18030(const char* data, qint64 size);
    static QString decodeUtf8(const char* data, qint64 size);

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
