#include "desktop/BossKey.h"

#include "FakeGlobalHotKey.h"

#include <QDialog>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QtTest>

class TestBossKey : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void modifierFlags_data();
    void modifierFlags();
    void keyCode_data();
    void keyCode();
    void combinationRegistered_data();
    void combinationRegistered();
    void hidesAndRestoresExactlyTheVisibleWindows();
    void modalDialogSurvivesHiding();
    void openMenuIsClosedNotRestored();
    void windowClosedWhileHiddenIsSkipped();
};

void TestBossKey::modifierFlags_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("flags");
    QTest::newRow("alt") << "alt" << 0 << 1;
    QTest::newRow("Alt") << "Alt" << 4 << 1;
    QTest::newRow("CTRL") << "CTRL" << 0 << 2;
    QTest::newRow("sHiFt") << "sHiFt" << 0 << 4;
    QTest::newRow("unknown keeps flags") << "Win" << 2 << 2;
    QTest::newRow("empty keeps flags") << "" << 1 << 1;
    QTest::newRow("blanks are not trimmed") << " Ctrl" << 4 << 4;
}

void TestBossKey::modifierFlags()
{
    QFETCH(QString, name);
    QFETCH(int, current);
    QTEST(BossKey::modifierFlags(name, current), "flags");
}

void TestBossKey::keyCode_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("code");
    QTest::newRow("lower b") << "b" << 66;
    QTest::newRow("upper B") << "B" << 66;
    QTest::newRow("first character only") << "qx" << 81;
    QTest::newRow("digit") << "7" << 55;
    QTest::newRow("latin-1 letter") << QStringLiteral("é") << 0xC9;
    QTest::newRow("empty") << "" << 0;
}

void TestBossKey::keyCode()
{
    QFETCH(QString, key);
    QTEST(BossKey::keyCode(key), "code");
}

void TestBossKey::combinationRegistered_data()
{
    QTest::addColumn<QString>("modifier");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("keyCode");
    QTest::newRow("ctrl b") << "ctrl"
                            << "b" << int(GlobalHotKey::Result::Ok) << 2 << 66;
    // A bare letter would be taken from every other program: never grabbed.
    QTest::newRow("no modifier in force") << "Win"
                                          << "B" << int(GlobalHotKey::Result::NoSuchKey) << 0 << 0;
    QTest::newRow("no key") << "Alt"
                            << "" << int(GlobalHotKey::Result::NoSuchKey) << 0 << 0;
}

void TestBossKey::combinationRegistered()
{
    QFETCH(QString, modifier);
    QFETCH(QString, key);
    FakeGlobalHotKey hotKey;
    BossKey boss(hotKey);
    QTEST(int(boss.setCombination(modifier, key)), "result");
    QTEST(hotKey.modifiers(), "modifiers");
    QTEST(hotKey.keyCode(), "keyCode");
}

void TestBossKey::hidesAndRestoresExactlyTheVisibleWindows()
{
    FakeGlobalHotKey hotKey;
    BossKey boss(hotKey);
    QCOMPARE(boss.setCombination(QStringLiteral("Ctrl"), QStringLiteral("B")), GlobalHotKey::Result::Ok);

    QMainWindow main;
    main.show();
    auto* dialog = new QDialog(&main);
    dialog->show();
    auto* findBar = new QWidget(&main, Qt::Tool);
    findBar->show();
    QWidget menuHolder; // shown once, hidden before the press: must stay hidden
    menuHolder.show();
    menuHolder.hide();
    QWidget neverShown;
    QVERIFY(QTest::qWaitForWindowExposed(&main));

    hotKey.press();
    QTRY_VERIFY(boss.windowsHidden());
    QVERIFY(!main.isVisible());
    QVERIFY(!dialog->isVisible());
    QVERIFY(!findBar->isVisible());

    hotKey.press();
    QTRY_VERIFY(!boss.windowsHidden());
    QVERIFY(main.isVisible());
    QVERIFY(dialog->isVisible());
    QVERIFY(findBar->isVisible());
    QVERIFY(!menuHolder.isVisible());
    QVERIFY(!neverShown.isVisible());

    // And again: the toggle keeps working.
    hotKey.press();
    QTRY_VERIFY(!main.isVisible());
    hotKey.press();
    QTRY_VERIFY(main.isVisible());
    QVERIFY(!menuHolder.isVisible());
}

void TestBossKey::modalDialogSurvivesHiding()
{
    FakeGlobalHotKey hotKey;
    BossKey boss(hotKey);
    boss.setCombination(QStringLiteral("Ctrl"), QStringLiteral("B"));
    QMainWindow main;
    main.show();
    QDialog dialog(&main);

    // Each step runs from the dialog's own event loop, which gets control back between them.
    bool execEnded = false;
    bool hidden = false;
    bool stillWaiting = false;
    bool shownAgain = false;
    int steps = 0;
    QTimer::singleShot(50, this, [&] {
        boss.toggle();
        hidden = !dialog.isVisible() && !main.isVisible();
        ++steps;
    });
    QTimer::singleShot(150, this, [&] {
        stillWaiting = !execEnded;
        boss.toggle();
        shownAgain = dialog.isVisible() && main.isVisible();
        ++steps;
    });
    QTimer::singleShot(250, this, [&] {
        dialog.done(42);
        ++steps;
    });
    // Hiding must not end exec() as a cancel would: the answer is still the user's.
    const int answer = dialog.exec();
    execEnded = true;
    QTRY_COMPARE(steps, 3);
    QVERIFY(hidden);
    QVERIFY(stillWaiting);
    QVERIFY(shownAgain);
    QCOMPARE(answer, 42);
}

void TestBossKey::openMenuIsClosedNotRestored()
{
    FakeGlobalHotKey hotKey;
    BossKey boss(hotKey);
    boss.setCombination(QStringLiteral("Alt"), QStringLiteral("Q"));
    QMainWindow main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QMenu menu(&main);
    menu.addAction(QStringLiteral("加入书签"));
    menu.popup(main.geometry().center());
    QTRY_VERIFY(menu.isVisible());

    hotKey.press();
    QTRY_VERIFY(!main.isVisible());
    QVERIFY(!menu.isVisible());
    hotKey.press();
    QTRY_VERIFY(main.isVisible());
    QVERIFY(!menu.isVisible());
}

void TestBossKey::windowClosedWhileHiddenIsSkipped()
{
    FakeGlobalHotKey hotKey;
    BossKey boss(hotKey);
    boss.setCombination(QStringLiteral("Ctrl"), QStringLiteral("B"));
    QMainWindow main;
    main.show();
    QPointer<QDialog> dialog = new QDialog(&main);
    dialog->show();
    hotKey.press();
    QTRY_VERIFY(!main.isVisible());
    delete dialog;
    hotKey.press();
    QTRY_VERIFY(main.isVisible());
}

QTEST_MAIN(TestBossKey)
#include "tst_bosskey.moc"
