#include "desktop/ThemeController.h"

#include "app/LibraryDatabase.h"
#include "app/StripedBackground.h"
#include "common/SharedRoutines.h"
#include "desktop/MainWindow.h"
#include "desktop/SettingsModule.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"

#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <QStyle>
#include <QStyleFactory>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace {

const QString kThemeOption = QStringLiteral("ReadingTheme");
const QString kPreviousOption = QStringLiteral("PreviousTheme");
const QString kCustomOption = QStringLiteral("CustomColors");
const char* const kDaySheet = "quillmereDaySheet";

// Widgets that paint their own light panels; at night they take these instead.
struct DarkSheet {
    const char* objectName;
    const char* sheet;
};
const DarkSheet kDarkSheets[] = {
    {"Toolbar1", "QToolBar#Toolbar1 { border: none; border-bottom: 1px solid #3A3D41; spacing: 4px; padding: 2px 6px;"
                 " background: #26282B; }"
                 "QToolBar#Toolbar1 QToolButton { padding: 4px 10px; border-radius: 4px; color: #C8C4BA; }"
                 "QToolBar#Toolbar1 QToolButton:hover { background: #3A3D41; }"
                 "QToolBar#Toolbar1 QToolButton:checked { background: #44484D; font-weight: bold; }"},
    {"Toolbar3", "QToolBar#Toolbar3 { border: none; border-bottom: 1px solid #3A3D41; spacing: 2px; padding: 1px 4px;"
                 " background: #26282B; }"
                 "QToolBar#Toolbar3 QToolButton { padding: 3px 8px; border-radius: 3px; color: #C8C4BA; }"
                 "QToolBar#Toolbar3 QToolButton:hover { background: #3A3D41; }"
                 "QToolBar#Toolbar3 QToolButton:checked { background: #44484D; color: #E08A4F; font-weight: bold; }"},
    {"FindBar", "#FindBar { background: #2B2D30; border: 1px solid #3A3D41; border-radius: 5px; }"},
    {"Picture1", "QFrame#Picture1 { background: #2B2D30; border: 1px solid #3A3D41; border-radius: 4px; }"},
};

QColor colorOf(const QString& hex)
{
    return hexToColor(hex);
}

} // namespace

ThemeController::ThemeController(LibraryDatabase& library, MainWindow& window, SettingsModule* settings,
                                 QObject* parent)
    : QObject(parent), m_library(library), m_window(window), m_settings(settings),
      m_lightPalette(QApplication::palette())
{
    m_menu = new QMenu(QStringLiteral("主题"), &window);
    m_menu->setObjectName(QStringLiteral("Menue_Theme"));
    m_group = new QActionGroup(m_menu);
    m_group->setExclusive(true);
    QList<ReadingTheme> themes = ReadingThemes::presets();
    themes.append({ReadingThemes::kCustom, ReadingThemes::nameOf(ReadingThemes::kCustom), {}, {}, false});
    for (const ReadingTheme& theme : themes) {
        QAction* action = m_menu->addAction(theme.name);
        action->setObjectName(QStringLiteral("Theme_") + theme.key);
        action->setData(theme.key);
        action->setCheckable(true);
        m_group->addAction(action);
        connect(action, &QAction::triggered, this, [this, key = theme.key] { choose(key); });
    }
    m_menu->addSeparator();
    m_night = m_menu->addAction(QStringLiteral("夜间模式开关"));
    m_night->setObjectName(QStringLiteral("Theme_ToggleNight"));
    m_night->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    m_night->setShortcutContext(Qt::WindowShortcut);
    window.addAction(m_night);
    connect(m_night, &QAction::triggered, this, &ThemeController::toggleNight);

    window.readingPage()->addToolMenu(m_menu);
    if (m_settings)
        m_settings->setReadingAppearance(this);
    syncMenu();
}

void ThemeController::load()
{
    m_txtSize = m_library.txtSize().value_or(m_txtSize);
    const QString txt = m_library.txtColor().value_or(QString());
    const QString back = m_library.backColor().value_or(QString());
    m_switch.restore(colorToHex(colorOf(txt)), colorToHex(colorOf(back)),
                     m_library.option(kPreviousOption).value_or(QString()),
                     m_library.option(kCustomOption).value_or(QString()));
    m_loaded = true;
    applyWindowLook(m_switch.isDark());
    syncMenu();
}

