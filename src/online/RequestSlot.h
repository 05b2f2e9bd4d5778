#pragma once

#include "online/ServiceReply.h"

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QNetworkAccessManager;
class QNetworkRequest;

// A window's one request to the service. A new request replaces the outstanding one,
// which is aborted and never answered; each reply is handed over once, on the GUI thread,
// through answered(). A request during which nothing moves (no byte sent or received) for
// the time limit is given up and answered with status 0, so no window waits forever; so is
// an answer that is still not complete at its deadline (counted from the last byte of the
// request sent, so that a slow upload is not cut), and one longer than
// ServiceReply::MaxBodyBytes.
class RequestSlot : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultTimeoutMs = 30000;
    static constexpr int DefaultDeadlineMs = 60000;

    explicit RequestSlot(QNetworkAccessManager& network, QObject* parent = nullptr);
    ~RequestSlot() override;

    // The asynchronous GET of the URL text (values as typed; the HTTP stack encodes them).
    void get(const QString& url);
    // The asynchronous form POST: Content-Type application/x-www-form-urlencoded, the body as given.
    void postForm(const QString& url, const QByteArray& body);
    // A POST with the caller's own content type and body (the multipart upload).
    void post(const QString& url, const QByteArray& contentType, const QByteArray& body);

    // Drops the outstanding request, if any; it is never answered.
    void release();
    bool isPending() const { return m_reply != nullptr; }

    void setTimeoutMs(int ms) { m_timer.setInterval(ms); }
    void setDeadlineMs(int ms) { m_deadline.setInterval(ms); }
    void setMaxBodyBytes(qint64 bytes) { m_maxBody = bytes; }

signals:
    void answered(const ServiceReply& reply);
    // Bytes of a request body sent so far (for large uploads).
    void uploadProgress(qint64 sent, qint64 total);

private:
    void start(QNetworkReply* reply);
    void take();
    void finish();
    void fail(ServiceReply::Failure why);

    QNetworkAccessManager& m_network;
    QPointer<QNetworkReply> m_reply;
    QTimer m_timer;
    QTimer m_deadline;
    qint64 m_maxBody = ServiceReply::MaxBodyBytes;
    QByteArray m_body;
    bool m_sent = false;
};
