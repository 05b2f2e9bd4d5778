#pragma once

#include "account/AccountReply.h"
#include "online/ReplyDocument.h"

#include <QColor>
#include <QList>
#include <QString>

#include <optional>

// One row of "我上传的电子书".
struct UserBookRow {
    QString id;
    QString category;
    QString name;
    QString state;  // "全集", or "连载：" and the newest chapter
    QString date;   // YYYY/M/D
    QString review; // "已审核", "审核未通过" or "待审核"
    QColor reviewColor;
};

// The list's paging texts, all "1" until a reply replaces them.
struct UserBookPages {
    QString current = QStringLiteral("1");
    QString total = QStringLiteral("1");
    QString previous = QStringLiteral("1");
    QString next = QStringLiteral("1");
    QString status() const { return current + QLatin1Char('/') + total; }
};

// A ListUserBook.asp reply: the rows, and the paging figures when it carried otherinfo.
struct UserBookReply {
    QList<UserBookRow> rows;
    std::optional<UserBookPages> pages;
};

// A request the pager makes: the page to ask for, or a message why not. `clearBox`
// empties the page-number box.
struct PagerStep {
    std::optional<QString> page;
    std::optional<MessageBox> box;
    bool clearBox = false;
};

namespace UserBookList {

// The colour of a book's name in the list.
QColor nameColor();

// A page of the list takes at most this many books; each shown text is cut to
// kMaxShownChars characters (with "…").
constexpr int MaxRows = kMaxListRecords;

// A bookinfo lacking one of its children shows an empty value there.
UserBookReply read(const ReplyDocument& doc);

// "连载：第十章" or "全集".
QString stateText(const QString& statue, const QString& newchap);
// checkif "1" approved, "2" rejected, anything else pending; with its colour.
QString reviewText(const QString& checkif);
QColor reviewColor(const QString& review);
// A service time as YYYY/M/D (2009/3/7); a text that is no time stays as it is.
QString dateText(const QString& ftime);

// The pager's four links and "Go".
PagerStep first(const UserBookPages& pages);
PagerStep previous(const UserBookPages& pages);
PagerStep next(const UserBookPages& pages);
PagerStep last(const UserBookPages& pages);
PagerStep go(const UserBookPages& pages, const QString& box);

} // namespace UserBookList
