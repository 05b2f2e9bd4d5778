#pragma once

#include <QWidget>

class ColorSwatch;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class SettingsController;
struct SettingsInput;
struct SettingsView;

// Page 5 of the main window: the download folder, start at log-on, the boss key and the
// reading page's colours and size. Edits stay on the page until "保存设置".
class SettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit SettingsPage(SettingsController& controller, QWidget* parent = nullptr);

    // The main window's load: read the stored values, start the boss key, style the
    // reading page and show the values here.
    void load();
    void showValues(const SettingsView& view);
    SettingsInput input() const;
    // The reading colours changed elsewhere (a theme): the swatches follow, other edits stay.
    void showColors(const QColor& txtColor, const QColor& backColor);

private:
    void chooseFolder();
    void chooseColor(ColorSwatch* swatch);
    void save();
    void showBossKeyNotice();

    SettingsController& m_controller;
    QLineEdit* m_path = nullptr;
    QRadioButton* m_autoRunYes = nullptr;
    QRadioButton* m_autoRunNo = nullptr;
    QCheckBox* m_reopenLastBook = nullptr;
    QComboBox* m_modifier = nullptr;
    QLineEdit* m_key = nullptr;
    QLabel* m_bossKeyNotice = nullptr;
    ColorSwatch* m_txtColor = nullptr;
    QComboBox* m_txtSize = nullptr;
    ColorSwatch* m_backColor = nullptr;
};
