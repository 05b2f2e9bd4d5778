#include "account/UploadPage.h"

#include "account/AccountSession.h"
#include "account/UploadBody.h"
#include "account/UploadReply.h"
#include "app/AppServices.h"
#include "app/BookDialogController.h"
#include "platform/Dialogs.h"
#include "platform/Pickers.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace {

constexpr int kNameMax = 15;
constexpr int kCoverWidth = 120; // 1800 × 2085 twips
constexpr int kCoverHeight = 139;

QLabel* caption(const QString& text, bool required, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    if (required)
        label->setStyleSheet(QStringLiteral("color: #d40000;"));
    return label;
}

// Text put in by the program is kept whole; the limit is for what the user types.
void setTextKeepingAll(QLineEdit* edit, const QString& text, int limit)
{
    edit->setMaxLength(std::max<int>(limit, static_cast<int>(text.size())));
    edit->setText(text);
}

} // namespace

UploadPage::UploadPage(AppServices& services, AccountSession& session, std::function<QString()> accountName,
                       QWidget* parent)
    : QWidget(parent), m_services(services), m_session(session), m_accountName(std::move(accountName)),
      m_request(services.network)
{
    buildForm();
    connect(&m_request, &RequestSlot::answered, this, &UploadPage::Timer1);
    connect(&m_request, &RequestSlot::uploadProgress, this, [this](qint64 sent, qint64 total) {
        if (total > 0) {
            m_progress->setRange(0, 1000);
            m_progress->setValue(static_cast<int>(sent * 1000 / total));
            m_progress->setFormat(
                QStringLiteral("已发送 %1 / %2").arg(UploadForm::limitText(sent), UploadForm::limitText(total)));
        }
    });
}

UploadPage::~UploadPage() = default;

