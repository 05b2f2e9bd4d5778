#include "platform/VoiceChoice.h"
#include "platform/espeak/EspeakSpeechEngine.h"
#include "platform/espeak/EspeakSynthesizer.h"
#include "platform/espeak/SpeechTimeline.h"
#include "platform/espeak/TextPieces.h"
#include "platform/espeak/WordPositions.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <thread>

// The espeak-ng engine without a sound device: the clock plays the synthesised speech in
// real time, so the texts here are a few syllables long.
class TestEspeakSpeechEngine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void wordPositions_data();
    void wordPositions();
    void textPieces_data();
    void textPieces();
    void timelineHoldsProducerBackAndPurgeFreesIt();

    void listsVoicesWithMandarin();
    void languageChangeInPhonemes_data();
    void languageChangeInPhonemes();
    void startingVoiceReadsChineseAsMandarin();
    void wordsCoverTheTextInOrder_data();
    void wordsCoverTheTextInOrder();
    void wordsComeAtSpokenTimes();
    void pauseHoldsWordsAndEnd();
    void purgeEndsTheStream();
    void streamsEndInTurnEmptyAtOnce();
    void voiceChangeReachesSynthesis();
    void rateReachesSynthesis();
    void closingWhileSpeakingIsPrompt();

private:
    // A clock-driven engine whose voices are listed; null (test skipped) without voices.
    std::unique_ptr<EspeakSpeechEngine> makeEngine();
    int voiceIndex(const EspeakSpeechEngine& engine, const QString& id);
};

struct Heard {
    int stream;
    int position;
    int length;
};

void TestEspeakSpeechEngine::wordPositions_data()
{
    QTest::addColumn<QString>("text");
    // Boundaries as the synthesiser gives them: 1-based code-point position and length.
    QTest::addColumn<QList<int>>("boundaries");
    // What is kept: UTF-16 position and length pairs.
    QTest::addColumn<QList<int>>("expected");

    QTest::newRow("chinese") << QStringLiteral("你好，世界") << QList<int>{1, 1, 2, 1, 4, 1, 5, 1}
                             << QList<int>{0, 1, 1, 1, 3, 1, 4, 1};
    QTest::newRow("mixed") << QStringLiteral("他说OK好") << QList<int>{1, 1, 2, 1, 3, 2, 5, 1}
                           << QList<int>{0, 1, 1, 1, 2, 2, 4, 1};
    // 𠀀 (U+20000) takes two UTF-16 units: everything after it moves by one.
    QTest::newRow("beyond the BMP") << QStringLiteral("好𠀀的 abc") << QList<int>{1, 1, 2, 1, 3, 1, 5, 3}
                                    << QList<int>{0, 1, 1, 2, 3, 1, 5, 3};
    QTest::newRow("empty boundary dropped")
        << QStringLiteral("一二") << QList<int>{1, 0, 1, 1, 2, 1} << QList<int>{0, 1, 1, 1};
    // "123" read out as a number: espeak-ng reports "23 " once more after "123".
    QTest::newRow("overlap dropped") << QStringLiteral("abc123 def") << QList<int>{1, 3, 4, 3, 5, 3, 8, 3}
                                     << QList<int>{0, 3, 3, 3, 7, 3};
    QTest::newRow("cut at the end") << QStringLiteral("好的") << QList<int>{2, 5} << QList<int>{1, 1};
    QTest::newRow("outside dropped") << QStringLiteral("好") << QList<int>{0, 1, 2, 1, -3, 2} << QList<int>{};
}

void TestEspeakSpeechEngine::wordPositions()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, boundaries);
    QFETCH(QList<int>, expected);
    WordPositions words(text);
    QList<int> kept;
    for (int i = 0; i + 1 < boundaries.size(); i += 2) {
        if (const auto range = words.accept(boundaries[i], boundaries[i + 1]))
            kept << range->position << range->length;
    }
    QCOMPARE(kept, expected);
}

