#include "online/CataloguePaging.h"

#include <QLocale>
#include <QStringList>

#include <cmath>

namespace {

// A text read as a number the way the page box is read: blanks around it allowed, a sign, a
// decimal point and an exponent; nothing else.
std::optional<double> number(const QString& text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool isPageOne(const QString& text)
{
    const auto n = number(text);
    return n && *n == 1.0;
}

} // namespace

std::optional<CataloguePageInfo> CataloguePageInfo::parse(const QString& pageinfo)
{
    const QStringList values = pageinfo.split(QLatin1Char(','));
    if (values.size() < 5)
        return std::nullopt;
    CataloguePageInfo info;
    info.pageCount = values[0].trimmed();
    info.unread = values[1].trimmed();
    info.current = values[2].trimmed();
    info.previous = values[3].trimmed();
    info.next = values[4].trimmed();
    return info;
}

namespace CataloguePaging {

PagingStep first(const Info& info)
{
    if (!info)
        return {};
    if (isPageOne(info->current))
        return PagingStep::refuse(QStringLiteral("当前已是第一页!"));
    return PagingStep::request(QStringLiteral("1"));
}

PagingStep previous(const Info& info)
{
    if (!info)
        return {};
    if (isPageOne(info->current))
        return PagingStep::refuse(QStringLiteral("前面没有了，当前已是第一页!"));
    return PagingStep::request(info->previous);
}

PagingStep next(const Info& info)
{
    if (!info)
        return {};
    if (info->pageCount == info->current)
        return PagingStep::refuse(QStringLiteral("后面没有了，当前已是最后一页!"));
    return PagingStep::request(info->next);
}

PagingStep last(const Info& info)
{
    if (!info)
        return {};
    if (info->pageCount == info->current)
        return PagingStep::refuse(QStringLiteral("当前已是最后一页!"));
    return PagingStep::request(info->pageCount);
}

PagingStep go(const Info& info, const QString& boxText)
{
    if (!info)
        return {};
    const auto typed = number(boxText);
    if (!typed)
        return PagingStep::refuse(QStringLiteral("输入的页码有误,请重新输入!"));
    const double page = std::floor(*typed);
    const double count = std::floor(number(info->pageCount).value_or(0));
    if (page > count || page < 1)
        return PagingStep::refuse(QStringLiteral("输入的页码有误,一共才") + info->pageCount +
                                  QStringLiteral("页,请重新输入!"));
    // A page count from the service can be any number; a page past what a whole number
    // holds (2^63) cannot be asked for.
    if (page >= 9223372036854775808.0)
        return PagingStep::refuse(QStringLiteral("输入的页码有误,请重新输入!"));
    return PagingStep::request(QString::number(static_cast<qint64>(page)));
}

} // namespace CataloguePaging
