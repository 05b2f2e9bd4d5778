#include "reader/FindBar.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>
#include <QWebEngineView>

FindBar::FindBar(QWebEngineView* view, QWidget* parent)
    : QWidget(parent), m_view(view), m_text(new QLineEdit(this)), m_previous(new QToolButton(this)),
      m_next(new QToolButton(this)), m_close(new QToolButton(this)), m_status(new QLabel(this))
{
    setObjectName(QStringLiteral("FindBar"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#FindBar { background: #F4F7FA; border: 1px solid #C9D6E3; border-radius: 5px; }"));
    m_text->setObjectName(QStringLiteral("FindText"));
    m_text->setPlaceholderText(QStringLiteral("查找内容"));
    m_text->setClearButtonEnabled(true);
    m_previous->setObjectName(QStringLiteral("FindPrevious"));
    m_previous->setText(QStringLiteral("上一个"));
    m_previous->setToolTip(QStringLiteral("查找上一个 (Shift+Enter)"));
    m_next->setObjectName(QStringLiteral("FindNext"));
    m_next->setText(QStringLiteral("下一个"));
    m_next->setToolTip(QStringLiteral("查找下一个 (Enter)"));
    m_close->setObjectName(QStringLiteral("FindClose"));
    m_close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    m_close->setToolTip(QStringLiteral("关闭 (Esc)"));
    m_close->setAutoRaise(true);
    m_status->setObjectName(QStringLiteral("FindStatus"));
    m_status->setMinimumWidth(72);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 3, 3, 3);
    row->setSpacing(4);
    row->addWidget(m_text, 1);
    row->addWidget(m_status);
    row->addWidget(m_previous);
    row->addWidget(m_next);
    row->addWidget(m_close);

    connect(m_text, &QLineEdit::returnPressed, this,
            [this] { find(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier); });
    connect(m_text, &QLineEdit::textChanged, this, [this] { find(false); });
    connect(m_next, &QToolButton::clicked, this, &FindBar::findNext);
    connect(m_previous, &QToolButton::clicked, this, &FindBar::findPrevious);
    connect(m_close, &QToolButton::clicked, this, &FindBar::close);
    hide();
}

FindBar::~FindBar()
{
    *m_alive = false;
}

void FindBar::open()
{
    show();
    raise();
    m_text->setFocus(Qt::ShortcutFocusReason);
    m_text->selectAll();
}

void FindBar::close()
{
    hide();
    m_view->page()->findText(QString()); // clears the highlight
    m_view->setFocus(Qt::OtherFocusReason);
}

void FindBar::findNext()
{
    find(false);
}

void FindBar::findPrevious()
{
    find(true);
}

QString FindBar::statusText() const
{
    return m_status->text();
}

void FindBar::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FindBar::find(bool backward)
{
    const QString text = m_text->text();
    if (text.isEmpty()) {
        m_found = false;
        m_status->clear();
        m_text->setStyleSheet(QString());
        m_view->page()->findText(QString());
        return;
    }
    QWebEnginePage::FindFlags flags;
    if (backward)
        flags |= QWebEnginePage::FindBackward;
    m_view->page()->findText(text, flags, [this, text, alive = m_alive](const QWebEngineFindTextResult& result) {
        if (*alive)
            onResult(text, result);
    });
}

void FindBar::onResult(const QString& text, const QWebEngineFindTextResult& result)
{
    if (text != m_text->text())
        return; // an older search; the newer one reports itself
    m_found = result.numberOfMatches() > 0;
    if (m_found) {
        m_status->setText(QStringLiteral("%1/%2").arg(result.activeMatch()).arg(result.numberOfMatches()));
        m_text->setStyleSheet(QString());
    } else {
        m_status->setText(QStringLiteral("没有找到"));
        m_text->setStyleSheet(QStringLiteral("QLineEdit { background: #FFE4E1; }"));
    }
    emit searched(text, result.numberOfMatches(), result.activeMatch());
}
