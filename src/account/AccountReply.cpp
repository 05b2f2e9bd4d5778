#include "account/AccountReply.h"

#include "online/ReplyDocument.h"
#include "platform/Dialogs.h"

namespace AccountReply {

namespace {

QDomElement firstUserbase(const ReplyDocument& doc)
{
    return doc.first(QStringLiteral("userbase"));
}

} // namespace

QString loggedOutText()
{
    return QStringLiteral("已安全退出，欢迎下次光临！");
}

std::optional<LoginInfo> readLoginInfo(const ServiceReply& reply)
{
    if (!reply.accepted())
        return std::nullopt;
    const ReplyDocument doc = ReplyDocument::load(reply.body, reply.contentType);
    if (!doc.usable())
        return std::nullopt;
    const QDomElement userbase = firstUserbase(doc);
    if (userbase.isNull() || userbase.elementsByTagName(QStringLiteral("logininfo")).isEmpty())
        return std::nullopt;
    const QString text = ReplyDocument::field(userbase, QStringLiteral("logininfo"));
    const qsizetype bar = text.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return LoginInfo{text.trimmed(), QString()};
    // Field 1 ends at a second "|", as splitting the text on "|" gives it.
    return LoginInfo{text.left(bar).trimmed(), text.mid(bar + 1).section(QLatin1Char('|'), 0, 0)};
}

AccountRecord readRecord(const ServiceReply& reply)
{
    AccountRecord r;
    const ReplyDocument doc = ReplyDocument::load(reply.body, reply.contentType);
    const QDomElement userbase = firstUserbase(doc);
    if (userbase.isNull())
        return r;
    auto field = [&](const char* tag) { return ReplyDocument::fieldOr(userbase, QLatin1String(tag)); };
    r.purl = field("purl");
    r.pinfo = field("pinfo");
    r.uid = field("uid");
    r.uname = field("uname");
    r.userlogin = field("userlogin");
    r.lastdate = field("lastdate");
    r.userpoint = field("userpoint");
    r.usermoney = field("usermoney");
    r.usermail = field("usermail");
    r.qq = field("qq");
    r.sex = field("sex");
    r.question = field("question");
    bool ok = false;
    const qint64 limit = field("uploadlimit").trimmed().toLongLong(&ok);
    r.uploadLimit = ok && limit > 0 ? limit : 0;
    return r;
}

AccountReaction forLoginDialog(const LoginInfo& info)
{
    if (info.code == QLatin1String("0"))
        return {MessageBox{info.message, QStringLiteral("请先登录"), Dialogs::Exclamation},
                AccountReaction::Next::Nothing};
    if (info.code == QLatin1String("1"))
        return {MessageBox{info.message, QStringLiteral("欢迎登录"), Dialogs::Information},
                AccountReaction::Next::OpenUserPanel};
    return {};
}

AccountReaction forRegistrationDialog(const LoginInfo& info)
{
    if (info.code == QLatin1String("0"))
        return {MessageBox{info.message, QStringLiteral("注册失败"), Dialogs::Stop}, AccountReaction::Next::Nothing};
    if (info.code == QLatin1String("1"))
        return {MessageBox{info.message, QStringLiteral("欢迎注册"), Dialogs::Information},
                AccountReaction::Next::OpenLogin};
    return {};
}

AccountReaction forUserPanel(const LoginInfo& info)
{
    if (info.code == QLatin1String("0")) {
        const bool loggedOut = info.message == loggedOutText();
        return {MessageBox{info.message, QStringLiteral("请先登录"), Dialogs::Exclamation},
                loggedOut ? AccountReaction::Next::ClosePanel : AccountReaction::Next::ClosePanelAndOpenLogin};
    }
    if (info.code == QLatin1String("1"))
        return {std::nullopt, AccountReaction::Next::FillRecord};
    if (info.code == QLatin1String("2"))
        return {MessageBox{info.message, QStringLiteral("修改成功"), Dialogs::Information},
                AccountReaction::Next::RefreshRecord};
    if (info.code == QLatin1String("3"))
        return {MessageBox{info.message, QStringLiteral("修改失败"), Dialogs::Stop}, AccountReaction::Next::Nothing};
    return {};
}

} // namespace AccountReply
