#include "reader/ReaderBridge.h"

#include <QMetaObject>

ReaderBridge::ReaderBridge(std::function<void(int)> onKey, std::function<void(const QString&)> onLink, QObject* parent)
    : QObject(parent), m_onKey(std::move(onKey)), m_onLink(std::move(onLink))
{
}

void ReaderBridge::keyDown(int keyCode)
{
    // Handled after the channel's message: a message box opened by the key must not run
    // its own event loop inside the channel's dispatch.
    QMetaObject::invokeMethod(
        this,
        [this, keyCode] {
            if (m_onKey)
                m_onKey(keyCode);
        },
        Qt::QueuedConnection);
}

void ReaderBridge::openLink(const QString& url)
{
    QMetaObject::invokeMethod(
        this,
        [this, url] {
            if (m_onLink)
                m_onLink(url);
        },
        Qt::QueuedConnection);
}

void ReaderBridge::pageEdge(int input, bool atTop, bool atBottom)
{
    QMetaObject::invokeMethod(
        this,
        [this, input, atTop, atBottom] {
            if (m_onPaging)
                m_onPaging(input, atTop, atBottom);
        },
        Qt::QueuedConnection);
}

void ReaderBridge::contextLine(const QString& text, int index)
{
    // A line is short; anything longer than a chapter part is not a line of the page.
    m_contextText = text.left(4096);
    m_contextIndex = index;
}

void ReaderBridge::topParagraph(int paragraph)
{
    QMetaObject::invokeMethod(
        this,
        [this, paragraph] {
            if (m_onTopParagraph)
                m_onTopParagraph(paragraph);
        },
        Qt::QueuedConnection);
}
