#include "online/SynchronousGet.h"

#include "online/ServiceUrl.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

ServiceReply SynchronousGet::fetch(QNetworkAccessManager& network, const QString& url, int timeoutMs)
{
    QNetworkRequest request(toRequestUrl(url));
    request.setTransferTimeout(timeoutMs);
    QNetworkReply* reply = network.get(request);
    // Only the reply and the deadline can end this loop; it runs before any window exists.
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    deadline.start(timeoutMs);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    ServiceReply answer;
    if (reply->isFinished()) {
        answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        answer.contentType = reply->rawHeader("Content-Type");
        answer.body = reply->readAll();
    } else {
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
