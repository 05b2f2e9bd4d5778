#include "app/LibraryDatabase.h"
#include "reader/ReadAloudController.h"
#include "reader/SpokenPage.h"

#include "FakeDesktopLauncher.h"
#include "FakeSpeechEngine.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The page's text is handed over when the test says so, as the web page answers later.
class FakeSpokenPage : public SpokenPage {
public:
    void takeSpokenText(std::function<void(const QString&)> done) override { m_pending.append(std::move(done)); }
    void highlightSpoken(int position, int length) override { highlights.append({position, length}); }

    int pending() const { return m_pending.size(); }
    void answer(const QString& text)
    {
        if (!m_pending.isEmpty())
            m_pending.takeFirst()(text);
    }

    QList<QPair<int, int>> highlights;

private:
    QList<std::function<void(const QString&)>> m_pending;
};

SpeechVoice voice(const QString& id, const QString& language, bool switchesLanguage = false)
{
    return {id, QStringLiteral("Voice ") + id, language, switchesLanguage};
}

} // namespace

// Buttons 11 to 14, Combo1 and the boss key against a recording engine.
class TestReadAloud : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void startPauseResumeEnd();
    void emptyChapterSpeaksThePhrase();
    void stopReturnsToIdleThroughItsEmptyStream_data();
    void stopReturnsToIdleThroughItsEmptyStream();
    void voiceChosenWhilePaused();
    void clicksBeforeTheTextArrives();
    void wordsHighlightOnlyThePagesStream();
    void voiceList_data();
    void voiceList();
    void voicesListedAfterLoad();
    void noVoicesStillEnds();
    void bossKeyPausesWhileHidden();
    void storedRateAndVolumeAtLoad_data();
    void storedRateAndVolumeAtLoad();

private:
    // Button 11 from idle with the page answering `text`; returns the stream spoken.
    int start(const QString& text = QStringLiteral("第一章 正文"));
    void checkButton(const QString& tip, int image);

    std::unique_ptr<FakeSpeechEngine> m_engine;
    std::unique_ptr<FakeSpokenPage> m_page;
    std::unique_ptr<FakeDesktopLauncher> m_desktop;
    std::unique_ptr<ReadAloudController> m_ctl;
};

void TestReadAloud::init()
{
    m_engine = std::make_unique<FakeSpeechEngine>();
    m_engine->setVoices(
        {voice(QStringLiteral("en"), QStringLiteral("en-gb")), voice(QStringLiteral("cmn"), QStringLiteral("cmn"))});
    m_page = std::make_unique<FakeSpokenPage>();
    m_desktop = std::make_unique<FakeDesktopLauncher>();
    m_ctl = std::make_unique<ReadAloudController>(*m_engine, *m_page, *m_desktop,
                                                  QStringLiteral("/opt/quillmere/help/voiceread.html"));
    m_ctl->load();
}

void TestReadAloud::cleanup()
{
    m_ctl.reset();
    m_desktop.reset();
    m_page.reset();
    m_engine.reset();
}

int TestReadAloud::start(const QString& text)
{
    m_ctl->readButtonClick();
    m_page->answer(text);
    return m_engine->lastCall().stream;
}

void TestReadAloud::checkButton(const QString& tip, int image)
{
    QCOMPARE(m_ctl->readToolTip(), tip);
    QCOMPARE(m_ctl->readImage(), image);
}

void TestReadAloud::startPauseResumeEnd()
{
    QSignalSpy changes(m_ctl.get(), &ReadAloudController::stateChanged);
    checkButton(QStringLiteral("开始朗读"), 8);

    const int stream = start(QStringLiteral("天地玄黄"));
    QCOMPARE(m_engine->lastCall().text, QStringLiteral("天地玄黄"));
    QCOMPARE(m_engine->lastCall().flags, int(SpeechEngine::SpeakAsync));
    checkButton(QStringLiteral("暂停朗读"), 9);

    m_ctl->readButtonClick();
    QCOMPARE(m_engine->pauses, 1);
    checkButton(QStringLiteral("继续朗读"), 8);

    m_ctl->readButtonClick();
    QCOMPARE(m_engine->resumes, 1);
    checkButton(QStringLiteral("暂停朗读"), 9);

    m_engine->finish(stream);
    checkButton(QStringLiteral("开始朗读"), 8);
    QCOMPARE(changes.size(), 4);
    QCOMPARE(m_engine->calls.size(), 1);
}

