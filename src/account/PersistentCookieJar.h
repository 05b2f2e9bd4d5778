#pragma once

#include <QByteArray>
#include <QNetworkCookieJar>
#include <QString>

// The run's cookie jar, which also keeps the service's persistent cookies (those with an
// expiry: a login with "记住登录" ticked) in a file, so the login outlives the program.
// Session cookies stay in memory only. The file is written (whole, atomically) at most once
// per reply and only when what it keeps changed; it is readable by its owner only.
//
// A service may send any number of cookies; the jar keeps what a browser would: a cookie of
// at most MaxCookieBytes (name and value), at most MaxCookiesPerHost a host and MaxCookies in
// all, the oldest going first.
class PersistentCookieJar : public QNetworkCookieJar {
    Q_OBJECT
public:
    static constexpr int MaxCookieBytes = 4096;
    static constexpr int MaxCookiesPerHost = 50;
    static constexpr int MaxCookies = 3000;

    explicit PersistentCookieJar(QString filePath, QObject* parent = nullptr);

    // The cookies of one reply, all at once.
    bool setCookiesFromUrl(const QList<QNetworkCookie>& cookieList, const QUrl& url) override;
    // Every change of the jar (also through setCookiesFromUrl) comes through these three.
    bool insertCookie(const QNetworkCookie& cookie) override;
    bool updateCookie(const QNetworkCookie& cookie) override;
    bool deleteCookie(const QNetworkCookie& cookie) override;

    QString filePath() const { return m_filePath; }

signals:
    // The file was written.
    void saved();

private:
    class Batch;
    void load();
    bool trim();
    void save();

    QString m_filePath;
    QByteArray m_savedDigest; // of the text last written or read
    int m_depth = 0;          // calls of the jar under way
    bool m_dirty = false;
};
