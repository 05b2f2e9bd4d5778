#include "app/AppState.h"
#include "app/LibraryDatabase.h"
#include "desktop/BossKey.h"
#include "desktop/SettingsController.h"

#include "FakeAutoStart.h"
#include "FakeDialogs.h"
#include "FakeGlobalHotKey.h"
#include "FakePickers.h"
#include "FakeReadingAppearance.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// Everything a settings controller needs, over a fresh library in a temporary folder.
struct Fixture {
    QTemporaryDir dir;
    LibraryDatabase library{QStringLiteral("settings-test")};
    AppState state;
    FakeDialogs dialogs;
    FakePickers pickers;
    FakeAutoStart autoStart;
    FakeGlobalHotKey hotKey;
    FakeReadingAppearance appearance;
    std::unique_ptr<BossKey> bossKey;
    std::unique_ptr<SettingsController> controller;

    Fixture()
    {
        library.open(dir.filePath(QStringLiteral("Data.db")));
        state.library = &library;
        state.downloadFolder = QStringLiteral("/home/reader/TxtBook");
        restart();
    }

    // A new run of the program over the same library: the start-up takes the stored
    // download folder, and the page is loaded afresh.
    void restart()
    {
        controller.reset();
        bossKey = std::make_unique<BossKey>(hotKey);
        state.downloadFolder = library.downSavePath().value_or(QString());
        controller = std::make_unique<SettingsController>(library, state, dialogs, pickers, autoStart, *bossKey);
        controller->setReadingAppearance(&appearance);
    }

    void exec(const QString& sql)
    {
        QSqlQuery q(library.connection());
        QVERIFY2(q.exec(sql), qPrintable(sql));
    }

    int sysSetRows()
    {
        QSqlQuery q(library.connection());
        return q.exec(QStringLiteral("SELECT COUNT(*) FROM SysSet")) && q.next() ? q.value(0).toInt() : -1;
    }
};

SettingsInput validInput()
{
    SettingsInput in;
    in.path = QStringLiteral("/srv/书库");
    in.autoRun = false;
    in.modifier = QStringLiteral("Ctrl");
    in.key = QStringLiteral("B");
    in.txtColor = QColor(0, 0, 0);
    in.txtSize = QStringLiteral("中号");
    in.backColor = QColor(255, 255, 255);
    return in;
}

} // namespace

class TestSettingsController : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void refusals_data();
    void refusals();
    void loadShowsStoredValues_data();
    void loadShowsStoredValues();
    void emptySysSetGetsItsRow();
    void saveRestylesReadingPage();
    void autoStartWrittenEachSaveAndRemoved();
    void reRegistrationUsesNewCombination();
    void takenCombinationReportedAfterSuccess();
    void unavailableBossKeyNoticeOnly();
    void chooseFolder();
    void cancelledColourGivesNothing();
    void databaseFailureIsNotReportedAsSuccess();
    void unreadableSettingsLeaveThePageAsDesigned();
};

void TestSettingsController::roundTrip_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("autoRun");
    QTest::addColumn<QString>("modifier");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QColor>("txtColor");
    QTest::addColumn<QString>("txtSize");
    QTest::addColumn<QColor>("backColor");
    QTest::addColumn<QString>("storedBossKey");
    QTest::addColumn<QString>("storedTxtColor");
    QTest::addColumn<QString>("storedBackColor");
    QTest::addColumn<int>("modifierIndex");
    QTest::addColumn<QString>("shownKey");
    QTest::addColumn<int>("sizeIndex");

    QTest::newRow("lower-case key stored as typed, shown upper")
        << "/srv/书库" << true << "Ctrl"
        << "b" << QColor(255, 255, 255) << "小号" << QColor(1, 2, 3) << "Ctrl|b"
        << "FFFFFF"
        << "010203" << 1 << "B" << 0;
    QTest::newRow("leading zero pairs kept") << "/srv/books" << false << "Alt"
                                             << "Q" << QColor(0, 0, 255) << "中号" << QColor(236, 246, 255) << "Alt|Q"
                                             << "0000FF"
                                             << "ECF6FF" << 0 << "Q" << 1;
    QTest::newRow("path with blanks around it kept")
        << "  /srv/my books  " << false << "Shift"
        << "x" << QColor(255, 0, 0) << "大号" << QColor(0, 0, 0) << "Shift|x"
        << "FF0000"
        << "000000" << 2 << "X" << 2;
    QTest::newRow("largest size") << "/srv/b" << true << "Ctrl"
                                  << "7" << QColor(1, 2, 3) << "特大号" << QColor(255, 255, 255) << "Ctrl|7"
                                  << "010203"
                                  << "FFFFFF" << 1 << "7" << 3;
}

