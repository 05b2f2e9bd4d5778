#pragma once

#include "platform/Dialogs.h"

#include <QList>

// Records every message box and answers from a script (Yes/No boxes answer Yes when
// nothing was scripted; other boxes answer Ok).
class FakeDialogs : public Dialogs {
public:
    struct Box {
        QString text;
        QString title;
        int style = 0;
    };

    Answer message(const QString& text, const QString& title, int style) override;

    void answerNext(Answer answer) { m_answers.append(answer); }
    const QList<Box>& boxes() const { return m_boxes; }
    Box last() const { return m_boxes.isEmpty() ? Box{} : m_boxes.last(); }
    int count() const { return m_boxes.size(); }
    void clear() { m_boxes.clear(); }

private:
    QList<Box> m_boxes;
    QList<Answer> m_answers;
};
