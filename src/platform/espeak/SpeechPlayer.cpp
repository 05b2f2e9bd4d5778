#include "platform/espeak/SpeechPlayer.h"

#include "platform/espeak/AudioSinkOutput.h"
#include "platform/espeak/ClockOutput.h"

#include <QCoreApplication>

namespace {
constexpr int kTickMs = 10;
constexpr int kDeviceBufferMs = 200;
constexpr int kClockBufferMs = 200;
} // namespace

SpeechPlayer::SpeechPlayer(SpeechTimeline& timeline, const QAudioDevice& device, int sampleRate, QObject* parent)
    : QObject(parent), m_timeline(timeline), m_sampleRate(sampleRate),
      m_clock(std::make_unique<ClockOutput>(sampleRate, kClockBufferMs)), m_timer(this)
{
    if (!device.isNull())
        m_device = std::make_unique<AudioSinkOutput>(device, sampleRate, kDeviceBufferMs);
    m_output = m_device ? m_device.get() : m_clock.get();
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &SpeechPlayer::tick);
}

SpeechPlayer::~SpeechPlayer() = default;

void SpeechPlayer::shutdown()
{
    m_shutDown = true;
    m_timer.stop();
    QCoreApplication::removePostedEvents(this);
    if (m_running)
        m_output->stop();
    m_running = false;
    m_output = m_clock.get();
    // Destroying the sink runs this thread's event loop once; m_shutDown keeps the calls
    // still arriving from doing anything.
    m_device.reset();
}

void SpeechPlayer::wake()
{
    if (m_shutDown)
        return;
    if (!m_timer.isActive() && !m_paused)
        m_timer.start();
    // At once rather than on the next tick: the first samples of a stream go straight out.
    tick();
}

void SpeechPlayer::setPaused(bool paused)
{
    if (m_shutDown || paused == m_paused)
        return;
    m_paused = paused;
    if (paused) {
        if (m_running)
            m_output->suspend();
        m_timer.stop();
    } else {
        if (m_running)
            m_output->resume();
        wake();
    }
}

void SpeechPlayer::resetOutput()
{
    if (m_running)
        m_output->stop();
    m_running = false;
    m_carry.clear();
    m_origin = 0;
}

void SpeechPlayer::fallBackToClock()
{
    // Whatever the device held unplayed is lost; the clock goes on from what was taken.
    if (m_running)
        m_output->stop();
    m_output = m_clock.get();
    m_running = false;
    m_carry.clear();
    m_origin = m_timeline.consumedSamples();
}

void SpeechPlayer::feed()
{
    if (!m_running) {
        if (m_carry.isEmpty() && !m_timeline.hasSamples())
            return;
        m_origin = m_timeline.consumedSamples() - m_carry.size() / 2;
        if (!m_output->start()) {
            fallBackToClock();
            m_output->start();
        }
        m_running = true;
        m_heard = false;
        emit outputStarted();
    }
    for (int guard = 0; guard < 64; ++guard) {
        if (m_carry.isEmpty()) {
            const qint64 room = m_output->bytesFree() / 2;
            m_carry = m_timeline.takeSamples(m_generation, room);
            if (m_carry.isEmpty())
                return;
        }
        const qint64 accepted = m_output->write(m_carry);
        if (accepted <= 0)
            return;
        m_carry.remove(0, accepted);
    }
}

qint64 SpeechPlayer::playedPosition()
{
    if (!m_running)
        return m_timeline.consumedSamples();
    const qint64 played = m_output->playedSamples();
    if (played > 0 && !m_heard) {
        m_heard = true;
        emit firstSamplePlayed();
    }
    return m_origin + played;
}

void SpeechPlayer::tick()
{
    const quint64 generation = m_timeline.generation();
    if (generation != m_generation) {
        m_generation = generation;
        resetOutput();
    }
    if (m_paused)
        return;
    if (m_running && m_output->hasFailed())
        fallBackToClock();
    feed();

    const qint64 played = playedPosition();
    for (const SpeechTimeline::Event& e : m_timeline.takeEventsUpTo(m_generation, played)) {
        if (e.kind == SpeechTimeline::Event::Word)
            emit wordReached(e.stream, e.position, e.length);
        else
            emit streamEnded(e.stream);
    }

    // Played out: close the output until more arrives, so an idle device is not held open.
    const qint64 taken = m_timeline.consumedSamples() - m_carry.size() / 2;
    if (m_running && m_carry.isEmpty() && !m_timeline.hasSamples() && played >= taken) {
        m_output->stop();
        m_running = false;
    }
    if (!m_running && m_timeline.consumerIdle())
        m_timer.stop();
}
