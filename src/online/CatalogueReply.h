#pragma once

#include "online/CataloguePaging.h"
#include "online/CatalogueRow.h"
#include "online/ReplyDocument.h"

#include <QList>
#include <QStringList>

#include <optional>

// What a usable catalogue reply holds. Records are read in order, each with all eight of its
// fields; a record lacking one ends the reading there, and the records before it are kept.
// A page takes at most MaxRows records, and every shown field at most kMaxShownChars
// characters (cut with "…"), so a hostile page cannot freeze the list.
struct CatalogueReply {
    static constexpr int MaxRows = kMaxListRecords;

    enum class Outcome {
        Read,   // every record and the page information
        NoData, // no `otherinfo`: the service found nothing
        Fault,  // a record without one of its fields, or a `pageinfo` of fewer than five values
    };

    Outcome outcome = Outcome::Fault;
    QList<CatalogueRow> rows;
    std::optional<CataloguePageInfo> page; // only when read

    static CatalogueReply read(const ReplyDocument& document);
};

// ListView3's texts for one row, its nine columns in order: 书号, 分类, 书名, 作者, 状态,
// 更新时间 (YYYY/M/D), 大小 (from kilobytes), 操作 ("双击下载"), 下载地址.
QStringList catalogueColumns(const CatalogueRow& row);
// "2026-03-07 08:05:00" → "2026/3/7"; a text that is no date is shown as sent.
QString catalogueDate(const QString& ftime);
// The size column: kilobytes through FormatFileSize; a text that is no number as sent.
QString catalogueSize(const QString& sizeKb);
// The list's tool tip over a row: "《" + name + "》  " + state.
QString catalogueToolTip(const CatalogueRow& row);
