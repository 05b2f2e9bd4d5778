#pragma once

#include <QObject>

#include <functional>

// The one object the reading page sees through the web channel (as "reader"): the page
// reports its key presses, paging at the ends of the text and the user's clicks on links,
// nothing else flows from the page to the program.
class ReaderBridge : public QObject {
    Q_OBJECT
public:
    ReaderBridge(std::function<void(int)> onKey, std::function<void(const QString&)> onLink, QObject* parent = nullptr);

    // Paging inputs (PagingRule::Input codes) made at the top or bottom of the text.
    void setOnPaging(std::function<void(int, bool, bool)> onPaging) { m_onPaging = std::move(onPaging); }
    // The paragraph at the top of the text once scrolling has rested.
    void setOnTopParagraph(std::function<void(int)> onTop) { m_onTopParagraph = std::move(onTop); }

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

private:
    std::function<void(int)> m_onKey;
    std::function<void(const QString&)> m_onLink;
    std::function<void(int, bool, bool)> m_onPaging;
    std::function<void(int)> m_onTopParagraph;
};
