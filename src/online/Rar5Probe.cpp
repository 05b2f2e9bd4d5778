#include "online/Rar5Probe.h"

#include <QFile>

namespace {

constexpr char kSignature[] = "Rar!\x1a\x07\x01\x00";
constexpr quint64 kMaxHeaderBytes = 2 * 1024 * 1024;
constexpr int kMaxBlocks = 1000000;

enum HeaderType : quint64 { FileHeader = 2, EncryptionHeader = 4, EndOfArchive = 5 };
enum HeaderFlags : quint64 { ExtraAreaPresent = 0x0001, DataAreaPresent = 0x0002 };
constexpr quint64 kFileEncryptionRecord = 0x01;

// Variable-length integers: seven bits a byte, lowest first, the high bit saying "more".
bool readVint(const QByteArray& bytes, int& pos, quint64& value)
{
    value = 0;
    for (int shift = 0; shift < 64 && pos < bytes.size(); shift += 7) {
        const auto byte = static_cast<uchar>(bytes[pos++]);
        value |= quint64(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

bool readVint(QFile& file, quint64& value)
{
    value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        char c = 0;
        if (!file.getChar(&c))
            return false;
        value |= quint64(static_cast<uchar>(c) & 0x7f) << shift;
        if (!(static_cast<uchar>(c) & 0x80))
            return true;
    }
    return false;
}

// The extra area of a file header holds records (size, type, data); type 1 says the file's
// data are encrypted.
bool hasEncryptionRecord(const QByteArray& header, quint64 extraSize)
{
    if (extraSize == 0 || extraSize > quint64(header.size()))
        return false;
    int pos = header.size() - int(extraSize);
    while (pos < header.size()) {
        quint64 size = 0;
        quint64 type = 0;
        if (!readVint(header, pos, size))
            return false;
        const int start = pos;
        if (!readVint(header, pos, type))
            return false;
        if (type == kFileEncryptionRecord)
            return true;
        if (size > quint64(header.size() - start))
            return false;
        pos = start + int(size);
    }
    return false;
}

} // namespace

bool Rar5Probe::isEncrypted(const QString& archivePath)
{
    QFile file(archivePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.read(8) != QByteArray(kSignature, 8))
        return false;
    for (int block = 0; block < kMaxBlocks; ++block) {
        if (file.read(4).size() != 4) // the header's CRC-32
            return false;
        quint64 size = 0;
        if (!readVint(file, size) || size == 0 || size > kMaxHeaderBytes)
            return false;
        const QByteArray header = file.read(qint64(size));
        if (quint64(header.size()) != size)
            return false;
        int pos = 0;
        quint64 type = 0;
        quint64 flags = 0;
        quint64 extraSize = 0;
        quint64 dataSize = 0;
        if (!readVint(header, pos, type) || !readVint(header, pos, flags))
            return false;
        if (type == EncryptionHeader)
            return true;
        if ((flags & ExtraAreaPresent) && !readVint(header, pos, extraSize))
            return false;
        if ((flags & DataAreaPresent) && !readVint(header, pos, dataSize))
            return false;
        if (type == FileHeader && hasEncryptionRecord(header, extraSize))
            return true;
        if (type == EndOfArchive)
            return false;
        if (dataSize > quint64(file.size()) || !file.seek(file.pos() + qint64(dataSize)))
            return false;
    }
    return false;
}
