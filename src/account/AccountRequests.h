#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// Every request of the account side as text: addresses with their keys in the service's
// order, and form bodies whose values are encoded with URLEncode.
namespace AccountRequests {

// What the registration dialog sends, as typed (the body trims each value).
struct Registration {
    QString name;
    QString password;
    QString email;
    QString sex; // "男", "女" or "保密"
    QString qq;
    QString answer;
    QString question;
};

// What the profile page sends; an empty password or answer keeps the old one.
struct ProfileChange {
    QString userId; // the uid of the last check, sent as received
    QString password;
    QString email;
    QString sex;
    QString qq;
    QString answer;
};

QString checkUrl(const QString& base, const QDateTime& now);
QString loginUrl(const QString& base, const QString& name, const QString& password, bool remember,
                 const QDateTime& now);
QString logoutUrl(const QString& base, const QDateTime& now);
// The address the registration and the profile change are posted to.
QString accountPostUrl(const QString& base);

// action=reg&username=…&userpass=…&email=…&sex=…&qq=…&anwser=…&question=…
QByteArray registrationBody(const Registration& form);
// action=edit&userid=…&userpass=…&email=…&sex=…&qq=…&anwser=…
QByteArray profileBody(const ProfileChange& form);

// The user's uploaded books; without a page the service answers its first page.
QString userBooksUrl(const QString& base, const QString& userName, const std::optional<QString>& page,
                     const QDateTime& now);
// "jf" (points) or "jb" (gold coins); the rankings carry no stamp.
QString rankingUrl(const QString& base, const QString& kind);
QString newsUrl(const QString& base);
QString uploadUrl(const QString& base);

} // namespace AccountRequests
