#include "account/UploadBody.h"

#include "platform/AnsiCodePage.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>
#include <QTime>

#include <algorithm>

namespace UploadBody {

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXZYabcdefghijklmnopqrstuvwxzy0123456789";
const QString kCrLf = QStringLiteral("\r\n");

bool isChineseCodePage(const QString& upper)
{
    return upper == QLatin1String("GB2312") || upper == QLatin1String("GBK") || upper == QLatin1String("CP936");
}

// A text part. The template's line ends are made before the name and the value go in, so
// a value keeps what was typed, even the four characters backslash, r, backslash, n.
QString textPart(const QString& boundary, const QString& name, const QString& value)
{
    return QStringLiteral("--") + boundary + kCrLf + QStringLiteral("Content-Disposition: form-data; name=\"") + name +
           QLatin1Char('"') + kCrLf + kCrLf + value;
}

struct Pair {
    QString name;
    QString value;
    bool isFile = false;
};

// A pair of the field string, split at its first "=".
Pair splitPair(const QString& pair)
{
    const qsizetype eq = pair.indexOf(QLatin1Char('='));
    Pair p;
    p.name = eq < 0 ? pair : pair.left(eq);
    p.value = eq < 0 ? QString() : pair.mid(eq + 1);
    p.isFile = p.name.startsWith(QLatin1String("file"));
    return p;
}

// A text part whole, or a file part up to its contents; both in GB2312.
QByteArray partHead(const QString& boundary, const Pair& p)
{
    if (!p.isFile)
        return StringToBytes(textPart(boundary, p.name, p.value), QStringLiteral("gb2312"));
    return StringToBytes(QStringLiteral("--") + boundary + kCrLf +
                             QStringLiteral("Content-Disposition:form-data;name=\"") + p.name +
                             QStringLiteral("\";filename=\"") + p.value + QStringLiteral("\"") + kCrLf +
                             QStringLiteral("Content-Type:application/octet-stream") + kCrLf + kCrLf,
                         QStringLiteral("gb2312"));
}

QByteArray closing(const QString& boundary)
{
    return StringToBytes(QStringLiteral("--") + boundary + QStringLiteral("--"), QStringLiteral("gb2312"));
}

} // namespace

QByteArray contentType()
{
    return QByteArrayLiteral("multipart/form-data");
}

QString MakeBoundary(const std::function<double()>& random)
{
    QRandomGenerator generator(static_cast<quint32>(QTime::currentTime().msecsSinceStartOfDay()) ^
                               QRandomGenerator::system()->generate());
    QString boundary = QStringLiteral("__NextPart__");
    for (int i = 0; i < 24; ++i) {
        const double r = random ? random() : generator.generateDouble();
        int position = static_cast<int>(62 * r); // 0-based here
        position = std::clamp(position, 0, 61);
        boundary += QLatin1Char(kAlphabet[position]);
    }
    return boundary;
}

QByteArray StringToBytes(const QString& text, const QString& charset)
{
    const QString upper = charset.toUpper();
    if (isChineseCodePage(upper))
        return AnsiCodePage::encodeGbk(text);
    // The encoder writes no byte-order mark, which the stream would have skipped anyway.
    std::optional<QStringConverter::Encoding> encoding = QStringConverter::encodingForName(charset.toLatin1());
    if (upper == QLatin1String("UNICODE"))
        encoding = QStringConverter::Utf16LE;
    QStringEncoder encoder(encoding.value_or(QStringConverter::Latin1));
    return encoder.encode(text);
}

std::optional<QByteArray> ReadFileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

QString BytesToString(const QByteArray& bytes, const QString& charset)
{
    const QString upper = charset.toUpper();
    if (isChineseCodePage(upper))
        return AnsiCodePage::decode(bytes);
    QStringDecoder decoder(QStringConverter::encodingForName(charset.toLatin1()).value_or(QStringConverter::Latin1));
    return decoder.decode(bytes);
}

Built build(const QString& fieldString, const QString& boundary)
{
    Built built;
    QByteArray& body = built.body;
    for (const QString& pair : fieldString.split(QLatin1Char('|'))) {
        const Pair p = splitPair(pair);
        body += partHead(boundary, p);
        if (p.isFile) {
            const std::optional<QByteArray> file = ReadFileBytes(p.value);
            if (!file) {
                built.body.clear();
                built.unreadableFile = p.value;
                return built;
            }
            body += *file;
        }
        body += "\r\n";
    }
    body += closing(boundary);
    return built;
}

qint64 measure(const QString& fieldString)
{
    const QString boundary(36, QLatin1Char('B'));
    qint64 size = 0;
    for (const QString& pair : fieldString.split(QLatin1Char('|'))) {
        const Pair p = splitPair(pair);
        size += partHead(boundary, p).size() + 2;
        if (p.isFile)
            size += QFileInfo(p.value).size();
    }
    return size + closing(boundary).size();
}

} // namespace UploadBody
