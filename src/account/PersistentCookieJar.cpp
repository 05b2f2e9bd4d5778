#include "account/PersistentCookieJar.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkCookie>
#include <QSaveFile>

namespace {

// One cookie a line, tab-separated: domain, path, expiry (seconds since 1970, UTC),
// secure, http-only, then name and value in base64 (they may hold any byte).
constexpr int kColumns = 7;

QByteArray line(const QNetworkCookie& c)
{
    return c.domain().toUtf8() + '\t' + c.path().toUtf8() + '\t' +
           QByteArray::number(c.expirationDate().toSecsSinceEpoch()) + '\t' + (c.isSecure() ? "1" : "0") + '\t' +
           (c.isHttpOnly() ? "1" : "0") + '\t' + c.name().toBase64() + '\t' + c.value().toBase64() + '\n';
}

std::optional<QNetworkCookie> parse(const QByteArray& text)
{
    const QList<QByteArray> f = text.split('\t');
    if (f.size() != kColumns)
        return std::nullopt;
    bool ok = false;
    const qint64 expiry = f[2].toLongLong(&ok);
    if (!ok || f[0].isEmpty())
        return std::nullopt;
    QNetworkCookie c(QByteArray::fromBase64(f[5]), QByteArray::fromBase64(f[6]));
    c.setDomain(QString::fromUtf8(f[0]));
    c.setPath(QString::fromUtf8(f[1]));
    c.setExpirationDate(QDateTime::fromSecsSinceEpoch(expiry, Qt::UTC));
    c.setSecure(f[3] == "1");
    c.setHttpOnly(f[4] == "1");
    if (c.name().isEmpty())
        return std::nullopt;
    return c;
}

bool keeps(const QNetworkCookie& c, const QDateTime& now)
{
    return !c.isSessionCookie() && c.expirationDate() > now;
}

} // namespace

PersistentCookieJar::PersistentCookieJar(QString filePath, QObject* parent)
    : QNetworkCookieJar(parent), m_filePath(std::move(filePath))
{
    load();
}

void PersistentCookieJar::load()
{
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QList<QNetworkCookie> cookies;
    for (const QByteArray& text : file.readAll().split('\n')) {
        const auto cookie = parse(text.trimmed());
        if (cookie && keeps(*cookie, now))
            cookies.append(*cookie);
    }
    setAllCookies(cookies);
}

void PersistentCookieJar::save() const
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QByteArray text;
    for (const QNetworkCookie& c : allCookies())
        if (keeps(c, now))
            text += line(c);
    // Nothing to keep and nothing kept: no file is made.
    if (text.isEmpty() && !QFileInfo::exists(m_filePath))
        return;
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(text);
    file.commit();
}

bool PersistentCookieJar::insertCookie(const QNetworkCookie& cookie)
{
    const bool changed = QNetworkCookieJar::insertCookie(cookie);
    if (changed)
        save();
    return changed;
}

bool PersistentCookieJar::updateCookie(const QNetworkCookie& cookie)
{
    const bool changed = QNetworkCookieJar::updateCookie(cookie);
    if (changed)
        save();
    return changed;
}

bool PersistentCookieJar::deleteCookie(const QNetworkCookie& cookie)
{
    const bool changed = QNetworkCookieJar::deleteCookie(cookie);
    if (changed)
        save();
    return changed;
}
