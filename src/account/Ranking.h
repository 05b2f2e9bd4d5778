#pragma once

#include <QColor>
#include <QList>
#include <QString>

class ReplyDocument;

// One row of a ranking: its place (from 1, in reply order), the user and the figure.
struct RankingRow {
    QString place;
    QString name;
    QString figure;
};

namespace Ranking {

// "jf" ranks by points (userpoint), "jb" by gold coins (usermoney).
QString pointsKind();
QString goldKind();

// A uinfo lacking one of its children shows an empty value there. A ranking takes at most
// kMaxListRecords users, each text cut to kMaxShownChars characters (with "…").
QList<RankingRow> read(const ReplyDocument& doc, const QString& kind);

QColor nameColor();
QColor figureColor();

} // namespace Ranking
