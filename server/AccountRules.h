#pragma once

#include <QString>

// The account rules the reader checks before it sends a registration; the service checks
// them again, since any client can post to it.
namespace AccountRules {

// 3 to 14 characters, each a letter, a digit, "_" or a two-byte character of the code page.
bool validUserName(const QString& name);
// The reader's e-mail rule: an "@" after the first character, a "." from the third
// character on, and no "." at the end.
bool validEmail(const QString& email);
// "男" or "女"; anything else is kept as "保密".
QString normalizedSex(const QString& sex);

constexpr int kMinPassword = 3;
constexpr int kMaxPassword = 64;

} // namespace AccountRules
