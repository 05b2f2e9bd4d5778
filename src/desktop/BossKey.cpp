#include "desktop/BossKey.h"

#include <QApplication>
#include <QWindow>

#include <utility>

BossKey::BossKey(GlobalHotKey& hotKey, QObject* parent) : QObject(parent), m_hotKey(hotKey)
{
    connect(&m_hotKey, &GlobalHotKey::triggered, this, &BossKey::toggle);
}

int BossKey::modifierFlags(const QString& name, int current)
{
    const QString lower = name.toLower();
    if (lower == QLatin1String("alt"))
        return GlobalHotKey::Alt;
    if (lower == QLatin1String("ctrl"))
        return GlobalHotKey::Ctrl;
    if (lower == QLatin1String("shift"))
        return GlobalHotKey::Shift;
    return current;
}

int BossKey::keyCode(const QString& key)
{
    if (key.isEmpty())
        return 0;
    return key.at(0).toUpper().unicode();
}

GlobalHotKey::Result BossKey::setCombination(const QString& modifier, const QString& key)
{
    m_modifiers = modifierFlags(modifier, m_modifiers);
    m_keyCode = keyCode(key);
    if (m_modifiers == 0 || m_keyCode == 0) {
        m_hotKey.unregisterKey();
        return m_hotKey.isAvailable() ? GlobalHotKey::Result::NoSuchKey : GlobalHotKey::Result::Unavailable;
    }
    return m_hotKey.registerKey(m_modifiers, m_keyCode);
}

bool BossKey::isRealWindow(const QWidget* w)
{
    switch (w->windowType()) {
    case Qt::Window:
    case Qt::Dialog:
    case Qt::Sheet:
    case Qt::Drawer:
    case Qt::Tool:
        return true;
    default:
        return false; // menus, tooltips, splash screens, the desktop
    }
}

void BossKey::setWindowShown(QWidget* w, bool shown)
{
    // Through the native window, not QWidget::setVisible: hiding a dialog that way ends
    // its exec() as if it were cancelled, and the boss key must not answer for the user.
    if (QWindow* handle = w->windowHandle())
        handle->setVisible(shown);
    else
        w->setVisible(shown);
}

void BossKey::toggle()
{
    if (m_hiddenByUs) {
        m_hiddenByUs = false;
        const QList<QPointer<QWidget>> hidden = std::exchange(m_hidden, {});
        // Owners first, so that their dialogs come back on top of them.
        for (bool owned : {false, true}) {
            for (const QPointer<QWidget>& w : hidden) {
                if (w && (w->parentWidget() != nullptr) == owned)
                    setWindowShown(w, true);
            }
        }
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->activateWindow();
        else if (!hidden.isEmpty() && hidden.first())
            hidden.first()->activateWindow();
        emit toggled(false);
        return;
    }
    // An open menu would otherwise float alone over whatever the user switched to.
    for (int i = 0; i < 16 && QApplication::activePopupWidget(); ++i)
        QApplication::activePopupWidget()->close();
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w->isVisible() && isRealWindow(w))
            m_hidden << w;
    }
    if (m_hidden.isEmpty())
        return;
    for (const QPointer<QWidget>& w : std::as_const(m_hidden))
        setWindowShown(w, false);
    m_hiddenByUs = true;
    emit toggled(true);
}
