#include "app/BookDialog.h"

#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/BookFileName.h"
#include "platform/Pickers.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

BookDialog::BookDialog(AppServices& services, ReaderNavigator& navigator, QWidget* parent)
    : QDialog(parent), m_controller(*services.state.library, services.dialogs, navigator), m_pickers(services.pickers)
{
    setObjectName(QStringLiteral("Form3"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(BookDialogController::designedTitle());

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(18, 16, 18, 14);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(10);

    m_text1 = new QLineEdit(this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_imageCombo1 = new QComboBox(this);
    m_imageCombo1->setObjectName(QStringLiteral("ImageCombo1"));
    const QIcon folder = style()->standardIcon(QStyle::SP_DirIcon);
    for (const QString& name : BookDialogController::categoryNames())
        m_imageCombo1->addItem(folder, name);
    // The ten names to pick from, or any category typed in: it is stored as the picker reads.
    m_imageCombo1->setEditable(true);
    m_imageCombo1->setInsertPolicy(QComboBox::NoInsert);
    m_imageCombo1->setCurrentIndex(-1);
    m_text2 = new QLineEdit(this);
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text3 = new QLineEdit(this);
    m_text3->setObjectName(QStringLiteral("Text3"));
    m_text3->setMinimumWidth(300);
    m_command1 = new QPushButton(QStringLiteral("..."), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setFixedWidth(32);

    grid->addWidget(new QLabel(QStringLiteral("书名："), this), 0, 0);
    grid->addWidget(m_text1, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("类型："), this), 1, 0);
    grid->addWidget(m_imageCombo1, 1, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("作者："), this), 2, 0);
    grid->addWidget(m_text2, 2, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("所在路径："), this), 3, 0);
    grid->addWidget(m_text3, 3, 1);
    grid->addWidget(m_command1, 3, 2);

    m_command2 = new QPushButton(QStringLiteral("确认保存"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_command2->setDefault(true);
    m_command3 = new QPushButton(QStringLiteral("取消"), this);
    m_command3->setObjectName(QStringLiteral("Command3"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_command2);
    buttons->addWidget(m_command3);
    grid->addLayout(buttons, 4, 0, 1, 3);

    connect(m_command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(m_command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(m_command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
}

bool BookDialog::load(const QString& mode, const QString& bookPath)
{
    if (!m_controller.load(mode, bookPath))
        return false;
    setWindowTitle(m_controller.title());
    const BookDialogController::Fields& start = m_controller.initialFields();
    m_text1->setText(start.name);
    m_text2->setText(start.author);
    m_text3->setText(start.path);
    m_imageCombo1->setCurrentIndex(m_controller.initialCategoryIndex());
    if (m_controller.initialCategoryIndex() < 0)
        m_imageCombo1->setEditText(start.category);
    adjustSize();
    // Centred on the screen, as the window is designed.
    if (QScreen* where = parentWidget() ? parentWidget()->screen() : screen())
        move(where->availableGeometry().center() - rect().center());
    return true;
}

BookDialogController::Fields BookDialog::fields() const
{
    return {m_text1->text(), m_imageCombo1->currentText(), m_text2->text(), m_text3->text()};
}

void BookDialog::Command1_Click()
{
    const QString chosen =
        m_pickers.openFile(this, QStringLiteral("添加电子书-Quillmere"), QStringLiteral("文本文件(*.txt)|*.txt"));
    if (chosen.isEmpty())
        return;
    m_text3->setText(chosen);
    // Boxes the user left empty take what the file name tells ("《书名》作者.txt").
    const BookFileName named = BookFileName::parse(chosen);
    if (m_text1->text().trimmed().isEmpty())
        m_text1->setText(named.title);
    const QString author = m_text2->text().trimmed();
    if (!named.author.isEmpty() && (author.isEmpty() || author == BookDialogController::defaultAuthor()))
        m_text2->setText(named.author);
}

void BookDialog::Command2_Click()
{
    BookDialogController::Fields values = fields();
    const auto result = m_controller.save(values);
    // The author default shows in the box even when a later check refused the save.
    m_text2->setText(values.author);
    if (result == BookDialogController::SaveResult::Saved)
        close();
}

void BookDialog::Command3_Click()
{
    m_controller.cancel();
    close();
}
