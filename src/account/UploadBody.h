#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// The multipart body of an upload, laid out byte for byte as the service reads it.
namespace UploadBody {

// The header's content type: no boundary parameter (the body's first line names it).
QByteArray contentType();

// "__NextPart__" and 24 characters drawn from the 62-character alphabet, 36 in all.
// `random` gives r uniform in [0, 1); without one the clock-seeded generator serves.
QString MakeBoundary(const std::function<double()>& random = {});

// Text in the charset; UTF-16 and UTF-8 come without the byte-order mark. "gb2312" is the
// two-byte Chinese code page (characters it lacks become "?").
QByteArray StringToBytes(const QString& text, const QString& charset);
// The whole file; nullopt when it cannot be read.
std::optional<QByteArray> ReadFileBytes(const QString& path);
QString BytesToString(const QByteArray& bytes, const QString& charset);

struct Built {
    QByteArray body;
    QString unreadableFile; // set when a file part could not be read; the body is then empty
};

// Every pair of the field string in order, split at its first "=": a key beginning with
// "file" is a file part (its value a path: the file's bytes follow, raw), any other a text
// part in GB2312. Each part ends with CR LF; the body ends with "--" + boundary + "--".
Built build(const QString& fieldString, const QString& boundary);

// The size build() will give, from the files' sizes on disk (a boundary is 36 characters),
// so a body the service would refuse is known before anything is read.
qint64 measure(const QString& fieldString);

} // namespace UploadBody
