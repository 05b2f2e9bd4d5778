#include "account/UploadBody.h"

#include "platform/AnsiCodePage.h"

#include <QFile>
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
    const QString gb2312 = QStringLiteral("gb2312");
    QByteArray& body = built.body;
    for (const QString& pair : fieldString.split(QLatin1Char('|'))) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        const QString name = eq < 0 ? pair : pair.left(eq);
        const QString value = eq < 0 ? QString() : pair.mid(eq + 1);
        if (!name.startsWith(QLatin1String("file"))) {
            body += StringToBytes(textPart(boundary, name, value), gb2312);
        } else {
            body += StringToBytes(QStringLiteral("--") + boundary + kCrLf +
                                      QStringLiteral("Content-Disposition:form-data;name=\"") + name +
                                      QStringLiteral("\";filename=\"") + value + QStringLiteral("\"") + kCrLf +
                                      QStringLiteral("Content-Type:application/octet-stream") + kCrLf + kCrLf,
                                  gb2312);
            const std::optional<QByteArray> file = ReadFileBytes(value);
            if (!file) {
                built.body.clear();
                built.unreadableFile = value;
                return built;
            }
            body += *file;
        }
        body += "\r\n";
    }
    body += StringToBytes(QStringLiteral("--") + boundary + QStringLiteral("--"), gb2312);
    return built;
}

} // namespace UploadBody
