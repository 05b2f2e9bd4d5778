#include "account/AccountWindows.h"

#include "account/LoginDialog.h"
#include "account/RegisterDialog.h"
#include "account/UploadPage.h"
#include "account/UserPanel.h"
#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/LibraryDatabase.h"
#include "platform/Dialogs.h"

namespace {

void bringUp(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

AccountWindows::AccountWindows(AppServices& services, Clipboard& clipboard, QObject* parent)
    : QObject(parent), m_services(services), m_clipboard(clipboard)
{
}

AccountWindows::~AccountWindows()
{
    // The windows are top-level and outlive nothing of the main window.
    delete m_login.data();
    delete m_registration.data();
    delete m_panel.data();
}

LoginDialog* AccountWindows::loginDialog() const
{
    return m_login.data();
}

RegisterDialog* AccountWindows::registrationDialog() const
{
    return m_registration.data();
}

UserPanel* AccountWindows::userPanel() const
{
    return m_panel.data();
}

LoginDialog* AccountWindows::showLogin()
{
    if (!m_login) {
        m_login = new LoginDialog(m_services);
        connect(m_login, &LoginDialog::loggedIn, this, [this] { showUserPanel(2); });
        connect(m_login, &LoginDialog::registrationWanted, this, [this] { showRegistration(); });
        m_login->formLoad();
    }
    bringUp(m_login);
    return m_login;
}

RegisterDialog* AccountWindows::showRegistration()
{
    if (!m_registration) {
        m_registration = new RegisterDialog(m_services);
        connect(m_registration, &RegisterDialog::registered, this, [this] { showLogin(); });
        m_registration->formLoad();
    }
    bringUp(m_registration);
    return m_registration;
}

UserPanel* AccountWindows::showUserPanel(int node)
{
    if (!m_panel) {
        m_panel = new UserPanel(m_services, m_clipboard, m_session);
        connect(m_panel, &UserPanel::loginWanted, this, [this] { showLogin(); });
        m_panel->formLoad();
    }
    bringUp(m_panel);
    m_panel->selectNode(node);
    return m_panel;
}

UserPanel* AccountWindows::openUploadPage()
{
    return showUserPanel(UserPanel::UploadNode);
}

void AccountWindows::shareRow(const std::optional<BookRow>& row)
{
    if (!row) {
        m_services.dialogs.message(QStringLiteral("没有找到该书的信息"), QStringLiteral("出错啦"), Dialogs::Stop);
        return;
    }
    UserPanel* panel = showUserPanel(UserPanel::UploadNode);
    panel->uploadPage()->fillFromBook(row->type, row->name, row->author, row->path);
}

void AccountWindows::SendShare(const QString& shelfItemText)
{
    LibraryDatabase* library = m_services.state.library;
    bool numeric = false;
    const qint64 id = shelfItemText.trimmed().toLongLong(&numeric);
    shareRow(library && numeric ? library->bookById(id) : std::nullopt);
}

void AccountWindows::ShareThisBook(const QString& bookPath)
{
    LibraryDatabase* library = m_services.state.library;
    shareRow(library && !bookPath.isEmpty() ? library->bookByPath(bookPath) : std::nullopt);
}
