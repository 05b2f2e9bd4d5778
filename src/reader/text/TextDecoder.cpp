#include "reader/text/TextDecoder.h"

#include "platform/AnsiCodePage.h"

#include <iconv.h>

#include <QSysInfo>
#include <QtEndian>

#include <cerrno>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);

QString decodeUtf16(const char* data, qint64 size, bool bigEndian)
{
    const qint64 units = size / 2;
    QString text(static_cast<qsizetype>(units + (size & 1)), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (qint64 i = 0; i < units; ++i) {
        const auto hi = static_cast<unsigned char>(data[2 * i + (bigEndian ? 0 : 1)]);
        const auto lo = static_cast<unsigned char>(data[2 * i + (bigEndian ? 1 : 0)]);
        out[i] = static_cast<char16_t>(hi << 8 | lo);
    }
    if (size & 1) // half a unit at the very end of the file
        out[units] = u'\xFFFD';
    return text;
}

} // namespace

int bomLength(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8Bom:
        return 3;
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE:
        return 2;
    case TextEncoding::Utf8:
    case TextEncoding::Gb18030:
    case TextEncoding::Big5:
        break;
    }
    return 0;
}

bool encodingFromBom(const char* data, qint64 size, TextEncoding& encoding)
{
    const auto* b = reinterpret_cast<const unsigned char*>(data);
    if (size >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        encoding = TextEncoding::Utf8Bom;
        return true;
    }
    if (size >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        encoding = TextEncoding::Utf16LE;
        return true;
    }
    if (size >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        encoding = TextEncoding::Utf16BE;
        return true;
    }
    return false;
}

TextEncoding detectEncoding(const QByteArray& bytes)
{
    TextEncoding encoding = TextEncoding::Utf8;
    if (encodingFromBom(bytes.constData(), bytes.size(), encoding))
        return encoding;
    Utf8Validator validator;
    validator.feed(bytes.constData(), bytes.size());
    validator.finish();
    return validator.readsAsUtf8() ? TextEncoding::Utf8 : TextEncoding::Gb18030;
}

qint64 decodedUnitsBound(qint64 bytes, TextEncoding encoding)
{
    if (bytes < 0 || bytes > TextDecoder::kMaxDecodeBytes)
        return -1;
    return lineUnitSize(encoding) == 2 ? bytes / 2 + (bytes & 1) : bytes;
}

TextDecoder::TextDecoder(TextEncoding encoding) : m_encoding(encoding)
{
    if (encoding == TextEncoding::Gb18030 || encoding == TextEncoding::Big5) {
        iconv_t cd = iconv_open("UTF-16LE", encoding == TextEncoding::Big5 ? big5CharsetName() : "GB18030");
        m_iconv = cd == kNoIconv ? nullptr : cd;
    }
}

TextDecoder::~TextDecoder()
{
    if (m_iconv)
        iconv_close(static_cast<iconv_t>(m_iconv));
}

QString TextDecoder::decode(const char* data, qint64 size)
{
    if (size <= 0 || decodedUnitsBound(size, m_encoding) < 0)
        return {};
    switch (m_encoding) {
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom:
        return decodeUtf8(data, size);
    case TextEncoding::Utf16LE:
        return decodeUtf16(data, size, false);
    case TextEncoding::Utf16BE:
        return decodeUtf16(data, size, true);
    case TextEncoding::Gb18030:
    case TextEncoding::Big5:
        return decodeIconv(data, size);
    }
    return {};
}

QString TextDecoder::decodeUtf8(const char* data, qint64 size)
{
    // Qt's fast decoder gives the same text for clean UTF-8, except that it drops a leading
    // U+FEFF; where it had to replace something (one U+FFFD per byte), the text is decoded
    // again here, one U+FFFD per fault.
    QString fast = QString::fromUtf8(data, static_cast<qsizetype>(size));
    if (!fast.contains(QChar(0xFFFD))) {
        if (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0)
            fast.prepend(QChar(0xFEFF));
        return fast;
    }

    QString text(static_cast<qsizetype>(size), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    qsizetype n = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    qint64 i = 0;
    while (i < size) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            out[n++] = c;
            ++i;
            continue;
        }
        int need = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        char32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            need = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            need = 2;
            cp = c & 0x0F;
            low = c == 0xE0 ? 0xA0 : 0x80;
            high = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            need = 3;
            cp = c & 0x07;
            low = c == 0xF0 ? 0x90 : 0x80;
            high = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            out[n++] = u'\xFFFD';
            ++i;
            continue;
        }
        ++i;
        bool complete = true;
        for (int k = 0; k < need; ++k) {
            if (i >= size || p[i] < low || p[i] > high) {
                complete = false; // the bytes so far are one fault; this one starts afresh
                break;
            }
            cp = cp << 6 | (p[i] & 0x3F);
            low = 0x80;
            high = 0xBF;
            ++i;
        }
        if (!complete) {
            out[n++] = u'\xFFFD';
        } else if (cp >= 0x10000) {
            out[n++] = QChar::highSurrogate(cp);
            out[n++] = QChar::lowSurrogate(cp);
        } else {
            out[n++] = static_cast<char16_t>(cp);
        }
    }
    text.truncate(n);
    return text;
}

