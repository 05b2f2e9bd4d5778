#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Update files are downloaded beside their targets under a staging name and moved into
// place together, once every one of them has arrived, so that a failed or cancelled update
// leaves the program as it was.
namespace StagedFiles {

struct Move {
    QString staged;
    QString target;
};

QString stagingName(const QString& target);

// Moves every staged file onto its target, all or nothing. An existing target is set aside
// until all files are in place (and put back when one cannot be moved); the new file takes
// over its permissions, so a replaced program stays executable. A running program's own
// file can be replaced this way. On failure `failedTarget` names the file that could not
// be placed and every staged file is removed.
bool commit(const QList<Move>& moves, QString* failedTarget);

// Removes staged files that will not be used.
void discard(const QStringList& staged);

} // namespace StagedFiles
