#include "ClientAddress.h"

#include <QHostAddress>

namespace ClientAddress {

QString group(const QString& address)
{
    if (!address.contains(QLatin1Char(':')))
        return address;
    const QHostAddress parsed(address);
    if (parsed.protocol() != QAbstractSocket::IPv6Protocol)
        return address;
    Q_IPV6ADDR bytes = parsed.toIPv6Address();
    for (int i = 8; i < 16; ++i)
        bytes[i] = 0;
    return QHostAddress(bytes).toString() + QStringLiteral("/64");
}

bool isTrusted(const QString& peer, const QList<QHostAddress>& trustedProxies)
{
    if (trustedProxies.isEmpty())
        return false;
    QHostAddress address(peer);
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (isV4)
        address = QHostAddress(v4);
    for (const QHostAddress& proxy : trustedProxies) {
        if (proxy.isEqual(address, QHostAddress::TolerantConversion))
            return true;
    }
    return false;
}

QString behind(const QString& peer, const QByteArray& forwardedFor, const QList<QHostAddress>& trustedProxies)
{
    if (forwardedFor.isEmpty() || !isTrusted(peer, trustedProxies))
        return peer;
    const QList<QByteArray> hops = forwardedFor.split(',');
    for (qsizetype i = hops.size() - 1; i >= 0; --i) {
        QHostAddress hop;
        if (!hop.setAddress(QString::fromLatin1(hops[i].trimmed())))
            return peer;
        bool isV4 = false;
        const quint32 v4 = hop.toIPv4Address(&isV4);
        const QString text = isV4 ? QHostAddress(v4).toString() : hop.toString();
        if (!isTrusted(text, trustedProxies))
            return text;
    }
    return peer;
}

} // namespace ClientAddress
