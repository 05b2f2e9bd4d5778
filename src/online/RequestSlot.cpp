#include "online/RequestSlot.h"

#include "online/ServiceUrl.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

RequestSlot::RequestSlot(QNetworkAccessManager& network, QObject* parent) : QObject(parent), m_network(network)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(DefaultTimeoutMs);
    connect(&m_timer, &QTimer::timeout, this, &RequestSlot::timedOut);
}

RequestSlot::~RequestSlot()
{
    release();
}

void RequestSlot::get(const QString& url)
{
    start(m_network.get(QNetworkRequest(toRequestUrl(url))));
}

void RequestSlot::postForm(const QString& url, const QByteArray& body)
{
    post(url, QByteArrayLiteral("application/x-www-form-urlencoded"), body);
}

void RequestSlot::post(const QString& url, const QByteArray& contentType, const QByteArray& body)
{
    QNetworkRequest request(toRequestUrl(url));
    request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    start(m_network.post(request, body));
}

void RequestSlot::release()
{
    m_timer.stop();
    if (QNetworkReply* old = m_reply.data()) {
        m_reply = nullptr;
        old->disconnect(this);
        old->abort();
        old->deleteLater();
    }
}

void RequestSlot::start(QNetworkReply* reply)
{
    release();
    m_reply = reply;
    connect(reply, &QNetworkReply::finished, this, &RequestSlot::finish);
    connect(reply, &QNetworkReply::uploadProgress, this, [this](qint64 sent, qint64 total) {
        // A large upload takes longer than the limit; only a request that stops moving is given up.
        m_timer.start();
        emit uploadProgress(sent, total);
    });
    connect(reply, &QNetworkReply::downloadProgress, this, [this] { m_timer.start(); });
    m_timer.start();
}

void RequestSlot::finish()
{
    QNetworkReply* reply = m_reply.data();
    if (!reply || sender() != reply)
        return;
    m_reply = nullptr;
    m_timer.stop();
    ServiceReply answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.contentType = reply->rawHeader("Content-Type");
    answer.body = reply->readAll();
    answer.headers = reply->rawHeaderPairs();
    reply->deleteLater();
    emit answered(answer);
}

void RequestSlot::timedOut()
{
    if (!m_reply)
        return;
    release();
    emit answered(ServiceReply{});
}
