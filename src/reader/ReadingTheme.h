#pragma once

#include <QColor>
#include <QList>
#include <QPalette>
#include <QString>

#include <optional>

// One look of the reader: the reading page's text and background colours (RRGGBB, no "#",
// as TxtColor and BackColor hold them) and whether the whole window goes dark with it.
struct ReadingTheme {
    QString key;  // "default", "eyecare", "parchment", "night"; "custom" for the user's own colours
    QString name; // shown in the theme menu
    QString txtColor;
    QString backColor;
    bool dark = false;
};

namespace ReadingThemes {

inline const QString kCustom = QStringLiteral("custom");
inline const QString kNight = QStringLiteral("night");
inline const QString kDefault = QStringLiteral("default");

// 默认, 护眼, 羊皮纸, 夜间, in menu order.
QList<ReadingTheme> presets();
std::optional<ReadingTheme> preset(const QString& key);
// The preset whose two colours these are (in any letter case), otherwise "custom".
QString keyForColors(const QString& txtColor, const QString& backColor);
// "自定义" for "custom".
QString nameOf(const QString& key);

// The window's palette: `light` as it is for the light themes, a dark one for night.
QPalette windowPalette(bool dark, const QPalette& light);
// The two row colours of the striped lists.
QColor stripeFirst(bool dark);
QColor stripeSecond(bool dark);

} // namespace ReadingThemes

// The chosen theme with what it replaced: Ctrl+D goes to night and back to whatever was
// shown before, the user's own colours included.
class ThemeSwitch {
public:
    struct State {
        QString key;
        QString txtColor;
        QString backColor;
    };

    // The stored state: the colours in SysSet decide the theme (the settings page may have
    // changed them since), `previous` and `custom` are the entries written by entry().
    void restore(const QString& txtColor, const QString& backColor, const QString& previous, const QString& custom);

    const State& current() const { return m_current; }
    const State& previous() const { return m_previous; }
    // The user's own colours last seen; empty colours when there were none.
    const State& custom() const { return m_custom; }
    bool isDark() const;

    // A preset by key, or "custom" for the user's own colours last seen. False for an
    // unknown key or custom colours never seen.
    bool choose(const QString& key);
    // Night, or back from night to the theme before it (默认 when there was none).
    void toggleNight();
    // The settings page saved these colours.
    void colorsSaved(const QString& txtColor, const QString& backColor);

    // "key|TXT|BACK", the stored form of a state; parse() reads it back.
    static QString entry(const State& state);
    static std::optional<State> parse(const QString& entry);

private:
    void moveTo(State next);
    static State stateFor(const QString& txtColor, const QString& backColor);

    State m_current{ReadingThemes::kDefault, QString(), QString()};
    State m_previous;
    State m_custom;
};
