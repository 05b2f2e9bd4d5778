#pragma once

#include <QNetworkCookieJar>
#include <QString>

// The run's cookie jar, which also keeps the service's persistent cookies (those with an
// expiry: a login with "记住登录" ticked) in a file, so the login outlives the program.
// Session cookies stay in memory only. The file is rewritten whenever the jar changes
// and is readable by its owner only.
class PersistentCookieJar : public QNetworkCookieJar {
public:
    explicit PersistentCookieJar(QString filePath, QObject* parent = nullptr);

    // Every change of the jar (also through setCookiesFromUrl) comes through these three.
    bool insertCookie(const QNetworkCookie& cookie) override;
    bool updateCookie(const QNetworkCookie& cookie) override;
    bool deleteCookie(const QNetworkCookie& cookie) override;

    QString filePath() const { return m_filePath; }

private:
    void load();
    void save() const;

    QString m_filePath;
};
