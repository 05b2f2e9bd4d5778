#pragma once

#include "platform/GlobalHotKey.h"

#include <QColor>
#include <QString>
#include <QStringList>

#include <optional>

class AutoStart;
class BossKey;
class Dialogs;
class LibraryDatabase;
class Pickers;
class QWidget;
class ReadingAppearance;
struct AppState;

// What the settings page shows after loading.
struct SettingsView {
    QString path;
    bool autoRun = false;
    int modifierIndex = 2;             // into SettingsController::modifierNames()
    QString key = QStringLiteral("B"); // the key box's designed text
    int sizeIndex = 3;                 // into SettingsController::sizeNames()
    QColor txtColor;
    QColor backColor;
    bool reopenLastBook = true; // "启动时打开上次阅读的书"
};

// What the page holds when "保存设置" is pressed.
struct SettingsInput {
    QString path;
    bool autoRun = false;
    QString modifier;
    QString key;
    QColor txtColor;
    QString txtSize;
    QColor backColor;
    bool reopenLastBook = true;
};

// The settings page's behaviour: reading the SysSet row, the two pickers, checking and
// applying a save. The page widget only moves values between its controls and this.
class SettingsController {
public:
    SettingsController(LibraryDatabase& library, AppState& state, Dialogs& dialogs, Pickers& pickers,
                       AutoStart& autoStart, BossKey& bossKey);

    // The reading view arrives later than the settings; until then nothing is restyled.
    void setReadingAppearance(ReadingAppearance* appearance) { m_appearance = appearance; }

    static QStringList modifierNames(); // "Alt", "Ctrl", "Shift"
    static QStringList sizeNames();     // "小号", "中号", "大号", "特大号"

    // Reads the stored values, starts the boss key and styles the reading page with them.
    SettingsView load();

    // "选择...": the chosen folder, or nothing after telling the user the choice was cancelled.
    std::optional<QString> chooseFolder(QWidget* owner);
    // "选择" beside a swatch: the chosen colour, or nothing when cancelled.
    std::optional<QColor> chooseColor(QWidget* owner, const QColor& current);

    // "保存设置". False when refused or when the row could not be written.
    bool save(const SettingsInput& input);

    // A line for the page about a boss key that does not work (no X11, key taken); empty
    // when it works or none is set.
    QString bossKeyNotice() const { return m_bossKeyNotice; }

private:
    void applyAppearance(const QString& txtColor, const QString& txtSize, const QString& backColor);
    void noteBossKey(GlobalHotKey::Result result, const QString& modifier, const QString& key);
    static QString combinationText(const QString& modifier, const QString& key);

    LibraryDatabase& m_library;
    AppState& m_state;
    Dialogs& m_dialogs;
    Pickers& m_pickers;
    AutoStart& m_autoStart;
    BossKey& m_bossKey;
    ReadingAppearance* m_appearance = nullptr;
    QString m_bossKeyNotice;
};
