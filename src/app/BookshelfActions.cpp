#include "app/BookshelfActions.h"

#include "app/LibraryDatabase.h"
#include "app/ReaderNavigator.h"
#include "common/SharedRoutines.h"
#include "platform/DesktopLauncher.h"
#include "platform/Dialogs.h"

#include <algorithm>

namespace {
const QString kCrLf = QStringLiteral("\r\n");
constexpr int kReadingPage = 2; // SelectToolBar index of "阅读窗口"
} // namespace

BookshelfActions::BookshelfActions(LibraryDatabase& library, Dialogs& dialogs, DesktopLauncher& desktop,
                                   ReaderNavigator& navigator)
    : m_library(library), m_dialogs(dialogs), m_desktop(desktop), m_navigator(navigator)
{
}

bool BookshelfActions::checkExists(const QString& path)
{
    if (CheckFileExists(path))
        return true;
    m_dialogs.message(QStringLiteral("文件地址不存在，请检查是否移动或删除了以下文件：") + kCrLf + path,
                      QStringLiteral("电子书打开失败!"), Dialogs::Stop);
    return false;
}

bool BookshelfActions::openFromShelf(const QString& path)
{
    if (!checkExists(path))
        return false;
    m_navigator.selectToolBar(kReadingPage);
    // A failed stamp must not keep the book from opening, nor go unsaid.
    const bool stamped = m_library.stampLastRead(path) >= 0;
    m_navigator.getChapter(path, QString());
    if (!stamped)
        reportStampFailure(m_library, m_dialogs);
    return true;
}

bool BookshelfActions::readFromStart(const QString& path)
{
    if (!checkExists(path))
        return false;
    m_navigator.selectToolBar(kReadingPage);
    m_navigator.getChapterFromStart(path);
    return true;
}

bool BookshelfActions::readFromBookmark(const QString& path, const QString& bookmark)
{
    if (!checkExists(path))
        return false;
    m_navigator.selectToolBar(kReadingPage);
    m_navigator.getChapter(path, bookmark);
    return true;
}

void BookshelfActions::editBook(const QString& id)
{
    m_navigator.showBookDialog(QStringLiteral("edit>||<") + id);
}

bool BookshelfActions::removeBook(const QString& id, const QString& name)
{
    const Answer answer = m_dialogs.message(QStringLiteral("是否真要将《%1》从列表中移除！").arg(name),
                                            QStringLiteral("确认删除"), Dialogs::YesNo);
    if (answer != Answer::Yes)
        return false;
    bool numeric = false;
    const qint64 bookId = id.toLongLong(&numeric);
    if (!numeric || !m_library.deleteBook(bookId)) {
        const QString why = numeric ? m_library.failureText() : QString();
        m_dialogs.message(QStringLiteral("删除失败：无法从书库数据库中移除《%1》。").arg(name) + kCrLf + kCrLf + why,
                          QStringLiteral("删除失败"), Dialogs::Stop);
        return false;
    }
    return true;
}

void BookshelfActions::reportStampFailure(const LibraryDatabase& library, Dialogs& dialogs)
{
    dialogs.message(QStringLiteral("这本书的最近阅读时间未能写入书库。") + kCrLf + kCrLf + library.failureText(),
                    QStringLiteral("书库写入失败"), Dialogs::Exclamation);
}

QString BookshelfActions::folderOf(const QString& path)
{
    const int cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    if (cut < 0)
        return QString();
    // A Windows-style path keeps its trailing "\" (C:\书\); a "/" path drops it except at the root.
    if (path.at(cut) == QLatin1Char('\\'))
        return path.left(cut + 1);
    return cut == 0 ? QStringLiteral("/") : path.left(cut);
}

bool BookshelfActions::openFolder(const QString& path)
{
    const QString folder = folderOf(path);
    if (!folder.isEmpty() && m_desktop.openFolder(folder))
        return true;
    m_dialogs.message(QStringLiteral("无法打开电子书所在的目录：") + kCrLf + (folder.isEmpty() ? path : folder),
                      QStringLiteral("打开目录失败"), Dialogs::Exclamation);
    return false;
}
