#include "online/opds/OpdsPage.h"

#include "online/opds/OpdsCatalogues.h"
#include "online/opds/OpdsDialogs.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kKindRole = Qt::UserRole;
constexpr int kIndexRole = Qt::UserRole + 1;
enum Kind { Navigation = 1, Publication = 2 };

QPushButton* button(const QString& text, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

} // namespace

OpdsPage::OpdsPage(QNetworkAccessManager& network, OpdsCatalogues& catalogues, QWidget* parent)
    : QWidget(parent), m_browser(network, this), m_catalogues(catalogues)
{
    setObjectName(QStringLiteral("OpdsPage"));
    m_prompt = [this](const QString& message, const QString& user) -> std::optional<Login> {
        OpdsLoginDialog dialog(message, user, this);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return Login{dialog.user(), dialog.password()};
    };

    auto* top = new QHBoxLayout;
    m_back = button(QStringLiteral("返回"), "OpdsBack", this);
    m_breadcrumb = new QLabel(this);
    m_breadcrumb->setObjectName(QStringLiteral("OpdsBreadcrumb"));
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("OpdsSearch"));
    m_search->setPlaceholderText(QStringLiteral("搜索这个书库"));
    m_search->setMaximumWidth(240);
    m_searchButton = button(QStringLiteral("搜索"), "OpdsSearchButton", this);
    top->addWidget(m_back);
    top->addWidget(m_breadcrumb, 1);
    top->addWidget(m_search);
    top->addWidget(m_searchButton);

    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("OpdsNote"));
    m_note->hide();
    m_loading = new QLabel(QStringLiteral("正在读取书库目录..."), this);
    m_loading->setObjectName(QStringLiteral("OpdsLoading"));
    m_loading->hide();

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("OpdsList"));
    m_list->setColumnCount(4);
    m_list->setHeaderLabels(
        {QStringLiteral("书名"), QStringLiteral("作者"), QStringLiteral("分类"), QStringLiteral("简介")});
    m_list->setRootIsDecorated(false);
    m_list->setIconSize(OpdsBrowser::thumbnailSize());
    m_list->setUniformRowHeights(true);
    m_list->header()->resizeSection(0, 260);
    m_list->header()->resizeSection(1, 120);
    m_list->header()->resizeSection(2, 90);

    m_noticeBox = new QWidget(this);
    auto* noticeLayout = new QHBoxLayout(m_noticeBox);
    m_notice = new QLabel(m_noticeBox);
    m_notice->setObjectName(QStringLiteral("OpdsNotice"));
    m_notice->setWordWrap(true);
    m_retry = button(QStringLiteral("重试"), "OpdsRetry", m_noticeBox);
    noticeLayout->addWidget(m_notice, 1);
    noticeLayout->addWidget(m_retry);
    m_noticeBox->hide();

    auto* paging = new QHBoxLayout;
    m_first = button(QStringLiteral("首页"), "OpdsFirst", this);
    m_previous = button(QStringLiteral("上一页"), "OpdsPrevious", this);
    m_next = button(QStringLiteral("下一页"), "OpdsNext", this);
    m_last = button(QStringLiteral("末页"), "OpdsLast", this);
    paging->addStretch(1);
    for (QPushButton* b : {m_first, m_previous, m_next, m_last})
        paging->addWidget(b);

    m_paneArea = new QVBoxLayout;
    m_paneArea->setContentsMargins(0, 0, 0, 0);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addWidget(m_note);
    layout->addWidget(m_loading);
    layout->addWidget(m_noticeBox);
    layout->addWidget(m_list, 3);
    layout->addLayout(paging);
    layout->addLayout(m_paneArea, 1);

    connect(m_back, &QPushButton::clicked, this, [this] { m_browser.back(); });
    connect(m_first, &QPushButton::clicked, this, [this] { m_browser.firstPage(); });
    connect(m_previous, &QPushButton::clicked, this, [this] { m_browser.previousPage(); });
    connect(m_next, &QPushButton::clicked, this, [this] { m_browser.nextPage(); });
    connect(m_last, &QPushButton::clicked, this, [this] { m_browser.lastPage(); });
    connect(m_retry, &QPushButton::clicked, this, [this] { m_browser.retry(); });
    auto search = [this] { m_browser.search(m_search->text()); };
    connect(m_searchButton, &QPushButton::clicked, this, search);
    connect(m_search, &QLineEdit::returnPressed, this, search);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { onDoubleClick(item); });

    connect(&m_browser, &OpdsBrowser::feedChanged, this, &OpdsPage::fill);
    connect(&m_browser, &OpdsBrowser::noticeChanged, this, &OpdsPage::showNotice);
    connect(&m_browser, &OpdsBrowser::loadingChanged, this, [this](bool loading) {
        m_loading->setVisible(loading);
        updateControls();
    });
    // Asked after the answer's handler has returned: the dialog's own loop must not run inside it.
    connect(&m_browser, &OpdsBrowser::loginNeeded, this, [this](const QString& message, const QString& user) {
        QMetaObject::invokeMethod(
            this, [this, message, user] { askLogin(message, user); }, Qt::QueuedConnection);
    });
    connect(&m_browser, &OpdsBrowser::thumbnailReady, this, [this](int publication, const QImage& image) {
        for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = m_list->topLevelItem(i);
            if (item->data(0, kKindRole).toInt() == Publication && item->data(0, kIndexRole).toInt() == publication)
                item->setIcon(0, QPixmap::fromImage(image));
        }
    });
    connect(&m_catalogues, &OpdsCatalogues::keyringNotice, this, [this](const QString& notice) {
        m_keyringNotice = notice;
        fill();
    });
    updateControls();
}

