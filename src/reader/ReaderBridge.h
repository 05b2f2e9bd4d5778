#pragma once

#include <QObject>

#include <functional>

// The one object the reading page sees through the web channel (as "reader"): the page
// reports its key presses, paging at the ends of the text, the user's clicks on links and
// the line under the pointer when the page's menu is asked for; nothing else flows from the
// page to the program.
class ReaderBridge : public QObject {
    Q_OBJECT
public:
    ReaderBridge(std::function<void(int)> onKey, std::function<void(const QString&)> onLink, QObject* parent = nullptr);

    // Paging inputs (PagingRule::Input codes) made at the top or bottom of the text.
    void setOnPaging(std::function<void(int, bool, bool)> onPaging) { m_onPaging = std::move(onPaging); }
    // The paragraph at the top of the text once scrolling has rested.
    void setOnTopParagraph(std::function<void(int)> onTop) { m_onTopParagraph = std::move(onTop); }

    // The line of the text the page's menu was last opened on: its text and its place among
    // the page's lines (from 0); empty and -1 when the menu was opened elsewhere.
    QString contextLineText() const { return m_contextText; }
    int contextLineIndex() const { return m_contextIndex; }

public slots:
    // keydown in the page, with the key code (37 Left, 39 Right, 13 Enter, ...).
    void keyDown(int keyCode);
    // A click of the user's own on a link (the page's script passes no other).
    void openLink(const QString& url);
    // PageDown, PageUp, Space or the wheel with the text box at its top and/or bottom,
    // reported before the key scrolls.
    void pageEdge(int input, bool atTop, bool atBottom);
    // The paragraph (line breaks of TXT before it) at the top of the text box.
    void topParagraph(int paragraph);

    // contextmenu in the page, before the program shows its menu.
    void contextLine(const QString& text, int index);

private:
    QString m_contextText;
    int m_contextIndex = -1;
    std::function<void(int)> m_onKey;
    std::function<void(const QString&)> m_onLink;
    std::function<void(int, bool, bool)> m_onPaging;
    std::function<void(int)> m_onTopParagraph;
};
