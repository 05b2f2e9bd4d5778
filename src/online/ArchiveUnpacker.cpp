#include "online/ArchiveUnpacker.h"

#include "online/Rar5Probe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr size_t kBlockSize = 64 * 1024;

struct ReaderDeleter {
    void operator()(archive* a) const { archive_read_free(a); }
};
using Reader = std::unique_ptr<archive, ReaderDeleter>;

QString text(const char* utf8, const char* raw)
{
    if (utf8)
        return QString::fromUtf8(utf8);
    return raw ? QFile::decodeName(raw) : QString();
}

QString entryName(archive_entry* e)
{
    return text(archive_entry_pathname_utf8(e), archive_entry_pathname(e));
}

// A link's target is followed only downwards from the link: relative, without "..", and
// with "/" as its only separator. Links that obey this cannot lead out of the folder,
// whatever other links they pass through.
bool isSafeLinkTarget(const QString& target)
{
    if (target.isEmpty() || target.startsWith(QLatin1Char('/')) || target.contains(QLatin1Char('\\')))
        return false;
    const QStringList parts = target.split(QLatin1Char('/'));
    return !parts.contains(QStringLiteral(".."));
}

Reader openReader(const QString& path, const QString& password, int* result)
{
    Reader a(archive_read_new());
    archive_read_support_format_rar(a.get());
    archive_read_support_format_rar5(a.get());
    archive_read_support_format_zip(a.get());
    archive_read_support_format_7zip(a.get());
    // Archives made on Chinese Windows keep names without the Unicode flag in the code page.
    archive_read_set_format_option(a.get(), "rar", "hdrcharset", "CP936");
    archive_read_set_format_option(a.get(), "zip", "hdrcharset", "CP936");
    if (!password.isEmpty())
        archive_read_add_passphrase(a.get(), password.toUtf8().constData());
    // The library reports a file it does not recognise as EILSEQ.
    if (archive_read_open_filename(a.get(), QFile::encodeName(path).constData(), kBlockSize) != ARCHIVE_OK) {
        *result = archive_errno(a.get()) == EILSEQ ? Unpack::NotAnArchive : Unpack::CannotOpen;
        return nullptr;
    }
    return a;
}

// One pass over the entries of an open archive. In Extract mode files go below `root`, a
// fresh folder nothing else writes to; links are only recorded and made at the end, so no
// entry is ever written through a link.
class Extraction {
public:
    Extraction(int mode, QString archivePath, QString root, bool password, const UnpackOptions& options)
        : m_mode(mode), m_archivePath(std::move(archivePath)), m_root(std::move(root)), m_password(password),
          m_options(options), m_buffer(kBlockSize)
    {
    }

    int run(archive* a)
    {
        for (;;) {
            if (cancelled())
                return Unpack::Cancelled;
            archive_entry* entry = nullptr;
            const int r = archive_read_next_header(a, &entry);
            if (r == ARCHIVE_EOF)
                break;
            // ARCHIVE_WARN: a name that could not be converted; the entry itself is fine.
            if (r < ARCHIVE_WARN)
                return failure(a, false);
            if (++m_entries > m_options.limits.maxEntries)
                return Unpack::TooManyEntries;
            // Without a password an encrypted entry can only fail; with one, reading tells.
            if (archive_entry_is_encrypted(entry) && !m_password)
                return Unpack::DataEncrypted;
            if (m_mode == Unpack::List)
                continue; // the next header skips the data
            const int result = processEntry(a, entry);
            if (result != Unpack::Success)
                return result;
        }
        return m_mode == Unpack::Extract ? makeLinks() : Unpack::Success;
    }

private:
    struct Link {
        QString path;
        QString target;
    };

    bool cancelled() const { return m_options.cancelled && m_options.cancelled->load(); }
    qint64 room() const { return m_options.limits.maxExpandedBytes - m_written; }
    QString place(const QString& relative) const { return m_root + QLatin1Char('/') + relative; }

    int processEntry(archive* a, archive_entry* entry)
    {
        const QString relative = Unpack::safeEntryPath(entryName(entry));
        if (relative.isEmpty())
            return Unpack::Success; // skipped: absolute, climbing out, or nameless
        if (archive_entry_hardlink(entry) || archive_entry_hardlink_utf8(entry)) {
            const QString target =
                Unpack::safeEntryPath(text(archive_entry_hardlink_utf8(entry), archive_entry_hardlink(entry)));
            if (m_mode == Unpack::Extract && !target.isEmpty())
                m_hardLinks.push_back({relative, target});
            return Unpack::Success;
        }
        switch (archive_entry_filetype(entry)) {
        case AE_IFDIR:
            if (m_mode == Unpack::Extract && !QDir().mkpath(place(relative)))
                return Unpack::CannotCreate;
            return Unpack::Success;
        case AE_IFLNK:
            if (m_mode == Unpack::Extract)
                m_symLinks.push_back({relative, text(archive_entry_symlink_utf8(entry), archive_entry_symlink(entry))});
            return Unpack::Success;
        case AE_IFREG:
        case 0: // some damaged or unusual headers carry no type; their data still decide
            return data(a, entry, relative);
        default:
            return Unpack::Success; // devices, pipes and sockets are never made
        }
    }