void TestEspeakSpeechEngine::textPieces_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<QStringList>("pieces");
    QTest::newRow("sentences") << QStringLiteral("第一句。第二句！第三句") << 80
                               << QStringList{"第一句。", "第二句！", "第三句"};
    QTest::newRow("closing quote stays") << QStringLiteral("他说：“好！”\n　　然后") << 80
                                         << QStringList{"他说：“好！”\n", "　　然后"};
    QTest::newRow("full stop inside a number")
        << QStringLiteral("约3.14米. Next") << 80 << QStringList{"约3.14米.", " Next"};
    QTest::newRow("long run cut after a clause mark")
        << QStringLiteral("一二三，四五六七八九") << 8 << QStringList{"一二三，", "四五六七八九"};
    QTest::newRow("long run without marks")
        << QStringLiteral("一二三四五六七") << 3 << QStringList{"一二三", "四五六", "七"};
    QTest::newRow("pair not split") << QStringLiteral("一二𠀀三") << 3 << QStringList{"一二", QStringLiteral("𠀀三")};
    QTest::newRow("empty") << QString() << 80 << QStringList{};
}

void TestEspeakSpeechEngine::textPieces()
{
    QFETCH(QString, text);
    QFETCH(int, maxLength);
    QFETCH(QStringList, pieces);
    QStringList got;
    int next = 0;
    for (const TextPieces::Piece& piece : TextPieces::split(text, maxLength)) {
        QCOMPARE(piece.start, next); // no gaps, no overlaps
        next = piece.start + piece.length;
        got << text.mid(piece.start, piece.length);
    }
    QCOMPARE(next, int(text.size()));
    QCOMPARE(got, pieces);
}

void TestEspeakSpeechEngine::timelineHoldsProducerBackAndPurgeFreesIt()
{
    SpeechTimeline timeline(100);
    const quint64 generation = timeline.generation();
    const QVector<qint16> samples(100, 7);
    QVERIFY(timeline.appendSamples(generation, samples.constData(), samples.size()));

    // 100 samples ahead: the producer waits until the consumer takes some.
    std::atomic<int> state{0};
    std::thread producer([&] { state = timeline.waitForRoom(generation) ? 1 : 2; });
    QTest::qWait(50);
    QCOMPARE(state.load(), 0);
    QCOMPARE(timeline.takeSamples(generation, 10).size(), 20);
    producer.join();
    QCOMPARE(state.load(), 1);

    QVERIFY(timeline.appendSamples(generation, samples.constData(), 50));
    std::thread purged([&] { state = timeline.waitForRoom(generation) ? 1 : 2; });
    QTest::qWait(50);
    const quint64 next = timeline.purge();
    purged.join();
    QCOMPARE(state.load(), 2);
    QVERIFY(!timeline.appendSamples(generation, samples.constData(), 1));
    QVERIFY(timeline.takeSamples(generation, 10).isEmpty());
    QVERIFY(timeline.isEmpty());
    QCOMPARE(timeline.consumedSamples(), 0);
    QVERIFY(timeline.appendSamples(next, samples.constData(), 1));
}

std::unique_ptr<EspeakSpeechEngine> TestEspeakSpeechEngine::makeEngine()
{
    auto engine = std::make_unique<EspeakSpeechEngine>(EspeakSpeechEngine::Output::Clock);
    if (!QTest::qWaitFor([&] { return engine->voicesListed(); }, 10000))
        return nullptr;
    if (engine->voices().isEmpty())
        return nullptr;
    return engine;
}

int TestEspeakSpeechEngine::voiceIndex(const EspeakSpeechEngine& engine, const QString& id)
{
    const QList<SpeechVoice> voices = engine.voices();
    for (int i = 0; i < voices.size(); ++i) {
        if (voices[i].id == id)
            return i;
    }
    return -1;
}