void TestReadAloud::emptyChapterSpeaksThePhrase()
{
    const int stream = start(QString());
    QCOMPARE(m_engine->lastCall().text, QStringLiteral("没有可朗读内容"));
    QCOMPARE(m_engine->lastCall().flags, int(SpeechEngine::SpeakAsync));
    checkButton(QStringLiteral("暂停朗读"), 9);
    // The phrase is not in the page: its words highlight nothing.
    m_engine->sayWord(stream, 0, 1);
    QVERIFY(m_page->highlights.isEmpty());
    m_engine->finish(stream);
    checkButton(QStringLiteral("开始朗读"), 8);
}

void TestReadAloud::stopReturnsToIdleThroughItsEmptyStream_data()
{
    QTest::addColumn<bool>("paused");
    QTest::newRow("while speaking") << false;
    QTest::newRow("while paused") << true;
}

void TestReadAloud::stopReturnsToIdleThroughItsEmptyStream()
{
    QFETCH(bool, paused);
    const int reading = start();
    if (paused)
        m_ctl->readButtonClick();
    m_ctl->stopButtonClick();
    QCOMPARE(m_engine->lastCall().text, QString());
    QCOMPARE(m_engine->lastCall().flags, int(SpeechEngine::PurgeBeforeSpeak));
    QVERIFY(!m_engine->queued().contains(reading));
    QVERIFY(!m_engine->isPaused());
    // Still the old state until the empty stream has ended.
    QVERIFY(m_ctl->state() != ReadAloudController::State::Idle);
    m_engine->finish(m_engine->lastCall().stream);
    checkButton(QStringLiteral("开始朗读"), 8);
}

void TestReadAloud::voiceChosenWhilePaused()
{
    start();
    m_ctl->readButtonClick();
    m_ctl->voicePanelButtonClick();
    QVERIFY(m_ctl->isPanelVisible());
    const int english = m_ctl->voiceEntries().indexOf(QStringLiteral("Voice en"));

    m_ctl->voiceChosen(english);
    QCOMPARE(m_engine->lastCall().text, QString());
    QCOMPARE(m_engine->lastCall().flags, int(SpeechEngine::PurgeBeforeSpeak));
    QCOMPARE(m_engine->currentVoice(), 0);
    QCOMPARE(m_ctl->currentEntry(), english);
    checkButton(QStringLiteral("开始朗读"), 8);
    QVERIFY(!m_ctl->isPanelVisible());

    // The purge's own empty stream ending later changes nothing; reading starts afresh.
    m_engine->finishAll();
    checkButton(QStringLiteral("开始朗读"), 8);
    start(QStringLiteral("再读"));
    QCOMPARE(m_engine->lastCall().text, QStringLiteral("再读"));
    QVERIFY(!m_engine->isPaused());
    checkButton(QStringLiteral("暂停朗读"), 9);
}

void TestReadAloud::clicksBeforeTheTextArrives()
{
    // Paused before the page answered: the text is queued and held at once.
    m_ctl->readButtonClick();
    checkButton(QStringLiteral("暂停朗读"), 9);
    m_ctl->readButtonClick();
    m_page->answer(QStringLiteral("迟到的文字"));
    QCOMPARE(m_engine->lastCall().text, QStringLiteral("迟到的文字"));
    QVERIFY(m_engine->isPaused());
    checkButton(QStringLiteral("继续朗读"), 8);
    m_ctl->stopButtonClick();
    m_engine->finishAll();

    // Stopped before the page answered: the text is never spoken.
    m_ctl->readButtonClick();
    m_ctl->stopButtonClick();
    const int calls = m_engine->calls.size();
    m_page->answer(QStringLiteral("不要读"));
    QCOMPARE(m_engine->calls.size(), calls);
    m_engine->finishAll();
    checkButton(QStringLiteral("开始朗读"), 8);
}

