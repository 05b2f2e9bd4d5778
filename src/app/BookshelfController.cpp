#include "app/BookshelfController.h"

#include "app/LibraryDatabase.h"
#include "app/ReadingProgress.h"
#include "platform/Dialogs.h"

#include <cmath>

BookshelfController::BookshelfController(LibraryDatabase& library, Dialogs& dialogs)
    : m_library(library), m_dialogs(dialogs)
{
}

void BookshelfController::readList()
{
    ShelfQuery shown = m_query;
    shown.filter = m_filter;
    ShelfPage page = m_library.shelfPage(shown, effectivePage());
    if (page.failed) {
        // A damaged page of the file must not pass for an empty shelf.
        m_rows.clear();
        m_dialogs.message(m_library.failureText(), QStringLiteral("书库读取失败"), Dialogs::Stop);
        return;
    }
    if (page.pageCount <= 0) {
        m_rows.clear();
        return;
    }
    m_currentPage = page.page;
    m_pageCount = page.pageCount;
    m_pageLabel = QStringLiteral("%1/%2").arg(m_currentPage).arg(m_pageCount);
    m_rows = std::move(page.rows);
}

void BookshelfController::setQuery(const ShelfQuery& query)
{
    m_query = query;
    readList();
}

void BookshelfController::setFilter(const QString& text)
{
    if (text.trimmed() == m_filter.trimmed()) {
        m_filter = text;
        return;
    }
    m_filter = text;
    m_currentPage = 1;
    readList();
}

void BookshelfController::refuse(const QString& text)
{
    m_dialogs.message(text, QString(), Dialogs::Exclamation);
}

bool BookshelfController::firstPage()
{
    if (effectivePage() <= 1) {
        refuse(QStringLiteral("当前已是第一页!"));
        return false;
    }
    m_currentPage = 1;
    readList();
    return true;
}

bool BookshelfController::previousPage()
{
    if (effectivePage() <= 1) {
        refuse(QStringLiteral("前面没有了，当前已是第一页!"));
        return false;
    }
    m_currentPage = effectivePage() - 1;
    readList();
    return true;
}

// "At the last page" also holds before anything was ever shown (page count 0), so the
// buttons never walk into pages that do not exist.
bool BookshelfController::nextPage()
{
    if (effectivePage() >= m_pageCount) {
        refuse(QStringLiteral("后面没有了，当前已是最后一页!"));
        return false;
    }
    m_currentPage = effectivePage() + 1;
    readList();
    return true;
}

bool BookshelfController::lastPage()
{
    if (effectivePage() >= m_pageCount) {
        refuse(QStringLiteral("当前已是最后一页!"));
        return false;
    }
    m_currentPage = m_pageCount;
    readList();
    return true;
}

bool BookshelfController::go(const QString& boxText)
{
    const QString text = boxText.trimmed();
    bool numeric = false;
    const double value = text.toDouble(&numeric);
    if (text.isEmpty() || !numeric || !std::isfinite(value)) {
        refuse(QStringLiteral("输入的页码有误,请重新输入!"));
        return false;
    }
    // The whole-number part, rounded down: 2.7 is page 2, -0.5 is -1.
    const double whole = std::floor(value);
    if (whole < 1 || whole > m_pageCount) {
        refuse(QStringLiteral("输入的页码有误,一共才%1页,请重新输入!").arg(m_pageCount));
        return false;
    }
    m_currentPage = static_cast<int>(whole);
    readList();
    return true;
}

QString BookshelfController::progressText(const QString& path)
{
    const std::optional<QString> stored = m_library.option(ReadingProgress::optionName(path));
    const std::optional<ReadingProgress> progress = stored ? ReadingProgress::parse(*stored) : std::nullopt;
    return progress ? progress->shelfText() : QString();
}