void UploadPage::buildForm()
{
    auto* slogan = new QLabel(QStringLiteral("人人为我，我为人人！只有广大读者的热心分享，才能无所不搜！"), this);
    slogan->setStyleSheet(QStringLiteral("color: #c64f06; font-weight: bold;"));

    m_imageCombo1 = new QComboBox(this);
    m_imageCombo1->setObjectName(QStringLiteral("ImageCombo1"));
    m_text12 = new QLineEdit(this);
    m_text12->setObjectName(QStringLiteral("Text12"));
    m_text12->setMaxLength(kNameMax);
    m_text11 = new QLineEdit(this);
    m_text11->setObjectName(QStringLiteral("Text11"));
    m_text11->setMaxLength(kNameMax);
    m_text10 = new QLineEdit(this);
    m_text10->setObjectName(QStringLiteral("Text10"));
    m_text10->setReadOnly(true);
    m_command6 = new QPushButton(QStringLiteral("..."), this);
    m_command6->setObjectName(QStringLiteral("Command6"));
    m_command6->setFixedWidth(36);
    m_combo1 = new QComboBox(this);
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_picture3 = new QWidget(this);
    m_picture3->setObjectName(QStringLiteral("Picture3"));
    m_text8 = new QLineEdit(m_picture3);
    m_text8->setObjectName(QStringLiteral("Text8"));
    m_text8->setMaxLength(255);
    auto* chapterRow = new QHBoxLayout(m_picture3);
    chapterRow->setContentsMargins(0, 0, 0, 0);
    chapterRow->addWidget(caption(QStringLiteral("最新章节："), true, m_picture3));
    chapterRow->addWidget(m_text8, 1);
    m_picture3->hide(); // shown only while the state is "连载"
    m_text9 = new QPlainTextEdit(this);
    m_text9->setObjectName(QStringLiteral("Text9"));
    m_text9->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    m_command4 = new QPushButton(QStringLiteral("添加封面"), this);
    m_command4->setObjectName(QStringLiteral("Command4"));
    m_picture2 = new QLabel(this);
    m_picture2->setObjectName(QStringLiteral("Picture2"));
    m_picture2->setFixedSize(kCoverWidth, kCoverHeight);
    m_picture2->setFrameShape(QFrame::Box);
    m_picture2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_image2 = new QToolButton(m_picture2);
    m_image2->setObjectName(QStringLiteral("Image2"));
    m_image2->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    m_image2->setAutoRaise(true);
    m_image2->setGeometry(kCoverWidth - 20, 2, 18, 18);
    m_image2->hide();
    m_text13 = new QLineEdit(this);
    m_text13->setObjectName(QStringLiteral("Text13"));
    m_text13->hide();

    m_command5 = new QPushButton(QStringLiteral("确认上传"), this);
    m_command5->setObjectName(QStringLiteral("Command5"));
    m_upLoading = new QLabel(QStringLiteral("正在上传，请稍候……"), this);
    m_upLoading->setObjectName(QStringLiteral("UpLoading"));
    m_upLoading->hide();
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("UploadProgress"));
    m_progress->setRange(0, 0);
    m_progress->hide();

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_text10, 1);
    pathRow->addWidget(m_command6);

    auto* grid = new QGridLayout;
    grid->addWidget(caption(QStringLiteral("类型："), true, this), 0, 0);
    grid->addWidget(m_imageCombo1, 0, 1);
    grid->addWidget(caption(QStringLiteral("书名："), true, this), 1, 0);
    grid->addWidget(m_text12, 1, 1);
    grid->addWidget(caption(QStringLiteral("作者："), false, this), 2, 0);
    grid->addWidget(m_text11, 2, 1);
    grid->addWidget(caption(QStringLiteral("所在路径："), true, this), 3, 0);
    grid->addLayout(pathRow, 3, 1);
    grid->addWidget(caption(QStringLiteral("连载状态："), true, this), 4, 0);
    grid->addWidget(m_combo1, 4, 1);
    grid->addWidget(m_picture3, 5, 0, 1, 2);
    grid->addWidget(caption(QStringLiteral("内容简介："), false, this), 6, 0, Qt::AlignTop);
    grid->addWidget(m_text9, 6, 1);
    grid->setColumnStretch(1, 1);

    auto* coverColumn = new QVBoxLayout;
    coverColumn->addWidget(m_picture2);
    coverColumn->addWidget(m_command4);
    coverColumn->addStretch(1);

    auto* formRow = new QHBoxLayout;
    formRow->addLayout(grid, 1);
    formRow->addLayout(coverColumn);

    auto* rules =
        new QLabel(QStringLiteral("上传说明：1. 红色项目为必填项；2. 请在电子书文件的开头和结尾加上本站的说明；"
                                  "3. 新书审核通过奖励10金币，更新章节奖励5金币。"),
                   this);
    rules->setWordWrap(true);
    rules->setStyleSheet(QStringLiteral("color: #6b7785;"));

    auto* sendRow = new QHBoxLayout;
    sendRow->addWidget(m_command5);
    sendRow->addWidget(m_upLoading);
    sendRow->addWidget(m_progress, 1);
    sendRow->addStretch(0);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(slogan);
    layout->addLayout(formRow, 1);
    layout->addLayout(sendRow);
    layout->addWidget(rules);

    connect(m_command6, &QPushButton::clicked, this, &UploadPage::Command6_Click);
    connect(m_command4, &QPushButton::clicked, this, &UploadPage::Command4_Click);
    connect(m_image2, &QToolButton::clicked, this, &UploadPage::Image2_Click);
    connect(m_combo1, &QComboBox::currentIndexChanged, this, &UploadPage::Combo1_Click);
    connect(m_command5, &QPushButton::clicked, this, &UploadPage::Command5_Click);
}

void UploadPage::fillBoxes()
{
    const QSignalBlocker quietState(m_combo1);
    m_imageCombo1->clear();
    m_imageCombo1->addItems(BookDialogController::categoryNames());
    m_imageCombo1->setCurrentIndex(-1);
    m_combo1->clear();
    m_combo1->addItems(UploadForm::states());
    m_combo1->setCurrentIndex(-1);
    m_picture3->hide();
}

void UploadPage::fillFromBook(const QString& type, const QString& name, const QString& author, const QString& path)
{
    for (int i = 0; i < m_imageCombo1->count(); ++i) {
        if (m_imageCombo1->itemText(i) == type) {
            m_imageCombo1->setCurrentIndex(i);
            break;
        }
    }
    setTextKeepingAll(m_text12, name, kNameMax);
    setTextKeepingAll(m_text11, author, kNameMax);
    m_text10->setText(path);
}

void UploadPage::Command6_Click()
{
    const QString path =
        m_services.pickers.openFile(this, UploadForm::bookDialogTitle(), UploadForm::bookDialogFilter());
    if (!path.isEmpty())
        m_text10->setText(path);
}

void UploadPage::Command4_Click()
{
    const QString path =
        m_services.pickers.openFile(this, UploadForm::coverDialogTitle(), UploadForm::coverDialogFilter());
    if (!path.isEmpty())
        setCover(path);
}