    int data(archive* a, archive_entry* entry, const QString& relative)
    {
        // A declared size already beyond the limit stops before anything is decompressed.
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > room())
            return Unpack::TooLarge;
        std::unique_ptr<QFile> out;
        if (m_mode == Unpack::Extract) {
            const QString path = place(relative);
            if (!QDir().mkpath(QFileInfo(path).path()))
                return Unpack::CannotCreate;
            out = std::make_unique<QFile>(path);
            if (!out->open(QIODevice::WriteOnly | QIODevice::Truncate))
                return Unpack::CannotCreate;
        }
        for (;;) {
            if (cancelled())
                return Unpack::Cancelled;
            const la_ssize_t n = archive_read_data(a, m_buffer.data(), m_buffer.size());
            if (n == 0)
                break;
            // Any negative return ends the entry: reading on would give wrong bytes.
            if (n < 0)
                return failure(a, true);
            // Headers can lie about sizes; the bytes really produced are what counts.
            m_written += n;
            if (m_written > m_options.limits.maxExpandedBytes)
                return Unpack::TooLarge;
            if (out && out->write(m_buffer.data(), n) != n)
                return Unpack::CannotWrite;
        }
        if (out && !out->flush())
            return Unpack::CannotWrite;
        return Unpack::Success;
    }

    // Encrypted archives fail like damaged ones; tell them apart for the user.
    int failure(archive* a, bool inData) const
    {
        bool encrypted = archive_read_has_encrypted_entries(a) > 0;
        if (!encrypted && archive_format(a) == ARCHIVE_FORMAT_RAR_V5)
            encrypted = Rar5Probe::isEncrypted(m_archivePath);
        if (encrypted)
            return inData ? Unpack::DataEncrypted : Unpack::HeadersEncrypted;
        return Unpack::BadData;
    }

    // Hard links become copies of files already written (counted against the limit, so a
    // thousand links to one big file cannot fill the disk); symbolic links are made only
    // when their target cannot lead out. A link that cannot be made is left out.
    int makeLinks()
    {
        for (const Link& link : m_hardLinks) {
            if (cancelled())
                return Unpack::Cancelled;
            const QFileInfo target(place(link.target));
            const QString path = place(link.path);
            // A link to itself names a file that is already there.
            if (link.path == link.target || !target.isFile() || target.isSymLink() || QFileInfo(path).isDir())
                continue;
            if (target.size() > room())
                return Unpack::TooLarge;
            if (!QDir().mkpath(QFileInfo(path).path()))
                return Unpack::CannotCreate;
            QFile::remove(path);
            if (!QFile::copy(target.filePath(), path))
                return Unpack::CannotCreate;
            m_written += target.size();
        }
        for (const Link& link : m_symLinks) {
            const QString path = place(link.path);
            const QFileInfo existing(path);
            if (!isSafeLinkTarget(link.target) || existing.exists() || existing.isSymLink())
                continue;
            if (QDir().mkpath(existing.path()))
                QFile::link(link.target, path);
        }
        return Unpack::Success;
    }

    int m_mode;
    QString m_archivePath;
    QString m_root;
    bool m_password;
    const UnpackOptions& m_options;
    std::vector<char> m_buffer;
    qint64 m_written = 0;
    int m_entries = 0;
    std::vector<Link> m_hardLinks;
    std::vector<Link> m_symLinks;
};

// Moves what was unpacked into the destination: files and links replace those of the same
// name, folders merge with existing folders. A folder already in the destination is never
// replaced by a file of the archive (it could hold the user's own files).
int moveInto(const QString& from, const QString& to)
{
    const QFileInfoList entries =
        QDir(from).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        const QString target = to + QLatin1Char('/') + entry.fileName();
        const QFileInfo existing(target);
        const bool existingFolder = existing.isDir() && !existing.isSymLink();
        const bool folder = entry.isDir() && !entry.isSymLink();
        if (folder && existingFolder) {
            if (const int result = moveInto(entry.filePath(), target))
                return result;
            continue;
        }
        if (existingFolder)
            continue;
        if (folder && (existing.exists() || existing.isSymLink()))
            QFile::remove(target); // a folder cannot be renamed over a file
        // rename() replaces a file or a link itself, never what a link points to.
        if (std::rename(QFile::encodeName(entry.filePath()).constData(), QFile::encodeName(target).constData()) != 0)
            return Unpack::CannotCreate;
    }
    return Unpack::Success;
}

} // namespace

QString Unpack::safeEntryPath(const QString& name)
{
    QString path = name;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (path.startsWith(QLatin1Char('/')))
        return {};
    if (path.size() >= 2 && path[1] == QLatin1Char(':') && path[0].isLetter())
        return {}; // a Windows drive
    QStringList parts;
    for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String(".."))
            return {};
        parts.append(part);
    }
    return parts.join(QLatin1Char('/'));
}

int UnpackArchive(int mode, const QString& archivePath, const QString& destination, const QString& password,
                  const UnpackOptions& options)
{
    if (mode != Unpack::Extract && mode != Unpack::Test)
        mode = Unpack::List;
    const QFileInfo info(archivePath);
    if (!info.isFile() || !info.isReadable())
        return Unpack::CannotOpen;
    int result = Unpack::Success;
    Reader reader = openReader(archivePath, password, &result);
    if (!reader)
        return result;
    if (mode != Unpack::Extract)
        return Extraction(mode, archivePath, QString(), !password.isEmpty(), options).run(reader.get());

    if (!QDir().mkpath(destination))
        return Unpack::CannotCreate;
    // A hidden folder inside the destination: the same file system (moving is renaming), and
    // skipped by the search for the book's TXT file should anything be left behind.
    QTemporaryDir staging(QDir(destination).filePath(QStringLiteral(".unpack-XXXXXX")));
    if (!staging.isValid())
        return Unpack::CannotCreate;
    result = Extraction(Unpack::Extract, archivePath, staging.path(), !password.isEmpty(), options).run(reader.get());
    reader.reset();
    if (result == Unpack::Success)
        result = moveInto(staging.path(), QDir(destination).absolutePath());
    return result;
}
