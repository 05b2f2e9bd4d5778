#include "account/UserBookList.h"

#include "online/PageBox.h"
#include "online/ReplyDocument.h"
#include "platform/Dialogs.h"

#include <QDateTime>

namespace UserBookList {

namespace {

PagerStep refuse(const QString& text, bool clearBox = false)
{
    // The pager's messages carry the program's own caption.
    return {std::nullopt, MessageBox{text, QString(), Dialogs::Exclamation}, clearBox};
}

bool isFirstPage(const UserBookPages& pages)
{
    const auto current = PageBox::number(pages.current);
    return current && *current == 1;
}

} // namespace

QColor nameColor()
{
    return QColor(198, 79, 6);
}

QString stateText(const QString& statue, const QString& newchap)
{
    if (statue == QStringLiteral("全集"))
        return statue;
    return statue + QStringLiteral("：") + newchap;
}

QString reviewText(const QString& checkif)
{
    if (checkif == QLatin1String("2"))
        return QStringLiteral("审核未通过");
    if (checkif == QLatin1String("1"))
        return QStringLiteral("已审核");
    return QStringLiteral("待审核");
}

QColor reviewColor(const QString& review)
{
    if (review == QStringLiteral("审核未通过"))
        return QColor(255, 0, 0);
    if (review == QStringLiteral("已审核"))
        return QColor(0, 128, 0);
    return QColor(128, 128, 128);
}

QString dateText(const QString& ftime)
{
    const QString text = ftime.trimmed();
    for (const char* format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd H:mm:ss", "yyyy/M/d H:mm:ss", "yyyy-MM-dd",
                               "yyyy/M/d", "yyyy-MM-dd'T'HH:mm:ss"}) {
        const QDateTime when = QDateTime::fromString(text, QLatin1String(format));
        if (when.isValid())
            return when.toString(QStringLiteral("yyyy/M/d"));
    }
    return text;
}

UserBookReply read(const ReplyDocument& doc)
{
    UserBookReply reply;
    for (const QDomElement& book : doc.all(QStringLiteral("bookinfo"), MaxRows)) {
        auto field = [&](const char* tag) { return elided(ReplyDocument::fieldOr(book, QLatin1String(tag))); };
        UserBookRow row;
        row.id = field("id");
        row.category = field("class");
        row.name = field("name");
        row.state = elided(stateText(field("statue"), field("newchap")));
        row.date = dateText(field("ftime"));
        row.review = reviewText(field("checkif"));
        row.reviewColor = reviewColor(row.review);
        reply.rows.append(row);
    }
    const QDomElement other = doc.first(QStringLiteral("otherinfo"));
    if (!other.isNull()) {
        const QStringList figures = doc.first(QStringLiteral("pageinfo")).text().split(QLatin1Char(','));
        UserBookPages pages;
        pages.current = figures.value(2);
        pages.total = figures.value(0);
        pages.previous = figures.value(3);
        pages.next = figures.value(4);
        reply.pages = pages;
    }
    return reply;
}

PagerStep first(const UserBookPages& pages)
{
    if (isFirstPage(pages))
        return refuse(QStringLiteral("当前已是第一页!"));
    return {QStringLiteral("1"), std::nullopt, false};
}

PagerStep previous(const UserBookPages& pages)
{
    if (isFirstPage(pages))
        return refuse(QStringLiteral("前面没有了，当前已是第一页!"));
    return {pages.previous, std::nullopt, false};
}

PagerStep next(const UserBookPages& pages)
{
    if (pages.current == pages.total)
        return refuse(QStringLiteral("后面没有了，当前已是最后一页!"));
    return {pages.next, std::nullopt, false};
}

PagerStep last(const UserBookPages& pages)
{
    if (pages.current == pages.total)
        return refuse(QStringLiteral("当前已是最后一页!"));
    return {pages.total, std::nullopt, false};
}

PagerStep go(const UserBookPages& pages, const QString& box)
{
    const PageBox::Reading reading = PageBox::read(box, pages.total);
    if (!reading.page)
        return refuse(reading.refusal, true);
    return {reading.page, std::nullopt, true};
}

} // namespace UserBookList
