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

} // namespace ClientAddress
