#pragma once

#include "reader/rules/HeadingRule.h"
#include "reader/text/ChapterScan.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// A line the user should look at before applying a rule.
struct SuspiciousHeading {
    int row = 0; // 0-based row of the chapter list
    QString label;
    QString reason; // "像是正文句子", "编号倒退", "编号重复"
};

struct ChapterSize {
    int row = -1;
    QString label;
    qint64 bytes = 0;
};

// What a rule makes of a book, shown before it is applied.
struct RulePreview {
    QString error;    // a Chinese message when the rule cannot be tried; the rest is empty then
    QString ruleName; // the rule the rows come from (the chosen one for "自动识别")
    int chapters = 0; // whole chapters (the parts of an over-long chapter count once)
    ChapterSize shortest;
    ChapterSize longest;
    QStringList firstHeadings;
    QList<SuspiciousHeading> suspicious;

    static constexpr int kFirstHeadings = 20;
    static constexpr int kMaxSuspicious = 200;

    // The figures of rows a scan gave.
    static RulePreview ofRows(const QList<ChapterRow>& rows);
    // Scans the book with `rule` (or chooses among `chooseAmong` when no rule is given) and
    // returns its figures. Reads the whole book: run it off the GUI thread.
    static RulePreview ofBook(const QString& path, const std::optional<HeadingRule>& rule,
                              const QList<HeadingRule>& chooseAmong, const ScanLimits& limits);
};

// The headings that look wrong: sentence-like lines (not looksLikeHeading), and numbers that
// jump back or repeat the one before (numbering may start again after a volume heading).
QList<SuspiciousHeading> findSuspiciousHeadings(const QList<ChapterRow>& rows, int limit = RulePreview::kMaxSuspicious);

// A Chinese message for a pattern the user typed that cannot be used, empty when it can.
QString patternProblem(const QString& pattern);

// A chapter's size as the preview shows it: "812 字节", "3.4 KB", "1.2 MB".
QString chapterSizeText(qint64 bytes);
