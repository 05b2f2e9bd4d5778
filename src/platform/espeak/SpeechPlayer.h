#pragma once

#include "platform/espeak/SpeechTimeline.h"

#include <QAudioDevice>
#include <QObject>
#include <QTimer>

#include <memory>

class PcmOutput;

// Lives on the playback thread: moves samples from the timeline to the output as it frees
// room, and announces each event once playback has reached its sample. Without a device,
// or when the device fails, a clock stands in so that words and ends still arrive in time.
class SpeechPlayer : public QObject {
    Q_OBJECT
public:
    // A null `device` plays on the clock from the start.
    SpeechPlayer(SpeechTimeline& timeline, const QAudioDevice& device, int sampleRate, QObject* parent = nullptr);
    ~SpeechPlayer() override;

public slots:
    // Something was appended (or the generation changed): play it.
    void wake();
    void setPaused(bool paused);
    // Before the thread ends: stops the output and drops pending calls.
    void shutdown();

signals:
    void wordReached(int stream, int position, int length);
    void streamEnded(int stream);
    // Diagnostics for the benchmark: the output started taking samples / the first sample
    // since then has been heard.
    void outputStarted();
    void firstSamplePlayed();

private:
    void tick();
    void resetOutput();
    void feed();
    qint64 playedPosition();
    void fallBackToClock();

    SpeechTimeline& m_timeline;
    int m_sampleRate;
    std::unique_ptr<PcmOutput> m_device; // null without a sound device
    std::unique_ptr<PcmOutput> m_clock;
    PcmOutput* m_output;
    QTimer m_timer;     // a child, so that it moves to the playback thread with the player
    QByteArray m_carry; // taken from the timeline, not yet accepted by the output
    quint64 m_generation = 0;
    qint64 m_origin = 0; // timeline sample where the running output started
    bool m_running = false;
    bool m_paused = false;
    bool m_heard = false;
    bool m_shutDown = false;
};
