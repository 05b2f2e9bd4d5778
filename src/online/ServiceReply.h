#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QPair>

// What came back for one request: the HTTP status (0 when there was no answer at all:
// host unreachable, connection dropped, timed out, too large), the declared content type and the body.
struct ServiceReply {
    // No real reply comes near this (a catalogue page is a few kilobytes); a longer one is
    // given up as it arrives, so a service cannot fill the reader's memory.
    static constexpr qint64 MaxBodyBytes = 8 * 1024 * 1024;

    // Why a reply of status 0 has no answer.
    enum class Failure {
        None,
        NoConnection, // refused, unreachable, or dropped before the answer was complete
        TimedOut,     // nothing moved for the time limit, or the answer took longer than its deadline
        TooLarge,     // the answer was longer than MaxBodyBytes
    };

    int status = 0;
    Failure failure = Failure::None;
    // The whole request body had gone out before the request ended: an upload whose answer
    // is missing may still have been stored.
    bool requestSent = false;
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