void OpdsPage::open(const OpdsCatalogueRow& row)
{
    m_row = row;
    m_keyringNotice.clear();
    m_list->clear();
    m_catalogues.passwordOf(row, [this, row](const QString& password, const QString& notice) {
        if (row.id != m_row.id)
            return;
        m_keyringNotice = notice;
        m_browser.open(QUrl(row.url), row.userName, password);
    });
}

void OpdsPage::askLogin(const QString& message, const QString& user)
{
    const std::optional<Login> login = m_prompt ? m_prompt(message, user) : std::nullopt;
    if (!login)
        return; // the notice and its "重试" stay
    m_browser.setCredentials(login->user, login->password);
    m_catalogues.remember(m_row.id, login->user, login->password);
    m_browser.retry();
}

void OpdsPage::fill()
{
    const OpdsFeed& feed = m_browser.feed();
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    for (int i = 0; i < feed.navigation.size(); ++i) {
        const OpdsEntry& e = feed.navigation[i];
        auto* item = new QTreeWidgetItem({QStringLiteral("📁 ") + e.title, QString(), QString(), e.summary});
        item->setData(0, kKindRole, Navigation);
        item->setData(0, kIndexRole, i);
        items << item;
    }
    for (int i = 0; i < feed.publications.size(); ++i) {
        const OpdsEntry& e = feed.publications[i];
        QString why;
        const bool readable = m_browser.downloadOf(e, &why).has_value();
        auto* item = new QTreeWidgetItem(
            {e.title, e.author, e.category, readable ? e.summary : why + QStringLiteral("　") + e.summary});
        item->setData(0, kKindRole, Publication);
        item->setData(0, kIndexRole, i);
        item->setToolTip(3, e.summary);
        if (!readable)
            for (int c = 0; c < 4; ++c)
                item->setForeground(c, QColor(0x80, 0x80, 0x80));
        items << item;
    }
    m_list->addTopLevelItems(items);
    QStringList notes;
    if (!m_keyringNotice.isEmpty())
        notes << m_keyringNotice;
    if (const QString t = m_browser.truncationNote(); !t.isEmpty())
        notes << t;
    m_note->setText(notes.join(QStringLiteral("　")));
    m_note->setVisible(!notes.isEmpty());
    m_breadcrumb->setText(m_browser.breadcrumb().join(QStringLiteral(" › ")));
    updateControls();
}

void OpdsPage::showNotice(const QString& notice)
{
    m_notice->setText(notice);
    m_retry->show();
    m_noticeBox->setVisible(!notice.isEmpty());
}

void OpdsPage::updateControls()
{
    const OpdsFeed& feed = m_browser.feed();
    m_back->setEnabled(m_browser.canGoBack());
    m_first->setEnabled(!feed.first.isEmpty());
    m_previous->setEnabled(!feed.previous.isEmpty());
    m_next->setEnabled(!feed.next.isEmpty());
    m_last->setEnabled(!feed.last.isEmpty());
    m_search->setVisible(feed.hasSearch());
    m_searchButton->setVisible(feed.hasSearch());
}

void OpdsPage::activateRow(int row)
{
    if (QTreeWidgetItem* item = m_list->topLevelItem(row))
        onDoubleClick(item);
}

void OpdsPage::onDoubleClick(QTreeWidgetItem* item)
{
    const OpdsFeed& feed = m_browser.feed();
    const int index = item->data(0, kIndexRole).toInt();
    if (item->data(0, kKindRole).toInt() == Navigation) {
        if (index < feed.navigation.size())
            m_browser.enter(feed.navigation[index]);
        return;
    }
    if (index >= feed.publications.size())
        return;
    QString why;
    const std::optional<OpdsDownload> download = m_browser.downloadOf(feed.publications[index], &why);
    if (!download) {
        showNotice(why);
        m_retry->hide(); // nothing to try again: the format stays what it is
        return;
    }
    if (m_download)
        m_download(*download);
}
