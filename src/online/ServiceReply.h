#pragma once

#include <QByteArray>
#include <QMetaType>

// What came back for one request: the HTTP status (0 when there was no answer at all:
// host unreachable, connection dropped, timed out), the declared content type and the body.
struct ServiceReply {
    int status = 0;
    QByteArray contentType;
    QByteArray body;

    // The windows' asynchronous requests take only a complete 200 answer.
    bool accepted() const { return status == 200; }
};
Q_DECLARE_METATYPE(ServiceReply)
