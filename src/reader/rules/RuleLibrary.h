#pragma once

#include "reader/rules/HeadingRule.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The rules a user can choose among: the built-in ones first, then the imported and own ones.
// Rules are exchanged as a JSON array of objects with the fields other readers use for TXT
// rules: "name", "rule" (the pattern), "example", "enable" and "serialNumber".
class RuleLibrary {
public:
    // The built-in rules: "默认规则" (the reader's own test) first, then one strict rule for
    // each common heading form, each anchored at the line start after optional blanks.
    static QList<HeadingRule> builtInRules();

    RuleLibrary(); // holds the built-in rules
    explicit RuleLibrary(QList<HeadingRule> rules) : m_rules(std::move(rules)) {}

    const QList<HeadingRule>& rules() const { return m_rules; }
    QList<HeadingRule> enabledRules() const;
    // The rule named `name`, nullptr when there is none.
    const HeadingRule* find(const QString& name) const;

    // Adds the rule, or replaces the rule of the same name; serial numbers are given afresh
    // in list order.
    void add(const HeadingRule& rule);
    bool remove(const QString& name);
    void setEnabled(const QString& name, bool enabled);

    // The rules as a JSON array (UTF-8), in list order.
    static QByteArray toJson(const QList<HeadingRule>& rules);
    // Rules from a JSON array (or a single object). A rule without a name or with a pattern
    // that does not compile is left out and named in `errors` (Chinese). A missing "enable"
    // means enabled; a missing "serialNumber" the rule's place in the file.
    static QList<HeadingRule> fromJson(const QByteArray& json, QStringList* errors = nullptr);

    // Import adds each valid rule of the file by add(); export writes every rule.
    bool importFile(const QString& path, QStringList* errors = nullptr);
    bool exportFile(const QString& path) const;

private:
    void renumber();
    QList<HeadingRule> m_rules;
};
