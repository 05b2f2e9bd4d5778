#pragma once

#include "account/AccountReply.h"
#include "account/AccountRequests.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

// The user panel's page for node 2, "用户信息": the account's figures, the daily points
// note and the promotion box with "复制".
class AccountInfoPage : public QWidget {
    Q_OBJECT
public:
    explicit AccountInfoPage(QWidget* parent = nullptr);

    void fill(const AccountRecord& record);
    // Label2: the account name the book list and the upload use.
    QString accountName() const;
    QString promotionText() const;

signals:
    void copyClicked();

private:
    QLabel* m_label2 = nullptr;
    QLabel* m_lastdate = nullptr;
    QLabel* m_logins = nullptr;
    QLabel* m_points = nullptr;
    QLabel* m_money = nullptr;
    QPlainTextEdit* m_promotion = nullptr;
    QString m_promotionText; // as the box was given it, line ends included
    QPushButton* m_copy = nullptr;
};

// The page for node 3, "修改资料": the profile editor with "确认修改".
class ProfilePage : public QWidget {
    Q_OBJECT
public:
    explicit ProfilePage(QWidget* parent = nullptr);

    // The record's values; the new password and answer are left as they are.
    void fill(const AccountRecord& record);
    // What "确认修改" sends, as typed (the body trims).
    AccountRequests::ProfileChange change() const;

signals:
    void editClicked();

private:
    QLineEdit* m_name = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_email = nullptr;
    QRadioButton* m_male = nullptr;
    QRadioButton* m_female = nullptr;
    QRadioButton* m_secret = nullptr;
    QLineEdit* m_qq = nullptr;
    QLabel* m_question = nullptr;
    QLineEdit* m_answer = nullptr;
    QLineEdit* m_userId = nullptr; // hidden
    QPushButton* m_confirm = nullptr;
};
