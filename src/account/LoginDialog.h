#pragma once

#include "online/RequestSlot.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct AppServices;

// Form5, "用户登录 - Quillmere": user name, password, "记住登录", "确认登录", and the
// clickable "点此免费注册". Modeless; it deletes itself when it closes, so a new one starts
// empty.
class LoginDialog : public QWidget {
    Q_OBJECT
public:
    explicit LoginDialog(AppServices& services, QWidget* parent = nullptr);

    // Form_Load: centred on the screen.
    void formLoad();

    // "确认登录": checks the fields and sends the login.
    void Command1_Click();
    // "点此免费注册": the registration dialog opens, this one closes.
    void Label3_Click();

signals:
    // The service accepted the login: the user panel opens on "用户信息"; this dialog closes.
    void loggedIn();
    void registrationWanted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LoginHTTP(const QString& url);
    void CheckLogin(const ServiceReply& reply);

    AppServices& m_services;
    RequestSlot m_request;
    QLineEdit* m_text1 = nullptr;
    QLineEdit* m_text2 = nullptr;
    QCheckBox* m_check1 = nullptr;
    QPushButton* m_command1 = nullptr;
    QLabel* m_label3 = nullptr;
    QLabel* m_label4 = nullptr;
};
