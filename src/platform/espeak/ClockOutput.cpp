#include "platform/espeak/ClockOutput.h"

#include <algorithm>

ClockOutput::ClockOutput(int sampleRate, int bufferMs)
    : m_sampleRate(std::max(sampleRate, 1)),
      m_bufferSamples(std::max<qint64>(qint64(m_sampleRate) * bufferMs / 1000, 1))
{
}

bool ClockOutput::start()
{
    m_clock.start();
    m_lastNs = 0;
    m_playedNs = 0;
    m_written = 0;
    m_running = true;
    m_suspended = false;
    return true;
}

void ClockOutput::stop()
{
    m_running = false;
    m_suspended = false;
    m_written = 0;
    m_playedNs = 0;
}

void ClockOutput::advance()
{
    if (!m_running)
        return;
    const qint64 now = m_clock.nsecsElapsed();
    const qint64 elapsed = now - m_lastNs;
    m_lastNs = now;
    if (m_suspended)
        return;
    // Time spent with nothing to play is lost, as on a device that ran dry.
    const qint64 writtenNs = m_written * 1000000000LL / m_sampleRate;
    m_playedNs = std::min(m_playedNs + elapsed, writtenNs);
}

void ClockOutput::suspend()
{
    advance();
    m_suspended = true;
}

void ClockOutput::resume()
{
    advance();
    m_suspended = false;
}

qint64 ClockOutput::bytesFree()
{
    if (!m_running || m_suspended)
        return 0;
    advance();
    const qint64 queued = m_written - playedSamples();
    return std::max<qint64>(m_bufferSamples - queued, 0) * 2;
}

qint64 ClockOutput::write(const QByteArray& pcm)
{
    if (!m_running)
        return 0;
    m_written += pcm.size() / 2;
    return pcm.size() / 2 * 2;
}

qint64 ClockOutput::playedSamples()
{
    advance();
    // Caught up means every sample written, whatever the rounding of the two conversions.
    if (m_playedNs >= m_written * 1000000000LL / m_sampleRate)
        return m_written;
    return m_playedNs * m_sampleRate / 1000000000LL;
}
