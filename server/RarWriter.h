#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// Writes RAR archives (format 5) whose files are stored without compression. The demo
// catalogue and the benchmarks need real RAR books, and storing is the part of the format
// that any reader must support: headers, names in UTF-8 and checksums, no compression.
class RarWriter {
public:
    struct File {
        QString path; // inside the archive, "/" between folders
        QByteArray data;
    };

    // An entry without data that names another entry of the archive as its contents.
    struct HardLink {
        QString path;
        QString target;
    };

    static QByteArray stored(const QList<File>& files, const QDateTime& modified = QDateTime::currentDateTime());
    // The files, then the hard links.
    static QByteArray stored(const QList<File>& files, const QList<HardLink>& hardLinks,
                             const QDateTime& modified = QDateTime::currentDateTime());

    // The CRC-32 the format uses for headers and data (the common polynomial 0xEDB88320).
    static quint32 crc32(const QByteArray& data, quint32 crc = 0);
};
