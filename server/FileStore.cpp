#include "FileStore.h"

#include "PasswordHasher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <fcntl.h>
#include <unistd.h>

namespace {

void syncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

FileStore::FileStore(const QString& dataDir)
    : m_files(QDir(dataDir).absoluteFilePath(QStringLiteral("files"))),
      m_tmp(QDir(dataDir).absoluteFilePath(QStringLiteral("tmp")))
{
}

QString FileStore::updateDir() const
{
    return m_files + QStringLiteral("/update");
}

bool FileStore::prepare(const QDateTime& clearWrittenBefore)
{
    QDir tmp(m_tmp);
    if (clearWrittenBefore.isValid() && tmp.exists()) {
        for (const QFileInfo& info : tmp.entryInfoList(QDir::Files | QDir::Hidden)) {
            if (info.lastModified() < clearWrittenBefore)
                QFile::remove(info.filePath());
        }
    }
    return QDir().mkpath(m_files) && QDir().mkpath(m_tmp) && QDir().mkpath(updateDir());
}

bool FileStore::writeAtomically(const QString& target, QByteArrayView data, Existing existing)
{
    const QString temp =
        m_tmp + QLatin1Char('/') + QString::fromLatin1(PasswordHasher::randomToken()) + QStringLiteral(".part");
    QFile file(temp);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    bool ok = file.write(data.data(), data.size()) == data.size() && file.flush() && ::fsync(file.handle()) == 0;
    file.close();
    const QByteArray from = QFile::encodeName(temp);
    const QByteArray to = QFile::encodeName(target);
    if (existing == Existing::Keep) {
        // link() fails where the name is taken, also on a folder shared over the network,
        // where another instance may have just stored a file of the same name.
        ok = ok && ::link(from.constData(), to.constData()) == 0;
        QFile::remove(temp);
        if (!ok)
            return false;
        syncFolder(QFileInfo(target).absolutePath());
        return true;
    }
    ok = ok && ::rename(from.constData(), to.constData()) == 0;
    if (!ok) {
        QFile::remove(temp);
        return false;
    }
    syncFolder(QFileInfo(target).absolutePath());
    return true;
}

std::optional<QString> FileStore::store(QByteArrayView data, const QString& prefix, const QString& extension)
{
    // 64 random bits rarely meet; when they do, the next name is tried rather than a stored
    // book replaced.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString name = prefix + QString::fromLatin1(PasswordHasher::randomToken().left(16)) + QLatin1Char('.') +
                             extension.toLower();
        if (writeAtomically(m_files + QLatin1Char('/') + name, data, Existing::Keep))
            return name;
        if (!QFileInfo::exists(m_files + QLatin1Char('/') + name))
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<QString> FileStore::storeUpdateFile(const QString& sourcePath)
{
    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QString name = QFileInfo(sourcePath).fileName();
    if (!writeAtomically(updateDir() + QLatin1Char('/') + name, source.readAll()))
        return std::nullopt;
    return QStringLiteral("update/") + name;
}

void FileStore::remove(const QString& storedName)
{
    if (!storedName.isEmpty() && !storedName.contains(QLatin1Char('/')))
        QFile::remove(m_files + QLatin1Char('/') + storedName);
}

int FileStore::sweepUnreferenced(const QSet<QString>& referenced, const QDateTime& writtenBefore)
{
    // The names store() gives: "b" (book) or "c" (cover), 16 hex digits and an extension.
    static const QRegularExpression ownName(QStringLiteral("^[bc][0-9a-f]{16}\\.[a-z0-9]+$"));
    int removed = 0;
    const QDir folder(m_files);
    for (const QFileInfo& info : folder.entryInfoList(QDir::Files | QDir::Hidden)) {
        if (!ownName.match(info.fileName()).hasMatch() || referenced.contains(info.fileName()) ||
            info.lastModified() >= writtenBefore)
            continue;
        if (QFile::remove(info.filePath()))
            ++removed;
    }
    return removed;
}

std::optional<QString> FileStore::resolve(const QString& relativePath) const
{
    static const QRegularExpression allowed(QStringLiteral("^(update/)?[A-Za-z0-9_][A-Za-z0-9_.\\-]*$"));
    if (!allowed.match(relativePath).hasMatch() || relativePath.contains(QStringLiteral("..")))
        return std::nullopt;
    QString candidate = m_files + QLatin1Char('/') + relativePath;
    if (!QFileInfo(candidate).isFile()) {
        // Paths are matched without regard to letter case.
        const QFileInfo wanted(candidate);
        const QStringList names = QDir(wanted.absolutePath()).entryList(QDir::Files);
        candidate.clear();
        for (const QString& name : names) {
            if (name.compare(wanted.fileName(), Qt::CaseInsensitive) == 0) {
                candidate = wanted.absolutePath() + QLatin1Char('/') + name;
                break;
            }
        }
        if (candidate.isEmpty())
            return std::nullopt;
    }
    // Symbolic links could point anywhere; only what really lies below files/ is served.
    const QString real = QFileInfo(candidate).canonicalFilePath();
    const QString root = QFileInfo(m_files).canonicalFilePath();
    if (real.isEmpty() || !real.startsWith(root + QLatin1Char('/')) || !QFileInfo(real).isFile())
        return std::nullopt;
    return real;
}

QString FileStore::extensionOf(const QString& clientFileName)
{
    // The reader sends the full Windows path; only the extension of its last piece counts.
    QString name = clientFileName;
    const int slash = qMax(name.lastIndexOf(QLatin1Char('\\')), name.lastIndexOf(QLatin1Char('/')));
    name = name.mid(slash + 1);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

QByteArray FileStore::mediaTypeOf(const QString& extension)
{
    const QString ext = extension.toLower();
    if (ext == QLatin1String("txt"))
        return "text/plain";
    if (ext == QLatin1String("rar"))
        return "application/vnd.rar";
    if (ext == QLatin1String("zip"))
        return "application/zip";
    if (ext == QLatin1String("7z"))
        return "application/x-7z-compressed";
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg"))
        return "image/jpeg";
    if (ext == QLatin1String("gif"))
        return "image/gif";
    return "application/octet-stream";
}

bool FileStore::contentMatches(const QString& extension, QByteArrayView data)
{
    if (extension == QLatin1String("rar"))
        return data.startsWith("Rar!\x1a\x07");
    if (extension == QLatin1String("zip"))
        return data.startsWith("PK\x03\x04") || data.startsWith("PK\x05\x06");
    if (extension == QLatin1String("jpg") || extension == QLatin1String("jpeg"))
        return data.startsWith("\xFF\xD8\xFF");
    if (extension == QLatin1String("gif"))
        return data.startsWith("GIF87a") || data.startsWith("GIF89a");
    return true;
}
