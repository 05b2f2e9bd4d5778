#include "platform/espeak/AudioSinkOutput.h"

#include <QAudioSink>
#include <QIODevice>

#include <algorithm>

AudioSinkOutput::AudioSinkOutput(const QAudioDevice& device, int sampleRate, int bufferMs)
    : m_device(device), m_bufferBytes(std::max(sampleRate * 2 * bufferMs / 1000, 2))
{
    m_format.setSampleRate(sampleRate);
    m_format.setChannelCount(1);
    m_format.setSampleFormat(QAudioFormat::Int16);
}

AudioSinkOutput::~AudioSinkOutput()
{
    if (m_sink)
        m_sink->stop();
}

bool AudioSinkOutput::start()
{
    // One sink for the whole run, stopped and started again: destroying a sink runs the
    // event loop of its thread.
    if (!m_sink) {
        if (m_device.isNull())
            return false;
        m_sink = std::make_unique<QAudioSink>(m_device, m_format);
        // A short device buffer: the playback thread refills it every few milliseconds,
        // and a short one keeps the first word close to the click.
        m_sink->setBufferSize(m_bufferBytes);
    }
    m_written = 0;
    m_io = m_sink->start();
    if (!m_io || m_sink->error() != QAudio::NoError) {
        m_sink->stop();
        m_io = nullptr;
        return false;
    }
    return true;
}

void AudioSinkOutput::stop()
{
    if (m_sink)
        m_sink->stop();
    m_io = nullptr;
    m_written = 0;
}

void AudioSinkOutput::suspend()
{
    if (m_sink && m_io)
        m_sink->suspend();
}

void AudioSinkOutput::resume()
{
    if (m_sink && m_io)
        m_sink->resume();
}

qint64 AudioSinkOutput::bytesFree()
{
    if (!m_sink || !m_io || m_sink->state() == QAudio::SuspendedState)
        return 0;
    return m_sink->bytesFree() / 2 * 2;
}

qint64 AudioSinkOutput::write(const QByteArray& pcm)
{
    if (!m_io)
        return 0;
    const qint64 n = m_io->write(pcm);
    if (n > 0)
        m_written += n / 2;
    return std::max<qint64>(n, 0);
}

qint64 AudioSinkOutput::playedSamples()
{
    if (!m_sink || !m_io)
        return 0;
    // Idle after writing means the device ran out of samples: all of them were heard.
    if (m_sink->state() == QAudio::IdleState && m_written > 0)
        return m_written;
    // Rounded: the sink floors samples to microseconds, flooring back could lose the last one.
    const qint64 played = (m_sink->processedUSecs() * m_format.sampleRate() + 500000) / 1000000;
    return std::min(played, m_written);
}

bool AudioSinkOutput::hasFailed() const
{
    if (!m_sink || !m_io)
        return false;
    const QAudio::Error error = m_sink->error();
    return error == QAudio::OpenError || error == QAudio::IOError || error == QAudio::FatalError;
}
