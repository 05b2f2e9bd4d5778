#include "ServerConfig.h"

QString ServerConfig::origin() const
{
    QString hostText = host.toString();
    if (host.protocol() == QAbstractSocket::IPv6Protocol)
        hostText = QLatin1Char('[') + hostText + QLatin1Char(']');
    if (host == QHostAddress::Any || host == QHostAddress::AnyIPv4)
        hostText = QStringLiteral("127.0.0.1");
    return QStringLiteral("http://%1:%2").arg(hostText).arg(port);
}

QString ServerConfig::uploadLimitText() const
{
    const qint64 mb = maxUploadBytes / (1024 * 1024);
    return mb > 0 ? QStringLiteral("%1MB").arg(mb) : QStringLiteral("%1KB").arg(maxUploadBytes / 1024);
}
