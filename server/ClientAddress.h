#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>

namespace ClientAddress {

// The unit in which clients are counted and limited: an IPv4 address as it is, an IPv6
// address by its /64 network, which one household or one attacker usually holds whole.
QString group(const QString& address);

// The client a request comes from: the connection's peer, or, when the peer is one of the
// trusted proxies, the last address of X-Forwarded-For that is not itself a trusted proxy
// (proxies append the address they were reached from, so earlier entries may be forged).
// A header that cannot be read leaves the peer.
QString behind(const QString& peer, const QByteArray& forwardedFor, const QList<QHostAddress>& trustedProxies);
bool isTrusted(const QString& peer, const QList<QHostAddress>& trustedProxies);

} // namespace ClientAddress
