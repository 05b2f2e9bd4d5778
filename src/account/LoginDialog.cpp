#include "account/LoginDialog.h"

#include "account/AccountForms.h"
#include "account/AccountReply.h"
#include "account/AccountRequests.h"
#include "account/WindowPlacement.h"
#include "app/AppServices.h"
#include "app/AppState.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

LoginDialog::LoginDialog(AppServices& services, QWidget* parent)
    : QWidget(parent, Qt::Window), m_services(services), m_request(services.network)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("用户登录 - Quillmere"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_text1 = new QLineEdit(this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setMaxLength(14);
    m_text2 = new QLineEdit(this);
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text2->setMaxLength(18);
    m_text2->setEchoMode(QLineEdit::Password);
    m_check1 = new QCheckBox(QStringLiteral("记住登录"), this);
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_check1->setChecked(true);
    m_command1 = new QPushButton(QStringLiteral("确认登录"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setDefault(true);
    m_label3 = new QLabel(QStringLiteral("点此免费注册"), this);
    m_label3->setObjectName(QStringLiteral("Label3"));
    m_label3->setCursor(Qt::PointingHandCursor);
    m_label3->setStyleSheet(QStringLiteral("color: #1a4f9c; text-decoration: underline;"));
    m_label3->installEventFilter(this);
    m_label4 = new QLabel(QStringLiteral("忘记密码？"), this);
    m_label4->setObjectName(QStringLiteral("Label4"));
    m_label4->setStyleSheet(QStringLiteral("color: #6b7785;"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("用户名："), m_text1);
    form->addRow(QStringLiteral("用户密码："), m_text2);
    auto* links = new QHBoxLayout;
    links->addWidget(m_check1);
    links->addStretch(1);
    links->addWidget(m_label3);
    links->addWidget(m_label4);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->addLayout(form);
    layout->addLayout(links);
    layout->addWidget(m_command1, 0, Qt::AlignHCenter);
    setFixedSize(340, 170);

    connect(m_command1, &QPushButton::clicked, this, &LoginDialog::Command1_Click);
    connect(m_text2, &QLineEdit::returnPressed, this, &LoginDialog::Command1_Click);
    connect(&m_request, &RequestSlot::answered, this, &LoginDialog::CheckLogin);
}

void LoginDialog::formLoad()
{
    centreOnScreen(this);
}

void LoginDialog::Command1_Click()
{
    const QString name = m_text1->text().trimmed();
    const QString password = m_text2->text().trimmed();
    if (const auto error = AccountForms::checkLogin(name, password)) {
        m_services.dialogs.message(error->box.text, error->box.title, error->box.style);
        return;
    }
    m_command1->setEnabled(false);
    LoginHTTP(AccountRequests::loginUrl(m_services.state.serviceBase, name, password, m_check1->isChecked(),
                                        m_services.clock.now()));
}

void LoginDialog::Label3_Click()
{
    emit registrationWanted();
    close();
}

void LoginDialog::LoginHTTP(const QString& url)
{
    m_request.get(url);
}

void LoginDialog::CheckLogin(const ServiceReply& reply)
{
    m_command1->setEnabled(true);
    const auto info = AccountReply::readLoginInfo(reply);
    if (!info)
        return;
    const AccountReaction reaction = AccountReply::forLoginDialog(*info);
    if (reaction.box)
        m_services.dialogs.message(reaction.box->text, reaction.box->title, reaction.box->style);
    if (reaction.next == AccountReaction::Next::OpenUserPanel) {
        emit loggedIn();
        close();
    }
}

bool LoginDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_label3 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Label3_Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
