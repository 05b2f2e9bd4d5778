#pragma once

#include "reader/search/BookSearch.h"

#include <QObject>

#include <atomic>
#include <memory>

class ChineseConversion;

// Runs whole-book searches off the GUI thread and hands the result back on it. A new query
// cancels the one still running, whose result is then dropped.
class BookSearchController : public QObject {
    Q_OBJECT
public:
    explicit BookSearchController(QObject* parent = nullptr);
    ~BookSearchController() override;

    // Searches the book `scan` lists for `query` in both scripts. An empty query or a book
    // not listed gives nothing.
    void search(const ChapterScan& scan, const QString& query);
    void cancel();
    bool isSearching() const { return m_searching; }
    // The book of the last result, to tell a result of a book no longer shown.
    const ChapterScan& searchedBook() const { return m_scan; }

    // The line over the result list: how many were found, and that only the first are shown.
    static QString summary(const SearchResult& result, const QString& query);

signals:
    void searchingChanged(bool searching);
    void finished(const SearchResult& result);

private:
    struct Shared; // the converter, used by one search at a time
    std::shared_ptr<Shared> m_shared;
    std::shared_ptr<std::atomic_bool> m_cancel;
    ChapterScan m_scan;
    quint64 m_generation = 0;
    bool m_searching = false;
};
