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
    // lower case; the description is the voice's name. Each Chinese voice is tried on a
    // short Chinese text to learn whether it switches to another language for part of it.
    // Only initialize() calls it: the library is loaded and locked then.
    static QList<SpeechVoice> voicesFromLibrary();
    // The library's phonemes for `text` in voice `id` (its own notation, that of
    // `espeak-ng -x`), clauses joined by a blank; empty before initialize() or for an
    // unknown voice. Whatever voice synthesis uses stays selected.
    static QString phonemes(const QString& id, const QString& text);
    // The phonemes name a change of language, "(en)" for English.
    static bool switchesLanguage(const QString& phonemes);

public slots:
    // Loads the library's data and lists its voices (voicesListed, also on failure).
    void initialize();
    void setVoice(const QString& id);
    // Percent of the normal speed and of full volume, for the pieces synthesised next.
    void setRate(int percent) { m_rate = percent; }
    void setVolume(int percent) { m_volume = percent; }
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
    int m_rate = 100;
    int m_volume = 100;
};
