#include "platform/AnsiCodePage.h"

#include <iconv.h>

#include <QList>

#include <algorithm>
#include <cerrno>

namespace {

// One conversion through iconv with a fresh descriptor; `replacement` stands in for
// input that cannot be converted and the conversion goes on after it.
QByteArray convert(const char* to, const char* from, const QByteArray& input, const QByteArray& replacement,
                   int unitSize)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    QByteArray out;
    out.reserve(input.size() * 2 + 16);
    char buffer[4096];
    char* in = const_cast<char*>(input.constData());
    size_t inLeft = static_cast<size_t>(input.size());
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<int>(outPtr - buffer));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL (a sequence cut at the end): replace one unit and go on.
            out.append(replacement);
            size_t skip = std::min(inLeft, static_cast<size_t>(unitSize));
            in += skip;
            inLeft -= skip;
        }
    }
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, static_cast<int>(outPtr - buffer));
    iconv_close(cd);
    return out;
}

} // namespace

namespace AnsiCodePage {

QByteArray encode(const QString& text)
{
    QByteArray utf32;
    const QList<uint> ucs4 = text.toUcs4();
    utf32.resize(ucs4.size() * 4);
    for (int i = 0; i < ucs4.size(); ++i) {
        const uint c = ucs4[i];
        utf32[4 * i] = static_cast<char>(c & 0xFF);
        utf32[4 * i + 1] = static_cast<char>((c >> 8) & 0xFF);
        utf32[4 * i + 2] = static_cast<char>((c >> 16) & 0xFF);
        utf32[4 * i + 3] = static_cast<char>((c >> 24) & 0xFF);
    }
    return convert("GB18030", "UTF-32LE", utf32, QByteArrayLiteral("?"), 4);
}

QByteArray encodeGbk(const QString& text)
{
    const QByteArray wide = encode(text);
    QByteArray out;
    out.reserve(wide.size());
    for (qsizetype i = 0; i < wide.size();) {
        const auto lead = static_cast<uchar>(wide[i]);
        if (lead < 0x80 || i + 1 >= wide.size()) {
            out.append(wide[i]);
            ++i;
            continue;
        }
        // A four-byte sequence has a digit as its second byte; two-byte ones never do.
        const auto second = static_cast<uchar>(wide[i + 1]);
        if (second >= 0x30 && second <= 0x39) {
            out.append('?');
            i += 4;
        } else {
            out.append(wide.mid(i, 2));
            i += 2;
        }
    }
    return out;
}

QString decode(const QByteArray& bytes)
{
    const QByteArray utf8 = convert("UTF-8", "GB18030", bytes, QByteArrayLiteral("\xEF\xBF\xBD"), 1);
    return QString::fromUtf8(utf8);
}

QByteArray encodeChar(char32_t codePoint)
{
    return encode(QString::fromUcs4(&codePoint, 1));
}

} // namespace AnsiCodePage
