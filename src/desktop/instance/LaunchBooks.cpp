#include "desktop/instance/LaunchBooks.h"

#include "app/BookDialogController.h"
#include "app/BookFileName.h"
#include "app/BookshelfActions.h"
#include "app/LibraryDatabase.h"
#include "app/ReaderNavigator.h"
#include "desktop/BossKey.h"
#include "platform/Dialogs.h"

#include <QFileInfo>
#include <QWidget>

namespace {
const QString kCrLf = QStringLiteral("\r\n");
constexpr int kReadingPage = 2;
} // namespace

LaunchBooks::LaunchBooks(LibraryDatabase& library, Dialogs& dialogs, DesktopLauncher& desktop,
                         ReaderNavigator& navigator)
    : m_library(library), m_dialogs(dialogs), m_desktop(desktop), m_navigator(navigator)
{
}

QString LaunchBooks::titleFor(const QString& path)
{
    const QString title = BookFileName::parse(path).title;
    return title.isEmpty() ? QFileInfo(path).fileName() : title;
}

QString LaunchBooks::authorFor(const QString& path)
{
    const QString author = BookFileName::parse(path).author;
    return author.isEmpty() ? BookDialogController::defaultAuthor() : author;
}

QString LaunchBooks::open(const QStringList& paths)
{
    QStringList unopened;
    QStringList notStored;
    QString storeFailure;
    QString shown;
    bool shownOnShelf = false;
    bool shelfChanged = false;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (!info.exists()) {
            unopened << path + QStringLiteral("（文件不存在）");
            continue;
        }
        if (!info.isFile()) {
            unopened << path + QStringLiteral("（不是文件）");
            continue;
        }
        if (!info.isReadable()) {
            unopened << path + QStringLiteral("（没有读取权限）");
            continue;
        }
        bool onShelf = m_library.bookByPath(path).has_value();
        if (!onShelf && m_library.lastFailure() == LibraryDatabase::Failure::None) {
            onShelf = m_library.insertBook(category(), titleFor(path), authorFor(path), path).has_value();
            shelfChanged = shelfChanged || onShelf;
        }
        if (!onShelf) {
            notStored << path;
            storeFailure = m_library.failureText();
        }
        if (shown.isEmpty()) {
            shown = path;
            shownOnShelf = onShelf;
        }
    }

    if (!shown.isEmpty()) {
        BookshelfActions actions(m_library, m_dialogs, m_desktop, m_navigator);
        if (shownOnShelf) {
            // The stamp changes "最近阅读", so the shelf is read again below.
            shelfChanged = actions.openFromShelf(shown) || shelfChanged;
        } else {
            // Not on the shelf, and it could not be put there: read all the same.
            m_navigator.selectToolBar(kReadingPage);
            m_navigator.getChapter(shown, QString());
        }
    }
    if (shelfChanged)
        m_navigator.readList();

    if (!notStored.isEmpty()) {
        m_dialogs.message(QStringLiteral("以下文件没能添加到书架：") + kCrLf + notStored.join(kCrLf) + kCrLf + kCrLf +
                              storeFailure,
                          QStringLiteral("书库写入失败"), Dialogs::Stop);
    }
    if (!unopened.isEmpty()) {
        m_dialogs.message(QStringLiteral("以下文件无法打开：") + kCrLf + unopened.join(kCrLf),
                          QStringLiteral("电子书打开失败!"), Dialogs::Stop);
    }
    return shown;
}

void LaunchBooks::bringToFront(QWidget& window, BossKey* bossKey)
{
    if (bossKey && bossKey->windowsHidden())
        bossKey->toggle();
    window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window.show();
    window.raise();
    window.activateWindow();
}
