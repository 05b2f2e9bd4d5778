#pragma once

#include <QString>

namespace ClientAddress {

// The unit in which clients are counted and limited: an IPv4 address as it is, an IPv6
// address by its /64 network, which one household or one attacker usually holds whole.
QString group(const QString& address);

} // namespace ClientAddress
