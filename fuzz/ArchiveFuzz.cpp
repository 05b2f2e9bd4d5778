// Fuzz target: unpacking a downloaded archive (RAR 4 and 5, ZIP, 7z). Each input is written to
// a file and unpacked, with small limits, into a book folder that already holds a file and a
// folder of the user's. Nothing may appear outside that folder, no link inside it may lead
// out, a failure must leave it exactly as it was, and every result is one of the documented
// ones.
#include "FuzzCheck.h"
#include "online/ArchiveUnpacker.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

#include <unistd.h>

namespace {

constexpr qint64 kMaxBytes = 4 * 1024 * 1024;
constexpr int kMaxEntries = 100;

// The scratch folder of this process, in memory where possible, removed when the run ends:
// the archive file and, in `box`, the destination and nothing else.
struct Scratch {
    QString root;
    QString archive;
    QString box;
    QString destination;
    Scratch()
    {
        const QString shm = QStringLiteral("/dev/shm");
        const QString base = QFileInfo(shm).isWritable() ? shm : QDir::tempPath();
        root = QStringLiteral("%1/quillmere-fuzz-archive-%2").arg(base).arg(qint64(getpid()));
        archive = root + QStringLiteral("/download.bin");
        box = root + QStringLiteral("/box");
        destination = box + QStringLiteral("/book");
    }
    ~Scratch() { QDir(root).removeRecursively(); }
};

const Scratch& scratch()
{
    static const Scratch s;
    return s;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// What the user had in the book folder before: a file, and a folder with a file, under names
// archives of the seeds use too.
void prepareDestination()
{
    const Scratch& s = scratch();
    QDir(s.box).removeRecursively();
    QDir().mkpath(s.destination + QStringLiteral("/testdir"));
    writeFile(s.destination + QStringLiteral("/test.txt"), "the user's own test.txt\n");
    writeFile(s.destination + QStringLiteral("/testdir/notes.txt"), "the user's notes\n");
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Every entry below `folder` without following links: its kind and, for files, its bytes;
// for links, their target.
QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString relative = path.mid(folder.size() + 1);
        if (info.isSymLink()) {
            entries.insert(relative, "link:" + QFile::encodeName(info.symLinkTarget()));
        } else if (info.isDir()) {
            entries.insert(relative, "folder");
        } else {
            QFile f(path);
            entries.insert(relative, "file:" + (f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("?")));
        }
    }
    return entries;
}

bool isDocumented(int result)
{
    switch (result) {
    case Unpack::Success:
    case Unpack::NotAnArchive:
    case Unpack::CannotOpen:
    case Unpack::HeadersEncrypted:
    case Unpack::BadData:
    case Unpack::CannotCreate:
    case Unpack::CannotWrite:
    case Unpack::DataEncrypted:
    case Unpack::TooLarge:
    case Unpack::TooManyEntries:
        return true;
    default:
        return false; // Cancelled cannot happen: nothing cancels
    }
}

bool inside(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

// No link in the folder leads out of it, read as written or as the system resolves it.
void checkLinks(const QString& destination)
{
    const QString canonicalDestination = QFileInfo(destination).canonicalFilePath();
    QDirIterator it(destination, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        if (!info.isSymLink())
            continue;
        char target[4096];
        const ssize_t n = readlink(QFile::encodeName(path).constData(), target, sizeof target - 1);
        FUZZ_CHECK(n > 0, "a link can be read");
        const QString written = QFile::decodeName(QByteArray(target, n));
        FUZZ_CHECK(!written.startsWith(QLatin1Char('/')), "links are relative");
        FUZZ_CHECK(inside(QDir::cleanPath(info.path() + QLatin1Char('/') + written), destination),
                   "a link's target as written stays inside the folder");
        const QString resolved = info.canonicalFilePath();
        FUZZ_CHECK(resolved.isEmpty() || inside(resolved, canonicalDestination),
                   "a link's target as resolved stays inside the folder");
    }
}

} // namespace

// The archive library asks malloc for absurd sizes on some damaged RAR 5 headers (libarchive
// 3.6.2 computes a size of -3) and handles the null it gets as damaged data; by default the
// sanitizer would abort at the request itself.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Scratch& s = scratch();
    QDir().mkpath(s.root);
    if (!writeFile(s.archive, QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))))
        return 0;
    prepareDestination();
    const QMap<QString, QByteArray> before = snapshot(s.destination);

    UnpackOptions options;
    options.limits.maxExpandedBytes = kMaxBytes;
    options.limits.maxEntries = kMaxEntries;
    const int result = UnpackArchive(Unpack::Extract, s.archive, s.destination, QString(), options);
    FUZZ_CHECK(isDocumented(result), "the result is a documented one");

    // Nothing outside the book folder.
    FUZZ_CHECK(entriesOf(s.root) == QStringList({QStringLiteral("box"), QStringLiteral("download.bin")}),
               "nothing is made beside the archive");
    FUZZ_CHECK(entriesOf(s.box) == QStringList(QStringLiteral("book")), "nothing is made beside the book folder");
    const QFileInfo book(s.destination);
    FUZZ_CHECK(book.isDir() && !book.isSymLink(), "the book folder stays a folder");
    checkLinks(s.destination);

    const QMap<QString, QByteArray> after = snapshot(s.destination);
    if (result != Unpack::Success) {
        FUZZ_CHECK(after == before, "a failure leaves the folder as it was");
    } else {
        const QFileInfo userFolder(s.destination + QStringLiteral("/testdir"));
        FUZZ_CHECK(userFolder.isDir() && !userFolder.isSymLink(), "the user's folder is never replaced");
        qint64 bytes = 0;
        int files = 0;
        for (auto it = after.cbegin(); it != after.cend(); ++it) {
            if (!it.value().startsWith("file:") || before.value(it.key()) == it.value())
                continue;
            bytes += it.value().size() - 5;
            ++files;
        }
        FUZZ_CHECK(bytes <= kMaxBytes && files <= kMaxEntries, "no more than the limits allow");
        // Reading every entry again to test it gives no other answer.
        FUZZ_CHECK(UnpackArchive(Unpack::Test, s.archive, QString(), QString(), options) == Unpack::Success,
                   "what unpacks also tests clean");
    }
    FUZZ_CHECK(isDocumented(UnpackArchive(Unpack::List, s.archive, QString(), QString(), options)),
               "listing gives a documented result");
    return 0;
}
