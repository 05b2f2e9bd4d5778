#pragma once

#include <QString>

class LibraryDatabase;

// The book read last, which the reader opens again at start (at its place) unless the user
// turned that off. Both are reader options.
namespace LastBook {

// Whether the last book opens at start; on unless turned off.
bool reopensAtStart(LibraryDatabase* library);
bool setReopensAtStart(LibraryDatabase* library, bool on);

void remember(LibraryDatabase* library, const QString& path);
// The book to open at start: empty when turned off, when none was read or it is gone.
QString toReopen(LibraryDatabase* library);

} // namespace LastBook
