#include "reader/BookmarkController.h"

#include "app/LibraryDatabase.h"
#include "platform/Dialogs.h"

BookmarkController::BookmarkController(LibraryDatabase* library, Dialogs& dialogs, std::function<void()> refillShelf)
    : m_library(library), m_dialogs(dialogs), m_refillShelf(std::move(refillShelf))
{
}

BookmarkController::AddResult BookmarkController::addBookmark(const QString& bookPath, const QString& label,
                                                              bool hasChapters)
{
    if (!hasChapters)
        return AddResult::NoChapter;
    const int changed = m_library ? m_library->setBookmark(bookPath, label) : -1;
    if (changed == 0) {
        // A book read without being added has no row to hold the bookmark: saying
        // "success" here would lose the bookmark silently.
        m_dialogs.message(QStringLiteral("书签添加失败：这本书还没有添加到你的书架，无法保存书签。\r\n"
                                         "请先把它添加到书架，再添加书签。"),
                          QStringLiteral("添加书签"), Dialogs::Exclamation);
        return AddResult::NotOnShelf;
    }
    if (changed < 0) {
        const QString why = m_library ? QStringLiteral("\r\n\r\n") + m_library->failureText() : QString();
        m_dialogs.message(QStringLiteral("书签添加失败：无法写入书库，请稍后再试。") + why, QStringLiteral("添加书签"),
                          Dialogs::Stop);
        return AddResult::Failed;
    }
    m_dialogs.message(QStringLiteral("恭喜你：书签添加成功！"), QStringLiteral("添加成功"), Dialogs::Information);
    if (m_refillShelf)
        m_refillShelf();
    return AddResult::Added;
}

int BookmarkController::bookmarkRow(const QString& bookPath, const QStringList& labels) const
{
    QString mark;
    if (m_library) {
        if (const auto row = m_library->bookByPath(bookPath))
            mark = row->marke;
        else if (m_library->lastFailure() != LibraryDatabase::Failure::None)
            m_dialogs.message(m_library->failureText(), QStringLiteral("书库读取失败"), Dialogs::Stop);
    }
    return findLabel(labels, mark);
}

int BookmarkController::findLabel(const QStringList& labels, const QString& mark)
{
    return labels.indexOf(mark);
}
