#pragma once

#include "reader/search/BookSearch.h"

#include <QDialog>

class BookSearchController;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// "全书搜索": a query box and every match of the book with its chapter and a line of text.
// Choosing a match (double click or Enter) asks for it to be shown; the pane stays open so
// the next match is a click away.
class BookSearchPane : public QDialog {
    Q_OBJECT
public:
    BookSearchPane(BookSearchController& controller, QWidget* parent = nullptr);

    // The labels of the rows of the book searched, to name each match's chapter.
    void setChapterLabels(const QStringList& labels) { m_labels = labels; }
    void openWith(const QString& query);
    void clearResults();
    QTreeWidget* results() const { return m_results; }
    QLabel* summary() const { return m_summary; }
    QLineEdit* query() const { return m_query; }

signals:
    void startRequested(const QString& query);
    void hitChosen(const SearchHit& hit);

private:
    void showResult(const SearchResult& result);
    void chooseCurrent();

    BookSearchController& m_controller;
    QLineEdit* m_query;
    QPushButton* m_start;
    QLabel* m_summary;
    QTreeWidget* m_results;
    QStringList m_labels;
    QList<SearchHit> m_hits;
    QString m_searched;
};
