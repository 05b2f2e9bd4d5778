#pragma once

#include <QIcon>
#include <QString>

// The reading toolbar's small pictures, drawn here so they look the same on every
// desktop whatever icon theme it has. Names: "open", "bookmark", "find", "first",
// "previous", "next", "last", "read", "pause", "stop", "voice", "help". Unknown names: empty icon.
QIcon readerIcon(const QString& name);
