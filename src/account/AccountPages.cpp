#include "account/AccountPages.h"

#include "account/AccountForms.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QLabel* named(const char* name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QLabel* hint(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setStyleSheet(QStringLiteral("color: #6b7785;"));
    return label;
}

} // namespace

AccountInfoPage::AccountInfoPage(QWidget* parent) : QWidget(parent)
{
    m_label2 = named("Label2", this);
    m_label2->setStyleSheet(QStringLiteral("font-weight: bold; color: #1a4f9c;"));
    m_lastdate = named("LastDate", this);
    m_logins = named("UserLogin", this);
    m_points = named("UserPoint", this);
    m_money = named("UserMoney", this);

    auto* figures = new QGridLayout;
    const struct {
        const char* caption;
        QLabel* value;
    } rows[] = {{"账号名称：", m_label2},
                {"上次登录时间：", m_lastdate},
                {"累计登录：", m_logins},
                {"累计积分：", m_points},
                {"金币余额：", m_money}};
    int row = 0;
    for (const auto& r : rows) {
        figures->addWidget(new QLabel(QString::fromUtf8(r.caption), this), row, 0, Qt::AlignRight);
        figures->addWidget(r.value, row, 1);
        ++row;
    }
    figures->setColumnStretch(1, 1);

    auto* points = new QGroupBox(QStringLiteral("积分获取："), this);
    auto* pointsLayout = new QVBoxLayout(points);
    pointsLayout->addWidget(new QLabel(QStringLiteral("每日登录即可获取10积分!"), points));

    auto* gold = new QGroupBox(QStringLiteral("获取金币"), this);
    m_promotion = new QPlainTextEdit(gold);
    m_promotion->setObjectName(QStringLiteral("PromotionText"));
    m_promotion->setReadOnly(true);
    m_promotion->setFixedHeight(80);
    m_copy = new QPushButton(QStringLiteral("复制"), gold);
    m_copy->setObjectName(QStringLiteral("CopyButton"));
    auto* promotionRow = new QHBoxLayout;
    promotionRow->addWidget(m_promotion, 1);
    promotionRow->addWidget(m_copy, 0, Qt::AlignTop);
    auto* goldLayout = new QVBoxLayout(gold);
    goldLayout->addWidget(new QLabel(QStringLiteral("个人推广地址："), gold));
    goldLayout->addLayout(promotionRow);
    auto* rule = new QHBoxLayout;
    rule->addWidget(hint(QStringLiteral("将你的个人推广地址发送给他人，只要有人点击进入网页即得"), gold));
    auto* coin = new QLabel(QStringLiteral("1金币"), gold);
    coin->setStyleSheet(QStringLiteral("color: #c64f06; font-weight: bold;"));
    rule->addWidget(coin);
    rule->addWidget(hint(QStringLiteral("24小时只统计1次"), gold));
    rule->addStretch(1);
    goldLayout->addLayout(rule);
    goldLayout->addWidget(new QLabel(QStringLiteral("快速赚金币技巧："), gold));
    goldLayout->addWidget(hint(QStringLiteral("1. 把推广地址发到你常去的论坛、贴吧签名里，让更多书友看到；"), gold));
    goldLayout->addWidget(hint(QStringLiteral("2. 在QQ群、博客和读书网站的评论里推荐，书友点一次你就得1金币。"), gold));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(figures);
    layout->addWidget(points);
    layout->addWidget(gold);
    layout->addStretch(1);

    connect(m_copy, &QPushButton::clicked, this, &AccountInfoPage::copyClicked);
}

void AccountInfoPage::fill(const AccountRecord& record)
{
    m_promotionText = record.purl + QStringLiteral("\r\n\r\n") + record.pinfo;
    m_promotion->setPlainText(m_promotionText);
    m_label2->setText(record.uname);
    m_lastdate->setText(record.lastdate);
    m_logins->setText(record.userlogin);
    m_points->setText(record.userpoint);
    m_money->setText(record.usermoney);
}

QString AccountInfoPage::accountName() const
{
    return m_label2->text();
}

QString AccountInfoPage::promotionText() const
{
    return m_promotionText;
}

ProfilePage::ProfilePage(QWidget* parent) : QWidget(parent)
{
    auto edit = [this](const char* name, int maxLength) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        if (maxLength > 0)
            e->setMaxLength(maxLength);
        return e;
    };
    m_name = edit("UserName", 0);
    m_name->setReadOnly(true);
    m_name->setStyleSheet(QStringLiteral("background: #ECECEC; color: #6b7785;"));
    m_password = edit("NewPassword", 18);
    m_password->setEchoMode(QLineEdit::Password);
    m_email = edit("UserMail", 50);
    m_qq = edit("UserQQ", 10);
    m_answer = edit("NewAnswer", 50);
    m_userId = edit("UserId", 0);
    m_userId->hide();
    m_question = named("Question", this);
    m_male = new QRadioButton(QStringLiteral("男"), this);
    m_male->setObjectName(QStringLiteral("SexMale"));
    m_female = new QRadioButton(QStringLiteral("女"), this);
    m_female->setObjectName(QStringLiteral("SexFemale"));
    m_secret = new QRadioButton(QStringLiteral("保密"), this);
    m_secret->setObjectName(QStringLiteral("SexSecret"));
    m_secret->setChecked(true);
    m_confirm = new QPushButton(QStringLiteral("确认修改"), this);
    m_confirm->setObjectName(QStringLiteral("EditButton"));

    auto* sex = new QHBoxLayout;
    sex->addWidget(m_male);
    sex->addWidget(m_female);
    sex->addWidget(m_secret);
    sex->addStretch(1);

    auto* grid = new QGridLayout;
    int row = 0;
    auto add = [&](const char* caption, QWidget* field, const char* note) {
        grid->addWidget(new QLabel(QString::fromUtf8(caption), this), row, 0, Qt::AlignRight);
        grid->addWidget(field, row, 1);
        if (note)
            grid->addWidget(hint(QString::fromUtf8(note), this), row, 2);
        ++row;
    };
    add("用户名：", m_name, nullptr);
    add("新密码：", m_password, "不修改 请留空");
    add("电子邮箱：", m_email, nullptr);
    grid->addWidget(new QLabel(QStringLiteral("性 别："), this), row, 0, Qt::AlignRight);
    grid->addLayout(sex, row, 1);
    ++row;
    add("Q Q：", m_qq, nullptr);
    add("密码问题：", m_question, "不可修改");
    add("密码答案：", m_answer, "不修改 请留空");
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_confirm, 0, Qt::AlignLeft);
    layout->addStretch(1);

    connect(m_confirm, &QPushButton::clicked, this, &ProfilePage::editClicked);
}

void ProfilePage::fill(const AccountRecord& record)
{
    m_name->setText(record.uname);
    m_email->setText(record.usermail);
    m_qq->setText(record.qq);
    m_question->setText(record.question);
    m_userId->setText(record.uid);
    if (record.sex == QStringLiteral("男"))
        m_male->setChecked(true);
    else if (record.sex == QStringLiteral("女"))
        m_female->setChecked(true);
    else
        m_secret->setChecked(true);
}

AccountRequests::ProfileChange ProfilePage::change() const
{
    AccountRequests::ProfileChange c;
    c.userId = m_userId->text();
    c.password = m_password->text();
    c.email = m_email->text();
    c.sex = AccountForms::sexText(m_male->isChecked(), m_female->isChecked());
    c.qq = m_qq->text();
    c.answer = m_answer->text();
    return c;
}
