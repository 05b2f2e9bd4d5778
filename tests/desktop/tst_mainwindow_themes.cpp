#include "../reader/ReadingFixture.h"

#include "desktop/ColorSwatch.h"
#include "desktop/MainWindow.h"
#include "desktop/SettingsModule.h"
#include "desktop/SettingsPage.h"
#include "desktop/ThemeController.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"

#include "FakeAutoStart.h"
#include "FakeGlobalHotKey.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

// Themes and full-screen reading in the whole main window: the page, the lists and the
// stored colours follow the theme; F11 leaves only the text on the screen.
class TestMainWindowThemes : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void ctrlDTurnsTheWholeWindowNightAndBack();
    void settingsPageColoursAreTheCustomTheme();
    void f11ReadsFullScreenAndEscLeaves();

private:
    void load();
    QString contentStyle();
    QColor chapterListBase() const { return m_window->readingPage()->chapterList()->palette().color(QPalette::Base); }

    std::unique_ptr<ReadingFixture> m_fx;
    FakeAutoStart m_autoStart;
    std::unique_ptr<FakeGlobalHotKey> m_hotKey;
    std::unique_ptr<SettingsModule> m_settings;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<ThemeController> m_themes;
};

void TestMainWindowThemes::init()
{
    m_fx = std::make_unique<ReadingFixture>();
    m_fx->state.downloadFolder = m_fx->dir.filePath(QStringLiteral("TxtBook"));
    SettingsRow row = *m_fx->library.settings();
    row.txtColor = QStringLiteral("102030");
    row.backColor = QStringLiteral("F0E0D0");
    row.txtSize = QStringLiteral("大号");
    QVERIFY(m_fx->library.saveSettings(row));
    m_hotKey = std::make_unique<FakeGlobalHotKey>();
    m_settings = std::make_unique<SettingsModule>(m_fx->library, m_fx->state, m_fx->dialogs, m_fx->pickers, m_autoStart,
                                                  *m_hotKey);
    m_window = std::make_unique<MainWindow>(m_fx->services);
    m_window->setSettings(m_settings.get());
    m_themes = std::make_unique<ThemeController>(m_fx->library, *m_window, m_settings.get());
}

void TestMainWindowThemes::cleanup()
{
    m_themes.reset();
    m_window.reset();
    m_settings.reset();
    m_hotKey.reset();
    m_fx.reset();
}

void TestMainWindowThemes::load()
{
    m_window->formLoad();
    m_themes->load();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->readingPage()->view()->isPageLoaded(), 20000);
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

QString TestMainWindowThemes::contentStyle()
{
    const QString read =
        QStringLiteral("(function(){var e=document.getElementById('Content_Txt');"
                       "return [e.style.color,e.style.backgroundColor,e.style.fontSize].join('/');})()");
    return runJs(m_window->readingPage()->view(), read).toString();
}

