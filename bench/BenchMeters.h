#pragma once
// What the benchmarks measure around the work they time: resident memory, a free loopback
// port for a service of their own, and the longest stall of the event loop.

#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

#include <algorithm>

inline qint64 residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return 0;
}

inline quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The longest gap between ticks of a 1 ms timer on this thread's event loop, and the peak of
// resident memory sampled at each tick (when asked for: reading it costs the loop a little).
class StallMeter : public QObject {
public:
    explicit StallMeter(bool sampleMemory = true) : m_sampleMemory(sampleMemory)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
            if (m_sampleMemory)
                m_peakRss = std::max(m_peakRss, residentBytes());
        });
    }
    void start()
    {
        m_longest = 0;
        if (m_sampleMemory)
            m_baseRss = m_peakRss = residentBytes();
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    // Counts the gap up to now too: the loop may end right after a long step.
    void stop()
    {
        m_longest = std::max(m_longest, m_clock.nsecsElapsed() - m_last);
        m_timer.stop();
    }
    double longestMs() const { return m_longest / 1e6; }
    qint64 peakRss() const { return m_peakRss; }
    double growthMb() const { return (m_peakRss - m_baseRss) / 1048576.0; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    bool m_sampleMemory;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    qint64 m_baseRss = 0;
    qint64 m_peakRss = 0;
};