void TestReadAloud::wordsHighlightOnlyThePagesStream()
{
    const int first = start(QStringLiteral("第一段"));
    m_engine->sayWord(first, 0, 1);
    m_engine->sayWord(first, 2, 1);
    QCOMPARE(m_page->highlights, (QList<QPair<int, int>>{{0, 1}, {2, 1}}));

    m_ctl->stopButtonClick();
    m_engine->finishAll();
    const int second = start(QStringLiteral("第二段"));
    m_page->highlights.clear();
    // A late word of the first reading would land in the second's text: it is ignored.
    emit m_engine->word(first, 1, 1);
    m_engine->sayWord(second, 1, 2);
    QCOMPARE(m_page->highlights, (QList<QPair<int, int>>{{1, 2}}));
}

void TestReadAloud::voiceList_data()
{
    QTest::addColumn<QList<SpeechVoice>>("voices");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("current");

    // espeak-ng 1.51 as it is: its cmn voice spells most characters as English pinyin.
    const QList<SpeechVoice> espeak = {
        voice("af", "af"),         voice("cmn", "cmn", true), voice("cmn-pinyin", "cmn"), voice("en", "en-gb"),
        voice("hak", "hak", true), voice("vi", "vi"),         voice("yue", "yue"),
    };
    QTest::newRow("espeak-ng: Mandarin that reads as Mandarin first and current")
        << espeak
        << QStringList{"普通话 — Voice cmn-pinyin",
                       "粤语 — Voice yue",
                       "普通话 — Voice cmn",
                       "客家话 — Voice hak",
                       "Voice af",
                       "Voice en",
                       "Voice vi"}
        << "普通话 — Voice cmn-pinyin";
    QTest::newRow("Mandarin later among the Chinese")
        << QList<SpeechVoice>{voice("en", "en-us"), voice("yue", "yue"), voice("zh", "zh-CN")}
        << QStringList{"粤语 — Voice yue", "普通话 — Voice zh", "Voice en"} << "普通话 — Voice zh";
    QTest::newRow("only a Mandarin voice that switches: still Mandarin")
        << QList<SpeechVoice>{voice("en", "en"), voice("cmn", "cmn", true)}
        << QStringList{"普通话 — Voice cmn", "Voice en"} << "普通话 — Voice cmn";
    QTest::newRow("Cantonese is not Mandarin: the last entry")
        << QList<SpeechVoice>{voice("yue", "zh-HK"), voice("en", "en"), voice("fr", "fr-fr")}
        << QStringList{"粤语 — Voice yue", "Voice en", "Voice fr"} << "Voice fr";
    QTest::newRow("one voice") << QList<SpeechVoice>{voice("en", "en")} << QStringList{"Voice en"} << "Voice en";
    QTest::newRow("none") << QList<SpeechVoice>{} << QStringList{} << QString();
}

void TestReadAloud::voiceList()
{
    QFETCH(QList<SpeechVoice>, voices);
    FakeSpeechEngine engine;
    engine.setVoices(voices);
    ReadAloudController ctl(engine, *m_page, *m_desktop, QString());
    QSignalSpy refills(&ctl, &ReadAloudController::voiceEntriesChanged);
    ctl.load();
    QTEST(ctl.voiceEntries(), "entries");
    QFETCH(QString, current);
    QCOMPARE(ctl.currentEntry() >= 0 ? ctl.voiceEntries().at(ctl.currentEntry()) : QString(), current);
    if (!current.isEmpty())
        QVERIFY(current.endsWith(engine.voices().at(engine.currentVoice()).description));
    QCOMPARE(refills.size(), 1);
}

void TestReadAloud::voicesListedAfterLoad()
{
    // The engine lists its voices on its own thread: they may come after the load step.
    FakeSpeechEngine engine;
    ReadAloudController ctl(engine, *m_page, *m_desktop, QString());
    ctl.load();
    QVERIFY(ctl.voiceEntries().isEmpty());
    QCOMPARE(engine.currentVoice(), -1);
    engine.setVoices({voice("en", "en"), voice("cmn", "cmn")});
    QCOMPARE(ctl.voiceEntries(), (QStringList{"普通话 — Voice cmn", "Voice en"}));
    QCOMPARE(engine.currentVoice(), 1);
    // A later list keeps the user's choice.
    ctl.voiceChosen(1);
    engine.setVoices(engine.voices());
    QCOMPARE(engine.voiceChanges, (QList<int>{1, 0}));
}

