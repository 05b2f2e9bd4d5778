#pragma once

#include "reader/text/TextDecoder.h"

#include <QList>
#include <QString>
#include <QStringList>

// The encodings a user may read a book in, each with the book's first lines decoded in it,
// so the one that reads right can be told at a glance.
struct EncodingCandidate {
    TextEncoding encoding = TextEncoding::Utf8;
    QString name;          // EncodingDetector::name
    bool detected = false; // what the reader detects for the book
    bool clean = false;    // the sample decodes without a fault
    QStringList lines;     // the first lines, as this encoding reads them
};

class EncodingCandidates {
public:
    static constexpr qint64 kSampleBytes = 4096;
    static constexpr int kLines = 12;

    // UTF-8, GB18030, Big5, UTF-16LE and UTF-16BE, in that order. Empty for a file that
    // cannot be read.
    static QList<EncodingCandidate> ofBook(const QString& path);
    // The same for the first bytes of a book held in memory; `detected` is the reader's own
    // judgement of the book.
    static QList<EncodingCandidate> ofSample(const QByteArray& sample, TextEncoding detected);
};
