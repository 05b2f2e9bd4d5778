#include "account/AccountRequests.h"

#include "common/SharedRoutines.h"
#include "online/ServiceUrl.h"

namespace AccountRequests {

namespace {

const QString kUserInfo = QStringLiteral("/readerserver/userinfo.asp");

QByteArray encoded(const QString& value)
{
    return URLEncode(value.trimmed()).toLatin1();
}

} // namespace

QString checkUrl(const QString& base, const QDateTime& now)
{
    return withRnt(base + kUserInfo + QStringLiteral("?action=check"), now);
}

QString loginUrl(const QString& base, const QString& name, const QString& password, bool remember, const QDateTime& now)
{
    return withRnt(base + kUserInfo + QStringLiteral("?action=login&username=") + queryValue(name.trimmed()) +
                       QStringLiteral("&password=") + queryValue(password.trimmed()) + QStringLiteral("&cookies=") +
                       (remember ? QStringLiteral("1") : QStringLiteral("0")),
                   now);
}

QString logoutUrl(const QString& base, const QDateTime& now)
{
    return withRnt(base + kUserInfo + QStringLiteral("?action=loginout"), now);
}

QString accountPostUrl(const QString& base)
{
    return base + kUserInfo;
}

QByteArray registrationBody(const Registration& form)
{
    return "action=reg&username=" + encoded(form.name) + "&userpass=" + encoded(form.password) +
           "&email=" + encoded(form.email) + "&sex=" + encoded(form.sex) + "&qq=" + encoded(form.qq) +
           "&anwser=" + encoded(form.answer) + "&question=" + encoded(form.question);
}

QByteArray profileBody(const ProfileChange& form)
{
    // The id goes back exactly as the service sent it.
    return "action=edit&userid=" + form.userId.toUtf8() + "&userpass=" + encoded(form.password) +
           "&email=" + encoded(form.email) + "&sex=" + encoded(form.sex) + "&qq=" + encoded(form.qq) +
           "&anwser=" + encoded(form.answer);
}

QString userBooksUrl(const QString& base, const QString& userName, const std::optional<QString>& page,
                     const QDateTime& now)
{
    QString url = base + QStringLiteral("/readerserver/ListUserBook.asp?uname=") + queryValue(userName);
    if (page)
        url += QStringLiteral("&page=") + queryValue(*page);
    return withRnt(url, now);
}

QString rankingUrl(const QString& base, const QString& kind)
{
    return base + QStringLiteral("/ReaderServer/UserTop.asp?action=") + kind;
}

QString newsUrl(const QString& base)
{
    return base + QStringLiteral("/readerserver/NewsInfo.asp");
}

QString uploadUrl(const QString& base)
{
    return base + QStringLiteral("/readerserver/uploadbook.asp");
}

} // namespace AccountRequests
