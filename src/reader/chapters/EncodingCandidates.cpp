#include "reader/chapters/EncodingCandidates.h"

#include "reader/text/EncodingDetector.h"

#include <QFile>
#include <QRegularExpression>

QList<EncodingCandidate> EncodingCandidates::ofBook(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    TextEncoding detected = EncodingDetector::detect(file).encoding;
    if (detected == TextEncoding::Utf8Bom)
        detected = TextEncoding::Utf8;
    if (!file.seek(0))
        return {};
    return ofSample(file.read(kSampleBytes), detected);
}

QList<EncodingCandidate> EncodingCandidates::ofSample(const QByteArray& sample, TextEncoding detected)
{
    const TextEncoding all[] = {TextEncoding::Utf8, TextEncoding::Gb18030, TextEncoding::Big5, TextEncoding::Utf16LE,
                                TextEncoding::Utf16BE};
    QList<EncodingCandidate> candidates;
    for (const TextEncoding encoding : all) {
        EncodingCandidate candidate;
        candidate.encoding = encoding;
        candidate.name = EncodingDetector::name(encoding);
        candidate.detected = encoding == detected;
        // The byte-order mark of the encoding itself is no text; a sample cut in the middle
        // of a character is cut back to a whole one by the decoder's fault rule, which only
        // touches the last line.
        TextEncoding reading = encoding;
        QByteArray bytes = sample;
        TextEncoding bom;
        if (encodingFromBom(sample.constData(), sample.size(), bom) &&
            (bom == encoding || (bom == TextEncoding::Utf8Bom && encoding == TextEncoding::Utf8)))
            bytes = sample.mid(bomLength(bom));
        candidate.clean = EncodingDetector::decodesStrictly(bytes, reading);
        TextDecoder decoder(reading);
        const QString text = decoder.decode(bytes);
        QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
        lines.removeIf([](const QString& line) { return line.trimmed().isEmpty(); });
        if (lines.size() > kLines)
            lines.resize(kLines);
        candidate.lines = lines;
        candidates.append(candidate);
    }
    return candidates;
}
