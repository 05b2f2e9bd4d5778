#pragma once

#include <QString>
#include <QtGlobal>

#include <atomic>

// Unpacking downloaded archives (RAR 4 and 5, ZIP, 7z) into a book's folder.
//
// Extraction is all or nothing: the entries are written into a hidden folder inside the
// destination and moved into place only when the whole archive has been read without fault,
// so a damaged, encrypted or oversized archive leaves the destination as it was.
//
// Archives come from the network, so every entry is checked: names that are absolute or
// climb out with ".." are skipped, links are made last and only when they lead to a place
// inside the destination, hard links become copies of files of the archive itself, and no
// file is ever written through a link. Extraction stops when the archive expands beyond its
// limits (an archive bomb).
//
// UnpackArchive blocks; callers run it on a worker thread.

struct UnpackLimits {
    qint64 maxExpandedBytes = 2LL * 1024 * 1024 * 1024;
    int maxEntries = 10000;
};

struct UnpackOptions {
    UnpackLimits limits;
    // Checked between entries and blocks; when it turns true the extraction stops (Cancelled).
    const std::atomic<bool>* cancelled = nullptr;
};

namespace Unpack {

// Modes: 0 extracts, 1 reads every entry to test it, 2 only walks the list of entries.
enum Mode { Extract = 0, Test = 1, List = 2 };

// Results. 0 is success; 100 + a reason when the archive cannot be opened, 212 for damaged
// data, 200 + a reason when an entry cannot be processed. The reasons are numbered as the
// classic RAR library numbers its errors, so callers can tell them apart as they always did.
enum Result {
    Success = 0,
    NotAnArchive = 113,     // 100 + 13: not an archive of a known format
    CannotOpen = 115,       // 100 + 15: the file cannot be read
    HeadersEncrypted = 122, // 100 + 22: a password is needed even to list the entries
    BadData = 212,          // a damaged header or damaged data (or a form the reader lacks)
    CannotCreate = 216,     // 200 + 16: a file or folder cannot be made in the destination
    CannotWrite = 219,      // 200 + 19: writing failed (a full disk, say)
    DataEncrypted = 222,    // 200 + 22: an entry needs a password
    TooLarge = 250,         // stopped: more bytes than UnpackLimits::maxExpandedBytes
    TooManyEntries = 251,   // stopped: more entries than UnpackLimits::maxEntries
    Cancelled = 252,        // stopped on request
};

inline bool isEncrypted(int result)
{
    return result == HeadersEncrypted || result == DataEncrypted;
}
inline bool isOverLimit(int result)
{
    return result == TooLarge || result == TooManyEntries;
}

// The path of an entry relative to the destination, "/" between its parts, or an empty text
// when the entry must not be written: an absolute name ("/x", "C:\x"), a name with ".." among
// its parts, or a name with no part at all. "\" counts as a separator, as archives made on
// Windows use it.
QString safeEntryPath(const QString& name);

} // namespace Unpack

// UnpackArchive (mode, archive, destination folder, password) → a Unpack::Result. The
// destination folder is created when missing. The password is tried for archives whose
// format the reader can decrypt (ZIP); an empty one means none.
int UnpackArchive(int mode, const QString& archivePath, const QString& destination, const QString& password,
                  const UnpackOptions& options = {});
