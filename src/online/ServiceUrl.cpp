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
