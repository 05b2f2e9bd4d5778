#include "reader/chapters/ChapterRulesController.h"

#include "app/LibraryDatabase.h"
#include "platform/Dialogs.h"
#include "platform/Pickers.h"
#include "reader/text/EncodingDetector.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

namespace {

const QString kRuleFilter = QStringLiteral("章节规则(*.json)|*.json");

} // namespace

ChapterRulesController::ChapterRulesController(LibraryDatabase* library, Dialogs& dialogs, Pickers& pickers,
                                               QString bookPath, std::function<void(const QString&)> reopen,
                                               QObject* parent)
    : QObject(parent), m_library(library), m_dialogs(dialogs), m_pickers(pickers), m_path(std::move(bookPath)),
      m_reopen(std::move(reopen)), m_choices(library), m_rules(m_choices.rules())
{
    m_storedChoice = defaultRuleName();
    m_storedPattern = defaultRulePattern();
    if (m_library) {
        if (const std::optional<BookRuleRow> stored = m_library->bookRule(m_path)) {
            m_storedChoice = stored->ruleName;
            m_storedPattern = stored->pattern;
        }
        m_storedEncoding = m_library->bookEncoding(m_path).value_or(QString());
    }
    m_choice = m_storedChoice;
    m_pattern = m_storedPattern;
    m_typing.setSingleShot(true);
    m_typing.setInterval(kTypingPauseMs);
    connect(&m_typing, &QTimer::timeout, this, &ChapterRulesController::startPreview);
    m_encodings = EncodingCandidates::ofBook(m_path);
}

ChapterRulesController::~ChapterRulesController()
{
    ++m_generation; // a preview still running is dropped when it ends
}

void ChapterRulesController::chooseRule(const QString& name)
{
    m_typing.stop();
    m_choice = name;
    if (const HeadingRule* rule = m_rules.find(name))
        m_pattern = rule->pattern;
    else if (name == ChapterChoices::autoChoiceName())
        m_pattern.clear();
    startPreview();
}

void ChapterRulesController::typePattern(const QString& pattern)
{
    if (pattern == m_pattern && m_choice == customRuleName())
        return;
    m_choice = customRuleName();
    m_pattern = pattern;
    ++m_generation; // what is running is for an older pattern
    m_running = false;
    emit previewStarted();
    m_typing.start();
}

std::optional<HeadingRule> ChapterRulesController::ruleOfChoice() const
{
    if (m_choice == ChapterChoices::autoChoiceName())
        return std::nullopt;
    if (const HeadingRule* rule = m_rules.find(m_choice); rule && rule->pattern == m_pattern)
        return *rule;
    HeadingRule rule;
    rule.name = m_choice == customRuleName() || m_choice.isEmpty() ? customRuleName() : m_choice;
    rule.pattern = m_pattern;
    return rule;
}

ScanLimits ChapterRulesController::limits() const
{
    ScanLimits limits;
    TextEncoding chosen;
    if (!m_storedEncoding.isEmpty() && EncodingDetector::fromName(m_storedEncoding, chosen))
        limits.encoding = chosen;
    return limits;
}

void ChapterRulesController::startPreview()
{
    const quint64 generation = ++m_generation;
    const std::optional<HeadingRule> rule = ruleOfChoice();
    // A pattern that cannot be used is told at once, without reading the book.
    if (rule && !RuleMatcher(*rule).isDefault()) {
        if (const QString problem = patternProblem(rule->pattern); !problem.isEmpty()) {
            m_running = false;
            m_preview = RulePreview();
            m_preview.error = problem;
            emit previewReady();
            return;
        }
    }
    m_running = true;
    emit previewStarted();
    auto* watcher = new QFutureWatcher<RulePreview>(this);
    connect(watcher, &QFutureWatcher<RulePreview>::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != m_generation)
            return;
        m_running = false;
        m_preview = watcher->result();
        emit previewReady();
    });
    watcher->setFuture(QtConcurrent::run([path = m_path, rule, among = m_rules.enabledRules(), limits = limits()] {
        return RulePreview::ofBook(path, rule, among, limits);
    }));
}

