#pragma once

#include <QWidget>

class QTextBrowser;

// A bundled help page in a window of the reader's own, for a desktop that has no browser to
// show it. The page is the program's own file: nothing in it is followed out of the window.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows the page (again, and in front, when the window is open already).
    void showPage(const QString& file);
    QTextBrowser* browser() const { return m_browser; }

private:
    QTextBrowser* m_browser;
};
