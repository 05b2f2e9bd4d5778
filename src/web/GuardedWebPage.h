#pragma once

#include <QUrl>
#include <QWebEnginePage>

class QWebEngineUrlRequestInterceptor;

// A web page that shows content from the service and goes nowhere else. Whatever asks for
// a navigation (a link, a script, a refresh tag, a redirect), only the page's own addresses
// load; no local file is read and no WebSocket opens; no window opens.
class GuardedWebPage : public QWebEnginePage {
    Q_OBJECT
public:
    // A page of the service: http(s) addresses of the service base's origin load, nothing else.
    static GuardedWebPage* forService(const QString& serviceBase, QObject* parent);
    // A page of the program's own, a local file into which service snippets are put: only
    // that file loads, and only when the program loads it (loadOwnPage).
    static GuardedWebPage* forOwnPage(QObject* parent);

    void loadOwnPage(const QUrl& file);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;

private:
    GuardedWebPage(bool forService, const QString& serviceBase, QObject* parent);

    bool m_forService;
    QString m_serviceBase;
    QUrl m_ownPage;
    bool m_ownLoadPending = false;
    QWebEngineUrlRequestInterceptor* m_requests;
};
