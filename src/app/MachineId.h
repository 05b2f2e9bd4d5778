#pragma once

#include <QString>

// A stable text per machine, sent to the service as `desknum`.
namespace MachineId {

// Derived from /etc/machine-id (or, when that is missing or empty, from a random id
// stored once in dataFolder/machine-id), hashed with the application name and key.
// Never empty.
QString obtain(const QString& dataFolder, const QString& machineIdFile = QStringLiteral("/etc/machine-id"));

// The hash itself: 32 upper-case hex digits.
QString fromSeed(const QByteArray& seed);

} // namespace MachineId
