#pragma once

#include "reader/chapters/ChapterChoices.h"
#include "reader/chapters/EncodingCandidates.h"
#include "reader/chapters/RulePreview.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

class Dialogs;
class LibraryDatabase;
class Pickers;
class QWidget;

// The logic of the dialog "章节规则…" for one book: the rule list, the rule or pattern being
// tried with its preview (computed off the GUI thread, a typed pattern only once the typing
// pauses), the candidate encodings, and applying a choice to the book.
class ChapterRulesController : public QObject {
    Q_OBJECT
public:
    static constexpr int kTypingPauseMs = 400;

    // `reopen` is called with the book's path after a choice was stored, to scan it afresh.
    ChapterRulesController(LibraryDatabase* library, Dialogs& dialogs, Pickers& pickers, QString bookPath,
                           std::function<void(const QString&)> reopen, QObject* parent = nullptr);
    ~ChapterRulesController() override;

    QString bookPath() const { return m_path; }
    const RuleLibrary& rules() const { return m_rules; }
    // The name the book's stored choice goes by: "自动识别", a rule's name, the custom
    // rule's, or the default rule's for a book without a choice.
    QString storedChoice() const { return m_storedChoice; }
    QString storedPattern() const { return m_storedPattern; }

    // Tries a rule of the list, or "自动识别", at once.
    void chooseRule(const QString& name);
    // Tries a pattern the user is typing, once the typing pauses.
    void typePattern(const QString& pattern);
    // The choice being tried: a rule's name, "自动识别" or customRuleName().
    QString choice() const { return m_choice; }
    QString pattern() const { return m_pattern; }
    bool isPreviewing() const { return m_running || m_typing.isActive(); }
    const RulePreview& preview() const { return m_preview; }

    // Stores the choice being tried for the book and has it scanned again. False (with a
    // message in `problem`) when the choice cannot be used.
    bool applyRule(QString* problem = nullptr);

    // The user's own rules and the list.
    bool saveAsOwnRule(const QString& name, QString* problem = nullptr);
    bool removeOwnRule(const QString& name);
    void setRuleEnabled(const QString& name, bool enabled);
    static bool isBuiltIn(const QString& name);
    void importRules(QWidget* parent);
    void exportRules(QWidget* parent);

    bool choosesForNewBooks();
    void setChoosesForNewBooks(bool on);

    // --- 文本编码 ---
    const QList<EncodingCandidate>& encodings() const { return m_encodings; }
    // The encoding stored for the book, empty when it is detected.
    QString storedEncoding() const { return m_storedEncoding; }
    bool applyEncoding(const QString& name);

    static QString customRuleName() { return QStringLiteral("自定义规则"); }

signals:
    void previewStarted();
    void previewReady();
    void rulesChanged();

private:
    void startPreview();
    std::optional<HeadingRule> ruleOfChoice() const;
    ScanLimits limits() const;

    LibraryDatabase* m_library;
    Dialogs& m_dialogs;
    Pickers& m_pickers;
    QString m_path;
    std::function<void(const QString&)> m_reopen;
    ChapterChoices m_choices;
    RuleLibrary m_rules;
    QString m_storedChoice;
    QString m_storedPattern;
    QString m_storedEncoding;
    QString m_choice;
    QString m_pattern;
    RulePreview m_preview;
    QList<EncodingCandidate> m_encodings;
    QTimer m_typing;
    quint64 m_generation = 0;
    bool m_running = false;
};