void TestSettingsController::roundTrip()
{
    QFETCH(QString, path);
    QFETCH(bool, autoRun);
    QFETCH(QString, modifier);
    QFETCH(QString, key);
    QFETCH(QColor, txtColor);
    QFETCH(QString, txtSize);
    QFETCH(QColor, backColor);

    Fixture f;
    f.controller->load();
    SettingsInput in{path, autoRun, modifier, key, txtColor, txtSize, backColor};
    QVERIFY(f.controller->save(in));
    QCOMPARE(f.dialogs.last().text, QStringLiteral("恭喜你，参数设置成功！"));
    QCOMPARE(f.dialogs.last().title, QStringLiteral("设置成功"));
    QCOMPARE(f.dialogs.last().style, 64);
    QCOMPARE(f.state.downloadFolder, path);

    const auto row = f.library.settings();
    QVERIFY(row);
    QCOMPARE(row->downSavePath, path);
    QCOMPARE(row->autoRun, autoRun);
    QTEST(row->bossKey, "storedBossKey");
    QTEST(row->txtColor, "storedTxtColor");
    QCOMPARE(row->txtSize, txtSize);
    QTEST(row->backColor, "storedBackColor");

    f.restart();
    const SettingsView view = f.controller->load();
    QCOMPARE(view.path, path);
    QCOMPARE(view.autoRun, autoRun);
    QTEST(view.modifierIndex, "modifierIndex");
    QTEST(view.key, "shownKey");
    QTEST(view.sizeIndex, "sizeIndex");
    QCOMPARE(view.txtColor, txtColor);
    QCOMPARE(view.backColor, backColor);
    // The key registered is the upper-case character code ("b" registers 66).
    QCOMPARE(f.hotKey.keyCode(), int(key.at(0).toUpper().unicode()));
}

void TestSettingsController::refusals_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("modifier");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("message");

    const QString noPath = QStringLiteral("电子书下载保存路径不能为空！");
    const QString badKey = QStringLiteral("老板键设置错误！");
    QTest::newRow("empty path") << ""
                                << "Ctrl"
                                << "B" << noPath;
    QTest::newRow("blank-only path") << "   "
                                     << "Ctrl"
                                     << "B" << noPath;
    QTest::newRow("blank key") << "/srv/b"
                               << "Ctrl"
                               << " " << badKey;
    QTest::newRow("empty key") << "/srv/b"
                               << "Ctrl"
                               << "" << badKey;
    QTest::newRow("blank modifier") << "/srv/b"
                                    << "  "
                                    << "B" << badKey;
    QTest::newRow("path checked first") << " "
                                        << ""
                                        << "" << noPath;
}

