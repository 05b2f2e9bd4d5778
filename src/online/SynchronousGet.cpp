#include "online/SynchronousGet.h"

#include "online/ServiceUrl.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

ServiceReply SynchronousGet::fetch(QNetworkAccessManager& network, const QString& url, QDeadlineTimer deadline,
                                   qint64 maxBodyBytes)
{
    ServiceReply answer;
    const qint64 remaining = deadline.remainingTime();
    if (remaining == 0) {
        answer.failure = ServiceReply::Failure::TimedOut;
        return answer;
    }
    QNetworkRequest request(toRequestUrl(url));
    if (remaining > 0)
        request.setTransferTimeout(static_cast<int>(remaining));
    QNetworkReply* reply = network.get(request);
    // The stack reads ahead no further than this, so a flood waits on the wire, not in memory.
    reply->setReadBufferSize(1024 * 1024);
    // Only the reply, the cap and the deadline can end this loop; it runs before any window exists.
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QByteArray body;
    bool tooLarge = false;
    auto take = [&] {
        body += reply->read(maxBodyBytes + 1 - body.size());
        if (body.size() > maxBodyBytes) {
            tooLarge = true;
            loop.quit();
        }
    };
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, take);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > maxBodyBytes) {
            tooLarge = true;
            loop.quit();
        }
    });
    if (remaining > 0)
        timer.start(static_cast<int>(remaining));
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (reply->isFinished() && !tooLarge)
        take();
    if (tooLarge) {
        answer.failure = ServiceReply::Failure::TooLarge;
    } else if (reply->isFinished()) {
        answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (answer.status == 0)
            answer.failure = ServiceReply::Failure::NoConnection;
        answer.contentType = reply->rawHeader("Content-Type");
        answer.body = body;
        answer.headers = reply->rawHeaderPairs();
    } else {
        answer.failure = ServiceReply::Failure::TimedOut;
    }
    if (!reply->isFinished() || tooLarge) {
        reply->disconnect();
        reply->abort();
    }
    reply->deleteLater();
    return answer;
}

bool SynchronousGet::accepted(const ServiceReply& reply)
{
    if (reply.status != 200 && reply.status != 206)
        return false;
    const QByteArray mediaType = reply.contentType.split(';').first().trimmed().toUpper();
    return mediaType != "TEXT/HTML";
}
