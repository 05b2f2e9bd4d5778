#include "RarWriter.h"

#include <array>

namespace {

constexpr char kSignature[] = "Rar!\x1a\x07\x01\x00";

enum HeaderType : quint64 { MainHeader = 1, FileHeader = 2, EndOfArchive = 5 };
enum HeaderFlags : quint64 { ExtraAreaPresent = 0x0001, DataAreaPresent = 0x0002 };
constexpr quint64 kRedirectionRecord = 5;
constexpr quint64 kRedirectHardLink = 4;
enum FileFlags : quint64 { UnixTimePresent = 0x0002, Crc32Present = 0x0004 };
constexpr quint64 kHostUnix = 1;
constexpr quint64 kRegularFileMode = 0100644;

// Variable-length integers: seven bits a byte, lowest first, the high bit saying "more".
void putVint(QByteArray& out, quint64 value)
{
    do {
        uchar byte = value & 0x7f;
        value >>= 7;
        if (value)
            byte |= 0x80;
        out.append(static_cast<char>(byte));
    } while (value);
}

void putUint32(QByteArray& out, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xff));
}

// A block: its CRC-32 and size, then the header fields from the type on. The checksum
// covers the size field and the fields, not the data that may follow.
QByteArray block(const QByteArray& fields)
{
    QByteArray sized;
    putVint(sized, static_cast<quint64>(fields.size()));
    sized += fields;
    QByteArray out;
    putUint32(out, RarWriter::crc32(sized));
    return out + sized;
}

} // namespace

quint32 RarWriter::crc32(const QByteArray& data, quint32 crc)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (const char ch : data)
        crc = table[(crc ^ static_cast<uchar>(ch)) & 0xff] ^ (crc >> 8);
    return ~crc;
}

namespace {

// A file header with its extra area (empty for none).
QByteArray fileHeader(const QByteArray& name, const QByteArray& data, quint32 mtime, const QByteArray& extra)
{
    QByteArray fields;
    putVint(fields, FileHeader);
    putVint(fields, extra.isEmpty() ? quint64(DataAreaPresent) : quint64(DataAreaPresent | ExtraAreaPresent));
    if (!extra.isEmpty())
        putVint(fields, static_cast<quint64>(extra.size()));
    putVint(fields, static_cast<quint64>(data.size())); // packed size: stored as is
    putVint(fields, UnixTimePresent | Crc32Present);
    putVint(fields, static_cast<quint64>(data.size()));
    putVint(fields, kRegularFileMode);
    putUint32(fields, mtime);
    putUint32(fields, RarWriter::crc32(data));
    putVint(fields, 0); // compression: format version 0, method 0 (stored), smallest dictionary
    putVint(fields, kHostUnix);
    putVint(fields, static_cast<quint64>(name.size()));
    fields += name;
    return block(fields + extra);
}

QByteArray hardLinkRecord(const QString& target)
{
    const QByteArray name = target.toUtf8();
    QByteArray record;
    putVint(record, kRedirectionRecord);
    putVint(record, kRedirectHardLink);
    putVint(record, 0); // redirection flags: the target is not a folder
    putVint(record, static_cast<quint64>(name.size()));
    record += name;
    QByteArray extra;
    putVint(extra, static_cast<quint64>(record.size()));
    return extra + record;
}

} // namespace

QByteArray RarWriter::stored(const QList<File>& files, const QDateTime& modified)
{
    return stored(files, {}, modified);
}

QByteArray RarWriter::stored(const QList<File>& files, const QList<HardLink>& hardLinks, const QDateTime& modified)
{
    QByteArray out(kSignature, sizeof kSignature - 1);

    QByteArray main;
    putVint(main, MainHeader);
    putVint(main, 0); // header flags
    putVint(main, 0); // archive flags: one volume, not solid
    out += block(main);

    const quint32 mtime = static_cast<quint32>(qMax<qint64>(0, modified.toSecsSinceEpoch()));
    for (const File& file : files) {
        out += fileHeader(file.path.toUtf8(), file.data, mtime, {});
        out += file.data;
    }
    for (const HardLink& link : hardLinks)
        out += fileHeader(link.path.toUtf8(), {}, mtime, hardLinkRecord(link.target));

    QByteArray end;
    putVint(end, EndOfArchive);
    putVint(end, 0); // header flags
    putVint(end, 0); // end flags: the last volume
    out += block(end);
    return out;
}
