#pragma once

#include "online/ReplyDocument.h"
#include "online/ServiceReply.h"

#include <QFutureWatcher>
#include <QObject>
#include <QtConcurrent/QtConcurrentRun>

#include <optional>
#include <type_traits>

// Reads list replies on a worker thread: parsing a reply of a few megabytes takes a second
// or more, which the window must not wait for. The result comes back on the thread of the
// context (the window that owns this), and only for the newest reading: a newer reading, or
// drop() when the window sends a newer request, makes the older one go unanswered.
class ReplyReading {
public:
    template <typename Result> struct Read {
        int readyState = 0;           // of the reply's document (ReplyDocument::readyState)
        std::optional<Result> result; // what the reader made of it, when it was usable
    };

    // `read` (const ReplyDocument&) → Result runs on the worker; `done` (const Read<Result>&)
    // on the context's thread. The context owns this object.
    template <typename Reader, typename Done>
    void start(QObject* context, const ServiceReply& reply, Reader read, Done done)
    {
        using Result = std::invoke_result_t<Reader, const ReplyDocument&>;
        const quint64 ticket = ++m_ticket;
        m_busy = true;
        // The watcher belongs to the context: a window that has gone is never called back.
        auto* watcher = new QFutureWatcher<Read<Result>>(context);
        QObject::connect(watcher, &QFutureWatcherBase::finished, context, [this, ticket, done, watcher] {
            watcher->deleteLater();
            if (ticket != m_ticket)
                return;
            m_busy = false;
            done(watcher->result());
        });
        watcher->setFuture(QtConcurrent::run([body = reply.body, type = reply.contentType, read] {
            const ReplyDocument document = ReplyDocument::load(body, type);
            Read<Result> r;
            r.readyState = document.readyState();
            if (document.usable())
                r.result = read(document);
            return r;
        }));
    }

    void drop()
    {
        ++m_ticket;
        m_busy = false;
    }
    bool isBusy() const { return m_busy; }

private:
    quint64 m_ticket = 0;
    bool m_busy = false;
};
