#pragma once

#include "platform/SpeechEngine.h"

#include <QList>
#include <QObject>
#include <QString>

class SpeechTimeline;

// Lives on the synthesis thread and is the only code that calls espeak-ng. Synthesis runs
// in the library's synchronous mode: samples and word boundaries arrive in small pieces
// and go straight into the timeline, so playback starts after the first piece, and the
// thread waits in the timeline whenever it is far enough ahead of the player.
class EspeakSynthesizer : public QObject {
    Q_OBJECT
public:
    explicit EspeakSynthesizer(SpeechTimeline& timeline, QObject* parent = nullptr);

    // The library's voices, Chinese ones included, in its own order. Language codes in
    // lower case; the description is the voice's name.
    static QList<SpeechVoice> voicesFromLibrary();

public slots:
    // Loads the library's data and lists its voices (voicesListed, also on failure).
    void initialize();
    void setVoice(const QString& id);
    // Speaks `text` into the timeline as `stream`, then marks the stream's end there. A
    // stale `generation` (purged meanwhile) is skipped; a purge during synthesis stops it.
    void synthesize(quint64 generation, int stream, const QString& text);

signals:
    void voicesListed(const QList<SpeechVoice>& voices);
    // First samples of a stream are in the timeline (for the benchmark).
    void firstSamples(int stream);

private:
    SpeechTimeline& m_timeline;
    bool m_ready = false;
};
