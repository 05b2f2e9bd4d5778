#include "reader/text/EncodingDetector.h"

#include "reader/text/Utf8Validator.h"

#include <iconv.h>
#include <uchardet.h>

#include <QIODevice>
#include <QList>

#include <cerrno>

namespace {

struct Sample {
    QByteArray bytes;
    bool atStart = false; // begins at the file's first byte
    bool atEnd = false;   // ends at its last
};

// kSamples pieces evenly spread from the first byte to the last, each at an even offset so
// that UTF-16 units stay paired; the whole file when it is no bigger than that.
QList<Sample> readSamples(QIODevice& device)
{
    QList<Sample> samples;
    const qint64 size = device.size();
    const qint64 total = qint64(EncodingDetector::kSamples) * EncodingDetector::kSampleBytes;
    if (size <= total) {
        if (!device.seek(0))
            return samples;
        samples.append({device.read(size), true, true});
        return samples;
    }
    for (int i = 0; i < EncodingDetector::kSamples; ++i) {
        const qint64 offset =
            (size - EncodingDetector::kSampleBytes) * i / (EncodingDetector::kSamples - 1) & ~qint64(1);
        if (!device.seek(offset))
            break;
        Sample sample{device.read(EncodingDetector::kSampleBytes), offset == 0, false};
        sample.atEnd = offset + sample.bytes.size() >= size;
        samples.append(sample);
    }
    return samples;
}

// A byte below 0x40 is ASCII in every encoding judged here and never the second byte of a
// GBK or Big5 character, nor part of a UTF-8 one: a sample cut just after one (at a line end
// where there is one) holds whole characters only.
qsizetype cutAfter(const QByteArray& bytes, bool fromEnd)
{
    const qsizetype lf = fromEnd ? bytes.lastIndexOf('\n') : bytes.indexOf('\n');
    if (lf >= 0)
        return lf + 1;
    if (fromEnd) {
        for (qsizetype i = bytes.size() - 1; i >= 0; --i)
            if (static_cast<unsigned char>(bytes[i]) < 0x40)
                return i + 1;
    } else {
        for (qsizetype i = 0; i < bytes.size(); ++i)
            if (static_cast<unsigned char>(bytes[i]) < 0x40)
                return i + 1;
    }
    return -1;
}

// The samples as one text of whole characters.
QByteArray joinedText(const QList<Sample>& samples)
{
    QByteArray text;
    for (const Sample& s : samples) {
        qsizetype begin = 0;
        qsizetype end = s.bytes.size();
        if (!s.atStart)
            begin = cutAfter(s.bytes, false);
        if (!s.atEnd)
            end = cutAfter(s.bytes, true);
        if (begin >= 0 && end > begin)
            text += QByteArrayView(s.bytes).sliced(begin, end - begin);
    }
    return text;
}

// UTF-16 without a byte-order mark: line ends are the units 0A 00 / 0D 00 (little-endian) or
// 00 0A / 00 0D (big-endian), and the other order reads as U+0A00 / U+0D00, which no Chinese
// text holds. A text without a line end in the samples still shows its ASCII characters as
// zero bytes on one side only (a CJK character may put a zero on the other side, so that
// test needs the other side clean).
bool looksUtf16(const QList<Sample>& samples, TextEncoding& encoding)
{
    qint64 lineEndsLe = 0;
    qint64 lineEndsBe = 0;
    qint64 zerosEven = 0;
    qint64 zerosOdd = 0;
    for (const Sample& s : samples) {
        const auto* p = reinterpret_cast<const unsigned char*>(s.bytes.constData());
        const qsizetype size = s.bytes.size() & ~qsizetype(1);
        for (qsizetype i = 0; i < size; i += 2) {
            if (p[i] == 0) {
                ++zerosEven;
                lineEndsBe += p[i + 1] == '\n' || p[i + 1] == '\r';
            }
            if (p[i + 1] == 0) {
                ++zerosOdd;
                lineEndsLe += p[i] == '\n' || p[i] == '\r';
            }
        }
    }
    if (lineEndsLe > 0 && lineEndsBe == 0)
        encoding = TextEncoding::Utf16LE;
    else if (lineEndsBe > 0 && lineEndsLe == 0)
        encoding = TextEncoding::Utf16BE;
    else if (lineEndsLe == 0 && lineEndsBe == 0 && zerosOdd >= 2 && zerosEven == 0)
        encoding = TextEncoding::Utf16LE;
    else if (lineEndsLe == 0 && lineEndsBe == 0 && zerosEven >= 2 && zerosOdd == 0)
        encoding = TextEncoding::Utf16BE;
    else
        return false;
    for (const Sample& s : samples) {
        QByteArray bytes = s.bytes;
        bytes.truncate(bytes.size() & ~qsizetype(1));
        // A sample may begin with the second half of a surrogate pair and end inside one.
        const QString text = TextDecoder(encoding).decode(bytes);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            if (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r' && c != u'\f')
                return false;
            if (c == 0xFFFE || c == 0xFFFF)
                return false;
            if (QChar::isHighSurrogate(c) && i + 1 < text.size() && !QChar::isLowSurrogate(text[i + 1].unicode()))
                return false;
            if (QChar::isLowSurrogate(c) && i > 0 && !QChar::isHighSurrogate(text[i - 1].unicode()))
                return false;
        }
    }
    return true;
}

QByteArray uchardetName(const QByteArray& text)
{
    uchardet_t detector = uchardet_new();
    if (!detector)
        return {};
    QByteArray name;
    if (uchardet_handle_data(detector, text.constData(), size_t(text.size())) == 0) {
        uchardet_data_end(detector);
        name = QByteArray(uchardet_get_charset(detector)).toUpper();
    }
    uchardet_delete(detector);
    return name;
}

bool iconvStrict(const QByteArray& bytes, const char* charset)
{
    iconv_t cd = iconv_open("UTF-16LE", charset);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    QByteArray output(4096, Qt::Uninitialized);
    bool ok = true;
    while (inLeft > 0) {
        char* out = output.data();
        size_t outLeft = size_t(output.size());
        if (iconv(cd, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG)
            continue;
        ok = errno == EINVAL; // a character cut by the end of the bytes
        break;
    }
    iconv_close(cd);
    return ok;
}

DetectedEncoding bomEncoding(QIODevice& device, bool& found)
{
    DetectedEncoding detected;
    char head[3] = {};
    const qint64 got = device.seek(0) ? device.read(head, sizeof head) : -1;
    found = got > 0 && encodingFromBom(head, got, detected.encoding);
    if (found) {
        detected.start = bomLength(detected.encoding);
        detected.hasBom = true;
    }
    return detected;
}

} // namespace

bool EncodingDetector::detectBeforeScan(QIODevice& device, DetectedEncoding& detected)
{
    bool found = false;
    detected = bomEncoding(device, found);
    if (found)
        return true;
    TextEncoding utf16 = TextEncoding::Utf16LE;
    if (!looksUtf16(readSamples(device), utf16))
        return false;
    detected.encoding = utf16;
    return true;
}

DetectedEncoding EncodingDetector::detect(QIODevice& device)
{
    DetectedEncoding detected;
    if (detectBeforeScan(device, detected))
        return detected;
    const QByteArray text = joinedText(readSamples(device));
    Utf8Validator validator;
    validator.feed(text.constData(), text.size());
    validator.finish();
    detected.encoding = validator.readsAsUtf8() ? TextEncoding::Utf8 : legacyEncoding(text);
    return detected;
}

DetectedEncoding EncodingDetector::detect(const QByteArray& bytes)
{
    DetectedEncoding detected;
    if (encodingFromBom(bytes.constData(), bytes.size(), detected.encoding)) {
        detected.start = bomLength(detected.encoding);
        detected.hasBom = true;
        return detected;
    }
    if (looksUtf16({{bytes, true, true}}, detected.encoding))
        return detected;
    Utf8Validator validator;
    validator.feed(bytes.constData(), bytes.size());
    validator.finish();
    detected.encoding = validator.readsAsUtf8() ? TextEncoding::Utf8 : legacyEncoding(bytes);
    return detected;
}

TextEncoding EncodingDetector::legacyEncoding(QIODevice& device)
{
    return legacyEncoding(joinedText(readSamples(device)));
}

TextEncoding EncodingDetector::legacyEncoding(const QByteArray& sample)
{
    // GBK text of the common characters is mostly valid Big5 too, so the strict test alone
    // cannot tell them apart: the library's judgement leads, the strict test confirms.
    const QByteArray named = uchardetName(sample);
    const bool big5Named = named.startsWith("BIG5") || named == "CP950" || named == "EUC-TW";
    if (big5Named && decodesStrictly(sample, TextEncoding::Big5))
        return TextEncoding::Big5;
    if (!big5Named && !decodesStrictly(sample, TextEncoding::Gb18030) && decodesStrictly(sample, TextEncoding::Big5))
        return TextEncoding::Big5;
    return TextEncoding::Gb18030;
}

DetectedEncoding EncodingDetector::withEncoding(QIODevice& device, TextEncoding encoding)
{
    bool found = false;
    DetectedEncoding detected = bomEncoding(device, found);
    const bool sameBom = found && (detected.encoding == encoding ||
                                   (detected.encoding == TextEncoding::Utf8Bom && encoding == TextEncoding::Utf8));
    if (sameBom)
        return detected;
    detected = DetectedEncoding();
    detected.encoding = encoding == TextEncoding::Utf8Bom ? TextEncoding::Utf8 : encoding;
    return detected;
}

QString EncodingDetector::name(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom:
        return QStringLiteral("UTF-8");
    case TextEncoding::Utf16LE:
        return QStringLiteral("UTF-16LE");
    case TextEncoding::Utf16BE:
        return QStringLiteral("UTF-16BE");
    case TextEncoding::Gb18030:
        return QStringLiteral("GB18030");
    case TextEncoding::Big5:
        return QStringLiteral("BIG5");
    }
    return {};
}

