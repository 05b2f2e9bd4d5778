#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QSet>
#include <QString>

#include <optional>

// Where the service keeps its book files. Today a folder (FileStore), which several
// instances may share as a network mount; an object store would be another implementation.
class BookStorage {
public:
    virtual ~BookStorage() = default;
    // Stores the bytes under a fresh name of the service's own (prefix, 16 random hex
    // digits, "." and the extension), unique across every instance sharing the storage, and
    // returns that name.
    virtual std::optional<QString> store(QByteArrayView data, const QString& prefix, const QString& extension) = 0;
    virtual void remove(const QString& storedName) = 0;
    // Removes the stored files of the service's own naming that no row references and that
    // were last written before `writtenBefore`. Returns how many went.
    virtual int sweepUnreferenced(const QSet<QString>& referenced, const QDateTime& writtenBefore) = 0;
    // The local path a stored file is served from; see FileStore::resolve.
    virtual std::optional<QString> resolve(const QString& relativePath) const = 0;
};

// The files of the service under DIR/files/. A file becomes visible there only complete:
// it is written to DIR/tmp/ under a name of its own, flushed to disk and then renamed into
// place, so a killed process never leaves half a book where a download could find it.
class FileStore : public BookStorage {
public:
    explicit FileStore(const QString& dataDir);

    QString filesDir() const { return m_files; }
    QString updateDir() const;

    // Creates the folders. The service also clears what a killed process left in DIR/tmp/,
    // the files last written before `clearWrittenBefore`: younger ones may be uploads another
    // instance sharing the folder, or an administration command, is still writing. Without a
    // time (an administration command), nothing is cleared.
    bool prepare(const QDateTime& clearWrittenBefore = QDateTime());

    std::optional<QString> store(QByteArrayView data, const QString& prefix, const QString& extension) override;
    // Copies a local file into the update folder under its own file name.
    std::optional<QString> storeUpdateFile(const QString& sourcePath);
    void remove(const QString& storedName) override;
    // Removes the files of the service's own naming under files/ (not the update folder) that
    // no row references and that were last written before `writtenBefore`: uploads cut off by
    // a killed process between storing the file and committing its row, or reviews whose old
    // file was never removed. Newer files are left alone, since an administration command
    // running at the same time may be about to commit the row naming one. Returns how many went.
    int sweepUnreferenced(const QSet<QString>& referenced, const QDateTime& writtenBefore) override;

    // The absolute path of a stored file for a request path below "/files/", or nothing when
    // the path is malformed, leaves the folder or names no regular file. Names of the update
    // folder are matched without regard to letter case.
    std::optional<QString> resolve(const QString& relativePath) const override;

    static QString extensionOf(const QString& clientFileName);
    // The media type a stored file is served as, by its extension; TXT without a charset,
    // which only a look at the bytes can tell.
    static QByteArray mediaTypeOf(const QString& extension);
    // Archives and pictures must carry their format's signature; TXT files may hold anything.
    static bool contentMatches(const QString& extension, QByteArrayView data);

private:
    enum class Existing { Replace, Keep };
    // With Existing::Keep, fails when the target exists rather than replacing it.
    bool writeAtomically(const QString& target, QByteArrayView data, Existing existing = Existing::Replace);

    QString m_files;
    QString m_tmp;
};
