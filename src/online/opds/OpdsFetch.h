#pragma once

#include "online/opds/OpdsAtomReader.h"
#include "online/opds/OpdsFeed.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// One request to a catalogue: a feed (read as it arrives), an OpenSearch description or a
// cover. Redirects are followed only to http(s); a server that sends nothing for the time
// limit is given up; a body past its cap is cut (a feed keeps what it read, when that was a
// whole page's worth). The answer comes once, through finished().
class OpdsFetch : public QObject {
    Q_OBJECT
public:
    enum class Kind { Feed, Document };
    enum class Outcome { Ok, NeedsLogin, Failed };
    static constexpr int DefaultTimeoutMs = 30000;
    // A JSON feed, a description or a cover is read whole; an Atom feed streams and is scanned
    // this far at most.
    static constexpr qint64 MaxDocumentBytes = 8 * 1024 * 1024;
    static constexpr qint64 MaxScannedFeedBytes = 64 * 1024 * 1024;

    OpdsFetch(QNetworkAccessManager& network, Kind kind, QObject* parent = nullptr);
    ~OpdsFetch() override;

    void setTimeoutMs(int ms) { m_timer.setInterval(ms); }
    void setMaxBytes(qint64 bytes) { m_maxBytes = bytes; }
    void start(const QUrl& url, const QByteArray& authorization);
    void abort();

    Outcome outcome() const { return m_outcome; }
    // Why it failed, in Chinese.
    QString error() const { return m_error; }
    // The address the answer came from, after redirects: relative links resolve against it.
    QUrl finalUrl() const { return m_url; }
    const OpdsFeed& feed() const { return m_feed; }
    const QByteArray& body() const { return m_body; }

    // "Basic " + base64 of name:password.
    static QByteArray basicAuthorization(const QString& user, const QString& password);

signals:
    void finished();

private:
    void take();
    void done();
    void fail(const QString& error);
    void end(Outcome outcome);

    QNetworkAccessManager& m_network;
    Kind m_kind;
    QPointer<QNetworkReply> m_reply;
    QTimer m_timer;
    QUrl m_url;
    qint64 m_maxBytes = MaxDocumentBytes;
    qint64 m_read = 0;
    bool m_json = false;
    bool m_typeKnown = false;
    std::unique_ptr<OpdsAtomReader> m_atom;
    QByteArray m_body;
    OpdsFeed m_feed;
    Outcome m_outcome = Outcome::Failed;
    QString m_error;
    bool m_ended = false;
};