void TestEspeakSpeechEngine::listsVoicesWithMandarin()
{
    auto engine = makeEngine();
    if (!engine)
        QSKIP("espeak-ng has no voices here (espeak-ng-data not installed)");
    QVERIFY(!engine->hasAudioDevice());
    const int cmn = voiceIndex(*engine, QStringLiteral("sit/cmn"));
    QVERIFY2(cmn >= 0, "espeak-ng-data has the Mandarin voice sit/cmn");
    QCOMPARE(engine->voices()[cmn].language, QStringLiteral("cmn"));
    QVERIFY(!engine->voices()[cmn].description.isEmpty());
    QCOMPARE(engine->currentVoice(), -1);
    QVERIFY(engine->setCurrentVoice(cmn));
    QCOMPARE(engine->currentVoice(), cmn);
    QVERIFY(!engine->setCurrentVoice(engine->voices().size()));
    QCOMPARE(engine->currentVoice(), cmn);
}

void TestEspeakSpeechEngine::languageChangeInPhonemes_data()
{
    QTest::addColumn<QString>("phonemes");
    QTest::addColumn<bool>("switches");
    QTest::newRow("cmn: English pinyin") << QStringLiteral("(en)nITr'i:_| h,eI@Tr'i:(cmn)_|") << true;
    QTest::newRow("hak: Chinese letter") << QStringLiteral("_:(en)tS'aIni:z(hak)l'et@") << true;
    QTest::newRow("a region in the code") << QStringLiteral("w'o214_| (en-us)h@l'oU") << true;
    QTest::newRow("Mandarin") << QStringLiteral("n'i214_| X'Au214_|") << false;
    QTest::newRow("Cantonese") << QStringLiteral("n'ei5_| h'ou2_|") << false;
    QTest::newRow("nothing") << QString() << false;
}

void TestEspeakSpeechEngine::languageChangeInPhonemes()
{
    QFETCH(QString, phonemes);
    QTEST(EspeakSynthesizer::switchesLanguage(phonemes), "switches");
}

void TestEspeakSpeechEngine::startingVoiceReadsChineseAsMandarin()
{
    auto engine = makeEngine();
    if (!engine)
        QSKIP("espeak-ng has no voices here");
    const QList<SpeechVoice> voices = engine->voices();
    const VoiceChoice choice(voices);
    const SpeechVoice start = voices.value(choice.voiceAt(choice.startingEntry()));
    // The opening verse of 西游记: hùndùn wèi fēn tiāndì luàn, mángmáng miǎomiǎo wú rén jiàn.
    const QString phonemes = EspeakSynthesizer::phonemes(start.id, QStringLiteral("混沌未分天地乱，茫茫渺渺无人见。"));
    QVERIFY2(!EspeakSynthesizer::switchesLanguage(phonemes), qPrintable(start.id + QStringLiteral(": ") + phonemes));
    QCOMPARE(phonemes, QStringLiteral("Xw'u@51n_| t'u@51n_| w'ei51_| f'@55n_| th'iE55n_| t'@11_| l'ua51n_| "
                                      "m'a35N_| m'a35N_| mj'Au214_| mj'Au214_| w'u35_| z.'@35n_| tS;'iE51n_|"));
    QVERIFY(!start.switchesLanguage);
    QVERIFY(VoiceChoice::isMandarin(start.language));
    // The voice called Mandarin reads the same verse as English pinyin: listed, not first.
    const int cmn = voiceIndex(*engine, QStringLiteral("sit/cmn"));
    QVERIFY(voices[cmn].switchesLanguage);
    QVERIFY(choice.entryOf(cmn) > choice.startingEntry());
}

void TestEspeakSpeechEngine::wordsCoverTheTextInOrder_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("words");
    QTest::newRow("chinese") << QStringLiteral("你好，世界。") << QStringList{"你", "好", "世", "界"};
    QTest::newRow("mixed chinese and ascii")
        << QStringLiteral("他说OK，Hello好") << QStringList{"他", "说", "OK", "Hello", "好"};
    QTest::newRow("after a character beyond the BMP")
        << QStringLiteral("𠀀好的") << QStringList{QStringLiteral("𠀀"), "好", "的"};
}

