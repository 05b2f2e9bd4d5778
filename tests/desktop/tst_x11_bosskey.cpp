// Runs under xvfb-run with the xcb platform: real key grabs, real key presses from xdotool.
#include "desktop/BossKey.h"
#include "platform/x11/X11GlobalHotKey.h"

#include <QDialog>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {

// Presses a key combination the way a user would, through the X server.
bool press(const QString& combination)
{
    return QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), combination}) == 0;
}

// Another X client, as a program that already holds a key combination.
class OtherClient {
public:
    OtherClient() : m_connection(xcb_connect(nullptr, nullptr)) {}
    ~OtherClient() { xcb_disconnect(m_connection); }
    bool ok() const { return !xcb_connection_has_error(m_connection); }

    bool grab(quint16 mask, quint32 keysym)
    {
        const xcb_keycode_t code = keycodeFor(keysym);
        if (code == 0)
            return false;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        xcb_generic_error_t* error =
            xcb_request_check(m_connection, xcb_grab_key_checked(m_connection, 0, root, mask, code, XCB_GRAB_MODE_ASYNC,
                                                                 XCB_GRAB_MODE_ASYNC));
        std::free(error);
        return error == nullptr;
    }

private:
    xcb_keycode_t keycodeFor(quint32 keysym)
    {
        const xcb_setup_t* setup = xcb_get_setup(m_connection);
        const int count = setup->max_keycode - setup->min_keycode + 1;
        auto* reply = xcb_get_keyboard_mapping_reply(
            m_connection, xcb_get_keyboard_mapping(m_connection, setup->min_keycode, quint8(count)), nullptr);
        xcb_keycode_t found = 0;
        if (reply) {
            const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
            for (int i = 0; i < count && !found; ++i) {
                if (syms[i * reply->keysyms_per_keycode] == keysym)
                    found = xcb_keycode_t(setup->min_keycode + i);
            }
            std::free(reply);
        }
        return found;
    }

    xcb_connection_t* m_connection;
};

} // namespace

class TestX11BossKey : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void hidesAndRestoresWindows();
    void worksWithCapsLockOn();
    void changedCombinationReleasesTheOldOne();
    void combinationHeldByAnotherClientIsTaken();
    void heldKeyTogglesOnce();
    void worksWhileAMenuHoldsTheKeyboard();
};

void TestX11BossKey::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)");
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("xdotool is not installed (Debian package xdotool)");
}

void TestX11BossKey::hidesAndRestoresWindows()
{
    X11GlobalHotKey hotKey;
    QVERIFY(hotKey.isAvailable());
    BossKey boss(hotKey);
    QCOMPARE(boss.setCombination(QStringLiteral("Ctrl"), QStringLiteral("b")), GlobalHotKey::Result::Ok);

    QMainWindow main;
    main.resize(400, 300);
    main.show();
    QDialog dialog(&main);
    dialog.open();
    QWidget hiddenBefore; // like the window that only holds the pop-up menus
    hiddenBefore.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(QTest::qWaitForWindowExposed(&hiddenBefore));
    hiddenBefore.hide();

    QVERIFY(press(QStringLiteral("ctrl+b")));
    QTRY_VERIFY(!main.isVisible());
    QVERIFY(!dialog.isVisible());
    QVERIFY(!hiddenBefore.isVisible());

    QVERIFY(press(QStringLiteral("ctrl+b")));
    QTRY_VERIFY(main.isVisible());
    QTRY_VERIFY(dialog.isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QVERIFY(!hiddenBefore.isVisible());
}

void TestX11BossKey::worksWithCapsLockOn()
{
    X11GlobalHotKey hotKey;
    BossKey boss(hotKey);
    QCOMPARE(boss.setCombination(QStringLiteral("alt"), QStringLiteral("w")), GlobalHotKey::Result::Ok);
    QMainWindow main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));

    QVERIFY(press(QStringLiteral("Caps_Lock")));
    const bool hid = press(QStringLiteral("alt+w")) && QTest::qWaitFor([&] { return !main.isVisible(); });
    const bool showed = press(QStringLiteral("alt+w")) && QTest::qWaitFor([&] { return main.isVisible(); });
    QVERIFY(press(QStringLiteral("Caps_Lock"))); // back off before any verdict
    QVERIFY(hid);
    QVERIFY(showed);
}

