#include "platform/espeak/EspeakSynthesizer.h"

#include "platform/VoiceChoice.h"
#include "platform/espeak/SpeechTimeline.h"
#include "platform/espeak/TextPieces.h"
#include "platform/espeak/WordPositions.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <QRegularExpression>

#include <mutex>

namespace {

// The library's own speed for a voice at its normal rate.
constexpr int kNormalWordsPerMinute = 175;

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

// The voice synthesis uses (empty: none chosen yet), selected again after a voice was tried.
QByteArray& selectedVoice()
{
    static QByteArray id;
    return id;
}

// Common characters of running text: a voice that cannot read them as Chinese falls back
// to another language (the cmn voice of espeak-ng 1.51 spells most of them as English
// pinyin, tone numbers read out in English).
constexpr char16_t kChineseProbe[] = u"你好，我们一起读书。天下大事，分久必合。";

// Call with the library lock held.
QString phonemesLocked(const QByteArray& id, const QString& text)
{
    QString result;
    if (espeak_ng_SetVoiceByName(id.constData()) == ENS_OK) {
        const QByteArray utf8 = text.toUtf8();
        const void* at = utf8.constData();
        while (at) {
            const char* clause = espeak_TextToPhonemes(&at, espeakCHARS_UTF8, 0);
            if (!clause)
                break;
            if (!result.isEmpty())
                result += QLatin1Char(' ');
            result += QString::fromUtf8(clause).trimmed();
        }
    }
    if (!selectedVoice().isEmpty() && selectedVoice() != id)
        espeak_ng_SetVoiceByName(selectedVoice().constData());
    return result;
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
        if (VoiceChoice::isChinese(voice.language))
            voice.switchesLanguage = switchesLanguage(phonemesLocked(v->identifier, QString::fromUtf16(kChineseProbe)));
        list.append(voice);
    }
    return list;
}

QString EspeakSynthesizer::phonemes(const QString& id, const QString& text)
{
    std::lock_guard lock(libraryLock());
    if (!libraryInitialised())
        return {};
    return phonemesLocked(id.toUtf8(), text);
}

bool EspeakSynthesizer::switchesLanguage(const QString& phonemes)
{
    // The library marks a change of language with the new language's code in brackets.
    static const QRegularExpression change(QStringLiteral("\\([a-z]{2,3}(-[a-z0-9]+)*\\)"),
                                           QRegularExpression::CaseInsensitiveOption);
    return change.match(phonemes).hasMatch();
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
    selectedVoice() = id.toUtf8();
    espeak_ng_SetVoiceByName(selectedVoice().constData());
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
            // Set for every piece: another voice chosen meanwhile brings its own defaults.
            espeak_SetParameter(espeakRATE, kNormalWordsPerMinute * m_rate / 100, 0);
            espeak_SetParameter(espeakVOLUME, m_volume, 0);
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
