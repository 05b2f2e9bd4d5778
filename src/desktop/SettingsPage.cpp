#include "desktop/SettingsPage.h"

#include "desktop/ColorSwatch.h"
#include "desktop/SettingsController.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QLabel* rowLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // One label width across both frames, so their fields line up.
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("电子书下载目录：")) + 4);
    return label;
}

} // namespace

SettingsPage::SettingsPage(SettingsController& controller, QWidget* parent) : QWidget(parent), m_controller(controller)
{
    // --- 系统选项 ---
    auto* system = new QGroupBox(QStringLiteral("系统选项"), this);
    auto* systemGrid = new QGridLayout(system);
    systemGrid->setHorizontalSpacing(10);
    systemGrid->setVerticalSpacing(12);

    m_path = new QLineEdit(system);
    m_path->setObjectName(QStringLiteral("Text4"));
    m_path->setMinimumWidth(320);
    auto* chooseFolder = new QPushButton(QStringLiteral("选择..."), system);
    chooseFolder->setObjectName(QStringLiteral("ChooseFolder"));
    systemGrid->addWidget(rowLabel(QStringLiteral("电子书下载目录："), system), 0, 0);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_path, 1);
    pathRow->addWidget(chooseFolder);
    systemGrid->addLayout(pathRow, 0, 1);

    m_autoRunYes = new QRadioButton(QStringLiteral("是"), system);
    m_autoRunYes->setObjectName(QStringLiteral("Option1"));
    m_autoRunNo = new QRadioButton(QStringLiteral("否"), system);
    m_autoRunNo->setObjectName(QStringLiteral("Option2"));
    m_autoRunNo->setChecked(true);
    auto* autoRunGroup = new QButtonGroup(this);
    autoRunGroup->addButton(m_autoRunYes);
    autoRunGroup->addButton(m_autoRunNo);
    auto* autoRunRow = new QHBoxLayout;
    autoRunRow->addWidget(m_autoRunYes);
    autoRunRow->addSpacing(24);
    autoRunRow->addWidget(m_autoRunNo);
    autoRunRow->addStretch(1);
    systemGrid->addWidget(rowLabel(QStringLiteral("是否开机启动："), system), 1, 0);
    systemGrid->addLayout(autoRunRow, 1, 1);

    // A drop-down list rather than an editable box: only the three names mean anything.
    m_modifier = new QComboBox(system);
    m_modifier->setObjectName(QStringLiteral("Combo2"));
    m_modifier->addItems(SettingsController::modifierNames());
    m_modifier->setCurrentIndex(m_modifier->count() - 1);
    m_key = new QLineEdit(QStringLiteral("B"), system);
    m_key->setObjectName(QStringLiteral("Text5"));
    m_key->setMaxLength(1);
    m_key->setFixedWidth(48);
    m_key->setAlignment(Qt::AlignCenter);
    auto* bossRow = new QHBoxLayout;
    bossRow->addWidget(m_modifier);
    bossRow->addWidget(new QLabel(QStringLiteral("+"), system));
    bossRow->addWidget(m_key);
    bossRow->addStretch(1);
    systemGrid->addWidget(rowLabel(QStringLiteral("老板键设置："), system), 2, 0);
    systemGrid->addLayout(bossRow, 2, 1);

    m_bossKeyNotice = new QLabel(system);
    m_bossKeyNotice->setObjectName(QStringLiteral("BossKeyNotice"));
    m_bossKeyNotice->setWordWrap(true);
    m_bossKeyNotice->setStyleSheet(QStringLiteral("color: #a05a00;"));
    m_bossKeyNotice->hide();
    systemGrid->addWidget(m_bossKeyNotice, 3, 1);
    systemGrid->setColumnStretch(1, 1);

    // --- 阅读设置 ---
    auto* reading = new QGroupBox(QStringLiteral("阅读设置"), this);
    auto* readingGrid = new QGridLayout(reading);
    readingGrid->setHorizontalSpacing(10);
    readingGrid->setVerticalSpacing(12);

    m_txtColor = new ColorSwatch(reading);
    m_txtColor->setObjectName(QStringLiteral("Picture6"));
    auto* chooseTxtColor = new QPushButton(QStringLiteral("选择"), reading);
    chooseTxtColor->setObjectName(QStringLiteral("ChooseTxtColor"));
    auto* txtColorRow = new QHBoxLayout;
    txtColorRow->setSpacing(8);
    txtColorRow->addWidget(m_txtColor);
    txtColorRow->addWidget(chooseTxtColor);
    txtColorRow->addStretch(1);
    readingGrid->addWidget(rowLabel(QStringLiteral("文字颜色："), reading), 0, 0);
    readingGrid->addLayout(txtColorRow, 0, 1);

    m_txtSize = new QComboBox(reading);
    m_txtSize->setObjectName(QStringLiteral("Combo4"));
    m_txtSize->addItems(SettingsController::sizeNames());
    m_txtSize->setCurrentIndex(m_txtSize->count() - 1);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(m_txtSize);
    sizeRow->addStretch(1);
    readingGrid->addWidget(rowLabel(QStringLiteral("文字大小："), reading), 1, 0);
    readingGrid->addLayout(sizeRow, 1, 1);

    m_backColor = new ColorSwatch(reading);
    m_backColor->setObjectName(QStringLiteral("Picture7"));
    auto* chooseBackColor = new QPushButton(QStringLiteral("选择"), reading);
    chooseBackColor->setObjectName(QStringLiteral("ChooseBackColor"));
    auto* backColorRow = new QHBoxLayout;
    backColorRow->setSpacing(8);
    backColorRow->addWidget(m_backColor);
    backColorRow->addWidget(chooseBackColor);
    backColorRow->addStretch(1);
    readingGrid->addWidget(rowLabel(QStringLiteral("背景颜色："), reading), 2, 0);
    readingGrid->addLayout(backColorRow, 2, 1);
    m_reopenLastBook = new QCheckBox(QStringLiteral("启动时打开上次阅读的书"), reading);
    m_reopenLastBook->setObjectName(QStringLiteral("ReopenLastBook"));
    readingGrid->addWidget(m_reopenLastBook, 3, 1);
    readingGrid->setColumnStretch(1, 1);

    auto* saveButton = new QPushButton(QStringLiteral("保存设置"), this);
    saveButton->setObjectName(QStringLiteral("SaveSettings"));
    saveButton->setMinimumWidth(120);
    auto* saveRow = new QHBoxLayout;
    saveRow->addStretch(1);
    saveRow->addWidget(saveButton);

    // The two frames keep a readable width on a wide window instead of stretching across it.
    auto* column = new QVBoxLayout;
    column->setSpacing(16);
    column->addWidget(system);
    column->addWidget(reading);
    column->addLayout(saveRow);
    column->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(24, 24, 24, 24);
    outer->addLayout(column, 0);
    outer->addStretch(1);
    system->setMinimumWidth(560);

    connect(chooseFolder, &QPushButton::clicked, this, &SettingsPage::chooseFolder);
    connect(chooseTxtColor, &QPushButton::clicked, this, [this] { chooseColor(m_txtColor); });
    connect(chooseBackColor, &QPushButton::clicked, this, [this] { chooseColor(m_backColor); });
    connect(saveButton, &QPushButton::clicked, this, &SettingsPage::save);
}

