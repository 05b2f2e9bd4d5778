#include "online/opds/OpdsBrowser.h"

#include "online/opds/OpdsFormat.h"
#include "online/opds/OpdsSearch.h"

#include <QBuffer>
#include <QImageReader>

namespace {

bool sameOrigin(const QUrl& a, const QUrl& b)
{
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(a.scheme() == QLatin1String("https") ? 443 : 80) ==
               b.port(b.scheme() == QLatin1String("https") ? 443 : 80);
}

// A caption that can name a folder: no separators, control characters or leading dots.
QString safeCaption(const QString& title)
{
    QString caption;
    for (const QChar c : title) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7f ||
            QStringLiteral(":*?\"<>|").contains(c))
            caption += QLatin1Char('_');
        else
            caption += c;
    }
    caption = caption.trimmed();
    while (caption.startsWith(QLatin1Char('.')))
        caption.remove(0, 1);
    return caption.left(80).trimmed();
}

} // namespace

OpdsBrowser::OpdsBrowser(QNetworkAccessManager& network, QObject* parent) : QObject(parent), m_network(network) {}

void OpdsBrowser::open(const QUrl& root, const QString& user, const QString& password)
{
    m_root = root;
    m_user = user;
    m_password = password;
    m_history.clear();
    m_feed = OpdsFeed();
    emit feedChanged();
    load(root, Then::Push);
}

void OpdsBrowser::setCredentials(const QString& user, const QString& password)
{
    m_user = user;
    m_password = password;
}

QByteArray OpdsBrowser::authorizationFor(const QUrl& url) const
{
    // The name and password go only to the catalogue's own server.
    if (m_user.isEmpty() && m_password.isEmpty())
        return {};
    if (!sameOrigin(url, m_root))
        return {};
    return OpdsFetch::basicAuthorization(m_user, m_password);
}

void OpdsBrowser::enter(const OpdsEntry& entry)
{
    if (!entry.navigation.isEmpty())
        load(entry.navigation, Then::Push, entry.title);
}

bool OpdsBrowser::nextPage()
{
    if (m_feed.next.isEmpty())
        return false;
    load(m_feed.next, Then::Replace);
    return true;
}

bool OpdsBrowser::previousPage()
{
    if (m_feed.previous.isEmpty())
        return false;
    load(m_feed.previous, Then::Replace);
    return true;
}

bool OpdsBrowser::firstPage()
{
    if (m_feed.first.isEmpty())
        return false;
    load(m_feed.first, Then::Replace);
    return true;
}

bool OpdsBrowser::lastPage()
{
    if (m_feed.last.isEmpty())
        return false;
    load(m_feed.last, Then::Replace);
    return true;
}

bool OpdsBrowser::back()
{
    if (!canGoBack())
        return false;
    m_history.removeLast();
    const Step step = m_history.takeLast();
    load(step.url, Then::Push, step.title);
    return true;
}

QStringList OpdsBrowser::breadcrumb() const
{
    QStringList titles;
    for (const Step& step : m_history)
        titles << step.title;
    return titles;
}

void OpdsBrowser::retry()
{
    if (!m_pendingUrl.isEmpty())
        load(m_pendingUrl, m_pendingThen, m_pendingTitle);
}

bool OpdsBrowser::search(const QString& words)
{
    const QString trimmed = words.trimmed();
    if (trimmed.isEmpty() || !m_feed.hasSearch())
        return false;
    if (!m_feed.searchTemplate.isEmpty()) {
        searchWith(m_feed.searchTemplate, trimmed);
        return true;
    }
    // The description names the template; it is fetched first.
    auto* fetch = new OpdsFetch(m_network, OpdsFetch::Kind::Document, this);
    fetch->setTimeoutMs(m_timeoutMs);
    delete m_fetch.data();
    m_fetch = fetch;
    emit loadingChanged(true);
    connect(fetch, &OpdsFetch::finished, this, [this, fetch, trimmed] {
        fetch->deleteLater();
        if (fetch != m_fetch)
            return;
        m_fetch = nullptr;
        emit loadingChanged(false);
        const QString urlTemplate = fetch->outcome() == OpdsFetch::Outcome::Ok
                                        ? OpdsSearch::templateOf(fetch->body(), fetch->finalUrl())
                                        : QString();
        if (urlTemplate.isEmpty()) {
            setNotice(fetch->outcome() == OpdsFetch::Outcome::Ok ? QStringLiteral("这个书库的搜索说明无法读取")
                                                                 : fetch->error());
            return;
        }
        // Kept for the next search of this feed.
        m_feed.searchTemplate = urlTemplate;
        searchWith(urlTemplate, trimmed);
    });
    fetch->start(m_feed.openSearchDescription, authorizationFor(m_feed.openSearchDescription));
    return true;
}

void OpdsBrowser::searchWith(const QString& urlTemplate, const QString& words)
{
    load(OpdsSearch::fill(urlTemplate, words), Then::Push, QStringLiteral("搜索：%1").arg(words));
}

