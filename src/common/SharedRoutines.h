#pragma once

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QStringList>

class DesktopLauncher;

// Small routines several parts of the reader share. Names follow the product's own.

// A size in kilobytes as text: "0.5 Bytes", "5.00 KB", "512 KB", "2.00 MB", "2.86 GB".
QString FormatFileSize(double sizeKb);

// Appends to `list` the full paths of the files under `folder` (and all its sub-folders,
// depth first, names starting with "." skipped) whose names match `pattern` ("*.txt"),
// case-insensitively. `counter` is the running count the caller starts at 0; returns it.
int SearchFiles(const QString& folder, const QString& pattern, QStringList& list, int& counter);

// Form-value encoding the service expects: letters stay, two-byte characters of the
// code page become two %XX escapes of their GBK bytes, anything else "%" + its byte in
// upper-case hex without padding ("1" → %31, LF → %A). Unconvertible characters → %3F.
QString URLEncode(const QString& text);

bool CheckEmail(const QString& text);
bool CheckUserName(const QString& text);

// Text after the last "/" or "\"; empty when there is neither.
QString getPathFileName(const QString& path);
// The last piece of the address split at "/" (the whole address without "/").
QString getUrlFileName(const QString& address);

// Creates every missing folder along `path` and returns the path unchanged.
// Accepts "/" and "\" as separators. Returns the path even when a level cannot be made;
// `ok` (when given) tells whether the whole path now exists.
QString CreateFolderPath(const QString& path, bool* ok = nullptr);

bool CheckFileExists(const QString& path);

// Opens an address in the desktop's browser.
bool OpenInBrowser(DesktopLauncher& desktop, const QString& address);

// RRGGBB text of a colour, upper case: pure red → "FF0000".
QString colorToHex(const QColor& color);
// RRGGBB (with or without "#") to a colour; unreadable pairs count as 0.
QColor hexToColor(const QString& hex);

// The `rnt` stamp: the local date and time in the general date form, one blank between
// date and time ("2009/3/7 8:05:00").
QString RntStamp(const QDateTime& when);
