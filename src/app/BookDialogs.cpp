#include "app/BookDialogs.h"

#include "app/AppServices.h"
#include "app/BookDialog.h"

BookDialogs::BookDialogs(AppServices& services, ReaderNavigator& navigator, QWidget* parentWindow)
    : m_services(services), m_navigator(navigator), m_parentWindow(parentWindow)
{
}

void BookDialogs::show(const QString& mode, const QString& bookPath)
{
    if (m_dialog) {
        // The open dialog keeps its mode and fields; it only comes to the front.
        m_dialog->show();
        m_dialog->raise();
        m_dialog->activateWindow();
        return;
    }
    auto* dialog = new BookDialog(m_services, m_navigator, m_parentWindow);
    if (!dialog->load(mode, bookPath)) {
        delete dialog;
        return;
    }
    m_dialog = dialog;
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

BookDialog* BookDialogs::current() const
{
    return m_dialog.data();
}
