#pragma once

#include "online/RequestSlot.h"

#include <QWidget>

class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
struct AppServices;

// Form6, "用户注册 - Quillmere": the required group (name, password twice, e-mail, sex) and
// the optional one (password question and answer, QQ), each field with its hint, and
// "提交注册" / "返回". Modeless; deletes itself when it closes.
class RegisterDialog : public QWidget {
    Q_OBJECT
public:
    explicit RegisterDialog(AppServices& services, QWidget* parent = nullptr);

    void formLoad();

    // "提交注册": the checks in order, then the registration.
    void Command1_Click();
    // "返回": closes; nothing else opens.
    void Command2_Click();

signals:
    // The service registered the user: the login dialog opens; this dialog closes.
    void registered();

private:
    QWidget* buildRequired();
    QWidget* buildOptional();
    void PostHTTP(const QString& url, const QByteArray& body);
    void UserReg(const ServiceReply& reply);

    AppServices& m_services;
    RequestSlot m_request;
    QLineEdit* m_text1 = nullptr;
    QLineEdit* m_text2 = nullptr;
    QLineEdit* m_text3 = nullptr;
    QLineEdit* m_text4 = nullptr;
    QLineEdit* m_text5 = nullptr;
    QLineEdit* m_text6 = nullptr;
    QRadioButton* m_option1 = nullptr;
    QRadioButton* m_option2 = nullptr;
    QRadioButton* m_option3 = nullptr;
    QComboBox* m_combo1 = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
    QProgressBar* m_loadingDiv = nullptr;
};
