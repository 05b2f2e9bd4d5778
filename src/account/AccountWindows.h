#pragma once

#include "account/AccountSession.h"
#include "app/BookRow.h"

#include <QObject>
#include <QPointer>

#include <optional>

class Clipboard;
class LoginDialog;
class RegisterDialog;
class UserPanel;
struct AppServices;

// The reader's account windows: the login dialog (Form5), the registration dialog (Form6)
// and the user panel (Form7). Each is made when first wanted and closes itself; this hands
// over between them and is where the main window and the menus open them.
class AccountWindows : public QObject {
    Q_OBJECT
public:
    AccountWindows(AppServices& services, Clipboard& clipboard, QObject* parent = nullptr);
    ~AccountWindows() override;

    LoginDialog* showLogin();
    RegisterDialog* showRegistration();
    // Shows the user panel (loading it when it is not open), selects tree node `node` and
    // runs its click action: 2 "用户信息" for the toolbar and a login, 7 for uploads.
    UserPanel* showUserPanel(int node);
    // The online library's "上传共享": the panel on its upload page.
    UserPanel* openUploadPage();

    // "共享到网络服务器" of the bookshelf menu: `shelfItemText` is the selected row's id.
    void SendShare(const QString& shelfItemText);
    // "共享本书到网络" of the reading menu: the path of the book being read.
    void ShareThisBook(const QString& bookPath);

    // The open windows; nullptr when closed.
    LoginDialog* loginDialog() const;
    RegisterDialog* registrationDialog() const;
    UserPanel* userPanel() const;
    const AccountSession& session() const { return m_session; }

private:
    // Fills the upload page from the book row, or says it is gone.
    void shareRow(const std::optional<BookRow>& row);

    AppServices& m_services;
    Clipboard& m_clipboard;
    AccountSession m_session;
    QPointer<LoginDialog> m_login;
    QPointer<RegisterDialog> m_registration;
    QPointer<UserPanel> m_panel;
};
