#pragma once

#include <QList>
#include <QObject>
#include <QString>

// One installed voice: `id` is what the engine selects it by, `description` what the voice
// list shows, `language` a BCP 47-like code in lower case ("cmn", "yue", "en-gb").
struct SpeechVoice {
    QString id;
    QString description;
    QString language;
    // A Chinese voice that reads part of a Chinese text in another language's sounds (the
    // characters spelt out in English, say). False when the engine cannot tell.
    bool switchesLanguage = false;
};

// Reading text aloud. Every call returns at once; the speech itself runs inside the engine
// and reports back through the signals, always on the GUI thread.
//
// Each speak() call is one stream with its own number. Streams are spoken one after the
// other; every stream ends with endStream(), an empty one at once. A purge drops what is
// being spoken and everything queued: the dropped streams report nothing more.
class SpeechEngine : public QObject {
    Q_OBJECT
public:
    enum SpeakFlag {
        SpeakAsync = 1,      // return at once (speech is always asynchronous here)
        PurgeBeforeSpeak = 2 // drop what is being spoken and queued first
    };

    static constexpr int RateMin = 50;
    static constexpr int RateMax = 250;
    static constexpr int NormalRate = 100;
    static constexpr int FullVolume = 100;

    using QObject::QObject;
    ~SpeechEngine() override = default;

    // The installed voices in the engine's order; empty until the engine has listed them
    // (voicesChanged) and when none is installed.
    virtual QList<SpeechVoice> voices() const = 0;
    // Index into voices(), -1 when none is current.
    virtual int currentVoice() const = 0;
    // Speech queued from now on uses the voice; false (nothing changes) for a bad index.
    virtual bool setCurrentVoice(int index) = 0;
    // Speech queued from now on is spoken at `percent` of the voice's normal speed
    // (RateMin..RateMax) and at `percent` of full volume (0..100); values outside are
    // brought inside.
    virtual void setRate(int percent) = 0;
    virtual void setVolume(int percent) = 0;

    // Queues `text` and returns its stream number (1, 2, ...). Without a voice the stream
    // is silent and ends at once.
    virtual int speak(const QString& text, int flags) = 0;
    // Drops everything being spoken or queued and ends a pause.
    virtual void purge() = 0;
    // Holds the speech where it is (also speech queued later) until resume().
    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual bool isPaused() const = 0;

signals:
    void voicesChanged();
    // The word at `position` (UTF-16 index into the stream's text) with `length` UTF-16
    // units is being spoken now.
    void word(int stream, int position, int length);
    // The stream has been spoken to its end.
    void endStream(int stream);
};
