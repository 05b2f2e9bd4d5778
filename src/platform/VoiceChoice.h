#pragma once

#include "platform/SpeechEngine.h"

#include <QList>
#include <QString>
#include <QStringList>

// Which installed voices the voice list offers, in which order, under which names, and
// which one reading aloud starts on. The books are Chinese: Chinese voices come first, a
// voice that reads Chinese in another language's sounds comes after those that do not,
// and reading starts on Mandarin that sounds like Mandarin when there is one.
class VoiceChoice {
public:
    VoiceChoice() = default;
    explicit VoiceChoice(const QList<SpeechVoice>& voices);

    // What the list shows, one entry per voice: the Chinese name of a Chinese voice
    // beside the engine's own description.
    QStringList entries() const { return m_entries; }
    // The engine's voice index of an entry (-1 outside the list), and the other way round.
    int voiceAt(int entry) const { return entry >= 0 && entry < m_voiceOf.size() ? m_voiceOf[entry] : -1; }
    int entryOf(int voice) const { return m_voiceOf.indexOf(voice); }
    // The entry reading starts on, -1 when no voice is installed.
    int startingEntry() const { return m_starting; }

    // Language codes ("cmn", "yue", "zh-cn", ...) of Chinese and of Mandarin voices.
    static bool isChinese(const QString& language);
    static bool isMandarin(const QString& language);
    // "普通话", "粤语", ... for a Chinese language code, empty for any other.
    static QString chineseName(const QString& language);

private:
    QStringList m_entries;
    QList<int> m_voiceOf;
    int m_starting = -1;
};
