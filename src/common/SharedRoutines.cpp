#include "common/SharedRoutines.h"

#include "platform/AnsiCodePage.h"
#include "platform/DesktopLauncher.h"

#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QLocale>

#include <cmath>

namespace {

// Fixed decimals with a leading zero and "," digit grouping, rounding half away from zero.
QString grouped(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(value * scale + (value >= 0 ? 1e-9 : -1e-9)) / scale;
    QLocale c(QLocale::C);
    c.setNumberOptions(QLocale::DefaultNumberOptions);
    return c.toString(rounded, 'f', decimals);
}

} // namespace

QString FormatFileSize(double size)
{
    if (size < 1)
        return QString::number(size, 'g', 15) + QStringLiteral(" Bytes");
    if (size < 10)
        return grouped(size, 2) + QStringLiteral(" KB");
    if (size < 100)
        return grouped(size, 1) + QStringLiteral(" KB");
    if (size < 1000)
        return grouped(size, 0) + QStringLiteral(" KB");
    if (size < 10000)
        return grouped(size / 1024, 2) + QStringLiteral(" MB");
    if (size < 100000)
        return grouped(size / 1024, 1) + QStringLiteral(" MB");
    if (size < 1000000)
        return grouped(size / 1024, 0) + QStringLiteral(" MB");
    if (size < 10000000)
        return grouped(size / 1024 / 1024, 2) + QStringLiteral(" GB");
    return grouped(size / 1024 / 1024, 1) + QStringLiteral(" GB");
}

int SearchFiles(const QString& folder, const QString& pattern, QStringList& list, int& counter)
{
    QString base = folder;
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    QDir dir(base);
    const QStringList files =
        dir.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : files) {
        ++counter;
        list.append(base + name);
    }
    const QStringList folders = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : folders) {
        if (name.startsWith(QLatin1Char('.')))
            continue;
        // A symbolic link to a folder could lead outside the tree or round in a circle.
        if (QFileInfo(base + name).isSymLink())
            continue;
        SearchFiles(base + name + QLatin1Char('/'), pattern, list, counter);
    }
    return counter;
}

QString URLEncode(const QString& text)
{
    QString out;
    const QList<uint> codePoints = text.toUcs4();
    for (uint c : codePoints) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            out += QChar(c);
            continue;
        }
        QByteArray bytes = c < 0x80 ? QByteArray(1, static_cast<char>(c)) : AnsiCodePage::encodeChar(c);
        if (bytes.size() == 2) {
            out += QStringLiteral("%%1%%2")
                       .arg(static_cast<uchar>(bytes[0]), 2, 16, QLatin1Char('0'))
                       .arg(static_cast<uchar>(bytes[1]), 2, 16, QLatin1Char('0'))
                       .toUpper();
            continue;
        }
        if (bytes.size() != 1)
            bytes = QByteArrayLiteral("?"); // outside GBK: the code page has no two-byte form
        out += QLatin1Char('%') + QString::number(static_cast<uchar>(bytes[0]), 16).toUpper();
    }
    return out;
}

bool CheckEmail(const QString& text)
{
    const int at = text.indexOf(QLatin1Char('@'));
    if (at < 1)
        return false;
    if (text.indexOf(QLatin1Char('.'), 2) < 0)
        return false;
    return !text.endsWith(QLatin1Char('.'));
}

bool CheckUserName(const QString& text)
{
    const QList<uint> codePoints = text.toUcs4();
    for (uint c : codePoints) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')
            continue;
        if (c >= 0x80 && AnsiCodePage::encodeChar(c).size() == 2)
            continue;
        return false;
    }
    return true;
}

QString getPathFileName(const QString& path)
{
    const int cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return cut < 0 ? QString() : path.mid(cut + 1);
}

QString getUrlFileName(const QString& address)
{
    return address.mid(address.lastIndexOf(QLatin1Char('/')) + 1);
}

QString CreateFolderPath(const QString& path, bool* ok)
{
    bool made = true;
    if (!path.trimmed().isEmpty()) {
        QString native = path;
        native.replace(QLatin1Char('\\'), QLatin1Char('/'));
        made = QDir().mkpath(native);
    }
    if (ok)
        *ok = made;
    return path;
}

bool CheckFileExists(const QString& path)
{
    const QFileInfo info(path);
    return !path.isEmpty() && info.exists() && info.isFile();
}

bool OpenInBrowser(DesktopLauncher& desktop, const QString& address)
{
    return desktop.openUrl(address);
}

QString colorToHex(const QColor& color)
{
    return QStringLiteral("%1%2%3")
        .arg(color.red(), 2, 16, QLatin1Char('0'))
        .arg(color.green(), 2, 16, QLatin1Char('0'))
        .arg(color.blue(), 2, 16, QLatin1Char('0'))
        .toUpper();
}

QColor hexToColor(const QString& hex)
{
    QString digits = hex.trimmed();
    if (digits.startsWith(QLatin1Char('#')))
        digits.remove(0, 1);
    auto pair = [&digits](int at) {
        bool ok = false;
        const int v = digits.mid(at, 2).toInt(&ok, 16);
        return ok ? v : 0;
    };
    return QColor(pair(0), pair(2), pair(4));
}

QString RntStamp(const QDateTime& when)
{
    return when.toString(QStringLiteral("yyyy/M/d H:mm:ss"));
}
