#include "reader/chapters/BookChapters.h"

#include "reader/chapters/ChapterMarks.h"
#include "reader/rules/AutoRuleChoice.h"
#include "reader/rules/RuleLibrary.h"

BookChapters scanBookChapters(const BookChapterRequest& request)
{
    BookChapters result;
    if (!request.chooseAmong.isEmpty() && !request.rule) {
        AutoRuleChoice choice(request.chooseAmong);
        result.scan = choice.scan(request.path, request.limits);
        result.rule = choice.chosen();
        result.chosenNow = result.scan.readable;
    } else {
        result.rule = request.rule.value_or(defaultRule());
        const RuleMatcher matcher(result.rule);
        result.scan = matcher.isValid() ? scanWithRule(request.path, result.rule, request.limits)
                                        : getChapterRows(request.path, request.limits);
    }
    result.marks = applyChapterMarks(result.scan, request.marks, &result.storedOffsets);
    result.volumes = listsVolumes(result.rule, result.scan.rows);
    return result;
}

bool listsVolumes(const HeadingRule& rule, const QList<ChapterRow>& rows)
{
    if (RuleMatcher(rule).isDefault())
        return false;
    for (const ChapterRow& row : rows)
        if (row.number > 1 && row.part <= 1 && isVolumeHeading(row.label))
            return true;
    return false;
}

HeadingRule ruleFromStored(const BookRuleRow& stored)
{
    // A built-in rule keeps the hints that let the scan skip lines quickly.
    for (const HeadingRule& builtIn : RuleLibrary::builtInRules()) {
        if (builtIn.pattern == stored.pattern) {
            HeadingRule rule = builtIn;
            rule.name = stored.ruleName;
            return rule;
        }
    }
    HeadingRule rule;
    rule.name = stored.ruleName;
    rule.pattern = stored.pattern;
    return rule;
}
