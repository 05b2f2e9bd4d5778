#include "web/GuardedWebPage.h"

#include "web/WebGuard.h"

#include <QFileInfo>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>

namespace {

// Every request of the page: WebSockets are refused, and of local files only those beside
// the page's own file (its script) may be read.
class RequestGuard : public QWebEngineUrlRequestInterceptor {
public:
    RequestGuard(const QUrl* ownPage, QObject* parent) : QWebEngineUrlRequestInterceptor(parent), m_ownPage(ownPage) {}

    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        const QUrl url = info.requestUrl();
        const QString scheme = url.scheme();
        if (info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeWebSocket || scheme == QLatin1String("ws") ||
            scheme == QLatin1String("wss")) {
            info.block(true);
            return;
        }
        if (scheme == QLatin1String("file") && !besideOwnPage(url))
            info.block(true);
    }

private:
    bool besideOwnPage(const QUrl& url) const
    {
        if (!m_ownPage->isLocalFile())
            return false;
        const QFileInfo own(m_ownPage->toLocalFile());
        const QFileInfo wanted(url.toLocalFile());
        return wanted.absolutePath() == own.absolutePath() && !wanted.fileName().isEmpty();
    }

    const QUrl* m_ownPage;
};

bool isWebAddress(const QUrl& url)
{
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

} // namespace

GuardedWebPage::GuardedWebPage(bool forService, const QString& serviceBase, QObject* parent)
    : QWebEnginePage(parent), m_forService(forService), m_serviceBase(serviceBase),
      m_requests(new RequestGuard(&m_ownPage, this))
{
    setUrlRequestInterceptor(m_requests);
    QWebEngineSettings* s = settings();
    // A local page that may not read local files cannot load its own script either: the
    // request guard keeps it to the files beside it instead.
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, !forService);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::AllowRunningInsecureContent, false);
}

GuardedWebPage* GuardedWebPage::forService(const QString& serviceBase, QObject* parent)
{
    return new GuardedWebPage(true, serviceBase, parent);
}

GuardedWebPage* GuardedWebPage::forOwnPage(QObject* parent)
{
    return new GuardedWebPage(false, QString(), parent);
}

void GuardedWebPage::loadOwnPage(const QUrl& file)
{
    m_ownPage = file;
    m_ownLoadPending = true;
    load(file);
}

bool GuardedWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    Q_UNUSED(type);
    if (m_forService)
        return isMainFrame ? isServicePage(url, m_serviceBase) : isWebAddress(url);
    if (!isMainFrame || !m_ownLoadPending || url.adjusted(QUrl::RemoveFragment) != m_ownPage)
        return false;
    m_ownLoadPending = false;
    return true;
}

QWebEnginePage* GuardedWebPage::createWindow(WebWindowType)
{
    return nullptr;
}
