#include "account/PersistentCookieJar.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QNetworkCookie>
#include <QSaveFile>

#include <algorithm>

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

QByteArray digest(const QByteArray& text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Sha256);
}

// ".example.com" and "example.com" are one host's cookies.
QString hostOf(const QNetworkCookie& c)
{
    QString host = c.domain().toLower();
    if (host.startsWith(QLatin1Char('.')))
        host.remove(0, 1);
    return host;
}

// A bounded jar holds far less; a longer file is not the jar's.
constexpr qint64 kMaxFileBytes = 32 * 1024 * 1024;

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
    const QByteArray text = file.read(kMaxFileBytes);
    m_savedDigest = digest(text);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QList<QNetworkCookie> cookies;
    for (const QByteArray& row : text.split('\n')) {
        const auto cookie = parse(row.trimmed());
        if (cookie && keeps(*cookie, now) && cookie->name().size() + cookie->value().size() <= MaxCookieBytes)
            cookies.append(*cookie);
    }
    setAllCookies(cookies);
    // A file flooded by an earlier run shrinks to what the jar keeps.
    if (trim())
        save();
}

// Keeps the newest cookies within the bounds; the jar lists them oldest first, as they came.
bool PersistentCookieJar::trim()
{
    const QList<QNetworkCookie> all = allCookies();
    if (all.size() <= MaxCookiesPerHost)
        return false;
    QHash<QString, int> perHost;
    QList<QNetworkCookie> kept;
    for (auto it = all.crbegin(); it != all.crend() && kept.size() < MaxCookies; ++it) {
        int& count = perHost[hostOf(*it)];
        if (count < MaxCookiesPerHost) {
            ++count;
            kept.append(*it);
        }
    }
    if (kept.size() == all.size())
        return false;
    std::reverse(kept.begin(), kept.end());
    setAllCookies(kept);
    return true;
}

void PersistentCookieJar::save()
{
    m_dirty = false;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QByteArray text;
    for (const QNetworkCookie& c : allCookies())
        if (keeps(c, now))
            text += line(c);
    // Nothing to keep and nothing kept: no file is made. What is on disk already: no write.
    if (text.isEmpty() && !QFileInfo::exists(m_filePath))
        return;
    const QByteArray textDigest = digest(text);
    if (textDigest == m_savedDigest && QFileInfo::exists(m_filePath))
        return;
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(text);
    if (file.commit()) {
        m_savedDigest = textDigest;
        emit saved();
    }
}

// Every change inside one call of the jar (a reply's cookies, or one cookie replacing another)
// is written once, when the outermost call ends.
class PersistentCookieJar::Batch {
public:
    explicit Batch(PersistentCookieJar& jar) : m_jar(jar) { ++m_jar.m_depth; }
    ~Batch()
    {
        if (--m_jar.m_depth > 0)
            return;
        if (m_jar.trim())
            m_jar.m_dirty = true;
        if (m_jar.m_dirty)
            m_jar.save();
    }

private:
    PersistentCookieJar& m_jar;
};

bool PersistentCookieJar::setCookiesFromUrl(const QList<QNetworkCookie>& cookieList, const QUrl& url)
{
    Batch batch(*this);
    return QNetworkCookieJar::setCookiesFromUrl(cookieList, url);
}

bool PersistentCookieJar::insertCookie(const QNetworkCookie& cookie)
{
    // A browser drops a cookie this big whole.
    if (cookie.name().size() + cookie.value().size() > MaxCookieBytes)
        return false;
    Batch batch(*this);
    const bool changed = QNetworkCookieJar::insertCookie(cookie);
    m_dirty = m_dirty || changed;
    return changed;
}

bool PersistentCookieJar::updateCookie(const QNetworkCookie& cookie)
{
    Batch batch(*this);
    const bool changed = QNetworkCookieJar::updateCookie(cookie);
    m_dirty = m_dirty || changed;
    return changed;
}

bool PersistentCookieJar::deleteCookie(const QNetworkCookie& cookie)
{
    Batch batch(*this);
    const bool changed = QNetworkCookieJar::deleteCookie(cookie);
    m_dirty = m_dirty || changed;
    return changed;
}
