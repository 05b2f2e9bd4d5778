#pragma once

#include <QString>

// The file name a catalogue book is downloaded under: its title and the real extension of
// the stored file ("剑影江湖.txt"), below a folder named after the book's number
// ("/files/123/剑影江湖.txt"). The reader names the book's folder, its pane row and the
// saved file after this name, so it must be a plain file name that survives the trip
// through a URL unchanged.
namespace DownloadName {

// A title that cannot stand as a file name is made into one: path separators, "%", "#"
// and "?" (which a URL would read as escapes, a fragment or a query) become their
// full-width forms, control characters go, a leading dot (".", "..", hidden files) becomes
// a full-width dot, and an empty result becomes "未命名" + the book's number. The name is
// kept short enough for any file system (at most 200 bytes in UTF-8 with the extension).
QString of(const QString& title, qint64 id, const QString& extension);

// "/files/" + id + "/" + name.
QString path(qint64 id, const QString& name);

} // namespace DownloadName
