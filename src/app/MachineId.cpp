#include "app/MachineId.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QUuid>

namespace MachineId {

namespace {

QByteArray readTrimmed(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(4096).trimmed();
}

} // namespace

QString fromSeed(const QByteArray& seed)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(QByteArrayLiteral("Fernleaf"));
    h.addData(QByteArrayLiteral("\n"));
    h.addData(seed);
    h.addData(QByteArrayLiteral("\n"));
    h.addData(QByteArrayLiteral("K7MW-P2XD"));
    return QString::fromLatin1(h.result().toHex().left(32).toUpper());
}

QString obtain(const QString& dataFolder, const QString& machineIdFile)
{
    QByteArray seed = readTrimmed(machineIdFile);
    if (seed.isEmpty()) {
        const QString stored = dataFolder + QStringLiteral("/machine-id");
        seed = readTrimmed(stored);
        if (seed.isEmpty()) {
            seed = QUuid::createUuid().toByteArray(QUuid::Id128);
            QDir().mkpath(dataFolder);
            QSaveFile out(stored);
            if (out.open(QIODevice::WriteOnly)) {
                out.write(seed + '\n');
                out.commit();
            }
        }
    }
    return fromSeed(seed);
}

} // namespace MachineId
