#include "../reader/ReadingFixture.h"

#include "desktop/ColorSwatch.h"
#include "desktop/MainWindow.h"
#include "desktop/SettingsModule.h"
#include "desktop/SettingsPage.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"

#include "FakeAutoStart.h"
#include "FakeGlobalHotKey.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// The settings page as page 5 of the main window: loaded with the window, saved into the
// reading page that is showing, and the boss key started from the stored value.
class TestMainWindowSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void loadFillsPage5AndStartsBossKey();
    void saveRestylesReadingPageWithoutReload();
    void bossKeyHidesTheMainWindow();

private:
    void load();
    QString contentStyle();

    std::unique_ptr<ReadingFixture> m_fx;
    FakeAutoStart m_autoStart;
    std::unique_ptr<FakeGlobalHotKey> m_hotKey;
    std::unique_ptr<SettingsModule> m_settings;
    std::unique_ptr<MainWindow> m_window;
};

void TestMainWindowSettings::init()
{
    m_fx = std::make_unique<ReadingFixture>();
    m_fx->state.downloadFolder = m_fx->dir.filePath(QStringLiteral("TxtBook"));
    SettingsRow row = *m_fx->library.settings();
    row.bossKey = QStringLiteral("ctrl|b");
    row.txtColor = QStringLiteral("102030");
    row.backColor = QStringLiteral("F0E0D0");
    row.txtSize = QStringLiteral("大号");
    QVERIFY(m_fx->library.saveSettings(row));

    m_hotKey = std::make_unique<FakeGlobalHotKey>();
    m_settings = std::make_unique<SettingsModule>(m_fx->library, m_fx->state, m_fx->dialogs, m_fx->pickers, m_autoStart,
                                                  *m_hotKey);
    m_window = std::make_unique<MainWindow>(m_fx->services);
    m_window->setSettings(m_settings.get());
}

void TestMainWindowSettings::cleanup()
{
    m_window.reset();
    m_settings.reset();
    m_hotKey.reset();
    m_fx.reset();
}

void TestMainWindowSettings::load()
{
    m_window->formLoad();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->readingPage()->view()->isPageLoaded(), 20000);
}

QString TestMainWindowSettings::contentStyle()
{
    const QString read =
        QStringLiteral("(function(){var e=document.getElementById('Content_Txt');"
                       "return [e.style.color,e.style.backgroundColor,e.style.fontSize].join('/');})()");
    return runJs(m_window->readingPage()->view(), read).toString();
}

void TestMainWindowSettings::loadFillsPage5AndStartsBossKey()
{
    load();
    auto* page = m_window->page(5)->findChild<SettingsPage*>();
    QVERIFY(page);
    QCOMPARE(page->findChild<QLineEdit*>(QStringLiteral("Text4"))->text(), m_fx->state.downloadFolder);
    QCOMPARE(page->findChild<QComboBox*>(QStringLiteral("Combo2"))->currentText(), QStringLiteral("Ctrl"));
    QCOMPARE(page->findChild<QLineEdit*>(QStringLiteral("Text5"))->text(), QStringLiteral("B"));
    QCOMPARE(page->findChild<QComboBox*>(QStringLiteral("Combo4"))->currentText(), QStringLiteral("大号"));
    QCOMPARE(page->findChild<ColorSwatch*>(QStringLiteral("Picture6"))->color(), QColor(0x10, 0x20, 0x30));
    QCOMPARE(m_hotKey->modifiers(), int(GlobalHotKey::Ctrl));
    QCOMPARE(m_hotKey->keyCode(), int('B'));
    QTRY_COMPARE_WITH_TIMEOUT(contentStyle(), QStringLiteral("rgb(16, 32, 48)/rgb(240, 224, 208)/18px"), 5000);

    QCOMPARE(m_window->currentPage(), 2);
    m_window->toolbarButton(5)->trigger();
    QVERIFY(page->isVisible());
    QTRY_COMPARE(page->size(), m_window->page(5)->size());
}

void TestMainWindowSettings::saveRestylesReadingPageWithoutReload()
{
    load();
    // A mark in the page's script world: a reload would lose it.
    runJs(m_window->readingPage()->view(), QStringLiteral("window.notReloaded = true;"));
    m_window->selectToolBar(5);
    auto* page = m_window->page(5)->findChild<SettingsPage*>();
    m_fx->pickers.nextColor(QColor(1, 2, 3));
    QTest::mouseClick(page->findChild<QPushButton*>(QStringLiteral("ChooseTxtColor")), Qt::LeftButton);
    m_fx->pickers.nextColor(QColor(0, 0, 255));
    QTest::mouseClick(page->findChild<QPushButton*>(QStringLiteral("ChooseBackColor")), Qt::LeftButton);
    page->findChild<QComboBox*>(QStringLiteral("Combo4"))->setCurrentIndex(0);
    QTest::mouseClick(page->findChild<QPushButton*>(QStringLiteral("SaveSettings")), Qt::LeftButton);
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("恭喜你，参数设置成功！"));

    QTRY_COMPARE_WITH_TIMEOUT(contentStyle(), QStringLiteral("rgb(1, 2, 3)/rgb(0, 0, 255)/12px"), 5000);
    QCOMPARE(runJs(m_window->readingPage()->view(), QStringLiteral("window.notReloaded === true")).toBool(), true);
    QCOMPARE(m_fx->library.txtColor().value(), QStringLiteral("010203"));
    QCOMPARE(m_fx->library.backColor().value(), QStringLiteral("0000FF"));
    QCOMPARE(m_fx->library.txtSize().value(), QStringLiteral("小号"));
}

void TestMainWindowSettings::bossKeyHidesTheMainWindow()
{
    load();
    QVERIFY(m_window->isVisible());
    m_hotKey->press();
    QTRY_VERIFY(!m_window->isVisible());
    m_hotKey->press();
    QTRY_VERIFY(m_window->isVisible());
    QCOMPARE(m_window->currentPage(), 2);
}

QTEST_MAIN(TestMainWindowSettings)
#include "tst_mainwindow_settings.moc"