void TestMainWindowThemes::ctrlDTurnsTheWholeWindowNightAndBack()
{
    load();
    QVERIFY(chapterListBase().lightness() > 200);
    QCOMPARE(m_themes->currentKey(), QStringLiteral("custom"));

    QTest::keyClick(m_window->readingPage()->chapterList(), Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(m_themes->currentKey(), QStringLiteral("night"));
    QVERIFY2(chapterListBase().lightness() < 60, qPrintable(chapterListBase().name()));
    auto* shelfList = m_window->findChild<QAbstractItemView*>(QStringLiteral("ListView1"));
    QVERIFY(shelfList);
    QVERIFY(shelfList->palette().color(QPalette::Base).lightness() < 60);
    QVERIFY(QApplication::palette().color(QPalette::Window).lightness() < 60);
    auto* tree = m_window->findChild<QTreeWidget*>(QStringLiteral("TreeView1"));
    QVERIFY(tree);
    QTreeWidgetItem* category = tree->topLevelItem(0)->child(0);
    QVERIFY2(category->background(0).color().lightness() < 60, qPrintable(category->background(0).color().name()));
    QCOMPARE(m_fx->library.txtColor().value(), QStringLiteral("A9A59B"));
    QCOMPARE(m_fx->library.backColor().value(), QStringLiteral("1C1D20"));
    QCOMPARE(m_fx->library.option(QStringLiteral("ReadingTheme")).value(), QStringLiteral("night"));
    QTRY_COMPARE_WITH_TIMEOUT(contentStyle(), QStringLiteral("rgb(169, 165, 155)/rgb(28, 29, 32)/18px"), 5000);
    auto* page = m_window->page(5)->findChild<SettingsPage*>();
    QCOMPARE(page->findChild<ColorSwatch*>(QStringLiteral("Picture6"))->color(), QColor(0xA9, 0xA5, 0x9B));
    QVERIFY(m_window->findChild<QAction*>(QStringLiteral("Theme_night"))->isChecked());

    // Back to the user's own colours, and the light lists.
    QTest::keyClick(m_window->readingPage()->chapterList(), Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(m_fx->library.txtColor().value(), QStringLiteral("102030"));
    QCOMPARE(m_fx->library.backColor().value(), QStringLiteral("F0E0D0"));
    QVERIFY(chapterListBase().lightness() > 200);
    QTRY_COMPARE_WITH_TIMEOUT(contentStyle(), QStringLiteral("rgb(16, 32, 48)/rgb(240, 224, 208)/18px"), 5000);
}

void TestMainWindowThemes::settingsPageColoursAreTheCustomTheme()
{
    load();
    m_window->findChild<QAction*>(QStringLiteral("Theme_eyecare"))->trigger();
    QCOMPARE(m_fx->library.backColor().value(), QStringLiteral("C7EDCC"));

    // A save of the settings page keeps the theme's colours and size, then its own colours.
    m_window->selectToolBar(5);
    auto* page = m_window->page(5)->findChild<SettingsPage*>();
    QTest::mouseClick(page->findChild<QPushButton*>(QStringLiteral("SaveSettings")), Qt::LeftButton);
    QCOMPARE(m_themes->currentKey(), QStringLiteral("eyecare"));
    m_fx->pickers.nextColor(QColor(0, 0, 255));
    QTest::mouseClick(page->findChild<QPushButton*>(QStringLiteral("ChooseBackColor")), Qt::LeftButton);
    QTest::mouseClick(page->findChild<QPushButton*>(QStringLiteral("SaveSettings")), Qt::LeftButton);
    QCOMPARE(m_themes->currentKey(), QStringLiteral("custom"));
    QVERIFY(m_window->findChild<QAction*>(QStringLiteral("Theme_custom"))->isChecked());
    QCOMPARE(m_fx->library.backColor().value(), QStringLiteral("0000FF"));
}

void TestMainWindowThemes::f11ReadsFullScreenAndEscLeaves()
{
    load();
    m_window->selectToolBar(1);
    QTest::keyClick(m_window.get(), Qt::Key_F11);
    QVERIFY(m_window->isFullScreenReading());
    QCOMPARE(m_window->currentPage(), 2);
    ReadingPage* reading = m_window->readingPage();
    QVERIFY(!m_window->findChild<QToolBar*>(QStringLiteral("Toolbar1"))->isVisible());
    QVERIFY(!reading->findChild<QToolBar*>(QStringLiteral("Toolbar2"))->isVisible());
    QVERIFY(!reading->chapterList()->isVisible());
    QTRY_COMPARE(reading->view()->size(), m_window->size());

    // Esc pressed in the page itself.
    QTRY_VERIFY_WITH_TIMEOUT(runJs(reading->view(), QStringLiteral("window.readerChannelReady === true")).toBool(),
                             10000);
    QTRY_COMPARE(QApplication::focusWidget(), reading->view()->focusProxy());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_VERIFY(!m_window->isFullScreenReading());
    QVERIFY(m_window->findChild<QToolBar*>(QStringLiteral("Toolbar1"))->isVisible());
    QVERIFY(reading->findChild<QToolBar*>(QStringLiteral("Toolbar2"))->isVisible());
    QVERIFY(reading->chapterList()->isVisible());
    QVERIFY(reading->view()->width() < m_window->width() - 100);
}

QTEST_MAIN(TestMainWindowThemes)
#include "tst_mainwindow_themes.moc"
