#include "online/CataloguePaging.h"

#include "online/PageBox.h"

#include <QStringList>

namespace {

bool isPageOne(const QString& text)
{
    const auto n = PageBox::number(text);
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
    const PageBox::Reading reading = PageBox::read(boxText, info->pageCount);
    if (!reading.page)
        return PagingStep::refuse(reading.refusal);
    return PagingStep::request(*reading.page);
}

} // namespace CataloguePaging
