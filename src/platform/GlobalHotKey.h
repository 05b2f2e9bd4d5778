#pragma once

#include <QObject>

// A key combination that reaches the program wherever the keyboard focus is.
// One combination at a time: registering another releases the earlier one.
class GlobalHotKey : public QObject {
    Q_OBJECT
public:
    // Modifier flags, combinable.
    enum Modifier { Alt = 1, Ctrl = 2, Shift = 4 };

    enum class Result {
        Ok,
        Taken,       // another program holds the combination
        Unavailable, // the desktop offers no global keys (Wayland, no X server)
        NoSuchKey    // the keyboard has no key for the character
    };

    using QObject::QObject;
    ~GlobalHotKey() override = default;

    virtual bool isAvailable() const = 0;
    // keyCode is the character code of the upper-case key character ('B' is 66).
    // The earlier combination is released whatever the result.
    virtual Result registerKey(int modifiers, int keyCode) = 0;
    virtual void unregisterKey() = 0;

signals:
    void triggered();
};