void TestSettingsController::refusals()
{
    QFETCH(QString, path);
    QFETCH(QString, modifier);
    QFETCH(QString, key);

    Fixture f;
    f.controller->load();
    const auto before = f.library.settings();
    const QString folderBefore = f.state.downloadFolder;
    const int registrations = f.hotKey.registrations;
    f.appearance.calls.clear();

    SettingsInput in = validInput();
    in.path = path;
    in.modifier = modifier;
    in.key = key;
    in.autoRun = true;
    QVERIFY(!f.controller->save(in));

    QCOMPARE(f.dialogs.count(), 1);
    QTEST(f.dialogs.last().text, "message");
    QCOMPARE(f.dialogs.last().title, QStringLiteral("保存失败"));
    QCOMPARE(f.dialogs.last().style, 16);
    // Nothing stored and nothing applied.
    const auto after = f.library.settings();
    QCOMPARE(after->downSavePath, before->downSavePath);
    QCOMPARE(after->bossKey, before->bossKey);
    QCOMPARE(after->autoRun, before->autoRun);
    QCOMPARE(f.state.downloadFolder, folderBefore);
    QVERIFY(f.autoStart.calls.isEmpty());
    QCOMPARE(f.hotKey.registrations, registrations);
    QVERIFY(f.appearance.calls.isEmpty());
}

void TestSettingsController::loadShowsStoredValues_data()
{
    QTest::addColumn<QString>("bossKey");
    QTest::addColumn<QString>("txtSize");
    QTest::addColumn<int>("modifierIndex");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("modifiers"); // registered; 0 = no boss key started
    QTest::addColumn<int>("sizeIndex");
    QTest::addColumn<QString>("fontSize");

    QTest::newRow("modifier in any case") << "cTRL|b"
                                          << "小号" << 1 << "B" << 2 << 0 << "12px";
    QTest::newRow("alt") << "ALT|q"
                         << "大号" << 0 << "Q" << 1 << 2 << "18px";
    QTest::newRow("unknown size shown largest, styled 14px") << "Shift|z"
                                                             << "巨号" << 2 << "Z" << 4 << 3 << "14px";
    QTest::newRow("unknown modifier shows Shift, grabs nothing") << "Win|B"
                                                                 << "中号" << 2 << "B" << 0 << 1 << "14px";
    QTest::newRow("no bar keeps designed key") << "Ctrl"
                                               << "特大号" << 1 << "B" << 0 << 3 << "22px";
    QTest::newRow("nothing stored") << ""
                                    << "" << 2 << "B" << 0 << 3 << "14px";
    QTest::newRow("empty key part") << "Alt|"
                                    << "中号" << 0 << "" << 0 << 1 << "14px";
}

void TestSettingsController::loadShowsStoredValues()
{
    QFETCH(QString, bossKey);
    QFETCH(QString, txtSize);

    Fixture f;
    QSqlQuery q(f.library.connection());
    q.prepare(QStringLiteral("UPDATE SysSet SET BossKey = ?, TxtSize = ?, TxtColor = ?, BackColor = ?, AutoRun = 1"));
    q.addBindValue(bossKey);
    q.addBindValue(txtSize);
    q.addBindValue(QStringLiteral("0000FF"));
    q.addBindValue(QStringLiteral("ecf6ff"));
    QVERIFY(q.exec());

    const SettingsView view = f.controller->load();
    QTEST(view.modifierIndex, "modifierIndex");
    QTEST(view.key, "key");
    QTEST(f.hotKey.modifiers(), "modifiers");
    QTEST(view.sizeIndex, "sizeIndex");
    QVERIFY(view.autoRun);
    QCOMPARE(view.txtColor, QColor(0, 0, 255));
    QCOMPARE(view.backColor, QColor(236, 246, 255));

    // The reading page is styled from the stored values at load.
    QCOMPARE(f.appearance.calls.size(), 1);
    QCOMPARE(f.appearance.last().txtColor, QStringLiteral("0000FF"));
    QCOMPARE(f.appearance.last().backColor, QStringLiteral("ECF6FF"));
    QTEST(ReadingAppearance::fontSizeFor(f.appearance.last().txtSize), "fontSize");
    QVERIFY(f.dialogs.boxes().isEmpty());
}

void TestSettingsController::emptySysSetGetsItsRow()
{
    Fixture f;
    f.exec(QStringLiteral("DELETE FROM SysSet"));
    QCOMPARE(f.sysSetRows(), 0);
    QVERIFY(f.controller->save(validInput()));
    QCOMPARE(f.sysSetRows(), 1);
    QCOMPARE(f.library.settings()->downSavePath, QStringLiteral("/srv/书库"));
    QVERIFY(f.controller->save(validInput()));
    QCOMPARE(f.sysSetRows(), 1);
}

