#include "update/updater/StagedFiles.h"

#include <QFile>
#include <QFileInfo>

namespace StagedFiles {

namespace {

QString setAsideName(const QString& target)
{
    return target + QStringLiteral(".qmold");
}

struct Placed {
    QString target;
    bool hadOld = false;
};

void putBack(const QList<Placed>& placed)
{
    for (auto it = placed.crbegin(); it != placed.crend(); ++it) {
        QFile::remove(it->target);
        if (it->hadOld)
            QFile::rename(setAsideName(it->target), it->target);
    }
}

} // namespace

QString stagingName(const QString& target)
{
    return target + QStringLiteral(".qmupdate");
}

bool commit(const QList<Move>& moves, QString* failedTarget)
{
    QList<Placed> placed;
    for (const Move& move : moves) {
        const QFileInfo old(move.target);
        Placed now{move.target, old.exists() || old.isSymLink()};
        bool ok = !old.isDir();
        if (ok && now.hadOld) {
            QFile::setPermissions(move.staged, QFile::permissions(move.target));
            QFile::remove(setAsideName(move.target)); // left by an earlier, interrupted update
            ok = QFile::rename(move.target, setAsideName(move.target));
        }
        if (ok && !QFile::rename(move.staged, move.target)) {
            if (now.hadOld)
                QFile::rename(setAsideName(move.target), move.target);
            ok = false;
        }
        if (!ok) {
            putBack(placed);
            QStringList staged;
            for (const Move& m : moves)
                staged.append(m.staged);
            discard(staged);
            if (failedTarget)
                *failedTarget = move.target;
            return false;
        }
        placed.append(now);
    }
    for (const Placed& p : placed)
        if (p.hadOld)
            QFile::remove(setAsideName(p.target));
    return true;
}

void discard(const QStringList& staged)
{
    for (const QString& file : staged)
        QFile::remove(file);
}

} // namespace StagedFiles
