#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class Dialogs;
class LibraryDatabase;

// Bookmarks from the reading side: "添加书签" writes the selected chapter's label into the
// book's row, "跳转到书签" finds the first chapter carrying the stored label.
class BookmarkController {
public:
    enum class AddResult { NoChapter, Added, NotOnShelf, Failed };

    // `refillShelf` re-reads the shelf list so its bookmark column shows the new label.
    BookmarkController(LibraryDatabase* library, Dialogs& dialogs, std::function<void()> refillShelf);

    // Adds the bookmark `label` for the book at `bookPath`. `hasChapters` false (an empty
    // chapter list) does nothing. Tells the user the outcome.
    AddResult addBookmark(const QString& bookPath, const QString& label, bool hasChapters);

    // The row (0-based) to show for the book's stored bookmark: the first label equal to
    // it, or -1 when none is (never set, "Null", the book is not on the shelf, or the
    // file changed).
    int bookmarkRow(const QString& bookPath, const QStringList& labels) const;

    // The first row whose label equals `mark` exactly, -1 when none.
    static int findLabel(const QStringList& labels, const QString& mark);

private:
    LibraryDatabase* m_library;
    Dialogs& m_dialogs;
    std::function<void()> m_refillShelf;
};
