#include "reader/VoicePanel.h"

#include "reader/ReadAloudController.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QSignalBlocker>

VoicePanel::VoicePanel(ReadAloudController& controller, QWidget* parent)
    : QFrame(parent), m_controller(&controller), m_list(new QComboBox(this))
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
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_list);
    hide();

    fill();
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
    // another program; neither is leaving the list for another control.
    if (watched == m_list && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason && m_controller)
            m_controller->voiceListLostFocus();
    }
    return QFrame::eventFilter(watched, event);
}
