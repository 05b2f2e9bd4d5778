#pragma once

#include "app/LibraryDatabase.h"
#include "reader/chapters/BookLines.h"
#include "reader/text/ChapterScan.h"

#include <QList>

#include <functional>
#include <optional>

class QFile;

// The user's own chapter marks laid over the rows a rule found: a start mark makes its line a
// heading, a dropped heading joins its chapter to the one before. A mark is found by its
// byte offset while the line there still reads as the mark's text, otherwise by that text
// among the lines near the offset (the file was edited), and left out when it is gone.

// How far from its offset a mark is looked for once the file has changed.
constexpr qint64 kMarkSearchBytes = qint64(64) << 10;

// Applies `marks` to the rows of `scan` (over-long chapters are cut into parts afresh) and
// returns the marks as found, at their offsets now; the lost ones are left out. `storedOffsets`
// receives, for each mark returned, the offset it was given with.
QList<ChapterMarkRow> applyChapterMarks(ChapterScan& scan, const QList<ChapterMarkRow>& marks,
                                        QList<qint64>* storedOffsets = nullptr);

// Where the mark's line starts now, nothing when it is not found near its offset.
std::optional<BookLine> findMarkedLine(QFile& file, TextEncoding encoding, const ChapterMarkRow& mark);

// The rows of `rows` with each over-long chapter's parts joined back into the chapter.
QList<ChapterRow> wholeChapters(const QList<ChapterRow>& rows);

// The line of row `rowIndex` the page showed as `shownLine`, the `shownIndex`-th line of the
// page (counted from 0), seen through `shown` (the characters the book is shown in; identity
// when empty). A paragraph made of joined lines is found by its first line. Nothing when no
// line of the row reads so.
std::optional<BookLine> locateShownLine(const ChapterScan& scan, int rowIndex, const QString& shownLine, int shownIndex,
                                        const std::function<QString(const QString&)>& shown = {});

// Row index whose heading line starts at `offset`, -1 when none (row 1's label is no heading).
int rowWithHeadingAt(const ChapterScan& scan, qint64 offset);
