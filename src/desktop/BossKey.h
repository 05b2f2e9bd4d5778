#pragma once

#include "platform/GlobalHotKey.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

// The boss key: one press hides every window of the program that is showing, the next
// press brings exactly those back. Windows that were already hidden stay hidden.
class BossKey : public QObject {
    Q_OBJECT
public:
    explicit BossKey(GlobalHotKey& hotKey, QObject* parent = nullptr);

    // "alt" 1, "ctrl" 2, "shift" 4, compared without regard to case; any other name
    // keeps `current`.
    static int modifierFlags(const QString& name, int current);
    // The character code of the key text's first character in upper case; 0 for no text.
    static int keyCode(const QString& key);

    bool isAvailable() const { return m_hotKey.isAvailable(); }
    // Registers the combination (at load and on every save), releasing the earlier one.
    // A name that is none of the three modifiers keeps the modifier in force; with none in
    // force no key is grabbed, since a bare letter would be taken from every program.
    GlobalHotKey::Result setCombination(const QString& modifier, const QString& key);
    int modifiers() const { return m_modifiers; }
    int key() const { return m_keyCode; }

    // What a press does; public so the page and tests can drive it without a key.
    void toggle();
    bool windowsHidden() const { return m_hiddenByUs; }

signals:
    void toggled(bool hidden);

private:
    static bool isRealWindow(const QWidget* w);
    static void setWindowShown(QWidget* w, bool shown);

    GlobalHotKey& m_hotKey;
    int m_modifiers = 0;
    int m_keyCode = 0;
    bool m_hiddenByUs = false;
    QList<QPointer<QWidget>> m_hidden;
};