void TestEspeakSpeechEngine::wordsCoverTheTextInOrder()
{
    QFETCH(QString, text);
    QFETCH(QStringList, words);
    auto engine = makeEngine();
    if (!engine)
        QSKIP("espeak-ng has no voices here");
    engine->setCurrentVoice(voiceIndex(*engine, QStringLiteral("sit/cmn")));
    QSignalSpy heard(engine.get(), &SpeechEngine::word);
    QSignalSpy ended(engine.get(), &SpeechEngine::endStream);
    const int stream = engine->speak(text, SpeechEngine::SpeakAsync);
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 20000);
    QCOMPARE(ended.first().at(0).toInt(), stream);

    QStringList spoken;
    int previousEnd = 0;
    for (const QList<QVariant>& w : heard) {
        QCOMPARE(w.at(0).toInt(), stream);
        const int position = w.at(1).toInt();
        const int length = w.at(2).toInt();
        QVERIFY2(position >= previousEnd, "words come in order and do not overlap");
        QVERIFY(length > 0 && position + length <= text.size());
        previousEnd = position + length;
        spoken << text.mid(position, length);
    }
    QCOMPARE(spoken, words);
}

void TestEspeakSpeechEngine::wordsComeAtSpokenTimes()
{
    auto engine = makeEngine();
    if (!engine)
        QSKIP("espeak-ng has no voices here");
    engine->setCurrentVoice(voiceIndex(*engine, QStringLiteral("sit/cmn")));
    QList<qint64> times;
    QElapsedTimer clock;
    connect(engine.get(), &SpeechEngine::word, this, [&] { times << clock.elapsed(); });
    QSignalSpy ended(engine.get(), &SpeechEngine::endStream);
    clock.start();
    engine->speak(QStringLiteral("一二三四"), SpeechEngine::SpeakAsync);
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 20000);
    const qint64 total = clock.elapsed();
    // Four syllables take well over a second to say; the first word comes at once.
    QCOMPARE(times.size(), 4);
    QVERIFY2(times.first() < 300, qPrintable(QString::number(times.first())));
    QVERIFY2(times.last() - times.first() > 600, qPrintable(QString::number(times.last() - times.first())));
    QVERIFY(total > times.last());
}

void TestEspeakSpeechEngine::pauseHoldsWordsAndEnd()
{
    auto engine = makeEngine();
    if (!engine)
        QSKIP("espeak-ng has no voices here");
    engine->setCurrentVoice(voiceIndex(*engine, QStringLiteral("sit/cmn")));
    QSignalSpy heard(engine.get(), &SpeechEngine::word);
    QSignalSpy ended(engine.get(), &SpeechEngine::endStream);
    engine->speak(QStringLiteral("一二三四五六"), SpeechEngine::SpeakAsync);
    QTRY_VERIFY_WITH_TIMEOUT(heard.size() >= 2, 10000);
    engine->pause();
    QVERIFY(engine->isPaused());
    QTest::qWait(100); // a word already on its way may still land
    const int held = heard.size();
    QTest::qWait(1200);
    QCOMPARE(heard.size(), held);
    QCOMPARE(ended.size(), 0);
    QVERIFY(held < 6);

    engine->resume();
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 20000);
    QCOMPARE(heard.size(), 6);
}

void TestEspeakSpeechEngine::purgeEndsTheStream()
{
    auto engine = makeEngine();
    if (!engine)
        QSKIP("espeak-ng has no voices here");
    engine->setCurrentVoice(voiceIndex(*engine, QStringLiteral("sit/cmn")));
    QSignalSpy heard(engine.get(), &SpeechEngine::word);
    QSignalSpy ended(engine.get(), &SpeechEngine::endStream);
    // A whole chapter's worth: synthesis is still running (held back) when the purge comes.
    const int chapter = engine->speak(QStringLiteral("天地玄黄宇宙洪荒").repeated(400), SpeechEngine::SpeakAsync);
    QTRY_VERIFY_WITH_TIMEOUT(heard.size() >= 1, 10000);
    engine->pause();
    const int stop = engine->speak(QString(), SpeechEngine::PurgeBeforeSpeak);
    QVERIFY(!engine->isPaused());
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 2000);
    QCOMPARE(ended.first().at(0).toInt(), stop);
    heard.clear();
    QTest::qWait(800);
    QCOMPARE(heard.size(), 0);
    QCOMPARE(ended.size(), 1);
    QVERIFY(stop > chapter);
}

