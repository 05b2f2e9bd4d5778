#pragma once

#include "reader/text/TextDecoder.h"

#include <QByteArray>

#include <vector>

class QIODevice;

// One line of a file as raw bytes, without its line end (LF, CR LF or a lone CR).
struct RawLine {
    const char* data = nullptr; // valid until the next call of LineReader::next
    qint64 size = 0;            // bytes at data
    bool truncated = false;     // the line outgrew the buffer: data holds only its beginning
    qint64 begin = 0;           // file offset of the line's first byte
    qint64 end = 0;             // file offset just past its line end (or the end of the file)
};

// Streams a file line by line through one fixed buffer, so a book of any size costs the
// same memory. A line ends at LF, at CR LF, or at a CR not followed by LF (old Mac files and
// some exported texts end every line so); in UTF-16 the same units U+000A and U+000D. A last
// line without a line end still counts, and nothing follows a final one. For a plain
// (BOM-less) file it can judge on the way whether the bytes read as UTF-8 (Utf8Validator's
// measure).
class LineReader {
public:
    static constexpr qint64 kDefaultBuffer = qint64(1) << 20;

    // `device` is positioned at `startOffset`, the first byte after any byte-order mark.
    LineReader(QIODevice& device, TextEncoding encoding, qint64 startOffset, bool checkUtf8,
               qint64 bufferSize = kDefaultBuffer);

    bool next(RawLine& line);

    // Meaningful when checkUtf8 was asked: false as soon as the bytes seen prove the file does
    // not read as UTF-8; at the end, whether it does.
    bool utf8Valid() const;
    const Utf8Validator& utf8() const { return m_validator; }
    bool readError() const { return m_readError; }

private:
    qint64 findLineEnd(qint64 from) const; // first byte of the next LF or CR unit in m_buffer, -1 if none
    bool unitIs(qint64 at, char c) const;  // the unit at m_buffer[at] is the ASCII character c
    bool fill();                           // false at the end of the file or on an error
    void emitLine(RawLine& line, const char* data, qint64 size, qint64 begin, qint64 end);

    QIODevice& m_device;
    int m_unit = 1;
    bool m_bigEndian = false;
    bool m_checkUtf8 = false;
    Utf8Validator m_validator;
    std::vector<char> m_buffer;
    qint64 m_pos = 0;        // start of the current line in m_buffer
    qint64 m_fill = 0;       // bytes held in m_buffer
    qint64 m_bufferBase = 0; // file offset of m_buffer[0]
    qint64 m_deviceSize = 0; // to tell how much is still to come
    qint64 m_fed = 0;        // file offset just past the bytes given to the validator
    bool m_eof = false;
    bool m_readError = false;
    // A line longer than the buffer: its beginning, kept while the rest streams past.
    bool m_long = false;
    QByteArray m_longHead;
    qint64 m_longBegin = 0;
};
