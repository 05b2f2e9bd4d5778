#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringView>

// A chapter-heading rule: a regular expression tried on each line of a book (without its
// line end), as users write them and as other readers exchange them.
struct HeadingRule {
    QString name;
    QString pattern; // a heading is a line the pattern finds a match in
    QString example; // a line the rule takes for a heading
    bool enabled = true;
    int serialNumber = 0; // the rule's place in the list
    // The characters a heading of this rule starts with after its leading blanks; empty when
    // any may. Lets a scan skip the lines that cannot match without decoding them.
    QString leads;
    QString needs;    // when not empty: a heading holds at least one of these characters
    int maxUnits = 0; // when not 0: no heading of the rule is longer (in UTF-16 units)
    QString within;   // the name of a rule that takes every heading this one takes

    bool operator==(const HeadingRule& other) const
    {
        return name == other.name && pattern == other.pattern && example == other.example && enabled == other.enabled &&
               serialNumber == other.serialNumber;
    }
};

// The name of the rule that is the reader's own heading test, and its pattern.
QString defaultRuleName();
QString defaultRulePattern();

// The rule with the reader's own heading test (first in the list).
HeadingRule defaultRule();

// A rule ready to test lines. The default rule is tested by the reader's own matcher, so a
// book scanned by it gets exactly the rows of the plain scan.
class RuleMatcher {
public:
    explicit RuleMatcher(const HeadingRule& rule);

    bool isValid() const { return m_default || m_regex.isValid(); }
    QString errorString() const { return m_regex.errorString(); }
    bool isDefault() const { return m_default; }
    bool matches(const QString& line) const;
    const HeadingRule& rule() const { return m_rule; }

private:
    HeadingRule m_rule;
    bool m_default = false;
    QRegularExpression m_regex;
};

// A heading of the first level: 第N卷, 第N部, 卷N (without a chapter on the same line).
bool isVolumeHeading(QStringView line);

// The line names a volume, alone or before a chapter on the same line ("第二卷 第一章 …").
bool namesVolume(QStringView line);

// Heading-shaped: a short line that does not read as a sentence (no 。, no comma, colon or
// semicolon at its end).
bool looksLikeHeading(QStringView line);
