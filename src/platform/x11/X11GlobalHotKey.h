#pragma once

#include "platform/GlobalHotKey.h"

#include <QAbstractNativeEventFilter>
#include <QList>

struct xcb_connection_t;

// The boss key under X11: a passive key grab on the root window, made on the very
// connection Qt uses, so the key press arrives through Qt's own event stream. Other
// platforms (Wayland, offscreen) leave it unavailable.
class X11GlobalHotKey : public GlobalHotKey, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit X11GlobalHotKey(QObject* parent = nullptr);
    ~X11GlobalHotKey() override;

    bool isAvailable() const override { return m_connection != nullptr; }
    Result registerKey(int modifiers, int keyCode) override;
    void unregisterKey() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    // The keycode carrying the keysym(s), searched column by column as Xlib does; 0 when none.
    quint8 keycodeFor(const QList<quint32>& keysyms) const;
    quint16 numLockMask() const;
    QList<quint16> lockVariants() const;
    void ungrab(quint16 mask, quint8 keycode);

    xcb_connection_t* m_connection = nullptr;
    QList<quint32> m_roots;
    quint16 m_mask = 0;    // X modifier mask of the combination in force
    quint8 m_keycode = 0;  // 0: nothing grabbed
    quint16 m_ignored = 0; // Caps Lock and Num Lock bits, ignored when matching a press
    bool m_held = false;   // pressed and not yet released: further presses are key repeat
    quint32 m_pressTime = 0;
    quint32 m_releaseTime = 0;
};
