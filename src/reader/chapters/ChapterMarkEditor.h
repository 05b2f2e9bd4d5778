#pragma once

#include "reader/text/ChapterScan.h"

#include <QString>

#include <functional>

class LibraryDatabase;

// The reading menu's "设为章节开头" and "取消此章节" on the line the user right-clicked: the
// line is found in the chapter shown, and the mark stored for the book. Each returns an empty
// text when the mark was stored (the book is then to be scanned again), else a Chinese message.
class ChapterMarkEditor {
public:
    ChapterMarkEditor(LibraryDatabase* library, const ChapterScan& scan, int shownRow,
                      std::function<QString(const QString&)> shown = {})
        : m_library(library), m_scan(scan), m_row(shownRow), m_shown(std::move(shown))
    {
    }

    // `lineText` and `lineIndex`: the line under the pointer as the page reported it.
    QString markStart(const QString& lineText, int lineIndex);
    QString dropHeading(const QString& lineText, int lineIndex);

private:
    LibraryDatabase* m_library;
    const ChapterScan& m_scan;
    int m_row;
    std::function<QString(const QString&)> m_shown;
};
