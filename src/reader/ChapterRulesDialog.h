#pragma once

#include <QDialog>

class ChapterRulesController;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTabWidget;

// "章节规则…": the rule list and a pattern of one's own with the preview on the book, and the
// tab "文本编码" with the book's first lines in each candidate encoding. It only binds the
// controller, which does the work.
class ChapterRulesDialog : public QDialog {
    Q_OBJECT
public:
    ChapterRulesDialog(ChapterRulesController& controller, QWidget* parent = nullptr);

    ChapterRulesController& controller() { return m_controller; }

    // The summary line of the preview (章节数, shortest and longest chapter).
    static QString summaryText(const struct RulePreview& preview);

private:
    QWidget* buildRulesTab();
    QWidget* buildEncodingTab();
    void fillRuleList();
    void showPreview();
    void onRuleItemChanged(QListWidgetItem* item);
    void applyRule();
    void applyEncoding();

    ChapterRulesController& m_controller;
    QTabWidget* m_tabs = nullptr;
    QListWidget* m_ruleList = nullptr;
    QLineEdit* m_pattern = nullptr;
    QLineEdit* m_ownName = nullptr;
    QLabel* m_error = nullptr;
    QLabel* m_summary = nullptr;
    QListWidget* m_headings = nullptr;
    QListWidget* m_suspicious = nullptr;
    QCheckBox* m_newBooks = nullptr;
    QPushButton* m_applyRule = nullptr;
    bool m_filling = false;
};
