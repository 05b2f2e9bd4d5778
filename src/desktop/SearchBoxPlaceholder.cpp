#include "desktop/SearchBoxPlaceholder.h"

#include <QEvent>
#include <QLineEdit>

SearchBoxPlaceholder::SearchBoxPlaceholder(QLineEdit* box, const QString& words)
    : QObject(box), m_box(box), m_words(words)
{
    m_box->setText(m_words);
    setColor(placeholderColor());
    m_box->installEventFilter(this);
}

bool SearchBoxPlaceholder::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_box) {
        if (event->type() == QEvent::FocusIn)
            Text1_GotFocus();
        else if (event->type() == QEvent::FocusOut)
            Text1_LostFocus();
    }
    return QObject::eventFilter(watched, event);
}

void SearchBoxPlaceholder::Text1_GotFocus()
{
    if (m_box->text() == m_words)
        m_box->clear();
    // Also after a refused search emptied a grey box: what is typed shows in black.
    setColor(typingColor());
}

void SearchBoxPlaceholder::Text1_LostFocus()
{
    if (m_box->text().isEmpty()) {
        m_box->setText(m_words);
        setColor(placeholderColor());
    }
}

void SearchBoxPlaceholder::setColor(const QColor& color)
{
    QPalette palette = m_box->palette();
    palette.setColor(QPalette::Text, color);
    m_box->setPalette(palette);
}
