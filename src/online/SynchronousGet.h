#pragma once

#include "online/ServiceReply.h"

#include <QString>

class QNetworkAccessManager;

// The blocking GET, used once at start-up before any window exists. It waits at most
// `timeoutMs` for the whole answer (connecting included), so a silent service delays the
// start only that long.
class SynchronousGet {
public:
    static ServiceReply fetch(QNetworkAccessManager& network, const QString& url, int timeoutMs);

    // A synchronous answer counts when its status is 200 or 206 and it is not declared as an
    // HTML page (media type text/html in any letter case).
    static bool accepted(const ServiceReply& reply);
};
