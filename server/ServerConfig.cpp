#include "ServerConfig.h"

#include <QUrl>

QString ServerConfig::origin() const
{
    QString hostText = host.toString();
    if (host.protocol() == QAbstractSocket::IPv6Protocol)
        hostText = QLatin1Char('[') + hostText + QLatin1Char(']');
    if (host == QHostAddress::Any || host == QHostAddress::AnyIPv4)
        hostText = QStringLiteral("127.0.0.1");
    return QStringLiteral("http://%1:%2").arg(hostText).arg(port);
}

QString ServerConfig::normalizedPublicUrl(const QString& text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty() || url.hasQuery() || url.hasFragment() || !url.userInfo().isEmpty())
        return {};
    QString normalized = url.toString(QUrl::FullyEncoded);
    while (normalized.endsWith(QLatin1Char('/')))
        normalized.chop(1);
    return normalized;
}

QString ServerConfig::uploadLimitText() const
{
    const qint64 mb = maxUploadBytes / (1024 * 1024);
    return mb > 0 ? QStringLiteral("%1MB").arg(mb) : QStringLiteral("%1KB").arg(maxUploadBytes / 1024);
}
