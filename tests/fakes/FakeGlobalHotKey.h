#pragma once

#include "platform/GlobalHotKey.h"

// A hot key that records registrations, answers with a scripted result and is pressed
// by the test.
class FakeGlobalHotKey : public GlobalHotKey {
    Q_OBJECT
public:
    bool isAvailable() const override { return m_available; }
    Result registerKey(int modifiers, int keyCode) override
    {
        ++registrations;
        if (!m_available)
            return Result::Unavailable;
        if (nextResult != Result::Ok) {
            m_modifiers = m_keyCode = 0;
            return nextResult;
        }
        m_modifiers = modifiers;
        m_keyCode = keyCode;
        return Result::Ok;
    }
    void unregisterKey() override { m_modifiers = m_keyCode = 0; }

    void setAvailable(bool available) { m_available = available; }
    // Emits triggered() only when a combination is registered, as a real key would.
    void press()
    {
        if (m_keyCode != 0)
            emit triggered();
    }
    int modifiers() const { return m_modifiers; }
    int keyCode() const { return m_keyCode; }

    Result nextResult = Result::Ok;
    int registrations = 0;

private:
    bool m_available = true;
    int m_modifiers = 0;
    int m_keyCode = 0;
};
