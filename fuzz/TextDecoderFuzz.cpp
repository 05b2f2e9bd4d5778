// Fuzz target: the text decoder, the UTF-8 judgement and the part cut. The first byte picks
// the encoding, the rest is the text.
#include "FuzzCheck.h"
#include "reader/text/ChapterParts.h"
#include "reader/text/TextDecoder.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace {

constexpr TextEncoding kEncodings[] = {TextEncoding::Utf8, TextEncoding::Utf8Bom, TextEncoding::Utf16LE,
                                       TextEncoding::Utf16BE, TextEncoding::Gb18030};

// Ends of the LF units of `bytes` (where a line reader would cut).
QList<qsizetype> lineEnds(const QByteArray& bytes, TextEncoding encoding)
{
    QList<qsizetype> ends;
    const int unit = lineUnitSize(encoding);
    const bool bigEndian = encoding == TextEncoding::Utf16BE;
    for (qsizetype i = 0; i + unit <= bytes.size(); i += unit) {
        const bool lf =
            unit == 1 ? bytes[i] == '\n'
                      : (bigEndian ? bytes[i] == 0 && bytes[i + 1] == '\n' : bytes[i] == '\n' && bytes[i + 1] == 0);
        if (lf)
            ends << i + unit;
    }
    return ends;
}

void checkUtf8(const QByteArray& bytes, const QString& text)
{
    Utf8Validator whole;
    whole.feed(bytes.constData(), bytes.size());
    const bool strict = whole.finish();

    // Fed in two pieces, the validator counts the same; a give-up on the way is never
    // contradicted by the end.
    const qsizetype cut = bytes.isEmpty() ? 0 : qsizetype(quint8(bytes[0])) % (bytes.size() + 1);
    Utf8Validator pieces;
    pieces.feed(bytes.constData(), cut);
    const bool mayStill = pieces.mayReadAsUtf8(bytes.size() - cut);
    pieces.feed(bytes.constData() + cut, bytes.size() - cut);
    pieces.finish();
    FUZZ_CHECK(pieces.faults() == whole.faults() && pieces.multibyteCharacters() == whole.multibyteCharacters() &&
                   pieces.cutShort() == whole.cutShort(),
               "the validator counts the same in pieces");
    FUZZ_CHECK(mayStill || !whole.readsAsUtf8(), "giving up early never contradicts the end");
    // Fed as a file streams past, told how much is still to come, counting may stop early: the
    // answer is the same.
    Utf8Validator streamed;
    streamed.feed(bytes.constData(), cut, bytes.size() - cut);
    streamed.feed(bytes.constData() + cut, bytes.size() - cut, 0);
    streamed.finish();
    FUZZ_CHECK(streamed.readsAsUtf8() == whole.readsAsUtf8(), "stopping early never changes the answer");
    FUZZ_CHECK(detectEncoding(bytes) == (bytes.startsWith("\xEF\xBB\xBF") ? TextEncoding::Utf8Bom
                                         : bytes.startsWith("\xFF\xFE")   ? TextEncoding::Utf16LE
                                         : bytes.startsWith("\xFE\xFF")   ? TextEncoding::Utf16BE
                                         : whole.readsAsUtf8()            ? TextEncoding::Utf8
                                                                          : TextEncoding::Gb18030),
               "detection follows the measure");

    // One U+FFFD per fault (and one for a cut tail), beside those the text itself holds.
    const qsizetype own = bytes.count("\xEF\xBF\xBD");
    FUZZ_CHECK(text.count(QChar(0xFFFD)) == whole.faults() + (whole.cutShort() ? 1 : 0) + own,
               "each fault is one replacement character");
    if (strict) {
        FUZZ_CHECK(text.toUtf8() == bytes, "valid UTF-8 decodes and encodes back to itself");
        FUZZ_CHECK(whole.readsAsUtf8(), "valid UTF-8 reads as UTF-8");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const TextEncoding encoding = kEncodings[data[0] % 5];
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
    TextDecoder decoder(encoding);
    const QString text = decoder.decode(bytes);
    FUZZ_CHECK(text.size() <= decodedUnitsBound(bytes.size(), encoding), "no more units than the bound");

    // Decoded line by line, as the scan and the read-back do, the text is the same.
    QString joined;
    qsizetype from = 0;
    for (const qsizetype end : lineEnds(bytes, encoding)) {
        joined += decoder.decode(bytes.constData() + from, end - from);
        from = end;
    }
    joined += decoder.decode(bytes.constData() + from, bytes.size() - from);
    FUZZ_CHECK(joined == text, "decoding at line ends changes nothing");

    // decode(encode(x)) = x for whatever the decoder gives.
    FUZZ_CHECK(decoder.decode(encodeText(text, encoding)) == text, "decode(encode(x)) = x");
    if (encoding == TextEncoding::Utf8 || encoding == TextEncoding::Utf8Bom)
        checkUtf8(bytes, text);

    // A part cut anywhere decodes, with the rest, to the same text.
    const qint64 limit = 16 + (size > 1 ? data[1] % 64 : 0);
    const qint64 length = partLength(bytes.constData(), bytes.size(), limit, encoding);
    if (bytes.size() <= limit) {
        FUZZ_CHECK(length == bytes.size(), "a short rest is one part");
    } else {
        FUZZ_CHECK(length >= 1 && length <= limit, "a part within the limit");
        FUZZ_CHECK(decoder.decode(bytes.constData(), length) +
                           decoder.decode(bytes.constData() + length, bytes.size() - length) ==
                       text,
                   "a part ends on a character boundary");
    }
    return 0;
}
