#include "reader/VoicePanel.h"

#include "platform/SpeechEngine.h"
#include "reader/ReadAloudController.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>

VoicePanel::VoicePanel(ReadAloudController& controller, QWidget* parent)
    : QFrame(parent), m_controller(&controller), m_list(new QComboBox(this)), m_rate(new QSlider(Qt::Horizontal, this)),
      m_volume(new QSlider(Qt::Horizontal, this))
{
    setObjectName(QStringLiteral("Picture1"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setStyleSheet(
        QStringLiteral("QFrame#Picture1 { background: #F7FAFD; border: 1px solid #C9D6E3; border-radius: 4px; }"));
    m_list->setObjectName(QStringLiteral("Combo1"));
    m_list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_list->setMinimumContentsLength(24);
    m_list->setMaxVisibleItems(16);
    m_list->installEventFilter(this);
    m_rate->setObjectName(QStringLiteral("VoiceRate"));
    m_rate->setRange(SpeechEngine::RateMin, SpeechEngine::RateMax);
    m_rate->setSingleStep(10);
    m_rate->setPageStep(25);
    m_volume->setObjectName(QStringLiteral("VoiceVolume"));
    m_volume->setRange(0, SpeechEngine::FullVolume);
    m_volume->setSingleStep(5);
    m_volume->setPageStep(20);
    auto* layout = new QFormLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addRow(m_list);
    for (QSlider* slider : {m_rate, m_volume}) {
        slider->installEventFilter(this);
        // A drag reaches the engine and the library once, when the slider is let go; the
        // figure beside it follows the drag.
        slider->setTracking(false);
        auto* value = new QLabel(QStringLiteral("%1%").arg(slider->value()), this);
        value->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("250%")));
        const auto showValue = [value](int percent) { value->setText(QStringLiteral("%1%").arg(percent)); };
        connect(slider, &QSlider::valueChanged, value, showValue);
        connect(slider, &QSlider::sliderMoved, value, showValue);
        auto* row = new QHBoxLayout;
        row->addWidget(slider, 1);
        row->addWidget(value);
        layout->addRow(slider == m_rate ? QStringLiteral("语速") : QStringLiteral("音量"), row);
    }
    hide();

    fill();
    showRateVolume();
    connect(&controller, &ReadAloudController::voiceEntriesChanged, this, &VoicePanel::fill);
    connect(&controller, &ReadAloudController::panelVisibleChanged, this, [this](bool visible) {
        setVisible(visible);
        if (visible)
            raise();
    });
    connect(&controller, &ReadAloudController::voiceListFocusRequested, this,
            [this] { m_list->setFocus(Qt::OtherFocusReason); });
    // Picking an entry, even the current one, is Combo1_Click.
    connect(m_list, &QComboBox::activated, &controller, &ReadAloudController::voiceChosen);
    connect(&controller, &ReadAloudController::rateVolumeChanged, this, &VoicePanel::showRateVolume);
    connect(m_rate, &QSlider::valueChanged, &controller, &ReadAloudController::rateChosen);
    connect(m_volume, &QSlider::valueChanged, &controller, &ReadAloudController::volumeChosen);
}

void VoicePanel::showRateVolume()
{
    if (!m_controller)
        return;
    // The controller ignores its own values coming back; the value labels follow.
    m_rate->setValue(m_controller->rate());
    m_volume->setValue(m_controller->volume());
}

void VoicePanel::fill()
{
    if (!m_controller)
        return;
    const QSignalBlocker blocker(m_list);
    m_list->clear();
    m_list->addItems(m_controller->voiceEntries());
    m_list->setCurrentIndex(m_controller->currentEntry());
}

bool VoicePanel::eventFilter(QObject* watched, QEvent* event)
{
    // Opening Combo1's own drop-down list takes the focus too, and so does switching to
    // another program or moving to a slider of the panel; none is leaving the panel.
    if ((watched == m_list || watched == m_rate || watched == m_volume) && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        QWidget* next = QApplication::focusWidget();
        const bool insidePanel = next && (next == this || isAncestorOf(next));
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason && !insidePanel && m_controller)
            m_controller->voiceListLostFocus();
    }
    return QFrame::eventFilter(watched, event);
}
