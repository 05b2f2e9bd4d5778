#pragma once

#include <QFrame>
#include <QPointer>

class QComboBox;
class ReadAloudController;

// Picture1, the voice panel of the reading page, holding the voice list Combo1. It shows
// what the read-aloud controller says and reports choices and the list losing the focus.
class VoicePanel : public QFrame {
    Q_OBJECT
public:
    VoicePanel(ReadAloudController& controller, QWidget* parent = nullptr);

    QComboBox* voiceList() const { return m_list; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fill();

    // The reading page drops its controller before its child widgets: focus leaving Combo1
    // while the page is torn down must not reach it.
    QPointer<ReadAloudController> m_controller;
    QComboBox* m_list;
};
