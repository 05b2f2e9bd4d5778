#include "reader/rules/RuleLibrary.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>

namespace {

// Pieces of the built-in patterns. Every heading begins at the line start after optional
// blanks, is short, and is not a sentence: no 。 in it, no comma, colon or semicolon at its end.
const QString kBlanks = QStringLiteral("[ \\t\\x{3000}]*");
const QString kNotSentence = QStringLiteral("(?!.*。)(?!.*[，,；;、：:…][ \\t\\x{3000}]*$)");
const QString kNumber =
    QStringLiteral("[0-9０-９零〇○一二两兩三四五六七八九十百千万壹贰貳叁參肆伍陆陸柒捌玖拾佰仟廿卅]{1,9}");
const QString kChineseNumber =
    QStringLiteral("[零〇○一二两兩三四五六七八九十百千万壹贰貳叁參肆伍陆陸柒捌玖拾佰仟廿卅]{1,6}");
// After the numbered part: nothing, or a title of at most 30 characters, set off or not.
const QString kTitle = QStringLiteral("(?:[ \\t\\x{3000}:：·\\.．\\-—_]*[^ \\t\\x{3000}].{0,29})?[ \\t\\x{3000}]*$");
const QString kTitleSetOff =
    QStringLiteral("(?:[ \\t\\x{3000}:：·\\.．\\-—_]+[^ \\t\\x{3000}].{0,29})?[ \\t\\x{3000}]*$");
const QString kSpecial =
    QStringLiteral(
        "(?:序章|序言|序幕|序|楔子|引子|引言|前言|后记|後記|尾声|尾聲|番外篇?%1?|终章|終章|完本感言|完结感言|"
        "完結感言)")
        .arg(kNumber);
// Web copies often put the book's title, a "目录" link or the section before every heading:
// "《书名》第一章 …", "正文 第一章 …", "VIP章节 第九十章 …".
const QString kBookTitle =
    QStringLiteral("(?:《[^》]{0,20}》[ \\t\\x{3000}]*)?(?:目录|目錄|正文|VIP章节|VIP章節|VIP卷)?[ \\t\\x{3000}]*");
const QString kChapterUnits = QStringLiteral("[章回节節集话話]");

// The shape is tried first, so that a line that does not start like a heading fails at once;
// only a line that does is read to its end for sentence punctuation.
QString line(const QString& body)
{
    return QStringLiteral("^(?=%1%2)%3").arg(kBlanks, body, kNotSentence);
}

HeadingRule make(const QString& name, const QString& pattern, const QString& example, const QString& leads,
                 const QString& needs = {}, int maxUnits = 0)
{
    HeadingRule rule;
    rule.name = name;
    rule.pattern = pattern;
    rule.example = example;
    rule.leads = leads;
    rule.needs = needs;
    rule.maxUnits = maxUnits;
    return rule;
}

const QString kSpecialLeads = QStringLiteral("序楔引前后後尾番终終完");
const QString kDigits = QStringLiteral("0123456789０１２３４５６７８９");
const QString kChineseDigits = QStringLiteral("零〇○一二两兩三四五六七八九十百千万壹贰貳叁參肆伍陆陸柒捌玖拾佰仟廿卅");

} // namespace

QList<HeadingRule> RuleLibrary::builtInRules()
{
    QList<HeadingRule> rules;
    rules << defaultRule();
    // A title may follow 章 directly ("第一章序"); after the other units it must be set off,
    // or "第二回合", "第三节课", "第一部手机" would be headings.
    const QString chapter = QStringLiteral("第%1(?:章%2|[回节節集话話]%3)").arg(kNumber, kTitle, kTitleSetOff);
    const QString volume = QStringLiteral("(?:第%1[卷部]|卷%1)%2").arg(kNumber, kTitleSetOff);
    const QString special = kSpecial + kTitleSetOff;
    rules << make(QStringLiteral("第N章、卷与序章番外"),
                  line(kBookTitle + QStringLiteral("(?:%1|%2|%3)").arg(chapter, volume, special)),
                  QStringLiteral("第十二章 风起云涌"), QStringLiteral("第卷《目正V") + kSpecialLeads);
    rules << make(QStringLiteral("第N章/回/节/集"), line(kBookTitle + chapter),
                  QStringLiteral("第一回　灵根育孕源流出"), QStringLiteral("第《目正V"));
    rules << make(QStringLiteral("第N卷/部"), line(kBookTitle + volume), QStringLiteral("第三卷 风云再起"),
                  QStringLiteral("第卷《目正V"));
    rules << make(QStringLiteral("序章、楔子、后记、番外"), line(special), QStringLiteral("楔子"), kSpecialLeads);
    rules << make(QStringLiteral("数字、标题"),
                  line(QStringLiteral("[0-9０-９]{1,5}[、\\.．][ \\t\\x{3000}]*[^ \\t\\x{3000}0-9０-９].{0,29}$")),
                  QStringLiteral("12、重逢"), kDigits, QStringLiteral("、.．"));
    rules << make(QStringLiteral("中文数字、标题"),
                  line(QStringLiteral("%1、[ \\t\\x{3000}]*[^ \\t\\x{3000}].{0,29}$").arg(kChineseNumber)),
                  QStringLiteral("十二、重逢"), kChineseDigits, QStringLiteral("、"));
    rules << make(
        QStringLiteral("Chapter N"),
        line(QStringLiteral("(?:(?:Chapter|CHAPTER)[ \\t\\x{3000}]*(?:[0-9０-９]{1,5}|[IVXLC]{1,8})(?![0-9A-Za-z])"
                            ".{0,40}|(?:Prologue|PROLOGUE|Epilogue|EPILOGUE)(?![A-Za-z]).{0,40})$")),
        QStringLiteral("Chapter 3 The Road"), QStringLiteral("CPE"));
    rules << make(QStringLiteral("【第N章】"),
                  line(QStringLiteral("[【〖\\[]第%1(?:%2|%3)[^】〗\\]]{0,30}[】〗\\]].{0,30}$")
                           .arg(kNumber, kChapterUnits, QStringLiteral("[卷部]"))),
                  QStringLiteral("【第一章】初到京城"), QStringLiteral("【〖["));
    rules << make(QStringLiteral("纯数字行"), line(kNumber + QStringLiteral("[ \\t\\x{3000}]*$")), QStringLiteral("12"),
                  kDigits + kChineseDigits, {}, 24);
    for (int i = 0; i < rules.size(); ++i) {
        rules[i].serialNumber = i;
        if (i >= 2 && i <= 4)
            rules[i].within = rules[1].name; // 第N章, 第N卷 and 序章… are parts of the rule before them
    }
    return rules;
}