QString TextDecoder::decodeIconv(const char* data, qint64 size)
{
    if (!m_iconv && m_encoding == TextEncoding::Big5)
        return QString(static_cast<qsizetype>(size), QChar(0xFFFD));
    if (!m_iconv)
        return AnsiCodePage::decode(QByteArray(data, static_cast<qsizetype>(size)));
    auto cd = static_cast<iconv_t>(m_iconv);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    // Every input byte yields at most one UTF-16 unit (a four-byte sequence at most two), so
    // the output never outgrows two bytes per input byte.
    QString text(static_cast<qsizetype>(decodedUnitsBound(size, m_encoding)), Qt::Uninitialized);
    char* outStart = reinterpret_cast<char*>(text.data());
    char* out = outStart;
    size_t outLeft = static_cast<size_t>(size) * 2;
    char* in = const_cast<char*>(data);
    size_t inLeft = static_cast<size_t>(size);
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG || outLeft < 2)
            break; // cannot happen by the bound above; stop rather than loop
        // EILSEQ, or EINVAL for a sequence cut by the end of the run: the byte becomes
        // U+FFFD and decoding resumes at the next byte, as a whole-file decode would.
        const char16_t replacement = u'\xFFFD';
        std::memcpy(out, &replacement, 2);
        out += 2;
        outLeft -= 2;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    const qsizetype units = (out - outStart) / 2;
    text.truncate(units);
    char16_t* u = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < units; ++i)
        u[i] = qFromLittleEndian(u[i]);
    return text;
}

namespace {

// Big5's two-byte codes as iconv decodes them, one pair at a time: a code iconv refuses
// leaves its own entry zero and no other.
std::vector<char16_t> big5Table()
{
    std::vector<char16_t> t(65536, 0);
    iconv_t cd = iconv_open("UTF-16LE", big5CharsetName());
    if (cd == kNoIconv)
        return t;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail > 0x7E && trail < 0xA1)
                continue;
            char input[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            char output[8];
            char* in = input;
            size_t inLeft = 2;
            char* out = output;
            size_t outLeft = sizeof output;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1) || inLeft != 0 || out - output != 2)
                continue; // refused, or outside the BMP: left to the full decoder
            char16_t unit;
            std::memcpy(&unit, output, 2);
            t[size_t(lead << 8 | trail)] = qFromLittleEndian(unit);
        }
    }
    iconv_close(cd);
    return t;
}

} // namespace

const char16_t* gb18030TwoByteTable()
{
    static const std::vector<char16_t> table = [] {
        std::vector<char16_t> t(65536, 0);
        std::vector<quint16> codes;
        QByteArray input;
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail == 0x7F)
                    continue;
                codes.push_back(static_cast<quint16>(lead << 8 | trail));
                input.append(static_cast<char>(lead));
                input.append(static_cast<char>(trail));
            }
        }
        iconv_t cd = iconv_open("UTF-16LE", "GB18030");
        if (cd == kNoIconv)
            return t;
        std::vector<char> output(size_t(input.size()) * 2);
        char* in = input.data();
        size_t inLeft = size_t(input.size());
        char* out = output.data();
        size_t outLeft = output.size();
        const size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
        iconv_close(cd);
        if (result == static_cast<size_t>(-1) || inLeft != 0)
            return t; // leave the fast path off rather than guess
        const size_t units = size_t(out - output.data()) / 2;
        size_t u = 0;
        for (const quint16 code : codes) {
            if (u >= units)
                return std::vector<char16_t>(65536, 0);
            char16_t unit;
            std::memcpy(&unit, output.data() + 2 * u, 2);
            unit = qFromLittleEndian(unit);
            if (QChar::isHighSurrogate(unit)) {
                u += 2; // outside the BMP: two units, left to the full decoder
                continue;
            }
            t[code] = unit;
            ++u;
        }
        return t;
    }();
    return table.data();
}

const char16_t* big5TwoByteTable()
{
    static const std::vector<char16_t> table = big5Table();
    return table.data();
}

const char* big5CharsetName()
{
    static const char* const name = [] {
        iconv_t cd = iconv_open("UTF-16LE", "CP950");
        if (cd == kNoIconv)
            return "BIG5";
        iconv_close(cd);
        return "CP950";
    }();
    return name;
}

QByteArray encodeText(const QString& text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom:
        return text.toUtf8();
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        QByteArray bytes;
        for (QChar c : text) {
            const char hi = static_cast<char>(c.unicode() >> 8);
            const char lo = static_cast<char>(c.unicode() & 0xFF);
            bytes.append(encoding == TextEncoding::Utf16BE ? hi : lo);
            bytes.append(encoding == TextEncoding::Utf16BE ? lo : hi);
        }
        return bytes;
    }
    case TextEncoding::Gb18030:
        return AnsiCodePage::encode(text);
    case TextEncoding::Big5: {
        iconv_t cd = iconv_open(big5CharsetName(), "UTF-16LE");
        if (cd == kNoIconv)
            return {};
        QByteArray input(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        if (QSysInfo::ByteOrder == QSysInfo::BigEndian)
            input = encodeText(text, TextEncoding::Utf16LE);
        QByteArray bytes(text.size() * 2 + 4, '\0');
        char* in = input.data();
        size_t inLeft = size_t(input.size());
        char* out = bytes.data();
        size_t outLeft = size_t(bytes.size());
        const size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
        iconv_close(cd);
        if (result == static_cast<size_t>(-1) || inLeft != 0)
            return {};
        bytes.truncate(out - bytes.data());
        return bytes;
    }
    }
    return {};
}