void TestReadAloud::noVoicesStillEnds()
{
    FakeSpeechEngine engine;
    ReadAloudController ctl(engine, *m_page, *m_desktop, QString());
    ctl.load();
    ctl.readButtonClick();
    m_page->answer(QStringLiteral("正文"));
    QCOMPARE(engine.calls.size(), 1);
    engine.finishAll();
    QCOMPARE(ctl.readToolTip(), QStringLiteral("开始朗读"));
    ctl.voiceChosen(0); // an empty Combo1 has no entry 0
    QVERIFY(engine.voiceChanges.isEmpty());
}

void TestReadAloud::bossKeyPausesWhileHidden()
{
    m_ctl->setWindowsHidden(true); // idle: nothing to hold
    m_ctl->setWindowsHidden(false);
    QCOMPARE(m_engine->pauses + m_engine->resumes, 0);

    start();
    m_ctl->setWindowsHidden(true);
    QCOMPARE(m_engine->pauses, 1);
    checkButton(QStringLiteral("暂停朗读"), 9);
    m_ctl->setWindowsHidden(false);
    QCOMPARE(m_engine->resumes, 1);
    checkButton(QStringLiteral("暂停朗读"), 9);

    // Paused by the user: the boss key leaves it paused.
    m_ctl->readButtonClick();
    m_ctl->setWindowsHidden(true);
    m_ctl->setWindowsHidden(false);
    QCOMPARE(m_engine->pauses, 2);
    QCOMPARE(m_engine->resumes, 1);
    checkButton(QStringLiteral("继续朗读"), 8);

    // Hidden before the page answered: the text waits until the windows are back.
    m_ctl->stopButtonClick();
    m_engine->finishAll();
    m_ctl->readButtonClick();
    m_ctl->setWindowsHidden(true);
    m_page->answer(QStringLiteral("隐藏时到达"));
    QVERIFY(m_engine->isPaused());
    m_ctl->setWindowsHidden(false);
    QVERIFY(!m_engine->isPaused());
}

void TestReadAloud::storedRateAndVolumeAtLoad_data()
{
    QTest::addColumn<QString>("storedRate");
    QTest::addColumn<QString>("storedVolume");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("volume");
    QTest::newRow("never stored") << QString() << QString() << 100 << 100;
    QTest::newRow("stored") << QStringLiteral("150") << QStringLiteral("40") << 150 << 40;
    QTest::newRow("out of range") << QStringLiteral("999") << QStringLiteral("-5") << 250 << 0;
    QTest::newRow("not a number") << QStringLiteral("快") << QStringLiteral("") << 100 << 100;
}

void TestReadAloud::storedRateAndVolumeAtLoad()
{
    QFETCH(QString, storedRate);
    QFETCH(QString, storedVolume);
    QFETCH(int, rate);
    QFETCH(int, volume);
    QTemporaryDir dir;
    LibraryDatabase library(QStringLiteral("read-aloud-options"));
    library.open(dir.filePath(QStringLiteral("Data.db")));
    QVERIFY(library.isOpen());
    if (!storedRate.isNull()) {
        QVERIFY(library.setOption(QStringLiteral("voiceRate"), storedRate));
        QVERIFY(library.setOption(QStringLiteral("voiceVolume"), storedVolume));
    }
    FakeSpeechEngine engine;
    ReadAloudController ctl(engine, *m_page, *m_desktop, QString(), &library);
    ctl.load();
    QCOMPARE(engine.rates, QList<int>{rate});
    QCOMPARE(engine.volumes, QList<int>{volume});
    QCOMPARE(ctl.rate(), rate);
}

QTEST_MAIN(TestReadAloud)
#include "tst_readaloud.moc"
