#include "TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <iconv.h>

#include <cerrno>

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<TextCodec::Fields> parsePairs(const QByteArray& text, bool plusIsBlank,
                                            std::optional<QString> (*decode)(const QByteArray&))
{
    TextCodec::Fields fields;
    for (const QByteArray& pair : text.split('&')) {
        if (pair.isEmpty())
            continue;
        const int eq = pair.indexOf('=');
        const QByteArray rawKey = eq < 0 ? pair : pair.left(eq);
        const QByteArray rawValue = eq < 0 ? QByteArray() : pair.mid(eq + 1);
        const auto key = TextCodec::percentDecode(rawKey, plusIsBlank);
        const auto value = TextCodec::percentDecode(rawValue, plusIsBlank);
        if (!key || !value)
            return std::nullopt;
        const auto keyText = TextCodec::decodeUtf8(*key);
        const auto valueText = decode(*value);
        if (!keyText || !valueText)
            return std::nullopt;
        // The first occurrence wins, so a repeated key cannot override what was checked.
        if (!fields.contains(*keyText))
            fields.insert(*keyText, *valueText);
    }
    return fields;
}

std::optional<QString> decodeQueryValue(const QByteArray& bytes)
{
    if (auto utf8 = TextCodec::decodeUtf8(bytes))
        return utf8;
    return TextCodec::decodeGbk(bytes);
}

} // namespace

namespace TextCodec {

std::optional<QString> decodeGbk(const QByteArray& bytes)
{
    iconv_t cd = iconv_open("UTF-8", "GB18030");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    QByteArray out;
    out.resize(bytes.size() * 2 + 16);
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = static_cast<size_t>(bytes.size());
    char* outPtr = out.data();
    size_t outLeft = static_cast<size_t>(out.size());
    const size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    // GB18030 never needs more than twice its bytes in UTF-8, so E2BIG cannot happen.
    if (r == static_cast<size_t>(-1) || inLeft != 0)
        return std::nullopt;
    out.truncate(static_cast<int>(outPtr - out.data()));
    return QString::fromUtf8(out);
}

QByteArray encodeGbk(const QString& text)
{
    iconv_t cd = iconv_open("GB18030", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return text.toLatin1();
    QByteArray input = text.toUtf8();
    QByteArray out;
    char buffer[4096];
    char* in = input.data();
    size_t inLeft = static_cast<size_t>(input.size());
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<int>(outPtr - buffer));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            out.append('?');
            ++in;
            --inLeft;
        }
    }
    iconv_close(cd);
    return out;
}

std::optional<QString> decodeUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<QByteArray> percentDecode(const QByteArray& encoded, bool plusIsBlank)
{
    QByteArray out;
    out.reserve(encoded.size());
    for (int i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '+' && plusIsBlank) {
            out.append(' ');
        } else if (c != '%') {
            out.append(c);
        } else {
            const int high = i + 1 < encoded.size() ? hexValue(encoded[i + 1]) : -1;
            if (high < 0)
                return std::nullopt;
            const int low = i + 2 < encoded.size() ? hexValue(encoded[i + 2]) : -1;
            if (low < 0) {
                out.append(static_cast<char>(high));
                i += 1;
            } else {
                out.append(static_cast<char>(high * 16 + low));
                i += 2;
            }
        }
    }
    return out;
}

std::optional<Fields> parseForm(const QByteArray& body, Charset charset)
{
    return parsePairs(body, true, charset == Charset::Gbk ? &decodeGbk : &decodeUtf8);
}

std::optional<Fields> parseQuery(const QByteArray& query)
{
    return parsePairs(query, false, &decodeQueryValue);
}

} // namespace TextCodec
