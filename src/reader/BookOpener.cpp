#include "reader/BookOpener.h"

#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/BookshelfActions.h"
#include "app/LibraryDatabase.h"
#include "app/ReaderNavigator.h"
#include "platform/Dialogs.h"
#include "platform/Pickers.h"

#include <QFileInfo>

BookOpener::BookOpener(AppServices& services, ReaderNavigator& navigator) : m_services(services), m_navigator(navigator)
{
}

void BookOpener::openFile(QWidget* parent)
{
    const QString path = m_services.pickers.openFile(parent, dialogTitle(), dialogFilter());
    if (path.isEmpty())
        return; // cancelled
    openPath(path);
}

void BookOpener::openPath(const QString& path)
{
    if (!QFileInfo(path).isFile()) {
        m_services.dialogs.message(QStringLiteral("文件地址不存在，请检查是否移动或删除了以下文件：\r\n") + path,
                                   QStringLiteral("电子书打开失败!"), Dialogs::Stop);
        return;
    }
    // The current book path is left alone here: it changes with the chapter list, when the
    // book is read (getChapter), so a bookmark always names the book on show. A book offered
    // for the shelf and then not opened (the dialog closed with Esc) changes nothing.
    LibraryDatabase* library = m_services.state.library;
    const bool onShelf = library && library->bookByPath(path).has_value();
    if (library && library->lastFailure() != LibraryDatabase::Failure::None) {
        // Whether the book is on the shelf cannot be told: it is read without a stamp or an
        // offer to add it, and the user learns why.
        m_navigator.getChapter(path, QString());
        m_services.dialogs.message(library->failureText(), QStringLiteral("书库读取失败"), Dialogs::Stop);
        return;
    }
    if (!onShelf) {
        const Answer answer = m_services.dialogs.message(
            QStringLiteral("提示：\r\n\r\n") + path + QStringLiteral("\r\n\r\n还没有添加到书架，是否添加到你的书架？"),
            QStringLiteral("添加电子书"), Dialogs::YesNo);
        if (answer == Answer::Yes)
            m_navigator.showBookDialog(QStringLiteral("opennew"), path); // the dialog adds the book, then opens it
        else
            m_navigator.getChapter(path, QString());
        return;
    }
    const bool stamped = library->stampLastRead(path) >= 0;
    m_navigator.getChapter(path, QString());
    if (!stamped)
        BookshelfActions::reportStampFailure(*library, m_services.dialogs);
}