void TestSettingsController::saveRestylesReadingPage()
{
    Fixture f;
    f.controller->load();
    f.appearance.calls.clear();
    SettingsInput in = validInput();
    in.txtColor = QColor(1, 2, 3);
    in.txtSize = QStringLiteral("大号");
    in.backColor = QColor(0, 0, 255);
    QVERIFY(f.controller->save(in));
    QCOMPARE(f.appearance.calls.size(), 1);
    QCOMPARE(f.appearance.last().txtColor, QStringLiteral("010203"));
    QCOMPARE(f.appearance.last().txtSize, QStringLiteral("大号"));
    QCOMPARE(f.appearance.last().backColor, QStringLiteral("0000FF"));

    // Without a reading view yet, saving still works.
    f.controller->setReadingAppearance(nullptr);
    QVERIFY(f.controller->save(in));
}

void TestSettingsController::autoStartWrittenEachSaveAndRemoved()
{
    Fixture f;
    SettingsInput in = validInput();
    in.autoRun = false;
    QVERIFY(f.controller->save(in)); // removing a missing entry is no error
    in.autoRun = true;
    QVERIFY(f.controller->save(in));
    QVERIFY(f.controller->save(in));
    QCOMPARE(f.autoStart.calls, QStringList({"remove", "add", "add"}));
    QVERIFY(f.library.autoRun().value());
    in.autoRun = false;
    QVERIFY(f.controller->save(in));
    QVERIFY(!f.autoStart.present);
    QVERIFY(!f.library.autoRun().value());
    QCOMPARE(f.dialogs.count(), 4);
}

void TestSettingsController::reRegistrationUsesNewCombination()
{
    Fixture f;
    f.exec(QStringLiteral("UPDATE SysSet SET BossKey = 'Ctrl|B'"));
    f.controller->load();
    QCOMPARE(f.hotKey.modifiers(), int(GlobalHotKey::Ctrl));
    QCOMPARE(f.hotKey.keyCode(), int('B'));

    SettingsInput in = validInput();
    in.modifier = QStringLiteral("Alt");
    in.key = QStringLiteral("q");
    QVERIFY(f.controller->save(in));
    QCOMPARE(f.hotKey.modifiers(), int(GlobalHotKey::Alt));
    QCOMPARE(f.hotKey.keyCode(), int('Q'));
    QCOMPARE(f.library.bossKey().value(), QStringLiteral("Alt|q"));

    // A stored key without "|" started nothing at load; a save starts it.
    f.exec(QStringLiteral("UPDATE SysSet SET BossKey = 'B'"));
    f.restart();
    f.hotKey.unregisterKey();
    f.controller->load();
    QCOMPARE(f.hotKey.keyCode(), 0);
    QVERIFY(f.controller->save(validInput()));
    QCOMPARE(f.hotKey.keyCode(), int('B'));
}

void TestSettingsController::takenCombinationReportedAfterSuccess()
{
    Fixture f;
    f.controller->load();
    f.hotKey.nextResult = GlobalHotKey::Result::Taken;
    SettingsInput in = validInput();
    in.key = QStringLiteral("k");
    QVERIFY(f.controller->save(in));

    QCOMPARE(f.library.bossKey().value(), QStringLiteral("Ctrl|k"));
    QCOMPARE(f.dialogs.count(), 2);
    QCOMPARE(f.dialogs.boxes().at(0).text, QStringLiteral("恭喜你，参数设置成功！"));
    QVERIFY(f.dialogs.last().text.contains(QStringLiteral("已被其他程序占用")));
    QVERIFY(f.dialogs.last().text.contains(QStringLiteral("Ctrl+K")));
    QCOMPARE(f.dialogs.last().style, 48);
    QVERIFY(f.controller->bossKeyNotice().contains(QStringLiteral("Ctrl+K")));

    f.hotKey.nextResult = GlobalHotKey::Result::Ok;
    QVERIFY(f.controller->save(in));
    QVERIFY(f.controller->bossKeyNotice().isEmpty());
}