bool ChapterRulesController::applyRule(QString* problem)
{
    const std::optional<HeadingRule> rule = ruleOfChoice();
    if (rule && !RuleMatcher(*rule).isDefault()) {
        if (const QString text = patternProblem(rule->pattern); !text.isEmpty()) {
            if (problem)
                *problem = text;
            return false;
        }
    }
    if (m_library) {
        bool stored = false;
        if (!rule)
            stored = m_library->setBookRule(m_path, ChapterChoices::autoChoiceName(), QString());
        else if (RuleMatcher(*rule).isDefault())
            stored = m_library->setBookRule(m_path, QString(), QString()); // exactly as a book without a choice
        else
            stored = m_library->setBookRule(m_path, rule->name, rule->pattern);
        if (!stored) {
            if (problem)
                *problem = m_library->failureText();
            return false;
        }
    }
    m_storedChoice = rule ? rule->name : ChapterChoices::autoChoiceName();
    m_storedPattern = rule ? rule->pattern : QString();
    if (m_reopen)
        m_reopen(m_path);
    return true;
}

bool ChapterRulesController::isBuiltIn(const QString& name)
{
    for (const HeadingRule& rule : RuleLibrary::builtInRules())
        if (rule.name == name)
            return true;
    return false;
}

bool ChapterRulesController::saveAsOwnRule(const QString& name, QString* problem)
{
    const QString trimmed = name.trimmed();
    QString text;
    if (trimmed.isEmpty() || trimmed == ChapterChoices::autoChoiceName() || trimmed == customRuleName())
        text = QStringLiteral("请给规则起一个名字（不能是“自动识别”或“自定义规则”）。");
    else if (isBuiltIn(trimmed))
        text = QStringLiteral("“%1”是内置规则的名字，请换一个名字。").arg(trimmed);
    else
        text = patternProblem(m_pattern);
    if (!text.isEmpty()) {
        if (problem)
            *problem = text;
        return false;
    }
    HeadingRule rule;
    rule.name = trimmed;
    rule.pattern = m_pattern;
    m_rules.add(rule);
    m_choices.saveRules(m_rules);
    m_choice = trimmed;
    emit rulesChanged();
    return true;
}

bool ChapterRulesController::removeOwnRule(const QString& name)
{
    if (isBuiltIn(name) || !m_rules.remove(name))
        return false;
    m_choices.saveRules(m_rules);
    emit rulesChanged();
    return true;
}

void ChapterRulesController::setRuleEnabled(const QString& name, bool enabled)
{
    m_rules.setEnabled(name, enabled);
    m_choices.saveRules(m_rules);
}

void ChapterRulesController::importRules(QWidget* parent)
{
    const QString file = m_pickers.openFile(parent, QStringLiteral("导入章节规则"), kRuleFilter);
    if (file.isEmpty())
        return;
    QStringList errors;
    const int before = int(m_rules.rules().size());
    const bool any = m_rules.importFile(file, &errors);
    if (any) {
        m_choices.saveRules(m_rules);
        emit rulesChanged();
    }
    const int added = int(m_rules.rules().size()) - before;
    QString text = any ? QStringLiteral("已导入规则，新增 %1 条。").arg(added) : QStringLiteral("没有导入任何规则。");
    if (!errors.isEmpty())
        text += QStringLiteral("\r\n") + errors.join(QStringLiteral("\r\n"));
    m_dialogs.message(text, QStringLiteral("导入章节规则"), any ? Dialogs::Information : Dialogs::Exclamation);
}

void ChapterRulesController::exportRules(QWidget* parent)
{
    const QString file =
        m_pickers.saveFile(parent, QStringLiteral("导出章节规则"), kRuleFilter, QStringLiteral("章节规则.json"));
    if (file.isEmpty())
        return;
    if (!m_rules.exportFile(file))
        m_dialogs.message(QStringLiteral("无法写入文件：\r\n") + file, QStringLiteral("导出章节规则"), Dialogs::Stop);
}

bool ChapterRulesController::choosesForNewBooks()
{
    return m_choices.choosesForNewBooks();
}

void ChapterRulesController::setChoosesForNewBooks(bool on)
{
    m_choices.setChoosesForNewBooks(on);
}

bool ChapterRulesController::applyEncoding(const QString& name)
{
    TextEncoding encoding;
    if (!EncodingDetector::fromName(name, encoding))
        return false;
    if (m_library && !m_library->setBookEncoding(m_path, EncodingDetector::name(encoding)))
        return false;
    m_storedEncoding = EncodingDetector::name(encoding);
    if (m_reopen)
        m_reopen(m_path);
    return true;
}