RuleLibrary::RuleLibrary() : m_rules(builtInRules()) {}

QList<HeadingRule> RuleLibrary::enabledRules() const
{
    QList<HeadingRule> rules;
    for (const HeadingRule& rule : m_rules)
        if (rule.enabled)
            rules << rule;
    return rules;
}

const HeadingRule* RuleLibrary::find(const QString& name) const
{
    for (const HeadingRule& rule : m_rules)
        if (rule.name == name)
            return &rule;
    return nullptr;
}

void RuleLibrary::add(const HeadingRule& rule)
{
    auto same = std::find_if(m_rules.begin(), m_rules.end(), [&](const HeadingRule& r) { return r.name == rule.name; });
    if (same != m_rules.end()) {
        const HeadingRule hints = same->pattern == rule.pattern ? *same : HeadingRule();
        *same = rule;
        // The hints hold only for the pattern they were written for.
        same->leads = hints.leads;
        same->needs = hints.needs;
        same->maxUnits = hints.maxUnits;
        same->within = hints.within;
    } else {
        m_rules << rule;
        m_rules.last().leads.clear();
        m_rules.last().needs.clear();
        m_rules.last().maxUnits = 0;
        m_rules.last().within.clear();
    }
    renumber();
}

bool RuleLibrary::remove(const QString& name)
{
    const auto removed = m_rules.removeIf([&](const HeadingRule& r) { return r.name == name; });
    renumber();
    return removed > 0;
}

void RuleLibrary::setEnabled(const QString& name, bool enabled)
{
    for (HeadingRule& rule : m_rules)
        if (rule.name == name)
            rule.enabled = enabled;
}

void RuleLibrary::renumber()
{
    for (int i = 0; i < m_rules.size(); ++i)
        m_rules[i].serialNumber = i;
}

QByteArray RuleLibrary::toJson(const QList<HeadingRule>& rules)
{
    QJsonArray array;
    for (const HeadingRule& rule : rules) {
        QJsonObject object;
        object.insert(QStringLiteral("name"), rule.name);
        object.insert(QStringLiteral("rule"), rule.pattern);
        object.insert(QStringLiteral("example"), rule.example);
        object.insert(QStringLiteral("enable"), rule.enabled);
        object.insert(QStringLiteral("serialNumber"), rule.serialNumber);
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

QList<HeadingRule> RuleLibrary::fromJson(const QByteArray& json, QStringList* errors)
{
    QList<HeadingRule> rules;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    QJsonArray array;
    if (document.isArray())
        array = document.array();
    else if (document.isObject())
        array.append(document.object());
    else {
        if (errors)
            *errors << QStringLiteral("不是有效的规则文件：%1").arg(parseError.errorString());
        return rules;
    }
    for (int i = 0; i < array.size(); ++i) {
        const QJsonObject object = array.at(i).toObject();
        HeadingRule rule;
        rule.name = object.value(QStringLiteral("name")).toString().trimmed();
        rule.pattern = object.value(QStringLiteral("rule")).toString();
        rule.example = object.value(QStringLiteral("example")).toString();
        rule.enabled = object.value(QStringLiteral("enable")).toBool(true);
        const QJsonValue serial = object.value(QStringLiteral("serialNumber"));
        rule.serialNumber = serial.isDouble() ? serial.toInt() : i;
        if (rule.name.isEmpty() || rule.pattern.isEmpty()) {
            if (errors)
                *errors << QStringLiteral("第 %1 条规则缺少名称或表达式，已跳过").arg(i + 1);
            continue;
        }
        const RuleMatcher matcher(rule);
        if (!matcher.isValid()) {
            if (errors)
                *errors << QStringLiteral("规则“%1”的表达式有误（%2），已跳过").arg(rule.name, matcher.errorString());
            continue;
        }
        rules << rule;
    }
    std::stable_sort(rules.begin(), rules.end(),
                     [](const HeadingRule& a, const HeadingRule& b) { return a.serialNumber < b.serialNumber; });
    return rules;
}

bool RuleLibrary::importFile(const QString& path, QStringList* errors)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (errors)
            *errors << QStringLiteral("无法读取文件：%1").arg(path);
        return false;
    }
    const QList<HeadingRule> rules = fromJson(file.readAll(), errors);
    for (const HeadingRule& rule : rules)
        add(rule);
    return !rules.isEmpty();
}

bool RuleLibrary::exportFile(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(toJson(m_rules));
    return file.commit();
}
