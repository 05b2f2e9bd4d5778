#include "platform/espeak/SpeechTimeline.h"

#include <algorithm>

namespace {
constexpr qint64 kBytesPerSample = 2;
}

SpeechTimeline::SpeechTimeline(qint64 aheadLimitSamples) : m_aheadLimit(std::max<qint64>(aheadLimitSamples, 1)) {}

quint64 SpeechTimeline::generation() const
{
    std::lock_guard lock(m_mutex);
    return m_generation;
}

bool SpeechTimeline::isCurrent(quint64 generation) const
{
    std::lock_guard lock(m_mutex);
    return !m_closed && generation == m_generation;
}

quint64 SpeechTimeline::purge()
{
    std::lock_guard lock(m_mutex);
    ++m_generation;
    m_pcm.clear();
    m_pcmOffset = 0;
    m_written = 0;
    m_consumed = 0;
    m_events.clear();
    m_room.notify_all();
    return m_generation;
}

void SpeechTimeline::close()
{
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_room.notify_all();
}

void SpeechTimeline::setConsumerWake(std::function<void()> wake)
{
    std::lock_guard lock(m_mutex);
    m_wake = std::move(wake);
}

void SpeechTimeline::wakeConsumerLocked(std::unique_lock<std::mutex>& lock)
{
    if (!m_consumerIdle || !m_wake)
        return;
    m_consumerIdle = false;
    const std::function<void()> wake = m_wake;
    lock.unlock();
    wake();
}

bool SpeechTimeline::appendSamples(quint64 generation, const qint16* samples, int count)
{
    std::unique_lock lock(m_mutex);
    if (m_closed || generation != m_generation)
        return false;
    if (count > 0) {
        m_pcm.append(reinterpret_cast<const char*>(samples), count * kBytesPerSample);
        m_written += count;
        wakeConsumerLocked(lock);
    }
    return true;
}

bool SpeechTimeline::appendEvent(quint64 generation, const Event& event)
{
    std::unique_lock lock(m_mutex);
    if (m_closed || generation != m_generation)
        return false;
    m_events.push_back(event);
    wakeConsumerLocked(lock);
    return true;
}

qint64 SpeechTimeline::writtenSamples() const
{
    std::lock_guard lock(m_mutex);
    return m_written;
}

bool SpeechTimeline::waitForRoom(quint64 generation)
{
    std::unique_lock lock(m_mutex);
    m_room.wait(lock, [&] { return m_closed || generation != m_generation || m_written - m_consumed < m_aheadLimit; });
    return !m_closed && generation == m_generation;
}

QByteArray SpeechTimeline::takeSamples(quint64 generation, qint64 maxSamples)
{
    std::lock_guard lock(m_mutex);
    if (generation != m_generation || maxSamples <= 0)
        return {};
    const qint64 available = (m_pcm.size() - m_pcmOffset) / kBytesPerSample;
    const qint64 n = std::min(available, maxSamples);
    if (n <= 0)
        return {};
    QByteArray out = m_pcm.mid(m_pcmOffset, n * kBytesPerSample);
    m_pcmOffset += n * kBytesPerSample;
    m_consumed += n;
    // Drop the taken front once it outweighs what is left, so appends stay cheap.
    if (m_pcmOffset > 64 * 1024 && m_pcmOffset * 2 > m_pcm.size()) {
        m_pcm.remove(0, m_pcmOffset);
        m_pcmOffset = 0;
    }
    m_room.notify_all();
    return out;
}

QList<SpeechTimeline::Event> SpeechTimeline::takeEventsUpTo(quint64 generation, qint64 sample)
{
    std::lock_guard lock(m_mutex);
    QList<Event> due;
    if (generation != m_generation)
        return due;
    while (!m_events.empty() && m_events.front().sample <= sample) {
        due.append(m_events.front());
        m_events.pop_front();
    }
    return due;
}

qint64 SpeechTimeline::consumedSamples() const
{
    std::lock_guard lock(m_mutex);
    return m_consumed;
}

bool SpeechTimeline::hasSamples() const
{
    std::lock_guard lock(m_mutex);
    return m_pcm.size() > m_pcmOffset;
}

bool SpeechTimeline::isEmpty() const
{
    std::lock_guard lock(m_mutex);
    return m_pcm.size() == m_pcmOffset && m_events.empty();
}

bool SpeechTimeline::consumerIdle()
{
    std::lock_guard lock(m_mutex);
    if (m_pcm.size() > m_pcmOffset || !m_events.empty())
        return false;
    m_consumerIdle = true;
    return true;
}