void TestX11BossKey::changedCombinationReleasesTheOldOne()
{
    X11GlobalHotKey hotKey;
    BossKey boss(hotKey);
    QCOMPARE(boss.setCombination(QStringLiteral("Ctrl"), QStringLiteral("B")), GlobalHotKey::Result::Ok);
    QCOMPARE(boss.setCombination(QStringLiteral("Alt"), QStringLiteral("q")), GlobalHotKey::Result::Ok);

    QMainWindow main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QSignalSpy toggled(&boss, &BossKey::toggled);

    // The old combination does nothing here...
    QVERIFY(press(QStringLiteral("ctrl+b")));
    QTest::qWait(300);
    QCOMPARE(toggled.count(), 0);
    QVERIFY(main.isVisible());
    // ...and is free again for every other program.
    OtherClient other;
    QVERIFY(other.ok());
    QVERIFY(other.grab(XCB_MOD_MASK_CONTROL, 'b'));

    QVERIFY(press(QStringLiteral("alt+q")));
    QTRY_VERIFY(!main.isVisible());
    QVERIFY(press(QStringLiteral("alt+q")));
    QTRY_VERIFY(main.isVisible());
    QCOMPARE(toggled.count(), 2);
}

void TestX11BossKey::combinationHeldByAnotherClientIsTaken()
{
    auto other = std::make_unique<OtherClient>();
    QVERIFY(other->ok());
    QVERIFY(other->grab(XCB_MOD_MASK_1, 'j'));

    X11GlobalHotKey hotKey;
    BossKey boss(hotKey);
    QCOMPARE(boss.setCombination(QStringLiteral("Alt"), QStringLiteral("J")), GlobalHotKey::Result::Taken);

    QMainWindow main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QVERIFY(press(QStringLiteral("alt+j")));
    QTest::qWait(300);
    QVERIFY(main.isVisible());

    // Once the other program lets go, the same combination can be had.
    other.reset();
    QCOMPARE(boss.setCombination(QStringLiteral("Alt"), QStringLiteral("J")), GlobalHotKey::Result::Ok);
    QVERIFY(press(QStringLiteral("alt+j")));
    QTRY_VERIFY(!main.isVisible());
}

void TestX11BossKey::heldKeyTogglesOnce()
{
    X11GlobalHotKey hotKey;
    BossKey boss(hotKey);
    QCOMPARE(boss.setCombination(QStringLiteral("Ctrl"), QStringLiteral("B")), GlobalHotKey::Result::Ok);
    QMainWindow main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QSignalSpy toggled(&boss, &BossKey::toggled);

    // Key repeat while the combination is held must not make the windows flicker.
    QVERIFY(QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("ctrl+b")}) == 0);
    QTest::qWait(1200);
    QVERIFY(QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("ctrl+b")}) == 0);
    QTRY_COMPARE(toggled.count(), 1);
    QTest::qWait(200);
    QCOMPARE(toggled.count(), 1);
    QVERIFY(!main.isVisible());

    // The next real press is a press again.
    QVERIFY(press(QStringLiteral("ctrl+b")));
    QTRY_VERIFY(main.isVisible());
}

void TestX11BossKey::worksWhileAMenuHoldsTheKeyboard()
{
    X11GlobalHotKey hotKey;
    BossKey boss(hotKey);
    QCOMPARE(boss.setCombination(QStringLiteral("Ctrl"), QStringLiteral("B")), GlobalHotKey::Result::Ok);
    QMainWindow main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QMenu menu(&main);
    menu.addAction(QStringLiteral("加入书签"));
    menu.addAction(QStringLiteral("朗读本章"));
    menu.popup(main.geometry().center());
    QVERIFY(QTest::qWaitForWindowExposed(&menu));

    // An open menu grabs the keyboard, so the press reaches the menu, not the root window.
    QVERIFY(press(QStringLiteral("ctrl+b")));
    QTRY_VERIFY(!main.isVisible());
    QVERIFY(!menu.isVisible());
    QVERIFY(press(QStringLiteral("ctrl+b")));
    QTRY_VERIFY(main.isVisible());
    QVERIFY(!menu.isVisible());
}

QTEST_MAIN(TestX11BossKey)
#include "tst_x11_bosskey.moc"
