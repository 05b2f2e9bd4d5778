#include "platform/espeak/EspeakSpeechEngine.h"

#include "platform/espeak/EspeakSynthesizer.h"
#include "platform/espeak/SpeechPlayer.h"
#include "platform/espeak/SpeechTimeline.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QMetaObject>

#include <algorithm>

namespace {
// How far synthesis may run ahead of playback: enough to ride out a busy moment, small
// enough that a long chapter never sits in memory as sound.
constexpr qint64 kAheadSeconds = 20;
} // namespace

EspeakSpeechEngine::EspeakSpeechEngine(Output output, QObject* parent)
    : SpeechEngine(parent), m_timeline(std::make_unique<SpeechTimeline>(kAheadSeconds * sampleRate()))
{
    qRegisterMetaType<QList<SpeechVoice>>();
    QAudioDevice device;
    if (output == Output::Automatic)
        device = QMediaDevices::defaultAudioOutput();
    m_hasDevice = !device.isNull();

    m_synthesizer = new EspeakSynthesizer(*m_timeline);
    m_synthesizer->moveToThread(&m_synthesisThread);
    connect(&m_synthesisThread, &QThread::finished, m_synthesizer, &QObject::deleteLater);
    connect(m_synthesizer, &EspeakSynthesizer::voicesListed, this, &EspeakSpeechEngine::onVoicesListed);
    connect(m_synthesizer, &EspeakSynthesizer::firstSamples, this, &EspeakSpeechEngine::firstSamplesSynthesised);

    m_player = new SpeechPlayer(*m_timeline, device, sampleRate());
    m_player->moveToThread(&m_playbackThread);
    connect(&m_playbackThread, &QThread::finished, m_player, &QObject::deleteLater);
    connect(m_player, &SpeechPlayer::wordReached, this, &EspeakSpeechEngine::onWord);
    connect(m_player, &SpeechPlayer::streamEnded, this, &EspeakSpeechEngine::onEnd);
    connect(m_player, &SpeechPlayer::firstSamplePlayed, this, &EspeakSpeechEngine::firstSamplePlayed);
    SpeechPlayer* player = m_player;
    m_timeline->setConsumerWake(
        [player] { QMetaObject::invokeMethod(player, &SpeechPlayer::wake, Qt::QueuedConnection); });

    m_synthesisThread.setObjectName(QStringLiteral("speech synthesis"));
    m_playbackThread.setObjectName(QStringLiteral("speech playback"));
    m_synthesisThread.start();
    m_playbackThread.start();
    // Loading the voices takes a moment; the list arrives through voicesChanged().
    QMetaObject::invokeMethod(m_synthesizer, &EspeakSynthesizer::initialize, Qt::QueuedConnection);
}

EspeakSpeechEngine::~EspeakSpeechEngine()
{
    // Frees a synthesis waiting for the player, then ends both threads.
    m_timeline->close();
    m_timeline->setConsumerWake({});
    QMetaObject::invokeMethod(m_player, &SpeechPlayer::shutdown, Qt::BlockingQueuedConnection);
    m_synthesisThread.quit();
    m_playbackThread.quit();
    m_synthesisThread.wait();
    m_playbackThread.wait();
}

void EspeakSpeechEngine::onVoicesListed(const QList<SpeechVoice>& voices)
{
    m_voices = voices;
    m_listed = true;
    if (m_current >= m_voices.size())
        m_current = -1;
    emit voicesChanged();
}

bool EspeakSpeechEngine::setCurrentVoice(int index)
{
    if (index < 0 || index >= m_voices.size())
        return false;
    m_current = index;
    EspeakSynthesizer* synthesizer = m_synthesizer;
    const QString id = m_voices[index].id;
    QMetaObject::invokeMethod(
        synthesizer, [synthesizer, id] { synthesizer->setVoice(id); }, Qt::QueuedConnection);
    return true;
}

void EspeakSpeechEngine::setRate(int percent)
{
    EspeakSynthesizer* synthesizer = m_synthesizer;
    const int rate = std::clamp(percent, RateMin, RateMax);
    QMetaObject::invokeMethod(
        synthesizer, [synthesizer, rate] { synthesizer->setRate(rate); }, Qt::QueuedConnection);
}

void EspeakSpeechEngine::setVolume(int percent)
{
    EspeakSynthesizer* synthesizer = m_synthesizer;
    const int volume = std::clamp(percent, 0, FullVolume);
    QMetaObject::invokeMethod(
        synthesizer, [synthesizer, volume] { synthesizer->setVolume(volume); }, Qt::QueuedConnection);
}

int EspeakSpeechEngine::speak(const QString& text, int flags)
{
    if (flags & PurgeBeforeSpeak)
        purge();
    const int stream = ++m_lastStream;
    const quint64 generation = m_timeline->generation();
    EspeakSynthesizer* synthesizer = m_synthesizer;
    QMetaObject::invokeMethod(
        synthesizer, [synthesizer, generation, stream, text] { synthesizer->synthesize(generation, stream, text); },
        Qt::QueuedConnection);
    return stream;
}

void EspeakSpeechEngine::purge()
{
    m_timeline->purge();
    m_firstLiveStream = m_lastStream + 1;
    m_paused = false;
    setPlayerPaused(false);
    QMetaObject::invokeMethod(m_player, &SpeechPlayer::wake, Qt::QueuedConnection);
}

void EspeakSpeechEngine::pause()
{
    if (m_paused)
        return;
    m_paused = true;
    setPlayerPaused(true);
}

void EspeakSpeechEngine::resume()
{
    if (!m_paused)
        return;
    m_paused = false;
    setPlayerPaused(false);
}

void EspeakSpeechEngine::setPlayerPaused(bool paused)
{
    SpeechPlayer* player = m_player;
    QMetaObject::invokeMethod(
        player, [player, paused] { player->setPaused(paused); }, Qt::QueuedConnection);
}

void EspeakSpeechEngine::onWord(int stream, int position, int length)
{
    // Events already on their way when a purge came are dropped here.
    if (stream >= m_firstLiveStream)
        emit word(stream, position, length);
}

void EspeakSpeechEngine::onEnd(int stream)
{
    if (stream >= m_firstLiveStream)
        emit endStream(stream);
}
