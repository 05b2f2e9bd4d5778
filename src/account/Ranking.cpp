#include "account/Ranking.h"

#include "online/ReplyDocument.h"

namespace Ranking {

QString pointsKind()
{
    return QStringLiteral("jf");
}

QString goldKind()
{
    return QStringLiteral("jb");
}

QList<RankingRow> read(const ReplyDocument& doc, const QString& kind)
{
    const QString figureTag = kind == goldKind() ? QStringLiteral("usermoney") : QStringLiteral("userpoint");
    QList<RankingRow> rows;
    const QList<QDomElement> users = doc.all(QStringLiteral("uinfo"), kMaxListRecords);
    for (qsizetype i = 0; i < users.size(); ++i) {
        rows.append({QString::number(i + 1), elided(ReplyDocument::fieldOr(users[i], QStringLiteral("uname"))),
                     elided(ReplyDocument::fieldOr(users[i], figureTag))});
    }
    return rows;
}

QColor nameColor()
{
    return QColor(0, 0, 255);
}

QColor figureColor()
{
    return QColor(198, 79, 6);
}

} // namespace Ranking
