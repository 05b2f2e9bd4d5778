#pragma once

#include <QByteArray>
#include <QString>

// The Chinese ANSI code page of the product's files and form values. GB18030 is used
// through iconv: it is a superset of GBK, so every GBK text decodes the same, and it
// round-trips every character.
namespace AnsiCodePage {

// Text to GB18030 bytes. Characters iconv cannot convert become "?".
QByteArray encode(const QString& text);

// Text to the bytes of the two-byte code page (GBK, what "gb2312" means to the product):
// a character that only GB18030's four-byte form can hold becomes "?", as the system's
// own conversion gives it.
QByteArray encodeGbk(const QString& text);

// GB18030 bytes to text. Invalid sequences become U+FFFD.
QString decode(const QByteArray& bytes);

// The bytes one character takes in the code page (1, 2 or 4); "?" for what cannot be converted.
QByteArray encodeChar(char32_t codePoint);

} // namespace AnsiCodePage
