#include "reader/chapters/ChapterMarkEditor.h"

#include "app/LibraryDatabase.h"
#include "reader/chapters/ChapterMarks.h"

namespace {

const QString kNoLine = QStringLiteral("没有找到鼠标所指的这一行，请在正文的文字上点右键再试。");

} // namespace

QString ChapterMarkEditor::markStart(const QString& lineText, int lineIndex)
{
    if (!m_library)
        return kNoLine;
    const std::optional<BookLine> line = locateShownLine(m_scan, m_row, lineText, lineIndex, m_shown);
    if (!line)
        return kNoLine;
    if (rowWithHeadingAt(m_scan, line->offset) >= 0)
        return QStringLiteral("这一行已经是章节开头了。");
    // A heading the user dropped before and now wants back: the drop is forgotten.
    for (const ChapterMarkRow& mark : m_library->chapterMarks(m_scan.path))
        if (mark.offset == line->offset && !mark.start)
            return m_library->removeChapterMark(m_scan.path, line->offset) ? QString() : m_library->failureText();
    return m_library->setChapterMark(m_scan.path, {line->offset, line->text, true}) ? QString()
                                                                                    : m_library->failureText();
}

QString ChapterMarkEditor::dropHeading(const QString& lineText, int lineIndex)
{
    if (!m_library)
        return kNoLine;
    const std::optional<BookLine> line = locateShownLine(m_scan, m_row, lineText, lineIndex, m_shown);
    if (!line)
        return kNoLine;
    if (rowWithHeadingAt(m_scan, line->offset) < 0)
        return QStringLiteral("这一行不是章节标题，只能取消章节标题所在的行。");
    // A start the user set is simply taken back; a heading the rule found is dropped by a mark.
    for (const ChapterMarkRow& mark : m_library->chapterMarks(m_scan.path))
        if (mark.offset == line->offset && mark.start)
            return m_library->removeChapterMark(m_scan.path, line->offset) ? QString() : m_library->failureText();
    return m_library->setChapterMark(m_scan.path, {line->offset, line->text, false}) ? QString()
                                                                                     : m_library->failureText();
}
