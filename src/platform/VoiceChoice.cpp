#include "platform/VoiceChoice.h"

namespace {

QString primaryOf(const QString& language)
{
    return language.section(QLatin1Char('-'), 0, 0).toLower();
}

// Chinese voices that read Chinese as Chinese, then those that do not, then the rest.
int groupOf(const SpeechVoice& voice)
{
    if (!VoiceChoice::isChinese(voice.language))
        return 2;
    return voice.switchesLanguage ? 1 : 0;
}

} // namespace

VoiceChoice::VoiceChoice(const QList<SpeechVoice>& voices)
{
    for (int group = 0; group < 3; ++group) {
        for (int i = 0; i < voices.size(); ++i) {
            if (groupOf(voices[i]) != group)
                continue;
            const QString name = chineseName(voices[i].language);
            m_entries.append(name.isEmpty() ? voices[i].description
                                            : name + QStringLiteral(" — ") + voices[i].description);
            m_voiceOf.append(i);
        }
    }
    // Mandarin that keeps to Mandarin, else even a Mandarin voice that spells part of the
    // text out in English: still nearer the book than whatever language the last voice is.
    for (int entry = 0; entry < m_voiceOf.size() && m_starting < 0; ++entry) {
        if (isMandarin(voices[m_voiceOf[entry]].language))
            m_starting = entry;
    }
    if (m_starting < 0)
        m_starting = int(m_entries.size()) - 1;
}

bool VoiceChoice::isChinese(const QString& language)
{
    return !chineseName(language).isEmpty();
}

bool VoiceChoice::isMandarin(const QString& language)
{
    const QString lower = language.toLower();
    if (primaryOf(lower) == QLatin1String("cmn"))
        return true;
    // Plain "zh" and the mainland and simplified tags are Mandarin; "zh-hk", "zh-yue" are not.
    return lower == QLatin1String("zh") || lower.startsWith(QLatin1String("zh-cn")) ||
           lower.startsWith(QLatin1String("zh-hans")) || lower.startsWith(QLatin1String("zh-sg")) ||
           lower.startsWith(QLatin1String("zh-tw")) || lower.startsWith(QLatin1String("zh-cmn"));
}

QString VoiceChoice::chineseName(const QString& language)
{
    struct Name {
        const char* code;
        const char16_t* name;
    };
    static const Name names[] = {
        {"cmn", u"普通话"}, {"yue", u"粤语"}, {"hak", u"客家话"}, {"nan", u"闽南语"}, {"wuu", u"吴语"},
        {"gan", u"赣语"},   {"hsn", u"湘语"}, {"cjy", u"晋语"},   {"cdo", u"闽东语"}, {"lzh", u"文言文"},
    };
    const QString lower = language.toLower();
    const QString primary = primaryOf(lower);
    if (primary == QLatin1String("zh")) {
        // "zh-yue", "zh-hak": the second part names the language; "zh-hk" is Cantonese.
        const QString second = lower.section(QLatin1Char('-'), 1, 1);
        if (second == QLatin1String("hk") || second == QLatin1String("mo"))
            return QStringLiteral("粤语");
        for (const Name& n : names) {
            if (second == QLatin1String(n.code))
                return QString::fromUtf16(n.name);
        }
        return isMandarin(lower) ? QStringLiteral("普通话") : QStringLiteral("中文");
    }
    for (const Name& n : names) {
        if (primary == QLatin1String(n.code))
            return QString::fromUtf16(n.name);
    }
    return {};
}
