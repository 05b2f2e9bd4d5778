#include "online/opds/OpdsDialogs.h"

#include "online/opds/OpdsCatalogues.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QDialogButtonBox* okCancel(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

} // namespace

OpdsCatalogueDialog::OpdsCatalogueDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OpdsCatalogueDialog"));
    setWindowTitle(QStringLiteral("添加书库"));
    auto* form = new QFormLayout;
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("CatalogueName"));
    m_url = new QLineEdit(this);
    m_url->setObjectName(QStringLiteral("CatalogueUrl"));
    m_url->setPlaceholderText(QStringLiteral("https://example.com/opds"));
    m_user = new QLineEdit(this);
    m_user->setObjectName(QStringLiteral("CatalogueUser"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("CataloguePassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_save = new QCheckBox(QStringLiteral("保存密码"), this);
    m_save->setObjectName(QStringLiteral("SavePassword"));
    m_save->setChecked(true);
    m_save->setToolTip(QStringLiteral("密码保存在系统密钥环中；不保存时每次运行需要时询问"));
    form->addRow(QStringLiteral("名称"), m_name);
    form->addRow(QStringLiteral("地址"), m_url);
    form->addRow(QStringLiteral("用户名"), m_user);
    form->addRow(QStringLiteral("密码"), m_password);
    form->addRow(QString(), m_save);
    m_error = new QLabel(this);
    m_error->setStyleSheet(QStringLiteral("color: #C00000;"));
    m_error->hide();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_error);
    layout->addWidget(okCancel(this));
    resize(420, sizeHint().height());
}

void OpdsCatalogueDialog::setRow(const OpdsCatalogueRow& row)
{
    m_id = row.id;
    setWindowTitle(row.id ? QStringLiteral("编辑书库") : QStringLiteral("添加书库"));
    m_name->setText(row.name);
    m_url->setText(row.url);
    m_user->setText(row.userName);
    m_save->setChecked(row.id == 0 || row.passwordStored);
    if (row.passwordStored)
        m_password->setPlaceholderText(QStringLiteral("（已保存，留空则不变）"));
}

OpdsCatalogueRow OpdsCatalogueDialog::row() const
{
    OpdsCatalogueRow row;
    row.id = m_id;
    row.name = m_name->text().trimmed();
    row.url = m_url->text().trimmed();
    row.userName = m_user->text().trimmed();
    return row;
}

QString OpdsCatalogueDialog::password() const
{
    return m_password->text();
}

bool OpdsCatalogueDialog::savePassword() const
{
    return m_save->isChecked();
}

void OpdsCatalogueDialog::accept()
{
    const QString why = OpdsCatalogues::check(m_name->text(), m_url->text());
    if (!why.isEmpty()) {
        m_error->setText(why);
        m_error->show();
        return;
    }
    QDialog::accept();
}

OpdsLoginDialog::OpdsLoginDialog(const QString& message, const QString& user, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OpdsLoginDialog"));
    setWindowTitle(QStringLiteral("书库登录"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(message, this));
    auto* form = new QFormLayout;
    m_user = new QLineEdit(user, this);
    m_password = new QLineEdit(this);
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("用户名"), m_user);
    form->addRow(QStringLiteral("密码"), m_password);
    layout->addLayout(form);
    layout->addWidget(okCancel(this));
    if (!user.isEmpty())
        m_password->setFocus();
}

QString OpdsLoginDialog::user() const
{
    return m_user->text().trimmed();
}

QString OpdsLoginDialog::password() const
{
    return m_password->text();
}
