#pragma once

#include <QString>

// Where a chapter goes: the reading page. The page puts `txtHtml` into TXT and
// `adsHtml` into AdsDiv, takes the keyboard focus and scrolls Content_Txt to the top.
class ChapterDisplay {
public:
    virtual ~ChapterDisplay() = default;
    virtual void showChapterHtml(const QString& txtHtml, const QString& adsHtml) = 0;
    // Scrolls the chapter just shown to paragraph `paragraph` of TXT (the text after its
    // `paragraph`-th line break) and, for a `length` above 0, selects that many characters
    // from `column` of it.
    virtual void showTextPlace(int /*paragraph*/, int /*column*/, int /*length*/) {}
};
