#include "desktop/SettingsModule.h"

#include "desktop/SettingsPage.h"

SettingsModule::SettingsModule(LibraryDatabase& library, AppState& state, Dialogs& dialogs, Pickers& pickers,
                               AutoStart& autoStart, GlobalHotKey& hotKey, QObject* parent)
    : QObject(parent), m_bossKey(hotKey), m_controller(library, state, dialogs, pickers, autoStart, m_bossKey)
{
}

SettingsPage* SettingsModule::page(QWidget* parent)
{
    if (!m_page)
        m_page = new SettingsPage(m_controller, parent);
    return m_page;
}

void SettingsModule::load()
{
    if (m_page)
        m_page->load();
    else
        m_controller.load();
}

void SettingsModule::showColors(const QColor& txtColor, const QColor& backColor)
{
    if (m_page)
        m_page->showColors(txtColor, backColor);
}
