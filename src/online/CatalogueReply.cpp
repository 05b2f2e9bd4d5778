#include "online/CatalogueReply.h"

#include "common/SharedRoutines.h"
#include "online/ReplyDocument.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>

#include <cmath>

CatalogueReply CatalogueReply::read(const ReplyDocument& document)
{
    CatalogueReply reply;
    try {
        for (const QDomElement& record : document.all(QStringLiteral("bookinfo"), MaxRows)) {
            auto shown = [&record](const QString& tag) { return elided(ReplyDocument::field(record, tag)); };
            CatalogueRow row;
            row.id = shown(QStringLiteral("id"));
            row.name = shown(QStringLiteral("name"));
            row.category = shown(QStringLiteral("class"));
            row.author = shown(QStringLiteral("author"));
            row.statue = shown(QStringLiteral("statue"));
            row.ftime = shown(QStringLiteral("ftime"));
            row.size = shown(QStringLiteral("size"));
            // The address is used whole; only its column shows it cut.
            row.downurl = ReplyDocument::field(record, QStringLiteral("downurl"));
            reply.rows.append(row);
        }
    } catch (const MissingReplyElement&) {
        reply.outcome = Outcome::Fault;
        return reply;
    }
    const QDomElement other = document.first(QStringLiteral("otherinfo"));
    if (other.isNull()) {
        reply.outcome = Outcome::NoData;
        return reply;
    }
    try {
        reply.page = CataloguePageInfo::parse(ReplyDocument::field(other, QStringLiteral("pageinfo")));
    } catch (const MissingReplyElement&) {
        reply.page.reset();
    }
    reply.outcome = reply.page ? Outcome::Read : Outcome::Fault;
    return reply;
}

QStringList catalogueColumns(const CatalogueRow& row)
{
    return {row.id,
            row.category,
            row.name,
            row.author,
            row.statue,
            catalogueDate(row.ftime),
            catalogueSize(row.size),
            QStringLiteral("双击下载"),
            elided(row.downurl)};
}

QString catalogueDate(const QString& ftime)
{
    // The service sends "yyyy-MM-dd HH:mm:ss"; other date forms with "-", "/" or "." are read too.
    static const QRegularExpression datePart(QStringLiteral("^\\s*(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})(?!\\d)"));
    const QRegularExpressionMatch m = datePart.match(ftime);
    if (!m.hasMatch())
        return ftime;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!date.isValid())
        return ftime;
    return QStringLiteral("%1/%2/%3").arg(date.year()).arg(date.month()).arg(date.day());
}

QString catalogueSize(const QString& sizeKb)
{
    bool ok = false;
    const double kb = QLocale::c().toDouble(sizeKb.trimmed(), &ok);
    return ok && std::isfinite(kb) ? FormatFileSize(kb) : sizeKb;
}

QString catalogueToolTip(const CatalogueRow& row)
{
    return QStringLiteral("《") + row.name + QStringLiteral("》  ") + row.statue;
}