void UploadPage::setCover(const QString& path)
{
    QImageReader reader(path);
    const QImage image = reader.read();
    if (image.isNull()) {
        showBox(QStringLiteral("无法打开这张图片，请换一张JPG或GIF图片做封面！\r\n") + path, QStringLiteral("添加封面"),
                Dialogs::Stop);
        return;
    }
    m_text13->setText(path);
    m_picture2->setPixmap(
        QPixmap::fromImage(image.scaled(kCoverWidth, kCoverHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    m_picture2->update();
    m_image2->setToolTip(QStringLiteral("删除封面"));
    m_image2->show();
    m_image2->raise();
}

void UploadPage::Image2_Click()
{
    m_text13->clear();
    m_picture2->clear();
    m_image2->hide();
    m_image2->setToolTip(QString());
}

bool UploadPage::hasCover() const
{
    return !m_text13->text().isEmpty();
}

void UploadPage::Combo1_Click()
{
    const QString state = m_combo1->currentText();
    if (state == UploadForm::serialState()) {
        m_picture3->show();
    } else if (state == UploadForm::completeState()) {
        m_picture3->hide();
        m_text8->clear();
    }
}

UploadFields UploadPage::fields() const
{
    UploadFields f;
    f.category = m_imageCombo1->currentText();
    f.name = m_text12->text();
    f.author = m_text11->text();
    f.path = m_text10->text();
    f.coverPath = m_text13->text();
    f.state = m_combo1->currentText();
    f.newestChapter = m_text8->text();
    f.synopsis = m_text9->toPlainText();
    f.userName = m_accountName ? m_accountName() : QString();
    return f;
}

void UploadPage::Command5_Click()
{
    if (m_pending)
        return;
    const UploadFields f = fields();
    if (const auto refusal = UploadForm::check(f, m_session.uploadLimit)) {
        if (refusal->showNewestRow)
            m_picture3->show();
        showBox(refusal->box.text, refusal->box.title, refusal->box.style);
        focusField(refusal->focus);
        return;
    }
    setPending(true);
    UploadBook(UploadForm::fieldString(f));
}

void UploadPage::UploadBook(const QString& fieldString)
{
    setPending(true);
    const QString boundary = UploadBody::MakeBoundary();
    // Reading a large book and laying out its body happens off the GUI thread; the request
    // starts on it once the body is ready (and not at all when the page has gone).
    QtConcurrent::run([fieldString, boundary] {
        return UploadBody::build(fieldString, boundary);
    }).then(this, [this](const UploadBody::Built& built) {
        if (!built.unreadableFile.isEmpty()) {
            setPending(false);
            showBox(QStringLiteral("无法读取文件，上传已取消，请检查后重新选择：\r\n") + built.unreadableFile,
                    QStringLiteral("数据有误"), Dialogs::Stop);
            return;
        }
        m_progress->setRange(0, 0);
        m_progress->setFormat(QString());
        m_request.post(m_uploadUrl, UploadBody::contentType(), built.body);
    });
}

void UploadPage::Timer1(const ServiceReply& reply)
{
    setPending(false);
    const UploadOutcome outcome = UploadReply::read(reply, m_session.uploadLimit);
    if (outcome.learnedLimit > 0)
        m_session.uploadLimit = outcome.learnedLimit;
    showBox(outcome.box.text, outcome.box.title, outcome.box.style);
    if (outcome.success)
        emit uploaded();
}

void UploadPage::setPending(bool pending)
{
    m_pending = pending;
    m_command5->setEnabled(!pending);
    m_upLoading->setVisible(pending);
    m_progress->setVisible(pending);
}

void UploadPage::focusField(UploadFocus focus)
{
    QWidget* target = nullptr;
    switch (focus) {
    case UploadFocus::Category:
        target = m_imageCombo1;
        break;
    case UploadFocus::Name:
        target = m_text12;
        break;
    case UploadFocus::Author:
        target = m_text11;
        break;
    case UploadFocus::BookButton:
        target = m_command6;
        break;
    case UploadFocus::CoverButton:
        target = m_command4;
        break;
    case UploadFocus::State:
        target = m_combo1;
        break;
    case UploadFocus::NewestChapter:
        target = m_text8;
        break;
    case UploadFocus::Synopsis:
        target = m_text9;
        break;
    }
    if (target)
        target->setFocus(Qt::OtherFocusReason);
}

void UploadPage::showBox(const QString& text, const QString& title, int style)
{
    m_services.dialogs.message(text, title, style);
}
