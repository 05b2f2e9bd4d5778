#pragma once

#include <QByteArray>
#include <QList>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

// What the synthesiser has produced and the player has not yet played: 16-bit mono samples
// and the events that belong at sample positions among them, counted from the last purge.
// The synthesis thread appends, the playback thread takes; both name the generation they
// work for, and a purge starts a new one, so nothing of a purged stream slips through.
//
// The synthesiser runs far faster than speech: it waits here once it is `aheadLimit`
// samples ahead of the player, which keeps memory small for a chapter of any length.
class SpeechTimeline {
public:
    struct Event {
        enum Kind { Word, End };
        Kind kind = Word;
        int stream = 0;
        int position = 0; // Word: UTF-16 range in the stream's text
        int length = 0;
        qint64 sample = 0; // where in the timeline it falls due
    };

    explicit SpeechTimeline(qint64 aheadLimitSamples);

    quint64 generation() const;
    // Whether work for `generation` is still wanted (not purged, not closed).
    bool isCurrent(quint64 generation) const;
    // Drops every sample and event, starts a new generation and wakes a waiting producer.
    quint64 purge();
    // Wakes everyone for good (shutdown).
    void close();

    // Producer side. Each returns false once `generation` is stale or the timeline closed.
    bool appendSamples(quint64 generation, const qint16* samples, int count);
    bool appendEvent(quint64 generation, const Event& event);
    qint64 writtenSamples() const;
    // Blocks while the producer is too far ahead.
    bool waitForRoom(quint64 generation);
    // Called (from the producer's thread) when something is appended while the consumer
    // has said it is idle; the consumer uses it to wake itself.
    void setConsumerWake(std::function<void()> wake);

    // Consumer side. Nothing is handed out for a stale generation.
    QByteArray takeSamples(quint64 generation, qint64 maxSamples);
    QList<Event> takeEventsUpTo(quint64 generation, qint64 sample);
    qint64 consumedSamples() const;
    bool hasSamples() const;
    bool isEmpty() const; // no samples and no events waiting
    // The consumer is going to sleep; true when it may (nothing arrived meanwhile).
    bool consumerIdle();

private:
    void wakeConsumerLocked(std::unique_lock<std::mutex>& lock);

    const qint64 m_aheadLimit;
    mutable std::mutex m_mutex;
    std::condition_variable m_room;
    quint64 m_generation = 1;
    bool m_closed = false;
    QByteArray m_pcm;       // samples not yet taken, starting at m_consumed
    qint64 m_pcmOffset = 0; // bytes of m_pcm already taken (compacted now and then)
    qint64 m_written = 0;
    qint64 m_consumed = 0;
    std::deque<Event> m_events;
    bool m_consumerIdle = true; // the consumer starts asleep
    std::function<void()> m_wake;
};
