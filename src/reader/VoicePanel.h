#pragma once

#include <QFrame>
#include <QPointer>

class QComboBox;
class QSlider;
class ReadAloudController;

// Picture1, the voice panel of the reading page, holding the voice list Combo1 and the
// speed and volume sliders. It shows what the read-aloud controller says and reports
// choices and the focus leaving the panel.
class VoicePanel : public QFrame {
    Q_OBJECT
public:
    VoicePanel(ReadAloudController& controller, QWidget* parent = nullptr);

    QComboBox* voiceList() const { return m_list; }
    QSlider* rateSlider() const { return m_rate; }
    QSlider* volumeSlider() const { return m_volume; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fill();
    void showRateVolume();

    // The reading page drops its controller before its child widgets: focus leaving Combo1
    // while the page is torn down must not reach it.
    QPointer<ReadAloudController> m_controller;
    QComboBox* m_list;
    QSlider* m_rate;
    QSlider* m_volume;
};
