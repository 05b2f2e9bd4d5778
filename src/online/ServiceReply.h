#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QPair>

// What came back for one request: the HTTP status (0 when there was no answer at all:
// host unreachable, connection dropped, timed out), the declared content type and the body.
struct ServiceReply {
    int status = 0;
    QByteArray contentType;
    QByteArray body;
    // Every header of the answer as it came.
    QList<QPair<QByteArray, QByteArray>> headers;

    // The windows' asynchronous requests take only a complete 200 answer.
    bool accepted() const { return status == 200; }
    // The value of the first header with that name, in any letter case; empty when absent.
    QByteArray header(const QByteArray& name) const
    {
        for (const auto& h : headers)
            if (h.first.compare(name, Qt::CaseInsensitive) == 0)
                return h.second;
        return {};
    }
};
Q_DECLARE_METATYPE(ServiceReply)
