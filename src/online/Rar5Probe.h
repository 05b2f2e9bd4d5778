#pragma once

#include <QString>

// Reads the block headers of a RAR 5 archive (without its data) to tell whether it is
// encrypted: an archive encryption header (every header hidden) or a file whose record
// carries the encryption extra field. The archive library cannot say so for RAR 5 and only
// reports such files as damaged data; this lets the user be told the real reason.
namespace Rar5Probe {

bool isEncrypted(const QString& archivePath);

}
