#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>

// Service addresses are built as plain text, query values inserted as typed. The text
// becomes a wire address only here: the HTTP stack percent-encodes what needs it (Chinese
// as UTF-8, blanks as %20), and nothing else is encoded.
QUrl toRequestUrl(const QString& text);

// The address with the rnt stamp as its last key ("&rnt=" + date, one blank, time), so
// that no cache answers a repeated request.
QString withRnt(const QString& url, const QDateTime& now);

// A typed query value as it goes into an address: as typed, except the three characters that
// would change the address itself ("%" would start an escape, "&" a new key, "#" end the
// query), which are escaped. A search for "C#" or "A&B" then reaches the service whole.
QString queryValue(const QString& typed);

// The address of a file the service lists by its path (a catalogue book's downurl): the base
// address followed by the path, joined with one "/" so that nothing in the path ("@", "//",
// ":") can turn the base into a user name or name another host or port.
QString serviceFileUrl(const QString& serviceBase, const QString& path);
