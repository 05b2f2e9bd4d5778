#include "account/AccountForms.h"

#include "common/SharedRoutines.h"
#include "platform/Dialogs.h"

namespace AccountForms {

namespace {

InputError wrongInput(const QString& text, bool clearPasswords = false)
{
    return {MessageBox{text, QStringLiteral("填写有误"), Dialogs::Stop}, clearPasswords};
}

qsizetype characters(const QString& text)
{
    return text.toUcs4().size();
}

const QString kEmailRefused = QStringLiteral("你输入的Email地址不合法，请重新输入！");

} // namespace

std::optional<InputError> checkLogin(const QString& name, const QString& password)
{
    if (name.trimmed().isEmpty() || password.trimmed().isEmpty())
        return InputError{
            MessageBox{QStringLiteral("用户名或密码不能为空！"), QStringLiteral("登录失败"), Dialogs::Stop}};
    return std::nullopt;
}

std::optional<InputError> checkRegistration(const AccountRequests::Registration& form, const QString& repeat)
{
    const QString name = form.name.trimmed();
    const QString password = form.password.trimmed();
    if (!CheckEmail(form.email.trimmed()))
        return wrongInput(kEmailRefused);
    const qsizetype length = characters(name);
    if (length < 3 || length > 14)
        return wrongInput(QStringLiteral("用户名不能带有特殊符号！\r\n可由汉字、字母、数字和下划线任意3至14位组合！"));
    if (!CheckUserName(name))
        return wrongInput(QStringLiteral("用户名不能带有特殊符号！\r\n可由汉字、字母、数字和下划线任意2至10位组合！"));
    if (characters(password) < 3)
        return wrongInput(QStringLiteral("你输入的密码长度太短（至少3位），请重新输入！"), true);
    if (repeat.trimmed() != password)
        return wrongInput(QStringLiteral("你两次输入密码有误，请重新输入！"), true);
    return std::nullopt;
}

std::optional<InputError> checkProfile(const AccountRequests::ProfileChange& form)
{
    if (!CheckEmail(form.email.trimmed()))
        return wrongInput(kEmailRefused);
    return std::nullopt;
}

QString sexText(bool male, bool female)
{
    if (male)
        return QStringLiteral("男");
    if (female)
        return QStringLiteral("女");
    return QStringLiteral("保密");
}

QStringList passwordQuestions()
{
    return {QStringLiteral("你初中是在哪个学校读的?"), QStringLiteral("你最敬佩老师叫什么名字?"),
            QStringLiteral("你喜欢的他（她）的生日是多久?"), QStringLiteral("你的宠物叫什么?"),
            QStringLiteral("你最喜欢的明星是谁?")};
}

} // namespace AccountForms
