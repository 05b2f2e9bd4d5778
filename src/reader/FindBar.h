#pragma once

#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QToolButton;
class QWebEngineView;
class QWebEngineFindTextResult;

// Find in the shown chapter ("查找内容"): a small bar over the reading page using the web
// view's own find, with next/previous and a "没有找到" indication.
class FindBar : public QWidget {
    Q_OBJECT
public:
    explicit FindBar(QWebEngineView* view, QWidget* parent = nullptr);
    ~FindBar() override;

    // Shows the bar with the search box focused and its text selected.
    void open();
    // Hides the bar and clears the highlight.
    void close();
    void findNext();
    void findPrevious();

    QString statusText() const;
    bool lastSearchFound() const { return m_found; }

signals:
    // A search finished: `matches` found, `active` the highlighted one (1-based).
    void searched(const QString& text, int matches, int active);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void find(bool backward);
    void onResult(const QString& text, const QWebEngineFindTextResult& result);

    QWebEngineView* m_view;
    QLineEdit* m_text;
    QToolButton* m_previous;
    QToolButton* m_next;
    QToolButton* m_close;
    QLabel* m_status;
    bool m_found = false;
    // Find results can arrive after the bar is gone; they check this first.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