void OpdsBrowser::load(const QUrl& url, Then then, const QString& title)
{
    m_pendingUrl = url;
    m_pendingThen = then;
    m_pendingTitle = title;
    delete m_thumbnailFetch.data();
    auto* fetch = new OpdsFetch(m_network, OpdsFetch::Kind::Feed, this);
    fetch->setTimeoutMs(m_timeoutMs);
    delete m_fetch.data();
    m_fetch = fetch;
    setNotice({});
    emit loadingChanged(true);
    connect(fetch, &OpdsFetch::finished, this, &OpdsBrowser::loaded);
    const QByteArray authorization = authorizationFor(url);
    m_sentCredentials = !authorization.isEmpty();
    fetch->start(url, authorization);
}

void OpdsBrowser::loaded()
{
    auto* fetch = qobject_cast<OpdsFetch*>(sender());
    if (!fetch || fetch != m_fetch)
        return;
    fetch->deleteLater();
    m_fetch = nullptr;
    emit loadingChanged(false);
    switch (fetch->outcome()) {
    case OpdsFetch::Outcome::NeedsLogin:
        setNotice(QStringLiteral("这个书库需要登录"));
        emit loginNeeded(m_sentCredentials ? QStringLiteral("登录失败，请重新输入用户名和密码")
                                           : QStringLiteral("这个书库需要登录，请输入用户名和密码"),
                         m_user);
        return;
    case OpdsFetch::Outcome::Failed:
        setNotice(fetch->error());
        return;
    case OpdsFetch::Outcome::Ok:
        break;
    }
    m_feed = fetch->feed();
    QString title = m_pendingTitle.isEmpty() ? m_feed.title : m_pendingTitle;
    if (title.isEmpty())
        title = QStringLiteral("书库");
    const Step step{fetch->finalUrl(), title};
    if (m_pendingThen == Then::Replace && !m_history.isEmpty())
        m_history.last().url = step.url;
    else
        m_history.append(step);
    m_pendingThen = Then::Replace; // a retry of this feed reloads it in place
    ++m_feedTicket;
    m_nextThumbnail = 0;
    emit feedChanged();
    nextThumbnail();
}

QString OpdsBrowser::truncationNote() const
{
    if (!m_feed.truncated())
        return {};
    return QStringLiteral("这一页条目过多，只显示前 %1 条（共 %2 条）")
        .arg(m_feed.navigation.size() + m_feed.publications.size())
        .arg(m_feed.totalEntries);
}

void OpdsBrowser::setNotice(const QString& notice)
{
    if (notice == m_notice)
        return;
    m_notice = notice;
    emit noticeChanged(notice);
}

void OpdsBrowser::nextThumbnail()
{
    while (m_nextThumbnail < m_feed.publications.size() && m_feed.publications[m_nextThumbnail].thumbnail.isEmpty() &&
           m_feed.publications[m_nextThumbnail].cover.isEmpty())
        ++m_nextThumbnail;
    if (m_nextThumbnail >= m_feed.publications.size())
        return;
    const int index = m_nextThumbnail++;
    const OpdsEntry& entry = m_feed.publications[index];
    const QUrl url = entry.thumbnail.isEmpty() ? entry.cover : entry.thumbnail;
    auto* fetch = new OpdsFetch(m_network, OpdsFetch::Kind::Document, this);
    fetch->setTimeoutMs(m_timeoutMs);
    fetch->setMaxBytes(MaxThumbnailBytes);
    m_thumbnailFetch = fetch;
    connect(fetch, &OpdsFetch::finished, this, [this, fetch, index, ticket = m_feedTicket] {
        fetch->deleteLater();
        if (ticket != m_feedTicket)
            return;
        if (fetch->outcome() == OpdsFetch::Outcome::Ok) {
            QBuffer buffer;
            buffer.setData(fetch->body());
            QImageReader reader(&buffer);
            // A picture that claims to be huge is not decoded.
            const QSize size = reader.size();
            if (size.isValid() && size.width() <= 4000 && size.height() <= 4000) {
                reader.setScaledSize(size.scaled(thumbnailSize(), Qt::KeepAspectRatio));
                const QImage image = reader.read();
                if (!image.isNull())
                    emit thumbnailReady(index, image);
            }
        }
        nextThumbnail();
    });
    fetch->start(url, authorizationFor(url));
}

std::optional<OpdsDownload> OpdsBrowser::downloadOf(const OpdsEntry& entry, QString* why) const
{
    // The first download the reader can use; a book offered only as EPUB or PDF cannot be read here.
    for (const OpdsLink& link : entry.acquisitions) {
        const OpdsFormat format = OpdsFormat::classify(link.type);
        if (!format.readable())
            continue;
        OpdsDownload d;
        d.caption = safeCaption(entry.title);
        if (d.caption.isEmpty())
            d.caption = safeCaption(link.href.fileName().section(QLatin1Char('.'), 0, 0));
        if (d.caption.isEmpty())
            d.caption = QStringLiteral("书库下载");
        d.url = link.href;
        d.fileName = d.caption + format.extension();
        d.category = shelfCategoryOf(entry.category);
        d.name = entry.title.isEmpty() ? d.caption : entry.title;
        d.author = entry.author;
        d.encoding = QString::fromLatin1(format.encoding);
        d.authorization = authorizationFor(link.href);
        return d;
    }
    if (why)
        *why =
            entry.acquisitions.isEmpty() ? QStringLiteral("这本书没有可下载的文件") : OpdsFormat::unreadableMessage();
    return std::nullopt;
}
