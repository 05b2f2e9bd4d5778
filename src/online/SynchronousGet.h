#pragma once

#include "online/ServiceReply.h"

#include <QDeadlineTimer>
#include <QString>

class QNetworkAccessManager;

// The blocking GET, used once at start-up before any window exists. It waits at most until
// the deadline for the whole answer (connecting included), so a silent service delays the
// start only that long; an answer longer than ServiceReply::MaxBodyBytes is given up as it
// arrives.
class SynchronousGet {
public:
    static ServiceReply fetch(QNetworkAccessManager& network, const QString& url, QDeadlineTimer deadline,
                              qint64 maxBodyBytes = ServiceReply::MaxBodyBytes);
    static ServiceReply fetch(QNetworkAccessManager& network, const QString& url, int timeoutMs)
    {
        return fetch(network, url, QDeadlineTimer(timeoutMs));
    }

    // A synchronous answer counts when its status is 200 or 206 and it is not declared as an
    // HTML page (media type text/html in any letter case).
    static bool accepted(const ServiceReply& reply);
};
