#include "reader/chapters/RulePreview.h"

#include "reader/chapters/ChapterMarks.h"
#include "reader/rules/AutoRuleChoice.h"
#include "reader/rules/ChineseNumerals.h"

#include <QRegularExpression>

QList<SuspiciousHeading> findSuspiciousHeadings(const QList<ChapterRow>& rows, int limit)
{
    QList<SuspiciousHeading> found;
    qint64 previous = -1;
    // Row 1 is the book's first line, not a heading the rule found.
    for (int i = 1; i < rows.size() && found.size() < limit; ++i) {
        const ChapterRow& row = rows[i];
        if (row.part > 1)
            continue;
        const QString label = row.part == 1 ? wholeChapters({row}).first().label : row.label;
        if (isVolumeHeading(label)) {
            previous = -1; // chapters are often numbered afresh in each volume
            continue;
        }
        if (!looksLikeHeading(label)) {
            found.append({i, label, QStringLiteral("像是正文句子")});
            continue;
        }
        const qint64 number = headingNumber(label);
        if (number < 0)
            continue;
        if (previous >= 0 && number == previous)
            found.append({i, label, QStringLiteral("编号重复")});
        else if (previous >= 0 && number < previous)
            found.append({i, label, QStringLiteral("编号倒退")});
        previous = number;
    }
    return found;
}

RulePreview RulePreview::ofRows(const QList<ChapterRow>& rows)
{
    RulePreview preview;
    const QList<ChapterRow> chapters = wholeChapters(rows);
    preview.chapters = int(chapters.size());
    for (int i = 0; i < chapters.size(); ++i) {
        const ChapterRow& row = chapters[i];
        const qint64 bytes = row.byteBegin >= 0 ? row.byteEnd - row.byteBegin : 0;
        // Row 1 holds what comes before the first heading (title, preface): not a chapter
        // to compare while there are others.
        if (i == 0 && chapters.size() > 1)
            continue;
        if (preview.shortest.row < 0 || bytes < preview.shortest.bytes)
            preview.shortest = {row.number - 1, row.label, bytes};
        if (preview.longest.row < 0 || bytes > preview.longest.bytes)
            preview.longest = {row.number - 1, row.label, bytes};
    }
    for (int i = 1; i < chapters.size() && preview.firstHeadings.size() < kFirstHeadings; ++i)
        preview.firstHeadings.append(chapters[i].label);
    preview.suspicious = findSuspiciousHeadings(rows);
    return preview;
}

RulePreview RulePreview::ofBook(const QString& path, const std::optional<HeadingRule>& rule,
                                const QList<HeadingRule>& chooseAmong, const ScanLimits& limits)
{
    RulePreview preview;
    ChapterScan scan;
    QString name;
    if (rule) {
        const QString problem = RuleMatcher(*rule).isDefault() ? QString() : patternProblem(rule->pattern);
        if (!problem.isEmpty()) {
            preview.error = problem;
            return preview;
        }
        scan = scanWithRule(path, *rule, limits);
        name = rule->name;
    } else {
        AutoRuleChoice choice(chooseAmong);
        scan = choice.scan(path, limits);
        name = choice.chosen().name;
    }
    if (!scan.readable) {
        preview.error = scan.error.isEmpty() ? QStringLiteral("无法读取这本电子书。") : scan.error;
        return preview;
    }
    preview = ofRows(scan.rows);
    preview.ruleName = name;
    return preview;
}

QString patternProblem(const QString& pattern)
{
    if (pattern.trimmed().isEmpty())
        return QStringLiteral("请输入章节标题的正则表达式。");
    const QRegularExpression regex(pattern);
    if (!regex.isValid())
        return QStringLiteral("正则表达式有误（第 %1 个字符处）：%2")
            .arg(regex.patternErrorOffset() + 1)
            .arg(regex.errorString());
    // A pattern every line matches would make each line a chapter.
    if (regex.match(QString()).hasMatch())
        return QStringLiteral("这个正则表达式连空行也能匹配，每一行都会成为章节，请写得更具体些。");
    return {};
}

QString chapterSizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 字节").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(QString::number(bytes / 1024.0, 'f', 1));
    return QStringLiteral("%1 MB").arg(QString::number(bytes / 1048576.0, 'f', 1));
}
