#pragma once

#include "platform/SpeechEngine.h"

#include <QList>
#include <QString>

// A speech engine that records every call and speaks nothing: the test says when a word is
// reached (sayWord) and when a stream ends (finish). Streams are numbered as the real
// engine numbers them; a purge drops the queued ones, whose events the test can no longer
// send.
class FakeSpeechEngine : public SpeechEngine {
    Q_OBJECT
public:
    struct Call {
        QString text;
        int flags = 0;
        int stream = 0;
    };

    QList<SpeechVoice> voices() const override { return m_voices; }
    int currentVoice() const override { return m_current; }
    bool setCurrentVoice(int index) override
    {
        if (index < 0 || index >= m_voices.size())
            return false;
        m_current = index;
        voiceChanges.append(index);
        return true;
    }
    void setRate(int percent) override { rates.append(percent); }
    void setVolume(int percent) override { volumes.append(percent); }
    int speak(const QString& text, int flags) override
    {
        if (flags & PurgeBeforeSpeak)
            purge();
        const int stream = ++m_lastStream;
        calls.append({text, flags, stream});
        m_queued.append(stream);
        return stream;
    }
    void purge() override
    {
        ++purges;
        m_queued.clear();
        m_paused = false;
    }
    void pause() override
    {
        ++pauses;
        m_paused = true;
    }
    void resume() override
    {
        ++resumes;
        m_paused = false;
    }
    bool isPaused() const override { return m_paused; }

    // Installs a voice list and tells the listeners, as the engine does once it has loaded.
    void setVoices(const QList<SpeechVoice>& voices)
    {
        m_voices = voices;
        m_current = -1;
        emit voicesChanged();
    }
    // The word [position, position + length) of `stream` is reached (if still queued).
    void sayWord(int stream, int position, int length)
    {
        if (m_queued.contains(stream) && !m_paused)
            emit word(stream, position, length);
    }
    // `stream` has been spoken to its end (if still queued).
    void finish(int stream)
    {
        if (m_queued.removeOne(stream))
            emit endStream(stream);
    }
    void finishAll()
    {
        while (!m_queued.isEmpty())
            finish(m_queued.first());
    }
    Call lastCall() const { return calls.isEmpty() ? Call{} : calls.last(); }
    QList<int> queued() const { return m_queued; }

    QList<Call> calls;
    QList<int> voiceChanges;
    QList<int> rates;
    QList<int> volumes;
    int purges = 0;
    int pauses = 0;
    int resumes = 0;

private:
    QList<SpeechVoice> m_voices;
    QList<int> m_queued;
    int m_current = -1;
    int m_lastStream = 0;
    bool m_paused = false;
};