void TestEspeakSpeechEngine::streamsEndInTurnEmptyAtOnce()
{
    auto engine = makeEngine();
    if (!engine)
        QSKIP("espeak-ng has no voices here");
    engine->setCurrentVoice(voiceIndex(*engine, QStringLiteral("sit/cmn")));
    QSignalSpy ended(engine.get(), &SpeechEngine::endStream);
    QElapsedTimer clock;
    clock.start();
    const int empty = engine->speak(QString(), SpeechEngine::SpeakAsync);
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 2000);
    QVERIFY(clock.elapsed() < 500);
    QCOMPARE(ended.takeFirst().at(0).toInt(), empty);

    const int first = engine->speak(QStringLiteral("一"), SpeechEngine::SpeakAsync);
    const int second = engine->speak(QStringLiteral("二"), SpeechEngine::SpeakAsync);
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 2, 10000);
    QCOMPARE(ended.at(0).at(0).toInt(), first);
    QCOMPARE(ended.at(1).at(0).toInt(), second);
}

void TestEspeakSpeechEngine::voiceChangeReachesSynthesis()
{
    auto engine = makeEngine();
    if (!engine)
        QSKIP("espeak-ng has no voices here");
    const int english = voiceIndex(*engine, QStringLiteral("gmw/en"));
    if (english < 0)
        QSKIP("no English voice");
    QVERIFY(engine->setCurrentVoice(english));
    QSignalSpy heard(engine.get(), &SpeechEngine::word);
    QSignalSpy ended(engine.get(), &SpeechEngine::endStream);
    const QString text = QStringLiteral("read this");
    engine->speak(text, SpeechEngine::SpeakAsync);
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
    QStringList spoken;
    for (const QList<QVariant>& w : heard)
        spoken << text.mid(w.at(1).toInt(), w.at(2).toInt());
    QCOMPARE(spoken, (QStringList{"read", "this"}));
}

void TestEspeakSpeechEngine::rateReachesSynthesis()
{
    auto engine = makeEngine();
    if (!engine)
        QSKIP("espeak-ng has no voices here");
    engine->setCurrentVoice(voiceIndex(*engine, QStringLiteral("sit/cmn")));
    // From the first word to the last, at the slowest and then the fastest speed.
    const auto span = [&engine](int rate) -> qint64 {
        engine->setRate(rate);
        QList<qint64> times;
        QElapsedTimer clock;
        clock.start();
        QSignalSpy ended(engine.get(), &SpeechEngine::endStream);
        const QMetaObject::Connection c =
            connect(engine.get(), &SpeechEngine::word, engine.get(), [&] { times << clock.elapsed(); });
        engine->speak(QStringLiteral("一二三四五"), SpeechEngine::SpeakAsync);
        const bool done = QTest::qWaitFor([&] { return ended.size() == 1; }, 20000);
        disconnect(c);
        return done && times.size() == 5 ? times.last() - times.first() : qint64(-1);
    };
    const qint64 slow = span(SpeechEngine::RateMin);
    const qint64 fast = span(SpeechEngine::RateMax);
    QVERIFY2(fast > 0 && slow > 0 && fast * 2 < slow, qPrintable(QStringLiteral("%1 %2").arg(fast).arg(slow)));
}

void TestEspeakSpeechEngine::closingWhileSpeakingIsPrompt()
{
    auto engine = makeEngine();
    if (!engine)
        QSKIP("espeak-ng has no voices here");
    engine->setCurrentVoice(voiceIndex(*engine, QStringLiteral("sit/cmn")));
    QSignalSpy heard(engine.get(), &SpeechEngine::word);
    // Far more than the synthesis may run ahead: it is waiting for the player when closed.
    engine->speak(QStringLiteral("天地玄黄，宇宙洪荒。").repeated(1000), SpeechEngine::SpeakAsync);
    QTRY_VERIFY_WITH_TIMEOUT(heard.size() >= 1, 10000);
    QTest::qWait(200);
    QElapsedTimer clock;
    clock.start();
    engine.reset();
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
}

QTEST_MAIN(TestEspeakSpeechEngine)
#include "tst_espeakspeechengine.moc"
