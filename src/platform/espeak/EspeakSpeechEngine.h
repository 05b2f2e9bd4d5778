#pragma once

#include "platform/SpeechEngine.h"

#include <QThread>

#include <memory>

class EspeakSynthesizer;
class SpeechPlayer;
class SpeechTimeline;

// The speech engine on espeak-ng. Synthesis runs on one worker thread, playback on
// another (through QAudioSink, or on a clock when there is no sound device); this object
// lives on the GUI thread, never waits for either, and hands their word and end events on.
class EspeakSpeechEngine : public SpeechEngine {
    Q_OBJECT
public:
    enum class Output {
        Automatic, // the default sound device, the clock without one
        Clock      // never touch a device (tests)
    };

    explicit EspeakSpeechEngine(Output output = Output::Automatic, QObject* parent = nullptr);
    ~EspeakSpeechEngine() override;

    QList<SpeechVoice> voices() const override { return m_voices; }
    int currentVoice() const override { return m_current; }
    bool setCurrentVoice(int index) override;
    void setRate(int percent) override;
    void setVolume(int percent) override;
    int speak(const QString& text, int flags) override;
    void purge() override;
    void pause() override;
    void resume() override;
    bool isPaused() const override { return m_paused; }

    static constexpr int sampleRate() { return 22050; }
    // Whether a sound device plays the speech (false: the clock stands in).
    bool hasAudioDevice() const { return m_hasDevice; }
    // The voice list has arrived from the synthesis thread (possibly empty).
    bool voicesListed() const { return m_listed; }

signals:
    // For the benchmark: a stream's first samples are synthesised; the output has played
    // its first sample since it last started.
    void firstSamplesSynthesised(int stream);
    void firstSamplePlayed();

private:
    void setPlayerPaused(bool paused);
    void onVoicesListed(const QList<SpeechVoice>& voices);
    void onWord(int stream, int position, int length);
    void onEnd(int stream);

    std::unique_ptr<SpeechTimeline> m_timeline;
    QThread m_synthesisThread;
    QThread m_playbackThread;
    EspeakSynthesizer* m_synthesizer = nullptr;
    SpeechPlayer* m_player = nullptr;
    QList<SpeechVoice> m_voices;
    int m_current = -1;
    int m_lastStream = 0;
    int m_firstLiveStream = 1; // streams before this one were purged
    bool m_paused = false;
    bool m_hasDevice = false;
    bool m_listed = false;
};
