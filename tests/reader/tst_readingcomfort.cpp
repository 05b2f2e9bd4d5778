#include "reader/PagingRule.h"
#include "reader/ReadingTheme.h"

#include <QtTest>

Q_DECLARE_METATYPE(PagingRule::Input)
Q_DECLARE_METATYPE(PagingRule::Action)

// The theme switch with its memory of the theme before, and the paging rule at the ends
// of a chapter.
class TestReadingComfort : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void themeSteps_data();
    void themeSteps();
    void nightPaletteIsDarkDayPaletteUntouched();
    void pagingRule_data();
    void pagingRule();
};

// `steps`, applied in order to a switch restored from SysSet colours and stored entries:
// "night" toggles Ctrl+D, "save:TXT:BACK" is a save of the settings page, any other word
// chooses that theme.
void TestReadingComfort::themeSteps_data()
{
    QTest::addColumn<QString>("txt");
    QTest::addColumn<QString>("back");
    QTest::addColumn<QString>("previous");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("expected"); // entry of the current state

    const QString night = QStringLiteral("night|A9A59B|1C1D20");
    QTest::newRow("new library is 默认, Ctrl+D is night") << "000000"
                                                          << "FBF7EE" << QString() << QStringList{"night"} << night;
    QTest::newRow("Ctrl+D twice is back to 默认")
        << "000000"
        << "FBF7EE" << QString() << QStringList{"night", "night"} << "default|000000|FBF7EE";
    QTest::newRow("back from night to 护眼")
        << "000000"
        << "FBF7EE" << QString() << QStringList{"eyecare", "night", "night"} << "eyecare|2B3A2B|C7EDCC";
    QTest::newRow("own colours survive a night")
        << "123456"
        << "abcdef" << QString() << QStringList{"night", "night"} << "custom|123456|ABCDEF";
    QTest::newRow("own colours chosen again from the menu")
        << "123456"
        << "ABCDEF" << QString() << QStringList{"parchment", "custom"} << "custom|123456|ABCDEF";
    QTest::newRow("stored night goes back to the stored theme after a restart")
        << "A9A59B"
        << "1C1D20"
        << "parchment|4A3520|F2E4C6" << QStringList{"night"} << "parchment|4A3520|F2E4C6";
    QTest::newRow("night with nothing before goes to 默认")
        << "A9A59B"
        << "1C1D20"
        << "garbage" << QStringList{"night"} << "default|000000|FBF7EE";
    QTest::newRow("settings page colours of a preset are that preset")
        << "000000"
        << "FBF7EE" << QString() << QStringList{"save:2b3a2b:c7edcc"} << "eyecare|2B3A2B|C7EDCC";
    QTest::newRow("settings page colours of its own are 自定义, and Ctrl+D comes back to them")
        << "000000"
        << "FBF7EE" << QString() << QStringList{"save:101010:EEEEEE", "night", "night"} << "custom|101010|EEEEEE";
    QTest::newRow("an unknown theme changes nothing")
        << "000000"
        << "FBF7EE" << QString() << QStringList{"purple"} << "default|000000|FBF7EE";
    QTest::newRow("自定义 never seen changes nothing")
        << "000000"
        << "FBF7EE" << QString() << QStringList{"custom"} << "default|000000|FBF7EE";
}

void TestReadingComfort::themeSteps()
{
    QFETCH(QString, txt);
    QFETCH(QString, back);
    QFETCH(QString, previous);
    QFETCH(QStringList, steps);
    QFETCH(QString, expected);

    ThemeSwitch themes;
    themes.restore(txt, back, previous, QString());
    for (const QString& step : steps) {
        if (step == QLatin1String("night"))
            themes.toggleNight();
        else if (step.startsWith(QLatin1String("save:")))
            themes.colorsSaved(step.section(u':', 1, 1), step.section(u':', 2, 2));
        else
            themes.choose(step);
    }
    QCOMPARE(ThemeSwitch::entry(themes.current()), expected);
    QCOMPARE(themes.isDark(), expected.startsWith(QLatin1String("night")));
    // What is stored comes back as it was.
    QCOMPARE(ThemeSwitch::entry(*ThemeSwitch::parse(expected)), expected);
}

void TestReadingComfort::nightPaletteIsDarkDayPaletteUntouched()
{
    QPalette light;
    light.setColor(QPalette::Base, QColor(250, 250, 250));
    const QPalette night = ReadingThemes::windowPalette(true, light);
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button, QPalette::AlternateBase})
        QVERIFY2(night.color(role).lightness() < 60, qPrintable(night.color(role).name()));
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        QVERIFY(night.color(role).lightness() > 150);
    QCOMPARE(ReadingThemes::windowPalette(false, light).color(QPalette::Base), QColor(250, 250, 250));
    QVERIFY(ReadingThemes::stripeFirst(true).lightness() < 60 && ReadingThemes::stripeSecond(true).lightness() < 60);
}

void TestReadingComfort::pagingRule_data()
{
    using PagingRule::Action;
    using PagingRule::Input;
    QTest::addColumn<Input>("input");
    QTest::addColumn<bool>("atTop");
    QTest::addColumn<bool>("atBottom");
    QTest::addColumn<Action>("action");

    QTest::newRow("PageDown mid-chapter scrolls") << Input::PageDown << false << false << Action::Scroll;
    QTest::newRow("PageDown at the top scrolls") << Input::PageDown << true << false << Action::Scroll;
    QTest::newRow("PageDown at the end turns") << Input::PageDown << false << true << Action::NextChapter;
    QTest::newRow("Space at the end turns") << Input::Space << false << true << Action::NextChapter;
    QTest::newRow("wheel down at the end turns") << Input::WheelDown << false << true << Action::NextChapter;
    QTest::newRow("PageUp at the end scrolls") << Input::PageUp << false << true << Action::Scroll;
    QTest::newRow("PageUp at the top goes back") << Input::PageUp << true << false << Action::PreviousChapterAtEnd;
    QTest::newRow("Shift+Space at the top goes back")
        << Input::ShiftSpace << true << false << Action::PreviousChapterAtEnd;
    QTest::newRow("wheel up at the top goes back") << Input::WheelUp << true << false << Action::PreviousChapterAtEnd;
    QTest::newRow("short chapter, PageDown turns") << Input::PageDown << true << true << Action::NextChapter;
    QTest::newRow("short chapter, PageUp goes back") << Input::PageUp << true << true << Action::PreviousChapterAtEnd;
}

void TestReadingComfort::pagingRule()
{
    QFETCH(PagingRule::Input, input);
    QFETCH(bool, atTop);
    QFETCH(bool, atBottom);
    QFETCH(PagingRule::Action, action);
    QCOMPARE(PagingRule::decide(input, atTop, atBottom), action);
}

QTEST_MAIN(TestReadingComfort)
#include "tst_readingcomfort.moc"
