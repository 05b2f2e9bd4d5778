#include "account/RegisterDialog.h"

#include "account/AccountForms.h"
#include "account/AccountReply.h"
#include "account/AccountRequests.h"
#include "account/WindowPlacement.h"
#include "app/AppServices.h"
#include "app/AppState.h"
#include "platform/Dialogs.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QLabel* hint(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setStyleSheet(QStringLiteral("color: #6b7785;"));
    label->setWordWrap(true);
    return label;
}

QLineEdit* field(const char* name, int maxLength, QWidget* parent, bool password = false)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMaxLength(maxLength);
    if (password)
        edit->setEchoMode(QLineEdit::Password);
    return edit;
}

} // namespace

RegisterDialog::RegisterDialog(AppServices& services, QWidget* parent)
    : QWidget(parent, Qt::Window), m_services(services), m_request(services.network)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("用户注册 - Quillmere"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_command1 = new QPushButton(QStringLiteral("提交注册"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command2 = new QPushButton(QStringLiteral("返回"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_loadingDiv = new QProgressBar(this);
    m_loadingDiv->setObjectName(QStringLiteral("LoadingDiv"));
    m_loadingDiv->setRange(0, 0); // busy: it moves while a registration is pending
    m_loadingDiv->setTextVisible(false);
    m_loadingDiv->setFixedSize(120, 10);
    m_loadingDiv->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_loadingDiv);
    buttons->addWidget(m_command1);
    buttons->addWidget(m_command2);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildRequired());
    layout->addWidget(buildOptional());
    layout->addLayout(buttons);
    resize(620, 480);
    // Room after the titles: their full-width brackets are measured short.
    setStyleSheet(QStringLiteral("QGroupBox { margin-top: 12px; }"
                                 "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 12px 0 2px; }"));

    connect(m_command1, &QPushButton::clicked, this, &RegisterDialog::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &RegisterDialog::Command2_Click);
    connect(&m_request, &RequestSlot::answered, this, &RegisterDialog::UserReg);
}

QWidget* RegisterDialog::buildRequired()
{
    auto* box = new QGroupBox(QStringLiteral("（必填项）"), this);
    auto* grid = new QGridLayout(box);
    m_text1 = field("Text1", 14, box);
    m_text2 = field("Text2", 18, box, true);
    m_text3 = field("Text3", 18, box, true);
    m_text4 = field("Text4", 30, box);
    const struct {
        const char* label;
        QLineEdit* edit;
        const char* hint;
    } rows[] = {
        {"登录账号：", m_text1, "用户名由3到14位的中文字符、英文字母、数字组成"},
        {"密 码：", m_text2, "为了安全，请把密码设置得复杂一点"},
        {"重复密码：", m_text3, "确认上面输入的密码"},
        {"电子邮箱：", m_text4, "请准确填入您的邮箱. 在忘记密码, 可将密码发送到此邮箱"},
    };
    int row = 0;
    for (const auto& r : rows) {
        grid->addWidget(new QLabel(QString::fromUtf8(r.label), box), row, 0);
        grid->addWidget(r.edit, row, 1);
        grid->addWidget(hint(QString::fromUtf8(r.hint), box), row, 2);
        ++row;
    }
    m_option1 = new QRadioButton(QStringLiteral("男"), box);
    m_option1->setObjectName(QStringLiteral("Option1"));
    m_option2 = new QRadioButton(QStringLiteral("女"), box);
    m_option2->setObjectName(QStringLiteral("Option2"));
    m_option3 = new QRadioButton(QStringLiteral("保密"), box);
    m_option3->setObjectName(QStringLiteral("Option3"));
    m_option3->setChecked(true);
    auto* sex = new QHBoxLayout;
    for (QRadioButton* option : {m_option1, m_option2, m_option3})
        sex->addWidget(option);
    sex->addStretch(1);
    grid->addWidget(new QLabel(QStringLiteral("性 别："), box), row, 0);
    grid->addLayout(sex, row, 1, 1, 2);
    grid->setColumnStretch(2, 1);
    return box;
}

QWidget* RegisterDialog::buildOptional()
{
    auto* box = new QGroupBox(QStringLiteral("（选填项）"), this);
    auto* grid = new QGridLayout(box);
    m_combo1 = new QComboBox(box);
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    // A question of the user's own may be typed as well.
    m_combo1->setEditable(true);
    m_combo1->addItems(AccountForms::passwordQuestions());
    m_combo1->setCurrentIndex(-1);
    m_text6 = field("Text6", 15, box);
    m_text5 = field("Text5", 10, box);
    grid->addWidget(new QLabel(QStringLiteral("密码问题："), box), 0, 0);
    grid->addWidget(m_combo1, 0, 1);
    grid->addWidget(hint(QStringLiteral("忘记密码的提示问题，用于忘记密码时方便取回密码!"), box), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("密码答案："), box), 1, 0);
    grid->addWidget(m_text6, 1, 1);
    grid->addWidget(hint(QStringLiteral("在此输入上面问题的答案"), box), 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Q Q："), box), 2, 0);
    grid->addWidget(m_text5, 2, 1);
    grid->setColumnStretch(2, 1);
    return box;
}

void RegisterDialog::formLoad()
{
    centreOnScreen(this);
}

void RegisterDialog::Command1_Click()
{
    AccountRequests::Registration form;
    form.name = m_text1->text().trimmed();
    form.password = m_text2->text().trimmed();
    form.email = m_text4->text().trimmed();
    form.sex = AccountForms::sexText(m_option1->isChecked(), m_option2->isChecked());
    form.qq = m_text5->text().trimmed();
    form.answer = m_text6->text().trimmed();
    form.question = m_combo1->currentText().trimmed();
    if (const auto error = AccountForms::checkRegistration(form, m_text3->text())) {
        m_services.dialogs.message(error->box.text, error->box.title, error->box.style);
        if (error->clearPasswords) {
            m_text2->clear();
            m_text3->clear();
        }
        return;
    }
    m_command1->setEnabled(false);
    PostHTTP(AccountRequests::accountPostUrl(m_services.state.serviceBase), AccountRequests::registrationBody(form));
}

void RegisterDialog::Command2_Click()
{
    close();
}

void RegisterDialog::PostHTTP(const QString& url, const QByteArray& body)
{
    m_request.postForm(url, body);
    m_loadingDiv->show();
}

void RegisterDialog::UserReg(const ServiceReply& reply)
{
    m_command1->setEnabled(true);
    m_loadingDiv->hide();
    const auto info = AccountReply::readLoginInfo(reply);
    if (!info)
        return;
    const AccountReaction reaction = AccountReply::forRegistrationDialog(*info);
    if (reaction.box)
        m_services.dialogs.message(reaction.box->text, reaction.box->title, reaction.box->style);
    if (reaction.next == AccountReaction::Next::OpenLogin) {
        emit registered();
        close();
    }
}
