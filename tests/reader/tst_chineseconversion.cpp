#include "reader/ChineseConversion.h"

#include <QTemporaryDir>
#include <QtTest>

using Mode = ChineseConversion::Mode;
Q_DECLARE_METATYPE(ChineseConversion::Mode)

// The converter behind showing a book in simplified or traditional characters.
class TestChineseConversion : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void convertsWords_data();
    void convertsWords();
    void modeNames();
    void missingDictionariesLeaveTheTextAndSaySoOnce();
};

void TestChineseConversion::convertsWords_data()
{
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("s2t characters") << Mode::ToTraditional << QStringLiteral("汉字") << QStringLiteral("漢字");
    QTest::newRow("s2t 后 after") << Mode::ToTraditional << QStringLiteral("以后再说") << QStringLiteral("以後再說");
    QTest::newRow("s2t 后 empress") << Mode::ToTraditional << QStringLiteral("皇后") << QStringLiteral("皇后");
    QTest::newRow("s2t 发 hair") << Mode::ToTraditional << QStringLiteral("头发") << QStringLiteral("頭髮");
    QTest::newRow("t2s hair") << Mode::ToSimplified << QStringLiteral("頭髮") << QStringLiteral("头发");
    QTest::newRow("t2s characters") << Mode::ToSimplified << QStringLiteral("漢字與發財")
                                    << QStringLiteral("汉字与发财");
    QTest::newRow("markup untouched") << Mode::ToTraditional << QStringLiteral("<p class=\"a\">后来&nbsp;头发</p>")
                                      << QStringLiteral("<p class=\"a\">後來&nbsp;頭髮</p>");
    QTest::newRow("none") << Mode::None << QStringLiteral("汉字头发") << QStringLiteral("汉字头发");
}

void TestChineseConversion::convertsWords()
{
    QFETCH(Mode, mode);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    ChineseConversion conversion;
    QCOMPARE(conversion.convert(text, mode), expected);
    QVERIFY(conversion.takeProblem().isEmpty());
}

void TestChineseConversion::modeNames()
{
    for (Mode mode : {Mode::None, Mode::ToTraditional, Mode::ToSimplified})
        QCOMPARE(ChineseConversion::modeFromName(ChineseConversion::modeName(mode)), mode);
    QCOMPARE(ChineseConversion::modeFromName(QStringLiteral("s2hk")), Mode::None);
}

void TestChineseConversion::missingDictionariesLeaveTheTextAndSaySoOnce()
{
    QTemporaryDir empty;
    ChineseConversion conversion(empty.path());
    QCOMPARE(conversion.convert(QStringLiteral("汉字"), Mode::ToTraditional), QStringLiteral("汉字"));
    QVERIFY(conversion.takeProblem().contains(QStringLiteral("繁简转换")));
    QVERIFY(!conversion.isAvailable(Mode::ToTraditional));
    QCOMPARE(conversion.convert(QStringLiteral("头发"), Mode::ToTraditional), QStringLiteral("头发"));
    QVERIFY(conversion.takeProblem().isEmpty());
}

QTEST_GUILESS_MAIN(TestChineseConversion)
#include "tst_chineseconversion.moc"
