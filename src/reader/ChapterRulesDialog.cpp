#include "reader/ChapterRulesDialog.h"

#include "reader/chapters/ChapterRulesController.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int kNameRole = Qt::UserRole + 1;

} // namespace

ChapterRulesDialog::ChapterRulesDialog(ChapterRulesController& controller, QWidget* parent)
    : QDialog(parent), m_controller(controller)
{
    setObjectName(QStringLiteral("ChapterRulesDialog"));
    setWindowTitle(QStringLiteral("章节规则 - %1").arg(QFileInfo(controller.bookPath()).fileName()));
    resize(860, 600);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("ChapterRulesTabs"));
    m_tabs->addTab(buildRulesTab(), QStringLiteral("章节规则"));
    m_tabs->addTab(buildEncodingTab(), QStringLiteral("文本编码"));

    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("CloseButton"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(bottom);

    connect(&m_controller, &ChapterRulesController::previewStarted, this, [this] {
        m_error->clear();
        m_summary->setText(QStringLiteral("正在预览…"));
        m_applyRule->setEnabled(false);
    });
    connect(&m_controller, &ChapterRulesController::previewReady, this, &ChapterRulesDialog::showPreview);
    connect(&m_controller, &ChapterRulesController::rulesChanged, this, &ChapterRulesDialog::fillRuleList);
    fillRuleList();
    // The book's own choice is previewed at once (a custom pattern keeps its text).
    m_controller.chooseRule(m_controller.storedChoice());
}

