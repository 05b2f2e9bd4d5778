#pragma once

#include "reader/chapters/BookChapters.h"
#include "reader/rules/RuleLibrary.h"

class LibraryDatabase;

// A book's chapter choices as the library keeps them: its rule, its encoding and its marks,
// and the user's rule list with the setting for new books. Without a library every book is
// opened as today.
class ChapterChoices {
public:
    explicit ChapterChoices(LibraryDatabase* library) : m_library(library) {}

    // What the book at `path` is to be opened with (read on the GUI thread, before the scan).
    BookChapterRequest request(const QString& path);
    // Keeps a rule chosen automatically for the book, so it opens the same way next time, and
    // the marks at the offsets they were found at.
    void remember(const BookChapters& chapters);

    // "新书自动识别章节规则": a book without a rule of its own gets one chosen automatically
    // when it is first opened. Off unless the user turns it on.
    bool choosesForNewBooks();
    void setChoosesForNewBooks(bool on);

    // The rule list: the built-in rules (with the user's on/off choice) and the user's own.
    RuleLibrary rules();
    bool saveRules(const RuleLibrary& rules);

    // The choice "自动识别": the book's rule is chosen at its next scan and kept from then on.
    static QString autoChoiceName() { return QStringLiteral("自动识别"); }
    static QString newBooksOptionName() { return QStringLiteral("chapterRule:newBooks"); }
    static QString rulesOptionName() { return QStringLiteral("chapterRule:rules"); }

private:
    LibraryDatabase* m_library;
};
