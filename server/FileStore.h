#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The files of the service under DIR/files/. A file becomes visible there only complete:
// it is written to DIR/tmp/, flushed to disk and then renamed into place, so a killed
// process never leaves half a book where a download could find it.
class FileStore {
public:
    explicit FileStore(const QString& dataDir);

    QString filesDir() const { return m_files; }
    QString updateDir() const;

    // Creates the folders. The service also clears what a killed process left in DIR/tmp/;
    // an administration command must not, as the running service may be writing there.
    bool prepare(bool clearTemporaryFiles);

    // Stores the bytes under a fresh name of the service's own (prefix, 16 random hex
    // digits, "." and the extension) and returns that name.
    std::optional<QString> store(const QByteArray& data, const QString& prefix, const QString& extension);
    // Copies a local file into the update folder under its own file name.
    std::optional<QString> storeUpdateFile(const QString& sourcePath);
    void remove(const QString& storedName);

    // The absolute path of a stored file for a request path below "/files/", or nothing when
    // the path is malformed, leaves the folder or names no regular file. Names of the update
    // folder are matched without regard to letter case.
    std::optional<QString> resolve(const QString& relativePath) const;

    static QString extensionOf(const QString& clientFileName);
    // Archives and pictures must carry their format's signature; TXT files may hold anything.
    static bool contentMatches(const QString& extension, const QByteArray& data);

private:
    bool writeAtomically(const QString& target, const QByteArray& data);

    QString m_files;
    QString m_tmp;
};
