#pragma once

#include "FileStore.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

// What a catalogue feed tells about a stored book file: its size on disk and its media type,
// with the charset a TXT file is really written in. Stored names are never reused for other
// bytes (an update stores a new file), so what was learnt about a name stays true.
struct BookFileFacts {
    qint64 size = -1; // -1: the file is missing
    QByteArray mediaType;
};

class BookFiles {
public:
    // How much of a TXT file its charset is judged on: GBK text gives itself away within
    // its first lines, and a feed page never reads whole books.
    static constexpr qint64 kCharsetProbeBytes = 256 * 1024;
    static constexpr int kMaxRemembered = 20000;

    explicit BookFiles(const FileStore& files) : m_files(files) {}

    BookFileFacts of(const QString& storedName);

    // "utf-8", "utf-16le" or "utf-16be" by a byte-order mark, "utf-8" for bytes that are
    // valid UTF-8 (a character cut off at the end of the probe does not count against it),
    // and otherwise "gb18030", the superset of GBK the reader opens such books in.
    static QByteArray textCharset(QByteArrayView head);

private:
    const FileStore& m_files;
    QHash<QString, BookFileFacts> m_known;
};
