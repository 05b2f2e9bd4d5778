#include "online/ServiceUrl.h"

#include "common/SharedRoutines.h"

QUrl toRequestUrl(const QString& text)
{
    return QUrl(text, QUrl::TolerantMode);
}

QString withRnt(const QString& url, const QDateTime& now)
{
    return url + (url.contains(QLatin1Char('?')) ? QStringLiteral("&rnt=") : QStringLiteral("?rnt=")) + RntStamp(now);
}

QString queryValue(const QString& typed)
{
    QString value;
    value.reserve(typed.size());
    for (const QChar c : typed) {
        if (c == QLatin1Char('%'))
            value += QLatin1String("%25");
        else if (c == QLatin1Char('&'))
            value += QLatin1String("%26");
        else if (c == QLatin1Char('#'))
            value += QLatin1String("%23");
        else
            value += c;
    }
    return value;
}

QString serviceFileUrl(const QString& serviceBase, const QString& path)
{
    QString base = serviceBase;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    if (path.startsWith(QLatin1Char('/')))
        return base + path;
    return base + QLatin1Char('/') + path;
}
