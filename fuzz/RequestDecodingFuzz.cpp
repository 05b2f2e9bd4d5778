// Fuzz target: how the service reads a request. The same bytes go through the query and form
// decoders (both charsets), the percent-decoder, the search for the end of a request head (at
// once and as the bytes trickle in), the head parser and the target splitter. What decodes
// must encode and decode again to the same fields; nothing may read past the buffer.
#include "FuzzCheck.h"
#include "HttpWire.h"
#include "TextCodec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

bool isUnreserved(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.' || c == '~';
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Percent-encodes every byte but the unreserved ones (and those in `keep`). In form values a
// byte below 16 followed by no hex digit takes the one-digit form the reader's form encoder
// writes ("%A"); paths know only two digits.
enum class Digits { OneWherePossible, Two };
QByteArray percentEncode(const QByteArray& bytes, Digits digits = Digits::OneWherePossible, QByteArrayView keep = {})
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (isUnreserved(c) || keep.contains(c)) {
            out.append(c);
            continue;
        }
        const auto u = static_cast<unsigned char>(c);
        const bool nextIsHex = i + 1 < bytes.size() && (isUnreserved(bytes[i + 1]) || keep.contains(bytes[i + 1])) &&
                               isHexDigit(bytes[i + 1]);
        out.append('%');
        if (u >= 16 || nextIsHex || digits == Digits::Two)
            out.append(hex[u >> 4]);
        out.append(hex[u & 15]);
    }
    return out;
}

// The fields encoded again: keys in UTF-8, values in the charset, keys in a fixed order.
QByteArray encodeFields(const TextCodec::Fields& fields, bool gbkValues)
{
    QStringList keys = fields.keys();
    std::sort(keys.begin(), keys.end());
    QByteArray out;
    for (const QString& key : keys) {
        const QString value = fields.value(key);
        if (!out.isEmpty())
            out += '&';
        out +=
            percentEncode(key.toUtf8()) + '=' + percentEncode(gbkValues ? TextCodec::encodeGbk(value) : value.toUtf8());
    }
    return out;
}

void checkDecoding(const QByteArray& bytes)
{
    for (const bool plusIsBlank : {false, true}) {
        const auto decoded = TextCodec::percentDecode(bytes, plusIsBlank);
        FUZZ_CHECK(!decoded || decoded->size() <= bytes.size(), "decoding never lengthens");
        if (!bytes.contains('%') && !(plusIsBlank && bytes.contains('+')))
            FUZZ_CHECK(decoded && *decoded == bytes, "text without escapes stays itself");
        FUZZ_CHECK(TextCodec::percentDecode(percentEncode(bytes), plusIsBlank) == bytes,
                   "decode(encode(x)) = x for any bytes");
    }

    if (const auto query = TextCodec::parseQuery(bytes)) {
        FUZZ_CHECK(query->size() <= bytes.count('&') + 1, "no more fields than pairs");
        FUZZ_CHECK(TextCodec::parseQuery(encodeFields(*query, false)) == *query,
                   "a query encoded again reads the same");
    }
    if (const auto form = TextCodec::parseForm(bytes, TextCodec::Charset::Gbk)) {
        FUZZ_CHECK(TextCodec::parseForm(encodeFields(*form, true), TextCodec::Charset::Gbk) == *form,
                   "a code-page form encoded again reads the same");
    }
    if (const auto form = TextCodec::parseForm(bytes, TextCodec::Charset::Utf8)) {
        FUZZ_CHECK(TextCodec::parseForm(encodeFields(*form, false), TextCodec::Charset::Utf8) == *form,
                   "a UTF-8 form encoded again reads the same");
        // Every UTF-8 value is also a query value: queries try UTF-8 first.
        const auto asQuery = TextCodec::parseQuery(bytes);
        if (!bytes.contains('+'))
            FUZZ_CHECK(asQuery && *asQuery == *form, "a UTF-8 form without blanks reads as a query");
    }

    if (const auto text = TextCodec::decodeGbk(bytes))
        FUZZ_CHECK(TextCodec::decodeGbk(TextCodec::encodeGbk(*text)) == *text, "code-page text encodes back");
    if (const auto text = TextCodec::decodeUtf8(bytes)) {
        const QByteArray again = text->toUtf8();
        FUZZ_CHECK(again == bytes || (bytes.startsWith("\xEF\xBB\xBF") && again == bytes.mid(3)),
                   "valid UTF-8 encodes back (a leading byte-order mark aside)");
    }
}

// The end of the head found as the connection finds it, the bytes arriving a few at a time:
// blank lines before a request are dropped and each search starts near where the last
// stopped. Returns the end as an offset into `bytes`, or -1.
qsizetype trickledHeadEnd(const QByteArray& bytes)
{
    QByteArray buffer;
    qsizetype dropped = 0;
    qsizetype scanned = 0;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        const qsizetype chunk = 1 + static_cast<unsigned char>(bytes[pos]) % 7;
        buffer += bytes.mid(pos, chunk);
        pos += chunk;
        qsizetype skip = 0;
        while (skip < buffer.size() && (buffer[skip] == '\r' || buffer[skip] == '\n'))
            ++skip;
        if (skip > 0) {
            buffer.remove(0, skip);
            dropped += skip;
            scanned = 0;
        }
        if (buffer.isEmpty())
            continue;
        const qsizetype end = HttpWire::headEnd(buffer, scanned);
        if (end >= 0)
            return dropped + end;
        scanned = qMax<qsizetype>(0, buffer.size() - 3);
    }
    return -1;
}