bool ThemeController::choose(const QString& key)
{
    if (!m_switch.choose(key)) {
        syncMenu();
        return false;
    }
    commit();
    return true;
}

void ThemeController::toggleNight()
{
    m_switch.toggleNight();
    commit();
}

void ThemeController::applyAppearance(const QString& txtColor, const QString& txtSize, const QString& backColor)
{
    m_txtSize = txtSize;
    m_window.readingPage()->view()->applyAppearance(txtColor, txtSize, backColor);
    if (!m_loaded)
        return;
    const QString before = ThemeSwitch::entry(m_switch.current());
    m_switch.colorsSaved(txtColor, backColor);
    if (ThemeSwitch::entry(m_switch.current()) == before)
        return;
    m_library.setOption(kThemeOption, m_switch.current().key);
    m_library.setOption(kPreviousOption, ThemeSwitch::entry(m_switch.previous()));
    m_library.setOption(kCustomOption, ThemeSwitch::entry(m_switch.custom()));
    applyWindowLook(m_switch.isDark());
    syncMenu();
    emit themeChanged(m_switch.current().key);
}

void ThemeController::commit()
{
    const ThemeSwitch::State& now = m_switch.current();
    m_library.setReadingColors(now.txtColor, now.backColor);
    m_library.setOption(kThemeOption, now.key);
    m_library.setOption(kPreviousOption, ThemeSwitch::entry(m_switch.previous()));
    m_library.setOption(kCustomOption, ThemeSwitch::entry(m_switch.custom()));
    m_txtSize = m_library.txtSize().value_or(m_txtSize);
    m_window.readingPage()->view()->applyAppearance(now.txtColor, m_txtSize, now.backColor);
    if (m_settings)
        m_settings->showColors(colorOf(now.txtColor), colorOf(now.backColor));
    applyWindowLook(m_switch.isDark());
    syncMenu();
    emit themeChanged(now.key);
}

void ThemeController::applyWindowLook(bool dark)
{
    // Fusion draws scroll bars, frames and headers from the palette alone, so they go dark too.
    if (dark && QApplication::style()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0)
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(ReadingThemes::windowPalette(dark, m_lightPalette));

    for (QAbstractItemView* view : m_window.findChildren<QAbstractItemView*>()) {
        if (view->alternatingRowColors())
            SetStripedBackground(view, ReadingThemes::stripeFirst(dark), ReadingThemes::stripeSecond(dark));
    }
    // The category tree paints its rows itself, the chosen one as selected.
    for (QTreeWidget* tree : m_window.findChildren<QTreeWidget*>()) {
        if (tree->alternatingRowColors())
            continue;
        // Its palette is its own copy (the chosen node keeps its highlight without the focus).
        QPalette palette = tree->palette();
        const QPalette app = QApplication::palette();
        for (QPalette::ColorRole role : {QPalette::Base, QPalette::Text, QPalette::WindowText, QPalette::Window,
                                         QPalette::Highlight, QPalette::HighlightedText}) {
            for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                palette.setColor(group, role, app.color(QPalette::Active, role));
        }
        tree->setPalette(palette);
        for (QTreeWidgetItemIterator it(tree); *it; ++it) {
            const bool chosen = *it == tree->currentItem();
            (*it)->setBackground(0, palette.color(chosen ? QPalette::Highlight : QPalette::Base));
            (*it)->setForeground(0, palette.color(chosen ? QPalette::HighlightedText : QPalette::WindowText));
        }
    }
    for (const DarkSheet& entry : kDarkSheets) {
        for (QWidget* widget : m_window.findChildren<QWidget*>(QString::fromLatin1(entry.objectName))) {
            if (!widget->property(kDaySheet).isValid())
                widget->setProperty(kDaySheet, widget->styleSheet());
            widget->setStyleSheet(dark ? QString::fromLatin1(entry.sheet) : widget->property(kDaySheet).toString());
        }
    }
}

void ThemeController::syncMenu()
{
    const QString key = m_switch.current().key;
    for (QAction* action : m_group->actions()) {
        const QString own = action->data().toString();
        action->setChecked(own == key);
        if (own == ReadingThemes::kCustom)
            action->setEnabled(m_switch.custom().key == ReadingThemes::kCustom);
    }
}
