#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

// Decoding of what clients send: percent-escapes, form bodies in the Chinese code page
// (GBK, handled as its superset GB18030) and query values in UTF-8.
namespace TextCodec {

// Strict: any byte sequence that is not GB18030 gives no value.
std::optional<QString> decodeGbk(const QByteArray& bytes);
// Characters the code page cannot hold become "?".
QByteArray encodeGbk(const QString& text);
// Strict UTF-8 check and decode.
std::optional<QString> decodeUtf8(const QByteArray& bytes);

// Percent-decoding as the reader's form encoder writes it: "%" and two hex digits, or "%"
// and one hex digit for the control characters it writes without a leading zero (a line
// feed arrives as "%A"). A "%" without a hex digit after it gives no value. In form bodies
// "+" is a blank; in query strings it stays itself, because the reader puts passwords and
// search words into the query unencoded.
std::optional<QByteArray> percentDecode(const QByteArray& encoded, bool plusIsBlank = false);

enum class Charset { Gbk, Utf8 };

// Splits "k=v&k=v" and decodes every value in the given charset. Query strings try UTF-8
// first and fall back to GBK for legacy clients that send code-page bytes.
using Fields = QHash<QString, QString>;
std::optional<Fields> parseForm(const QByteArray& body, Charset charset);
std::optional<Fields> parseQuery(const QByteArray& query);

} // namespace TextCodec
