#include "online/RequestSlot.h"

#include "online/ServiceUrl.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

constexpr qint64 kReadAheadBytes = 1024 * 1024;

} // namespace

RequestSlot::RequestSlot(QNetworkAccessManager& network, QObject* parent) : QObject(parent), m_network(network)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(DefaultTimeoutMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { fail(ServiceReply::Failure::TimedOut); });
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(DefaultDeadlineMs);
    connect(&m_deadline, &QTimer::timeout, this, [this] { fail(ServiceReply::Failure::TimedOut); });
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
    m_deadline.stop();
    m_body.clear();
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
    m_sent = false;
    // The stack reads ahead no further than this, so a flood waits on the wire, not in memory.
    reply->setReadBufferSize(kReadAheadBytes);
    connect(reply, &QNetworkReply::finished, this, &RequestSlot::finish);
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        // A declared length past the cap is refused before a byte of it is read.
        const QVariant length = m_reply ? m_reply->header(QNetworkRequest::ContentLengthHeader) : QVariant();
        if (length.isValid() && length.toLongLong() > m_maxBody)
            fail(ServiceReply::Failure::TooLarge);
    });
    connect(reply, &QNetworkReply::readyRead, this, &RequestSlot::take);
    connect(reply, &QNetworkReply::uploadProgress, this, [this](qint64 sent, qint64 total) {
        // A large upload takes longer than the limit; only a request that stops moving is given
        // up, and the answer's deadline counts from the last byte sent.
        m_timer.start();
        m_deadline.start();
        if (total > 0 && sent == total)
            m_sent = true;
        emit uploadProgress(sent, total);
    });
    connect(reply, &QNetworkReply::downloadProgress, this, [this] { m_timer.start(); });
    m_timer.start();
    m_deadline.start();
}

void RequestSlot::take()
{
    if (!m_reply)
        return;
    // Read as it arrives, so the cap counts what the stack has decompressed, not what was declared.
    m_body += m_reply->read(m_maxBody + 1 - m_body.size());
    if (m_body.size() > m_maxBody)
        fail(ServiceReply::Failure::TooLarge);
}

void RequestSlot::finish()
{
    QNetworkReply* reply = m_reply.data();
    if (!reply || sender() != reply)
        return;
    take();
    if (!m_reply)
        return; // too large: already answered
    m_reply = nullptr;
    m_timer.stop();
    m_deadline.stop();
    ServiceReply answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (answer.status == 0)
        answer.failure = ServiceReply::Failure::NoConnection;
    answer.requestSent = m_sent;
    answer.contentType = reply->rawHeader("Content-Type");
    answer.body = std::exchange(m_body, {});
    answer.headers = reply->rawHeaderPairs();
    reply->deleteLater();
    emit answered(answer);
}

void RequestSlot::fail(ServiceReply::Failure why)
{
    if (!m_reply)
        return;
    const bool sent = m_sent;
    release();
    ServiceReply answer;
    answer.failure = why;
    answer.requestSent = sent;
    emit answered(answer);
}
