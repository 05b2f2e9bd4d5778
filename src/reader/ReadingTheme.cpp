#include "reader/ReadingTheme.h"

#include <QRegularExpression>

namespace {

bool isHex(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^[0-9A-Fa-f]{6}$"));
    return re.match(text).hasMatch();
}

} // namespace

namespace ReadingThemes {

QList<ReadingTheme> presets()
{
    // 默认 is the new library's SysSet row; night keeps the text soft on a near-black ground.
    return {
        {kDefault, QStringLiteral("默认"), QStringLiteral("000000"), QStringLiteral("FBF7EE"), false},
        {QStringLiteral("eyecare"), QStringLiteral("护眼"), QStringLiteral("2B3A2B"), QStringLiteral("C7EDCC"), false},
        {QStringLiteral("parchment"), QStringLiteral("羊皮纸"), QStringLiteral("4A3520"), QStringLiteral("F2E4C6"),
         false},
        {kNight, QStringLiteral("夜间"), QStringLiteral("A9A59B"), QStringLiteral("1C1D20"), true},
    };
}

std::optional<ReadingTheme> preset(const QString& key)
{
    for (const ReadingTheme& theme : presets()) {
        if (theme.key == key)
            return theme;
    }
    return std::nullopt;
}

QString keyForColors(const QString& txtColor, const QString& backColor)
{
    for (const ReadingTheme& theme : presets()) {
        if (theme.txtColor.compare(txtColor, Qt::CaseInsensitive) == 0 &&
            theme.backColor.compare(backColor, Qt::CaseInsensitive) == 0)
            return theme.key;
    }
    return kCustom;
}

QString nameOf(const QString& key)
{
    if (const auto theme = preset(key))
        return theme->name;
    return QStringLiteral("自定义");
}

QPalette windowPalette(bool dark, const QPalette& light)
{
    if (!dark)
        return light;
    const QColor window(0x2B, 0x2D, 0x30);
    const QColor base(0x1E, 0x1F, 0x22);
    const QColor text(0xC8, 0xC4, 0xBA);
    const QColor muted(0x6E, 0x6C, 0x66);
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, stripeFirst(true));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x35, 0x38, 0x3C));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(0xFF, 0x8A, 0x65));
    p.setColor(QPalette::Highlight, QColor(0x3E, 0x5F, 0x80));
    p.setColor(QPalette::HighlightedText, QColor(0xF0, 0xF0, 0xF0));
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, muted);
    p.setColor(QPalette::Link, QColor(0x8A, 0xB4, 0xF8));
    p.setColor(QPalette::LinkVisited, QColor(0xB3, 0x9D, 0xDB));
    p.setColor(QPalette::Light, QColor(0x45, 0x48, 0x4D));
    p.setColor(QPalette::Midlight, QColor(0x3A, 0x3D, 0x41));
    p.setColor(QPalette::Mid, QColor(0x28, 0x2A, 0x2D));
    p.setColor(QPalette::Dark, QColor(0x18, 0x19, 0x1B));
    p.setColor(QPalette::Shadow, QColor(0x0A, 0x0A, 0x0B));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(QPalette::Disabled, role, muted);
    }
    return p;
}

QColor stripeFirst(bool dark)
{
    return dark ? QColor(0x25, 0x27, 0x2A) : QColor(236, 246, 255);
}

QColor stripeSecond(bool dark)
{
    return dark ? QColor(0x1E, 0x1F, 0x22) : QColor(Qt::white);
}

} // namespace ReadingThemes

ThemeSwitch::State ThemeSwitch::stateFor(const QString& txtColor, const QString& backColor)
{
    const QString key = ReadingThemes::keyForColors(txtColor, backColor);
    if (const auto theme = ReadingThemes::preset(key))
        return {key, theme->txtColor, theme->backColor};
    return {key, txtColor.toUpper(), backColor.toUpper()};
}

void ThemeSwitch::restore(const QString& txtColor, const QString& backColor, const QString& previous,
                          const QString& custom)
{
    m_current = stateFor(txtColor, backColor);
    m_previous = parse(previous).value_or(State());
    m_custom = parse(custom).value_or(State());
    if (m_current.key == ReadingThemes::kCustom)
        m_custom = m_current;
}

bool ThemeSwitch::isDark() const
{
    const auto theme = ReadingThemes::preset(m_current.key);
    return theme && theme->dark;
}

bool ThemeSwitch::choose(const QString& key)
{
    if (key == ReadingThemes::kCustom) {
        if (m_custom.key != ReadingThemes::kCustom)
            return false;
        moveTo(m_custom);
        return true;
    }
    const auto theme = ReadingThemes::preset(key);
    if (!theme)
        return false;
    moveTo({theme->key, theme->txtColor, theme->backColor});
    return true;
}

void ThemeSwitch::toggleNight()
{
    if (m_current.key != ReadingThemes::kNight) {
        choose(ReadingThemes::kNight);
        return;
    }
    if (m_previous.key.isEmpty() || m_previous.key == ReadingThemes::kNight)
        choose(ReadingThemes::kDefault);
    else
        moveTo(m_previous);
}

void ThemeSwitch::colorsSaved(const QString& txtColor, const QString& backColor)
{
    const State saved = stateFor(txtColor, backColor);
    if (saved.key == m_current.key && saved.txtColor == m_current.txtColor && saved.backColor == m_current.backColor)
        return;
    moveTo(saved);
}

void ThemeSwitch::moveTo(State next)
{
    if (next.key == m_current.key && next.txtColor == m_current.txtColor && next.backColor == m_current.backColor)
        return;
    m_previous = m_current;
    m_current = next;
    if (next.key == ReadingThemes::kCustom)
        m_custom = next;
}

QString ThemeSwitch::entry(const State& state)
{
    if (state.key.isEmpty())
        return QString();
    return state.key + QLatin1Char('|') + state.txtColor + QLatin1Char('|') + state.backColor;
}

std::optional<ThemeSwitch::State> ThemeSwitch::parse(const QString& entry)
{
    const QStringList parts = entry.split(QLatin1Char('|'));
    if (parts.size() != 3 || parts[0].isEmpty() || !isHex(parts[1]) || !isHex(parts[2]))
        return std::nullopt;
    if (parts[0] != ReadingThemes::kCustom && !ReadingThemes::preset(parts[0]))
        return std::nullopt;
    return State{parts[0], parts[1].toUpper(), parts[2].toUpper()};
}