bool EncodingDetector::fromName(const QString& name, TextEncoding& encoding)
{
    QString key = name.trimmed().toUpper();
    key.remove(QLatin1Char('-')).remove(QLatin1Char('_')).remove(QLatin1Char(' '));
    if (key.endsWith(QLatin1String("BOM")))
        key.chop(3);
    if (key == QLatin1String("UTF8"))
        encoding = TextEncoding::Utf8;
    else if (key == QLatin1String("UTF16LE"))
        encoding = TextEncoding::Utf16LE;
    else if (key == QLatin1String("UTF16BE"))
        encoding = TextEncoding::Utf16BE;
    else if (key == QLatin1String("GB18030") || key == QLatin1String("GBK") || key == QLatin1String("GB2312") ||
             key == QLatin1String("CP936"))
        encoding = TextEncoding::Gb18030;
    else if (key == QLatin1String("BIG5") || key == QLatin1String("CP950") || key == QLatin1String("BIG5HKSCS"))
        encoding = TextEncoding::Big5;
    else
        return false;
    return true;
}

bool EncodingDetector::decodesStrictly(const QByteArray& bytes, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom: {
        Utf8Validator validator;
        validator.feed(bytes.constData(), bytes.size());
        validator.finish();
        return validator.faults() == 0;
    }
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        TextEncoding found = encoding;
        return looksUtf16({{bytes, true, true}}, found) && found == encoding;
    }
    case TextEncoding::Gb18030:
        return iconvStrict(bytes, "GB18030");
    case TextEncoding::Big5:
        return iconvStrict(bytes, big5CharsetName());
    }
    return false;
}
