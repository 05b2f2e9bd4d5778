#include "platform/espeak/EspeakSynthesizer.h"

#include "platform/espeak/SpeechTimeline.h"
#include "platform/espeak/TextPieces.h"
#include "platform/espeak/WordPositions.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <mutex>

namespace {

// The library keeps one global state: every call goes through this lock, and the callback
// finds the synthesis it belongs to here.
std::mutex& libraryLock()
{
    static std::mutex lock;
    return lock;
}

bool& libraryInitialised()
{
    static bool done = false;
    return done;
}

// One piece of a stream's text being synthesised.
struct Synthesis {
    SpeechTimeline* timeline = nullptr;
    EspeakSynthesizer* owner = nullptr;
    quint64 generation = 0;
    int stream = 0;
    qint64 base = 0; // timeline sample where this piece starts
    int offset = 0;  // UTF-16 index of the piece in the stream's text
    WordPositions* words = nullptr;
    bool* firstSamples = nullptr;
    bool stale = false; // purged meanwhile: the rest of the piece is thrown away
};

Synthesis* g_current = nullptr;

// Synchronous mode: called on the synthesis thread from inside espeak_Synth. It always
// lets the piece run to its end (stopping espeak-ng mid-text is noisy) but keeps nothing
// once the stream is purged.
int onSynth(short* wav, int count, espeak_EVENT* events)
{
    Synthesis* s = g_current;
    if (!s || s->stale)
        return 0;
    for (espeak_EVENT* e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        if (e->type != espeakEVENT_WORD)
            continue;
        if (const auto range = s->words->accept(e->text_position, e->length)) {
            SpeechTimeline::Event event;
            event.kind = SpeechTimeline::Event::Word;
            event.stream = s->stream;
            event.position = s->offset + range->position;
            event.length = range->length;
            event.sample = s->base + e->sample;
            if (!s->timeline->appendEvent(s->generation, event)) {
                s->stale = true;
                return 0;
            }
        }
    }
    if (wav && count > 0) {
        if (!s->timeline->appendSamples(s->generation, wav, count)) {
            s->stale = true;
            return 0;
        }
        if (!*s->firstSamples) {
            *s->firstSamples = true;
            emit s->owner->firstSamples(s->stream);
        }
        if (!s->timeline->waitForRoom(s->generation))
            s->stale = true;
    }
    return 0;
}

QString firstLanguage(const char* languages)
{
    // Pairs of a priority byte and a zero-terminated code, ended by a zero byte.
    if (!languages || !languages[0])
        return {};
    return QString::fromUtf8(languages + 1).toLower();
}

} // namespace

EspeakSynthesizer::EspeakSynthesizer(SpeechTimeline& timeline, QObject* parent) : QObject(parent), m_timeline(timeline)
{
}

QList<SpeechVoice> EspeakSynthesizer::voicesFromLibrary()
{
    QList<SpeechVoice> list;
    const espeak_VOICE** voices = espeak_ListVoices(nullptr);
    for (int i = 0; voices && voices[i]; ++i) {
        const espeak_VOICE* v = voices[i];
        if (!v->identifier)
            continue;
        SpeechVoice voice;
        voice.id = QString::fromUtf8(v->identifier);
        voice.description = v->name ? QString::fromUtf8(v->name) : voice.id;
        voice.language = firstLanguage(v->languages);
        list.append(voice);
    }
    return list;
}

void EspeakSynthesizer::initialize()
{
    QList<SpeechVoice> voices;
    {
        std::lock_guard lock(libraryLock());
        if (!libraryInitialised()) {
            espeak_ng_InitializePath(nullptr);
            libraryInitialised() = espeak_ng_Initialize(nullptr) == ENS_OK &&
                                   espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, 100, nullptr) == ENS_OK;
        }
        m_ready = libraryInitialised();
        if (m_ready) {
            espeak_SetSynthCallback(onSynth);
            voices = voicesFromLibrary();
        }
    }
    if (voices.isEmpty())
        m_ready = false;
    emit voicesListed(voices);
}

void EspeakSynthesizer::setVoice(const QString& id)
{
    if (!m_ready)
        return;
    std::lock_guard lock(libraryLock());
    espeak_ng_SetVoiceByName(id.toUtf8().constData());
}

void EspeakSynthesizer::synthesize(quint64 generation, int stream, const QString& text)
{
    if (!m_timeline.isCurrent(generation))
        return;
    if (m_ready && !text.isEmpty()) {
        // A NUL would end the text early; a blank keeps every position where it was.
        QString spoken = text;
        spoken.replace(QChar(0), QLatin1Char(' '));
        bool firstSamples = false;
        for (const TextPieces::Piece& piece : TextPieces::split(spoken)) {
            if (!m_timeline.isCurrent(generation))
                return;
            const QString part = spoken.mid(piece.start, piece.length);
            const QByteArray utf8 = part.toUtf8();
            WordPositions words(part);
            Synthesis s;
            s.timeline = &m_timeline;
            s.owner = this;
            s.generation = generation;
            s.stream = stream;
            s.base = m_timeline.writtenSamples();
            s.offset = piece.start;
            s.words = &words;
            s.firstSamples = &firstSamples;
            std::lock_guard lock(libraryLock());
            g_current = &s;
            // Each piece ends a sentence or a clause: keep the pause after it.
            espeak_Synth(utf8.constData(), utf8.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8 | espeakENDPAUSE,
                         nullptr, nullptr);
            g_current = nullptr;
        }
    }
    SpeechTimeline::Event end;
    end.kind = SpeechTimeline::Event::End;
    end.stream = stream;
    end.sample = m_timeline.writtenSamples();
    m_timeline.appendEvent(generation, end);
}