QByteArray encodedPath(const QString& path)
{
    return percentEncode(path.toUtf8(), Digits::Two, "/");
}

void checkTarget(const QByteArray& bytes)
{
    QString path;
    QByteArray query;
    HttpWire::splitTarget(bytes, &path, &query);
    FUZZ_CHECK(!path.isEmpty() && path == path.toLower(), "paths are lower-cased and never empty");
    for (const char c : query)
        FUZZ_CHECK(c > 0x20 && c < 0x7f, "the query is printable ASCII");

    // The path and query written out again give the same request.
    QString pathAgain;
    QByteArray queryAgain;
    HttpWire::splitTarget(encodedPath(path) + (query.isEmpty() ? QByteArray() : "?" + query), &pathAgain, &queryAgain);
    FUZZ_CHECK(pathAgain == path && queryAgain == query, "a split target written out again splits the same");

    // A query without escapes reaches the query decoder as the client sent it.
    QByteArray raw = bytes;
    raw.replace('#', "");
    HttpWire::splitTarget("/x?" + raw, &path, &query);
    if (!raw.contains('%'))
        FUZZ_CHECK(TextCodec::percentDecode(query) == raw, "the query decoder sees the client's bytes");
}

void checkHead(const QByteArray& bytes)
{
    const qsizetype end = HttpWire::headEnd(bytes);
    FUZZ_CHECK(end == -1 || (end >= 2 && end <= bytes.size()), "the head ends inside the buffer");
    if (end >= 0) {
        const QByteArray head = bytes.left(end);
        FUZZ_CHECK(head.endsWith("\n\n") || head.endsWith("\n\r\n"), "the head ends with a blank line");
        FUZZ_CHECK(HttpWire::headEnd(head) == end, "the head alone ends in the same place");
        FUZZ_CHECK(HttpWire::headEnd(bytes.left(end - 1)) == -1, "no blank line ends it earlier");
    }
    qsizetype start = 0;
    while (start < bytes.size() && (bytes[start] == '\r' || bytes[start] == '\n'))
        ++start;
    const qsizetype whole = start < bytes.size() ? HttpWire::headEnd(bytes.mid(start)) : -1;
    FUZZ_CHECK(trickledHeadEnd(bytes) == (whole < 0 ? -1 : start + whole), "bytes trickling in end the head alike");

    const HttpWire::Head h = HttpWire::parseHead(end >= 0 ? QByteArrayView(bytes).first(end) : QByteArrayView(bytes));
    if (h.status == HttpWire::Head::Status::Refused) {
        FUZZ_CHECK(h.refusal == 400 || h.refusal == 411 || h.refusal == 431 || h.refusal == 505,
                   "a refusal is one of the documented ones");
        return;
    }
    const HttpRequest& r = h.request;
    FUZZ_CHECK(!r.method.isEmpty() && !r.method.contains(' '), "a method is one word");
    FUZZ_CHECK(h.contentLength >= 0, "lengths are not negative");
    QByteArray again = r.method + ' ' + encodedPath(r.path) + (r.query.isEmpty() ? QByteArray() : "?" + r.query) +
                       (h.http10 ? " HTTP/1.0\r\n" : " HTTP/1.1\r\n");
    for (auto it = r.headers.cbegin(); it != r.headers.cend(); ++it) {
        FUZZ_CHECK(!it.key().isEmpty() && it.key() == it.key().toLower(), "header names are lower-cased");
        for (const char c : it.value()) {
            const auto u = static_cast<unsigned char>(c);
            FUZZ_CHECK((u == '\t' || u >= 0x20) && u != 0x7f, "no control characters in a value");
        }
        again += it.key() + ": " + it.value() + "\r\n";
    }
    again += "\r\n";
    // The head written out again, one line a header, reads the same.
    const HttpWire::Head h2 = HttpWire::parseHead(again);
    FUZZ_CHECK(h2.status == HttpWire::Head::Status::Complete && h2.request.method == r.method &&
                   h2.request.path == r.path && h2.request.query == r.query && h2.contentLength == h.contentLength &&
                   h2.http10 == h.http10 && h2.keepAlive == h.keepAlive && h2.expectContinue == h.expectContinue,
               "a head written out again reads the same");
    for (auto it = r.headers.cbegin(); it != r.headers.cend(); ++it)
        FUZZ_CHECK(h2.request.headers.value(it.key()) == it.value().trimmed(), "headers read the same");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    checkDecoding(bytes);
    checkTarget(bytes);
    checkHead(bytes);
    return 0;
}
