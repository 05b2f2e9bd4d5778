#pragma once

#include <QObject>

#include <functional>

// The one object the reading page sees through the web channel (as "reader"): the page
// reports its key presses, nothing else flows from the page to the program.
class ReaderBridge : public QObject {
    Q_OBJECT
public:
    explicit ReaderBridge(std::function<void(int)> onKey, QObject* parent = nullptr);

public slots:
    // keydown in the page, with the key code (37 Left, 39 Right, 13 Enter, ...).
    void keyDown(int keyCode);

private:
    std::function<void(int)> m_onKey;
};
