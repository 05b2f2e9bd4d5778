#pragma once

#include "reader/text/TextDecoder.h"

#include <QByteArray>
#include <QString>

class QIODevice;

// How a book's text begins: its encoding and the first byte after any byte-order mark.
struct DetectedEncoding {
    TextEncoding encoding = TextEncoding::Utf8;
    qint64 start = 0;
    bool hasBom = false;
};

// Tells a book's encoding from a few samples spread over the file, so that the cost is the
// same for a book of any size. A byte-order mark decides alone; UTF-16 without one shows in
// the zero bytes of its ASCII characters; otherwise the bytes are UTF-8 when they read as it,
// and a legacy Chinese encoding when not: uchardet names the likelier of GB18030 and Big5 and
// the samples must then decode in it without a fault. GB18030 (a superset of GBK) is what is
// left when nothing else is proven.
class EncodingDetector {
public:
    static constexpr int kSamples = 8;
    static constexpr qint64 kSampleBytes = qint64(8) << 10;

    // The whole judgement on the samples of `device` (from its current size; its position
    // is left anywhere).
    static DetectedEncoding detect(QIODevice& device);
    // The same on bytes held in memory, taken whole as one sample.
    static DetectedEncoding detect(const QByteArray& bytes);

    // What can be told before reading a book through: a byte-order mark or UTF-16 without
    // one. False for a plain file, which the scan then checks for UTF-8 as it goes.
    static bool detectBeforeScan(QIODevice& device, DetectedEncoding& detected);
    // For a book that proved not to be UTF-8: Big5 or GB18030.
    static TextEncoding legacyEncoding(QIODevice& device);
    static TextEncoding legacyEncoding(const QByteArray& sample);

    // Where the text of a book read in `encoding` begins: past the byte-order mark of that
    // encoding when the file starts with one. UTF-8 becomes Utf8Bom then.
    static DetectedEncoding withEncoding(QIODevice& device, TextEncoding encoding);

    // The encoding's name for the user and for the command line ("UTF-8", "GB18030",
    // "BIG5", "UTF-16LE", "UTF-16BE"), and back (case-insensitive, with the usual aliases).
    static QString name(TextEncoding encoding);
    static bool fromName(const QString& name, TextEncoding& encoding);

    // Whether `bytes` decode in `encoding` without a single fault (a character cut by the end
    // is not one).
    static bool decodesStrictly(const QByteArray& bytes, TextEncoding encoding);
};
