#pragma once

#include "app/BookRow.h"

#include <QList>
#include <QString>

class Dialogs;
class LibraryDatabase;

// Paging state and rules of the bookshelf list: which books (the shelf query), which page,
// what the page label reads. The page widget shows rows(); this class never touches a widget.
class BookshelfController {
public:
    static constexpr int kPageSize = 40;
    static QString initialPageLabel() { return QStringLiteral("Loadin..."); }

    BookshelfController(LibraryDatabase& library, Dialogs& dialogs);

    // ReadList: reads the current page of the shelf query, one page only. An empty result
    // clears the rows and keeps the page label, current page and page count. A current page
    // beyond the last (after a removal or another category) reads, and becomes, the last page.
    // A database that cannot be read is reported (the rows are cleared, the label kept).
    void readList();

    // The tree: the whole shelf or one category. The current page is kept.
    void setQuery(const ShelfQuery& query);
    ShelfQuery query() const { return m_query; }
    // The shelf's filter box: the chosen node's books whose title or author contain `text`
    // (all of them when it is blank). A new filter starts at the first page; the tree keeps it.
    void setFilter(const QString& text);
    QString filter() const { return m_filter; }

    // Paging controls. Each shows its refusal message and returns false, or moves and re-reads
    // and returns true.
    bool firstPage();
    bool previousPage();
    bool nextPage();
    bool lastPage();
    // "Go" with the page-number box's text. The caller empties the box whatever the outcome.
    bool go(const QString& boxText);

    // 0 while no page was ever set ("empty", read as page 1).
    int currentPage() const { return m_currentPage; }
    int pageCount() const { return m_pageCount; }
    QString pageLabel() const { return m_pageLabel; }
    const QList<BookRow>& rows() const { return m_rows; }
    // "已读 12.3%（第 3/120 章）" for a book read before, empty for one never opened.
    QString progressText(const QString& path);

private:
    int effectivePage() const { return m_currentPage < 1 ? 1 : m_currentPage; }
    void refuse(const QString& text);

    LibraryDatabase& m_library;
    Dialogs& m_dialogs;
    ShelfQuery m_query = ShelfQuery::all();
    QString m_filter;
    int m_currentPage = 0;
    int m_pageCount = 0;
    QString m_pageLabel = initialPageLabel();
    QList<BookRow> m_rows;
};