void SettingsPage::load()
{
    showValues(m_controller.load());
}

void SettingsPage::showValues(const SettingsView& view)
{
    m_path->setText(view.path);
    (view.autoRun ? m_autoRunYes : m_autoRunNo)->setChecked(true);
    m_modifier->setCurrentIndex(view.modifierIndex);
    m_key->setText(view.key);
    m_txtSize->setCurrentIndex(view.sizeIndex);
    m_txtColor->setColor(view.txtColor);
    m_backColor->setColor(view.backColor);
    m_reopenLastBook->setChecked(view.reopenLastBook);
    showBossKeyNotice();
}

SettingsInput SettingsPage::input() const
{
    SettingsInput in;
    in.path = m_path->text();
    in.autoRun = m_autoRunYes->isChecked();
    in.modifier = m_modifier->currentText();
    in.key = m_key->text();
    in.txtColor = m_txtColor->color();
    in.txtSize = m_txtSize->currentText();
    in.backColor = m_backColor->color();
    in.reopenLastBook = m_reopenLastBook->isChecked();
    return in;
}

void SettingsPage::chooseFolder()
{
    if (const auto folder = m_controller.chooseFolder(window()))
        m_path->setText(*folder);
}

void SettingsPage::showColors(const QColor& txtColor, const QColor& backColor)
{
    m_txtColor->setColor(txtColor);
    m_backColor->setColor(backColor);
}

void SettingsPage::chooseColor(ColorSwatch* swatch)
{
    if (const auto color = m_controller.chooseColor(window(), swatch->color()))
        swatch->setColor(*color);
}

void SettingsPage::save()
{
    m_controller.save(input());
    showBossKeyNotice();
}

void SettingsPage::showBossKeyNotice()
{
    const QString notice = m_controller.bossKeyNotice();
    m_bossKeyNotice->setText(notice);
    m_bossKeyNotice->setVisible(!notice.isEmpty());
}