QWidget* ChapterRulesDialog::buildRulesTab()
{
    auto* tab = new QWidget;
    m_ruleList = new QListWidget(tab);
    m_ruleList->setObjectName(QStringLiteral("RuleList"));
    m_ruleList->setToolTip(QStringLiteral("勾选的规则参与“自动识别”"));
    connect(m_ruleList, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (!m_filling && item)
            m_controller.chooseRule(item->data(kNameRole).toString());
    });
    connect(m_ruleList, &QListWidget::itemChanged, this, &ChapterRulesDialog::onRuleItemChanged);

    auto* importButton = new QPushButton(QStringLiteral("导入…"), tab);
    importButton->setObjectName(QStringLiteral("ImportRules"));
    connect(importButton, &QPushButton::clicked, this, [this] { m_controller.importRules(this); });
    auto* exportButton = new QPushButton(QStringLiteral("导出…"), tab);
    exportButton->setObjectName(QStringLiteral("ExportRules"));
    connect(exportButton, &QPushButton::clicked, this, [this] { m_controller.exportRules(this); });
    auto* removeButton = new QPushButton(QStringLiteral("删除"), tab);
    removeButton->setObjectName(QStringLiteral("RemoveOwnRule"));
    connect(removeButton, &QPushButton::clicked, this, [this] {
        if (QListWidgetItem* item = m_ruleList->currentItem())
            m_controller.removeOwnRule(item->data(kNameRole).toString());
    });
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(importButton);
    listButtons->addWidget(exportButton);
    listButtons->addWidget(removeButton);
    auto* left = new QVBoxLayout;
    left->addWidget(m_ruleList);
    left->addLayout(listButtons);

    m_pattern = new QLineEdit(tab);
    m_pattern->setObjectName(QStringLiteral("RulePattern"));
    m_pattern->setPlaceholderText(QStringLiteral("章节标题的正则表达式，例如 ^第[0-9一二三四五六七八九十百千]+章"));
    connect(m_pattern, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_ruleList->blockSignals(true);
        m_ruleList->setCurrentItem(nullptr);
        m_ruleList->blockSignals(false);
        m_controller.typePattern(text);
    });
    m_ownName = new QLineEdit(tab);
    m_ownName->setObjectName(QStringLiteral("OwnRuleName"));
    m_ownName->setPlaceholderText(QStringLiteral("规则名称"));
    auto* save = new QPushButton(QStringLiteral("保存为我的规则"), tab);
    save->setObjectName(QStringLiteral("SaveOwnRule"));
    connect(save, &QPushButton::clicked, this, [this] {
        QString problem;
        if (!m_controller.saveAsOwnRule(m_ownName->text(), &problem))
            m_error->setText(problem);
    });
    auto* own = new QHBoxLayout;
    own->addWidget(m_ownName);
    own->addWidget(save);

    m_error = new QLabel(tab);
    m_error->setObjectName(QStringLiteral("PreviewError"));
    m_error->setStyleSheet(QStringLiteral("color: #C0392B;"));
    m_error->setWordWrap(true);
    m_summary = new QLabel(tab);
    m_summary->setObjectName(QStringLiteral("PreviewSummary"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_headings = new QListWidget(tab);
    m_headings->setObjectName(QStringLiteral("PreviewHeadings"));
    m_suspicious = new QListWidget(tab);
    m_suspicious->setObjectName(QStringLiteral("PreviewSuspicious"));
    auto* lists = new QHBoxLayout;
    auto* headingsBox = new QVBoxLayout;
    headingsBox->addWidget(new QLabel(QStringLiteral("最先找到的标题"), tab));
    headingsBox->addWidget(m_headings);
    auto* suspiciousBox = new QVBoxLayout;
    suspiciousBox->addWidget(new QLabel(QStringLiteral("可疑的标题"), tab));
    suspiciousBox->addWidget(m_suspicious);
    lists->addLayout(headingsBox);
    lists->addLayout(suspiciousBox);

    m_newBooks = new QCheckBox(QStringLiteral("新书自动识别章节规则"), tab);
    m_newBooks->setObjectName(QStringLiteral("AutoForNewBooks"));
    m_newBooks->setChecked(m_controller.choosesForNewBooks());
    connect(m_newBooks, &QCheckBox::toggled, this, [this](bool on) { m_controller.setChoosesForNewBooks(on); });
    m_applyRule = new QPushButton(QStringLiteral("应用"), tab);
    m_applyRule->setObjectName(QStringLiteral("ApplyRule"));
    connect(m_applyRule, &QPushButton::clicked, this, &ChapterRulesDialog::applyRule);
    auto* actions = new QHBoxLayout;
    actions->addWidget(m_newBooks);
    actions->addStretch();
    actions->addWidget(m_applyRule);

    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("正则表达式"), tab));
    right->addWidget(m_pattern);
    right->addLayout(own);
    right->addWidget(m_error);
    right->addWidget(m_summary);
    right->addLayout(lists, 1);
    right->addLayout(actions);

    auto* layout = new QHBoxLayout(tab);
    layout->addLayout(left, 2);
    layout->addLayout(right, 5);
    return tab;
}

QWidget* ChapterRulesDialog::buildEncodingTab()
{
    auto* tab = new QWidget;
    auto* columns = new QWidget;
    auto* row = new QHBoxLayout(columns);
    auto* group = new QButtonGroup(tab);
    const QString stored = m_controller.storedEncoding();
    for (const EncodingCandidate& candidate : m_controller.encodings()) {
        auto* box = new QVBoxLayout;
        QString caption = candidate.name;
        if (candidate.detected)
            caption += QStringLiteral("（检测结果）");
        auto* choice = new QRadioButton(caption, columns);
        choice->setObjectName(QStringLiteral("Encoding_") + candidate.name);
        choice->setProperty("encodingName", candidate.name);
        choice->setChecked(stored.isEmpty() ? candidate.detected : stored == candidate.name);
        group->addButton(choice);
        auto* sample = new QPlainTextEdit(columns);
        sample->setObjectName(QStringLiteral("EncodingSample_") + candidate.name);
        sample->setReadOnly(true);
        sample->setLineWrapMode(QPlainTextEdit::NoWrap);
        sample->setPlainText(candidate.lines.join(QLatin1Char('\n')));
        sample->setMinimumWidth(150);
        box->addWidget(choice);
        box->addWidget(sample);
        row->addLayout(box);
    }
    auto* scroll = new QScrollArea(tab);
    scroll->setWidgetResizable(true);
    scroll->setWidget(columns);

    auto* apply = new QPushButton(QStringLiteral("应用"), tab);
    apply->setObjectName(QStringLiteral("ApplyEncoding"));
    connect(apply, &QPushButton::clicked, this, &ChapterRulesDialog::applyEncoding);
    auto* actions = new QHBoxLayout;
    actions->addWidget(new QLabel(QStringLiteral("选出文字显示正常的一栏，按“应用”用它重新打开本书。"), tab));
    actions->addStretch();
    actions->addWidget(apply);

    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(scroll, 1);
    layout->addLayout(actions);
    return tab;
}

