#include "platform/x11/X11GlobalHotKey.h"

#include <QChar>
#include <QGuiApplication>
#include <QMetaObject>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

constexpr quint32 kNumLockKeysym = 0xff7f;
constexpr quint16 kModifierBits = 0xff; // Shift, Lock, Control, Mod1..Mod5; the rest are buttons
// Repeats come every few dozen milliseconds; a press this long after the last one is new.
constexpr quint32 kRepeatWindowMs = 1000;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

// Unicode keysyms: Latin-1 maps to itself, everything else to 0x01000000 + code point.
quint32 keysymForChar(uint code)
{
    return code <= 0xff ? code : (0x01000000u | code);
}

} // namespace

X11GlobalHotKey::X11GlobalHotKey(QObject* parent) : GlobalHotKey(parent)
{
    // Offscreen and Wayland sessions have no X connection; the boss key is simply unavailable there.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection() || xcb_connection_has_error(x11->connection()))
        return;
    m_connection = x11->connection();
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(m_connection)); it.rem; xcb_screen_next(&it))
        m_roots << it.data->root;
    qGuiApp->installNativeEventFilter(this);
}

X11GlobalHotKey::~X11GlobalHotKey()
{
    if (!m_connection)
        return;
    unregisterKey();
    if (qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

quint8 X11GlobalHotKey::keycodeFor(const QList<quint32>& keysyms) const
{
    const xcb_setup_t* setup = xcb_get_setup(m_connection);
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    XcbReply<xcb_get_keyboard_mapping_reply_t> mapping(xcb_get_keyboard_mapping_reply(
        m_connection, xcb_get_keyboard_mapping(m_connection, setup->min_keycode, quint8(count)), nullptr));
    if (!mapping)
        return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int perCode = mapping->keysyms_per_keycode;
    for (int column = 0; column < perCode; ++column) {
        for (int i = 0; i < count; ++i) {
            if (keysyms.contains(syms[i * perCode + column]))
                return quint8(first + i);
        }
    }
    return 0;
}

quint16 X11GlobalHotKey::numLockMask() const
{
    const quint8 numLock = keycodeFor({kNumLockKeysym});
    XcbReply<xcb_get_modifier_mapping_reply_t> mods(
        xcb_get_modifier_mapping_reply(m_connection, xcb_get_modifier_mapping(m_connection), nullptr));
    if (!mods || numLock == 0)
        return XCB_MOD_MASK_2; // where nearly every keymap puts it
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mods.get());
    const int perModifier = mods->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            if (codes[modifier * perModifier + i] == numLock)
                return quint16(1u << modifier);
        }
    }
    return XCB_MOD_MASK_2;
}

QList<quint16> X11GlobalHotKey::lockVariants() const
{
    // The grab must hold whatever the state of Caps Lock and Num Lock.
    return {0, XCB_MOD_MASK_LOCK, quint16(m_ignored & ~XCB_MOD_MASK_LOCK), m_ignored};
}

GlobalHotKey::Result X11GlobalHotKey::registerKey(int modifiers, int keyCode)
{
    unregisterKey();
    if (!m_connection)
        return Result::Unavailable;

    quint16 mask = 0;
    if (modifiers & Alt)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & Ctrl)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Shift)
        mask |= XCB_MOD_MASK_SHIFT;

    const QChar ch{char16_t(keyCode)};
    QList<quint32> keysyms{keysymForChar(uint(keyCode))};
    if (ch.toLower() != ch)
        keysyms << keysymForChar(ch.toLower().unicode());
    const quint8 keycode = keyCode > 0 ? keycodeFor(keysyms) : 0;
    if (keycode == 0)
        return Result::NoSuchKey;

    m_ignored = quint16(XCB_MOD_MASK_LOCK | numLockMask());
    QList<xcb_void_cookie_t> cookies;
    for (quint32 root : std::as_const(m_roots)) {
        for (quint16 variant : lockVariants())
            cookies << xcb_grab_key_checked(m_connection, 0, root, quint16(mask | variant), keycode,
                                            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    }
    // Checked requests turn another client's grab (BadAccess) into an answer here and now.
    Result result = Result::Ok;
    for (const xcb_void_cookie_t& cookie : std::as_const(cookies)) {
        if (xcb_generic_error_t* error = xcb_request_check(m_connection, cookie)) {
            if (result == Result::Ok)
                result = error->error_code == XCB_ACCESS ? Result::Taken : Result::Unavailable;
            std::free(error);
        }
    }
    if (result != Result::Ok) {
        // Release the variants that did succeed, or the key would stay half-captured.
        ungrab(mask, keycode);
        return result;
    }
    m_mask = mask;
    m_keycode = keycode;
    return Result::Ok;
}

void X11GlobalHotKey::ungrab(quint16 mask, quint8 keycode)
{
    for (quint32 root : std::as_const(m_roots)) {
        for (quint16 variant : lockVariants())
            xcb_ungrab_key(m_connection, keycode, root, quint16(mask | variant));
    }
    xcb_flush(m_connection);
}

void X11GlobalHotKey::unregisterKey()
{
    if (!m_connection || m_keycode == 0)
        return;
    ungrab(m_mask, m_keycode);
    m_keycode = 0;
    m_mask = 0;
    m_held = false;
}

bool X11GlobalHotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (m_keycode == 0 || eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const quint8 type = event->response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    // Press and release share one layout.
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (key->detail != m_keycode)
        return false;
    if (type == XCB_KEY_RELEASE) {
        m_held = false;
        m_releaseTime = key->time;
        return false;
    }
    // Matched whatever window it names: while a menu of ours holds the keyboard the press
    // comes to that menu rather than to the root window.
    if ((key->state & kModifierBits & ~m_ignored) != m_mask)
        return false;
    // A held key repeats: as presses alone, or as release/press pairs stamped with one time.
    // Either way only the first press counts, or the windows would flicker.
    const bool repeat =
        (m_held && key->time - m_pressTime < kRepeatWindowMs) || (!m_held && key->time == m_releaseTime);
    m_held = true;
    m_pressTime = key->time;
    if (!repeat) {
        // Hiding windows from inside Qt's event delivery is asking for trouble; do it next.
        QMetaObject::invokeMethod(this, &GlobalHotKey::triggered, Qt::QueuedConnection);
    }
    return true;
}