void TestSettingsController::unavailableBossKeyNoticeOnly()
{
    Fixture f;
    f.hotKey.setAvailable(false);
    f.exec(QStringLiteral("UPDATE SysSet SET BossKey = 'Ctrl|B'"));
    f.controller->load();
    QVERIFY(f.controller->bossKeyNotice().contains(QStringLiteral("X11")));
    QVERIFY(f.controller->save(validInput()));
    // The page says it once; saving does not nag with a box each time.
    QCOMPARE(f.dialogs.count(), 1);
    QVERIFY(f.controller->bossKeyNotice().contains(QStringLiteral("X11")));

    // Also when the stored key has no "|" and so starts nothing.
    f.exec(QStringLiteral("UPDATE SysSet SET BossKey = 'B'"));
    f.restart();
    f.controller->load();
    QVERIFY(!f.controller->bossKeyNotice().isEmpty());
}

void TestSettingsController::chooseFolder()
{
    Fixture f;
    f.pickers.nextFolder(QString());
    QCOMPARE(f.controller->chooseFolder(nullptr), std::nullopt);
    QCOMPARE(f.dialogs.last().text, QStringLiteral("你取消了选择目录.."));
    QCOMPARE(f.dialogs.last().title, QStringLiteral("Quillmere"));
    QCOMPARE(f.dialogs.last().style, 48);
    QCOMPARE(f.pickers.requests().last().title, QStringLiteral("请选择一个目录."));

    f.pickers.nextFolder(QStringLiteral("/srv/新 书"));
    QCOMPARE(f.controller->chooseFolder(nullptr), std::optional<QString>(QStringLiteral("/srv/新 书")));
    QCOMPARE(f.dialogs.count(), 1);
    // Nothing is stored until the save.
    QCOMPARE(f.library.downSavePath().value(), f.state.downloadFolder);
}

void TestSettingsController::cancelledColourGivesNothing()
{
    Fixture f;
    f.pickers.nextColor(std::nullopt);
    QCOMPARE(f.controller->chooseColor(nullptr, Qt::red), std::nullopt);
    f.pickers.nextColor(QColor(1, 2, 3));
    QCOMPARE(f.controller->chooseColor(nullptr, Qt::red), std::optional<QColor>(QColor(1, 2, 3)));
    QVERIFY(f.dialogs.boxes().isEmpty());
}

void TestSettingsController::databaseFailureIsNotReportedAsSuccess()
{
    Fixture f;
    f.controller->load();
    const QString folderBefore = f.state.downloadFolder;
    f.appearance.calls.clear();
    f.exec(QStringLiteral("DROP TABLE SysSet"));
    QVERIFY(!f.controller->save(validInput()));
    QCOMPARE(f.dialogs.count(), 1);
    QCOMPARE(f.dialogs.last().title, QStringLiteral("保存失败"));
    QCOMPARE(f.dialogs.last().style, 16);
    QCOMPARE(f.state.downloadFolder, folderBefore);
    QVERIFY(f.appearance.calls.isEmpty());
}

void TestSettingsController::unreadableSettingsLeaveThePageAsDesigned()
{
    Fixture f;
    f.exec(QStringLiteral("DROP TABLE SysSet"));
    const SettingsView view = f.controller->load();
    QVERIFY(f.appearance.calls.isEmpty()); // not black on black
    QCOMPARE(view.key, QStringLiteral("B"));
    QCOMPARE(view.sizeIndex, 3);
    QCOMPARE(f.hotKey.registrations, 0);
    QVERIFY(f.dialogs.boxes().isEmpty());
}

QTEST_MAIN(TestSettingsController)
#include "tst_settingscontroller.moc"
