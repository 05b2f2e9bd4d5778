#pragma once

#include <QString>

// Where a chapter goes: the reading page. The page puts `txtHtml` into TXT and
// `adsHtml` into AdsDiv, takes the keyboard focus and scrolls Content_Txt to the top.
class ChapterDisplay {
public:
    virtual ~ChapterDisplay() = default;
    virtual void showChapterHtml(const QString& txtHtml, const QString& adsHtml) = 0;
};
