#pragma once

#include "app/LibraryDatabase.h"
#include "reader/rules/HeadingRule.h"
#include "reader/text/ChapterScan.h"

#include <QList>

#include <optional>

// What a book is opened with: the rule the user chose for it (none: the reader's own heading
// test, exactly today's rows), or the rules to choose among when the book is new and the
// settings ask for an automatic choice; its encoding (in `limits`) and its chapter marks.
struct BookChapterRequest {
    QString path;
    ScanLimits limits;
    std::optional<HeadingRule> rule;
    QList<HeadingRule> chooseAmong; // not empty: choose the rule automatically
    QList<ChapterMarkRow> marks;
};

struct BookChapters {
    ChapterScan scan;
    HeadingRule rule;            // the rule the rows come from
    bool chosenNow = false;      // the rule was chosen automatically by this scan
    bool volumes = false;        // the chapter list shows the book's volumes as a first level
    QList<ChapterMarkRow> marks; // the marks as found in the file now
    QList<qint64> storedOffsets; // for each of them, the offset the library holds
};

// Scans the book (off the GUI thread: it reads the whole file). Never throws.
BookChapters scanBookChapters(const BookChapterRequest& request);

// Whether the list of a book scanned by `rule` shows volumes: never for the reader's own
// test (its list stays flat), otherwise when a row is a volume heading.
bool listsVolumes(const HeadingRule& rule, const QList<ChapterRow>& rows);

// The rule a book's stored choice stands for.
HeadingRule ruleFromStored(const BookRuleRow& stored);
