// The user panel's lists: a user's uploaded books and the two rankings.
#include "Service.h"

#include "XmlReply.h"

HttpReply Service::userBooks(const HttpRequest& request)
{
    const auto fields = TextCodec::parseQuery(request.query);
    if (!fields)
        return HttpReply::badRequest(QStringLiteral("请求参数的编码有误！"));
    const QString name = fields->value(QStringLiteral("uname")).trimmed();
    if (name.isEmpty())
        return HttpReply::badRequest(QStringLiteral("缺少用户名参数！"));
    int page = 1;
    const QString pageText = fields->value(QStringLiteral("page")).trimmed();
    if (!pageText.isEmpty()) {
        bool ok = false;
        page = pageText.toInt(&ok);
        if (!ok)
            return HttpReply::badRequest(QStringLiteral("页码有误，请输入数字！"));
    }

    XmlReply x(QStringLiteral("booklist"));
    const auto user = m_db.userByName(name);
    const int total = user ? m_db.userBookCount(user->id) : 0;
    if (total > 0) {
        const PageNumbers numbers = PageNumbers::of(total, page, kUserPageSize);
        for (const BookRecord& b : m_db.userBooks(user->id, numbers.offset, kUserPageSize)) {
            x.begin(QStringLiteral("bookinfo"));
            x.field(QStringLiteral("id"), b.id);
            x.field(QStringLiteral("name"), b.name);
            x.field(QStringLiteral("class"), b.category);
            x.field(QStringLiteral("statue"), b.statue);
            x.field(QStringLiteral("newchap"), b.newchap);
            x.field(QStringLiteral("ftime"), b.ftime);
            x.field(QStringLiteral("checkif"), static_cast<int>(b.review));
            x.end();
        }
        x.begin(QStringLiteral("otherinfo"));
        x.field(QStringLiteral("pageinfo"), numbers.text());
        x.end();
    }
    return HttpReply::xml(x.finish());
}

HttpReply Service::userTop(const HttpRequest& request)
{
    const auto fields = TextCodec::parseQuery(request.query);
    const QString action = fields ? fields->value(QStringLiteral("action")).trimmed() : QString();
    if (action != QLatin1String("jf") && action != QLatin1String("jb"))
        return HttpReply::badRequest(QStringLiteral("未知的排行榜！"));
    const bool byMoney = action == QLatin1String("jb");
    XmlReply x(QStringLiteral("usertop"));
    for (const RankEntry& entry : m_db.topUsers(byMoney, kRankingSize)) {
        x.begin(QStringLiteral("uinfo"));
        x.field(QStringLiteral("uname"), entry.name);
        x.field(byMoney ? QStringLiteral("usermoney") : QStringLiteral("userpoint"), entry.value);
        x.end();
    }
    return HttpReply::xml(x.finish());
}
