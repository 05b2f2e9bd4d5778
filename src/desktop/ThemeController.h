#pragma once

#include "reader/ReadingAppearance.h"
#include "reader/ReadingTheme.h"

#include <QObject>
#include <QPalette>

class LibraryDatabase;
class MainWindow;
class QAction;
class QActionGroup;
class QMenu;
class SettingsModule;

// The reader's themes: the "主题" menu of the reading page, Ctrl+D for night and back, the
// colours written to TxtColor/BackColor and the window's palette (night darkens the lists,
// scroll bars and toolbars too). The settings page's saves pass through here on their way
// to the reading page, so colours chosen there become the "自定义" theme.
class ThemeController : public QObject, public ReadingAppearance {
    Q_OBJECT
public:
    ThemeController(LibraryDatabase& library, MainWindow& window, SettingsModule* settings, QObject* parent = nullptr);

    // After the window's load: the theme of the stored colours, applied to the window.
    void load();
    // A preset key or "custom"; false when there is no such theme.
    bool choose(const QString& key);
    void toggleNight();

    const ThemeSwitch& state() const { return m_switch; }
    QString currentKey() const { return m_switch.current().key; }
    QMenu* menu() const { return m_menu; }
    QAction* nightAction() const { return m_night; }

    // The settings page styles the reading page through this.
    void applyAppearance(const QString& txtColor, const QString& txtSize, const QString& backColor) override;

signals:
    void themeChanged(const QString& key);

private:
    void commit();
    void applyWindowLook(bool dark);
    void syncMenu();

    LibraryDatabase& m_library;
    MainWindow& m_window;
    SettingsModule* m_settings;
    ThemeSwitch m_switch;
    QPalette m_lightPalette;
    QString m_txtSize = QStringLiteral("中号");
    QMenu* m_menu = nullptr;
    QActionGroup* m_group = nullptr;
    QAction* m_night = nullptr;
    bool m_loaded = false;
};
