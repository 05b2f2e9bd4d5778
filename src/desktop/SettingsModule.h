#pragma once

#include "desktop/BossKey.h"
#include "desktop/SettingsController.h"

#include <QObject>
#include <QPointer>

class SettingsPage;

// The settings page with its controller and the boss key, put together for the main
// window: it adds page() as its page 5 and calls load() during its own load.
class SettingsModule : public QObject {
    Q_OBJECT
public:
    SettingsModule(LibraryDatabase& library, AppState& state, Dialogs& dialogs, Pickers& pickers, AutoStart& autoStart,
                   GlobalHotKey& hotKey, QObject* parent = nullptr);

    // Created on first call, owned by `parent` (the main window's page stack).
    SettingsPage* page(QWidget* parent = nullptr);
    void setReadingAppearance(ReadingAppearance* appearance) { m_controller.setReadingAppearance(appearance); }
    // Reads the settings, shows them on the page, styles the reading page and starts the boss key.
    void load();
    // The page's colour swatches, when the page exists.
    void showColors(const QColor& txtColor, const QColor& backColor);

    BossKey& bossKey() { return m_bossKey; }
    SettingsController& controller() { return m_controller; }

private:
    BossKey m_bossKey;
    SettingsController m_controller;
    QPointer<SettingsPage> m_page;
};
