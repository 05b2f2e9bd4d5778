#include "reader/rules/HeadingRule.h"

#include "reader/text/HeadingMatcher.h"

QString defaultRuleName()
{
    return QStringLiteral("默认规则");
}

QString defaultRulePattern()
{
    return QStringLiteral(
        "^(.{0,6})(第|正文|作品|VIP|vip)(.{0,30}$)|"
        "^[一二两三四五六七八九十○零百千0-9１２３４５６７８９０]{1,4}(、|，|：|\\s|\\x{3000})(.{0,20}$)");
}

HeadingRule defaultRule()
{
    HeadingRule rule;
    rule.name = defaultRuleName();
    rule.pattern = defaultRulePattern();
    rule.example = QStringLiteral("第一章 天下大势");
    return rule;
}

RuleMatcher::RuleMatcher(const HeadingRule& rule) : m_rule(rule)
{
    // Told by its pattern, not its name: an imported set may rename it.
    m_default = rule.pattern == defaultRulePattern();
    if (!m_default) {
        m_regex.setPattern(rule.pattern);
        m_regex.optimize();
    }
}

bool RuleMatcher::matches(const QString& line) const
{
    if (m_default)
        return isHeadingLine(line);
    return m_regex.match(line).hasMatch();
}

namespace {

const QString kNumeral =
    QStringLiteral("[0-9０-９零〇○一二两兩三四五六七八九十百千万壹贰貳叁參肆伍陆陸柒捌玖拾佰仟廿卅]");

} // namespace

bool isVolumeHeading(QStringView line)
{
    static const QRegularExpression volume(
        QStringLiteral("^[ \\t\\x{3000}]*(?:第%1{1,9}[卷部]|卷%1{1,9})(?![^第]{0,12}第%1{1,9}[章回节節])")
            .arg(kNumeral));
    return (line.contains(u'卷') || line.contains(u'部')) && volume.match(line.toString()).hasMatch();
}

bool namesVolume(QStringView line)
{
    static const QRegularExpression volume(
        QStringLiteral("^[ \\t\\x{3000}]*(?:《[^》]{0,20}》)?[^第]{0,6}(?:第%1{1,9}[卷部]|卷%1{1,9})").arg(kNumeral));
    return (line.contains(u'卷') || line.contains(u'部')) && volume.match(line.toString()).hasMatch();
}

bool looksLikeHeading(QStringView line)
{
    const QStringView text = line.trimmed();
    if (text.isEmpty() || text.size() > 40 || text.contains(u'。'))
        return false;
    switch (text.back().unicode()) {
    case u'，':
    case u',':
    case u'；':
    case u';':
    case u'、':
    case u'：':
    case u':':
    case u'…':
        return false;
    default:
        return true;
    }
}
