#include "../reader/ReadingFixture.h"

#include "desktop/MainWindow.h"
#include "desktop/SettingsModule.h"
#include "reader/ReadAloudController.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"
#include "reader/VoicePanel.h"

#include "FakeAutoStart.h"
#include "FakeGlobalHotKey.h"

#include <QAction>
#include <QComboBox>
#include <QSlider>
#include <QtTest>

// Reading aloud in the main window: the voice list filled at load, and the boss key
// holding the speech while the windows are hidden.
class TestMainWindowReadAloud : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void loadListsVoicesWithMandarinCurrent();
    void bossKeyPausesAndResumesSpeech();
    void rateAndVolumeReachTheEngineAndAreKept();

private:
    std::unique_ptr<ReadingFixture> m_fx;
    FakeAutoStart m_autoStart;
    std::unique_ptr<FakeGlobalHotKey> m_hotKey;
    std::unique_ptr<SettingsModule> m_settings;
    std::unique_ptr<MainWindow> m_window;
};

void TestMainWindowReadAloud::init()
{
    m_fx = std::make_unique<ReadingFixture>();
    m_fx->state.downloadFolder = m_fx->dir.filePath(QStringLiteral("TxtBook"));
    SettingsRow row = *m_fx->library.settings();
    row.bossKey = QStringLiteral("ctrl|b");
    QVERIFY(m_fx->library.saveSettings(row));
    m_fx->speech.setVoices({{QStringLiteral("af"), QStringLiteral("Afrikaans"), QStringLiteral("af")},
                            {QStringLiteral("sit/cmn"), QStringLiteral("Chinese (Mandarin)"), QStringLiteral("cmn")},
                            {QStringLiteral("zz"), QStringLiteral("Zulu"), QStringLiteral("zu")}});
    m_hotKey = std::make_unique<FakeGlobalHotKey>();
    m_settings = std::make_unique<SettingsModule>(m_fx->library, m_fx->state, m_fx->dialogs, m_fx->pickers, m_autoStart,
                                                  *m_hotKey);
    m_window = std::make_unique<MainWindow>(m_fx->services);
    m_window->setSettings(m_settings.get());
    m_window->formLoad();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->readingPage()->view()->isPageLoaded(), 20000);
}

void TestMainWindowReadAloud::cleanup()
{
    m_window.reset();
    m_settings.reset();
    m_hotKey.reset();
    m_fx.reset();
}

void TestMainWindowReadAloud::loadListsVoicesWithMandarinCurrent()
{
    QComboBox* combo = m_window->readingPage()->voicePanel()->voiceList();
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(0), QStringLiteral("普通话 — Chinese (Mandarin)"));
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(m_fx->speech.currentVoice(), 1);
}

void TestMainWindowReadAloud::bossKeyPausesAndResumesSpeech()
{
    ReadingPage* page = m_window->readingPage();
    page->toolbarButton(11)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_fx->speech.calls.size(), 1, 5000);
    QCOMPARE(page->toolbarButton(11)->toolTip(), QStringLiteral("暂停朗读"));

    m_hotKey->press();
    QVERIFY(!m_window->isVisible());
    QVERIFY(m_fx->speech.isPaused());
    m_hotKey->press();
    QVERIFY(m_window->isVisible());
    QVERIFY(!m_fx->speech.isPaused());
    QCOMPARE(m_fx->speech.pauses, 1);
    QCOMPARE(m_fx->speech.resumes, 1);
    QCOMPARE(page->toolbarButton(11)->toolTip(), QStringLiteral("暂停朗读"));
}

void TestMainWindowReadAloud::rateAndVolumeReachTheEngineAndAreKept()
{
    // A library without stored values starts at the normal speed and full volume.
    QCOMPARE(m_fx->speech.rates, QList<int>{100});
    QCOMPARE(m_fx->speech.volumes, QList<int>{100});
    VoicePanel* panel = m_window->readingPage()->voicePanel();
    QCOMPARE(panel->rateSlider()->value(), 100);
    panel->rateSlider()->setValue(150);
    panel->volumeSlider()->setValue(40);
    QCOMPARE(m_fx->speech.rates.last(), 150);
    QCOMPARE(m_fx->speech.volumes.last(), 40);
    QCOMPARE(m_fx->library.option(QStringLiteral("voiceRate")).value_or(QString()), QStringLiteral("150"));
    QCOMPARE(m_fx->library.option(QStringLiteral("voiceVolume")).value_or(QString()), QStringLiteral("40"));
}

QTEST_MAIN(TestMainWindowReadAloud)
#include "tst_mainwindow_readaloud.moc"
