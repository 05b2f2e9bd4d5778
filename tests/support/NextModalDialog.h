#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

// Answers the next modal dialog a real (Qt-drawn) picker or message box opens: once it is
// on screen, `handle` looks at it and closes it, so the blocking call returns. Checks go
// after that call; `handle` only gathers what it saw.
class NextModalDialog {
public:
    explicit NextModalDialog(std::function<void(QWidget*)> handle) : m_handle(std::move(handle))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible() || modal == m_ignored)
                return;
            m_timer.stop();
            m_seen = true;
            m_handle(modal);
        });
        m_ignored = QApplication::activeModalWidget();
        m_timer.start();
    }

    bool seen() const { return m_seen; }

private:
    std::function<void(QWidget*)> m_handle;
    QTimer m_timer;
    QPointer<QWidget> m_ignored;
    bool m_seen = false;
};
