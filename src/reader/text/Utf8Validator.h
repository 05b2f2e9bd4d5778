#pragma once

#include <QtGlobal>

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
