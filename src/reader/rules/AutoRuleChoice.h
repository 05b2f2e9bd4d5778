#pragma once

#include "reader/rules/HeadingRule.h"
#include "reader/text/ChapterScan.h"

#include <QList>
#include <QString>

// What the scoring knows of one heading a rule found.
struct HeadingSample {
    qint64 number = -1;       // the heading's number (headingNumber), -1 for none
    qint64 bytes = 0;         // bytes from the heading to the rule's next heading (or the end)
    bool volume = false;      // a first-level heading (isVolumeHeading)
    bool shaped = true;       // looksLikeHeading
    bool namesVolume = false; // the line names a volume, alone or before a chapter ("第二卷 第一章")
};

// How well a rule's headings look like the chapters of a book: numbering that runs on
// (restarting only after a volume), few headings without a number, no tiny chapters between
// two headings, heading-shaped lines. About the number of real chapters it found; 0 when it
// found none.
// A table of contents the rule also took for headings, and a heading repeated right after a
// tiny chapter, count as text of the chapter before them (as the chosen rule's rows have it).
double scoreHeadings(const QList<HeadingSample>& headings);

// How many of the first headings are a table of contents: a run of at least three tiny
// "chapters" at the start whose numbers come again later. 0 when there is none.
int tableOfContentsLength(const QList<HeadingSample>& headings);

struct RuleScore {
    QString name;
    int headings = 0;
    double score = 0;
};

// The rows of `rule` in the book at `path`. The default rule gives exactly getChapterRows.
ChapterScan scanWithRule(const QString& path, const HeadingRule& rule, const ScanLimits& limits = ScanLimits());

// Choosing the rule for a book ("自动识别"): the rules are all tried in one pass over the
// file, each is scored on the headings it found, and the best one's rows are kept, so the
// choice costs about one scan.
class AutoRuleChoice {
public:
    explicit AutoRuleChoice(QList<HeadingRule> rules);

    // The rows of the best-scoring rule (the first rule's on a tie or when none finds a
    // heading).
    ChapterScan scan(const QString& path, const ScanLimits& limits = ScanLimits());

    // After scan(): the chosen rule and the scores of all rules, in the order given.
    const HeadingRule& chosen() const { return m_rules.at(m_chosen); }
    const QList<RuleScore>& scores() const { return m_scores; }

private:
    QList<HeadingRule> m_rules;
    int m_chosen = 0;
    QList<RuleScore> m_scores;
};
