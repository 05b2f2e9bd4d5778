#include "DownloadName.h"

namespace {

constexpr int kMaxUtf8Bytes = 200;

QChar fullWidth(QChar c)
{
    // The full-width forms U+FF01..U+FF5E mirror ASCII 0x21..0x7E.
    return QChar(c.unicode() - 0x21 + 0xFF01);
}

QString cleanTitle(const QString& title)
{
    QString out;
    out.reserve(title.size());
    for (const QChar c : title) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || (c.unicode() >= 0x80 && c.unicode() < 0xa0))
            continue;
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('#') ||
            c == QLatin1Char('?'))
            out += fullWidth(c);
        else
            out += c;
    }
    out = out.trimmed();
    for (int i = 0; i < out.size() && out[i] == QLatin1Char('.'); ++i)
        out[i] = fullWidth(QLatin1Char('.'));
    return out;
}

// Cuts whole characters (never half a surrogate pair) until the UTF-8 form fits.
QString shortened(QString text, int maxBytes)
{
    while (!text.isEmpty() && text.toUtf8().size() > maxBytes) {
        text.chop(1);
        if (!text.isEmpty() && text.back().isHighSurrogate())
            text.chop(1);
    }
    return text.trimmed();
}

} // namespace

QString DownloadName::of(const QString& title, qint64 id, const QString& extension)
{
    const QString suffix = extension.isEmpty() ? QString() : QLatin1Char('.') + extension.toLower();
    QString base = shortened(cleanTitle(title), kMaxUtf8Bytes - suffix.toUtf8().size());
    if (base.isEmpty())
        base = QStringLiteral("未命名%1").arg(id);
    return base + suffix;
}

QString DownloadName::path(qint64 id, const QString& name)
{
    return QStringLiteral("/files/%1/%2").arg(id).arg(name);
}