void ChapterRulesDialog::fillRuleList()
{
    m_filling = true;
    m_ruleList->clear();
    auto* autoItem = new QListWidgetItem(ChapterChoices::autoChoiceName(), m_ruleList);
    autoItem->setData(kNameRole, ChapterChoices::autoChoiceName());
    autoItem->setToolTip(QStringLiteral("从勾选的规则中选出最适合本书的一条"));
    for (const HeadingRule& rule : m_controller.rules().rules()) {
        auto* item = new QListWidgetItem(rule.name, m_ruleList);
        item->setData(kNameRole, rule.name);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(rule.enabled ? Qt::Checked : Qt::Unchecked);
        item->setToolTip(rule.example.isEmpty() ? rule.pattern : QStringLiteral("例：") + rule.example);
    }
    for (int i = 0; i < m_ruleList->count(); ++i)
        if (m_ruleList->item(i)->data(kNameRole).toString() == m_controller.choice())
            m_ruleList->setCurrentRow(i);
    m_filling = false;
}

void ChapterRulesDialog::onRuleItemChanged(QListWidgetItem* item)
{
    if (m_filling || !item || !(item->flags() & Qt::ItemIsUserCheckable))
        return;
    m_controller.setRuleEnabled(item->data(kNameRole).toString(), item->checkState() == Qt::Checked);
}

QString ChapterRulesDialog::summaryText(const RulePreview& preview)
{
    QStringList lines;
    if (!preview.ruleName.isEmpty())
        lines << QStringLiteral("使用规则：%1").arg(preview.ruleName);
    lines << QStringLiteral("章节数：%1").arg(preview.chapters);
    if (preview.shortest.row >= 0)
        lines << QStringLiteral("最短章节：%1（%2）")
                     .arg(preview.shortest.label, chapterSizeText(preview.shortest.bytes));
    if (preview.longest.row >= 0)
        lines
            << QStringLiteral("最长章节：%1（%2）").arg(preview.longest.label, chapterSizeText(preview.longest.bytes));
    if (!preview.suspicious.isEmpty())
        lines << QStringLiteral("可疑标题：%1 处").arg(preview.suspicious.size());
    return lines.join(QLatin1Char('\n'));
}

void ChapterRulesDialog::showPreview()
{
    const RulePreview& preview = m_controller.preview();
    if (m_pattern->text() != m_controller.pattern())
        m_pattern->setText(m_controller.pattern());
    m_headings->clear();
    m_suspicious->clear();
    m_error->setText(preview.error);
    m_applyRule->setEnabled(preview.error.isEmpty());
    if (!preview.error.isEmpty()) {
        m_summary->clear();
        return;
    }
    m_summary->setText(summaryText(preview));
    m_headings->addItems(preview.firstHeadings);
    for (const SuspiciousHeading& line : preview.suspicious)
        m_suspicious->addItem(QStringLiteral("列表第 %1 项（%2）：%3").arg(line.row + 1).arg(line.reason, line.label));
}

void ChapterRulesDialog::applyRule()
{
    QString problem;
    if (!m_controller.applyRule(&problem)) {
        m_error->setText(problem);
        return;
    }
    accept();
}

void ChapterRulesDialog::applyEncoding()
{
    for (auto* choice : findChildren<QRadioButton*>()) {
        if (choice->isChecked()) {
            if (m_controller.applyEncoding(choice->property("encodingName").toString()))
                accept();
            return;
        }
    }
}
