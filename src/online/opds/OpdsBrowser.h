#pragma once

#include "online/opds/OpdsFeed.h"
#include "online/opds/OpdsFetch.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;

// What a double-click on a book of a catalogue hands to the download queue.
struct OpdsDownload {
    QString caption; // the book's folder and the pane's text
    QUrl url;
    QString fileName; // caption + the format's extension
    QString category; // one of the ten shelf categories
    QString name;
    QString author;
    QString encoding;         // of a TXT file, from its media type; empty when not given
    QByteArray authorization; // only for an address on the catalogue's own host
};

// Browsing one catalogue without its widgets: the feeds walked into (for the back button and
// the breadcrumb), paging, search through the OpenSearch description or the feed's template,
// login on a 401, and what a book's download is. Only the newest request is answered.
class OpdsBrowser : public QObject {
    Q_OBJECT
public:
    explicit OpdsBrowser(QNetworkAccessManager& network, QObject* parent = nullptr);

    // A new catalogue: the history starts again at its address.
    void open(const QUrl& root, const QString& user = {}, const QString& password = {});
    void setCredentials(const QString& user, const QString& password);
    QString userName() const { return m_user; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

    // Walks into a navigation entry, or to the first, previous, next or last page. Paging
    // replaces the feed in the history; walking in adds one.
    void enter(const OpdsEntry& entry);
    bool nextPage();
    bool previousPage();
    bool firstPage();
    bool lastPage();
    bool back();
    bool canGoBack() const { return m_history.size() > 1; }
    // The titles of the feeds walked through, the newest last.
    QStringList breadcrumb() const;

    bool search(const QString& words);
    void retry();

    const OpdsFeed& feed() const { return m_feed; }
    QUrl currentUrl() const { return m_history.isEmpty() ? QUrl() : m_history.last().url; }
    bool isLoading() const { return m_fetch != nullptr; }
    // What the page says in place of the list; empty while all is well.
    QString notice() const { return m_notice; }
    // A line over the list ("只显示前 200 条，共 100000 条"); empty when the page is whole.
    QString truncationNote() const;

    // The download of a book, or why there is none (its message in `why`).
    std::optional<OpdsDownload> downloadOf(const OpdsEntry& entry, QString* why) const;

    // Thumbnails of the shown books, fetched one at a time after the list is shown, each no
    // larger than this, scaled to `thumbnailSize`.
    static constexpr qint64 MaxThumbnailBytes = 1024 * 1024;
    static QSize thumbnailSize() { return {48, 64}; }

signals:
    void loadingChanged(bool loading);
    void feedChanged();
    void noticeChanged(const QString& notice);
    // A 401: the page asks for the name and the password, then calls setCredentials() and retry().
    void loginNeeded(const QString& message, const QString& user);
    void thumbnailReady(int publication, const QImage& image);

private:
    struct Step {
        QUrl url;
        QString title;
    };
    enum class Then { Push, Replace, Retry };

    void load(const QUrl& url, Then then, const QString& title = {});
    void loaded();
    void searchWith(const QString& urlTemplate, const QString& words);
    void setNotice(const QString& notice);
    void nextThumbnail();
    QByteArray authorizationFor(const QUrl& url) const;

    QNetworkAccessManager& m_network;
    QUrl m_root;
    QString m_user;
    QString m_password;
    int m_timeoutMs = OpdsFetch::DefaultTimeoutMs;
    QList<Step> m_history;
    OpdsFeed m_feed;
    QPointer<OpdsFetch> m_fetch;
    QUrl m_pendingUrl;
    Then m_pendingThen = Then::Push;
    QString m_pendingTitle;
    QString m_notice;
    bool m_sentCredentials = false;
    QPointer<OpdsFetch> m_thumbnailFetch;
    int m_nextThumbnail = 0;
    quint64 m_feedTicket = 0;
};
