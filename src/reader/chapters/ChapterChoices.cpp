#include "reader/chapters/ChapterChoices.h"

#include "app/LibraryDatabase.h"
#include "reader/text/EncodingDetector.h"

BookChapterRequest ChapterChoices::request(const QString& path)
{
    BookChapterRequest request;
    request.path = path;
    if (!m_library)
        return request;
    // A book the user chose an encoding for is read in it; any other is detected.
    TextEncoding chosen = TextEncoding::Utf8;
    if (const std::optional<QString> name = m_library->bookEncoding(path);
        name && EncodingDetector::fromName(*name, chosen))
        request.limits.encoding = chosen;
    const std::optional<BookRuleRow> stored = m_library->bookRule(path);
    if (stored && stored->ruleName != autoChoiceName())
        request.rule = ruleFromStored(*stored);
    else if (stored || choosesForNewBooks())
        request.chooseAmong = rules().enabledRules();
    request.marks = m_library->chapterMarks(path);
    return request;
}

void ChapterChoices::remember(const BookChapters& chapters)
{
    if (!m_library)
        return;
    if (chapters.chosenNow)
        m_library->setBookRule(chapters.scan.path, chapters.rule.name, chapters.rule.pattern);
    // A mark found away from its offset (the file was edited) is kept where it is now, so a
    // later edit is searched for from there.
    for (int i = 0; i < chapters.marks.size() && i < chapters.storedOffsets.size(); ++i) {
        const qint64 stored = chapters.storedOffsets[i];
        if (chapters.marks[i].offset != stored && m_library->removeChapterMark(chapters.scan.path, stored))
            m_library->setChapterMark(chapters.scan.path, chapters.marks[i]);
    }
}

bool ChapterChoices::choosesForNewBooks()
{
    return m_library && m_library->option(newBooksOptionName()).value_or(QString()) == QLatin1String("1");
}

void ChapterChoices::setChoosesForNewBooks(bool on)
{
    if (m_library)
        m_library->setOption(newBooksOptionName(), on ? QStringLiteral("1") : QStringLiteral("0"));
}

RuleLibrary ChapterChoices::rules()
{
    RuleLibrary library;
    if (!m_library)
        return library;
    const std::optional<QString> json = m_library->option(rulesOptionName());
    if (!json)
        return library;
    // The built-in rules are always there (a later release may improve them); the stored
    // list gives their on/off choice and adds the user's own.
    for (const HeadingRule& stored : RuleLibrary::fromJson(json->toUtf8())) {
        const HeadingRule* same = library.find(stored.name);
        if (same && same->pattern == stored.pattern)
            library.setEnabled(stored.name, stored.enabled);
        else
            library.add(stored);
    }
    return library;
}

bool ChapterChoices::saveRules(const RuleLibrary& rules)
{
    return m_library && m_library->setOption(rulesOptionName(), QString::fromUtf8(RuleLibrary::toJson(rules.rules())));
}
