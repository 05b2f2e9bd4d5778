#pragma once

#include "account/AccountReply.h"
#include "account/AccountRequests.h"

#include <QString>

#include <optional>

// The checks the login dialog, the registration dialog and the profile page make before
// anything is sent, in their order, with their texts.
namespace AccountForms {

// A refused input: the box to show, and whether both password fields are emptied.
struct InputError {
    MessageBox box;
    bool clearPasswords = false;
};

// Blank user name or password (after trimming): "用户名或密码不能为空！".
std::optional<InputError> checkLogin(const QString& name, const QString& password);

// The registration's checks in order: e-mail, name length (3 to 14 characters, a Chinese
// character counting as one), name characters, password length (at least 3), repetition.
// The values are taken trimmed.
std::optional<InputError> checkRegistration(const AccountRequests::Registration& form, const QString& repeat);

// The profile page checks only the e-mail.
std::optional<InputError> checkProfile(const AccountRequests::ProfileChange& form);

// "男" for the first option, "女" for the second, otherwise "保密".
QString sexText(bool male, bool female);

// The registration dialog's password questions, in their order.
QStringList passwordQuestions();

} // namespace AccountForms
