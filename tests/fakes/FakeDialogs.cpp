#include "FakeDialogs.h"

Answer FakeDialogs::message(const QString& text, const QString& title, int style)
{
    m_boxes.append({text, title.isEmpty() ? programTitle() : title, style});
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    return (style & 0x0F) == YesNo ? Answer::Yes : Answer::Ok;
}
