#include "account/UserPanel.h"

#include "account/AccountForms.h"
#include "account/AccountPages.h"
#include "account/AccountRequests.h"
#include "account/AccountSession.h"
#include "account/PanelLists.h"
#include "account/Ranking.h"
#include "account/RankingPage.h"
#include "account/UploadPage.h"
#include "account/WindowPlacement.h"
#include "app/AppServices.h"
#include "app/AppState.h"
#include "online/ReplyDocument.h"
#include "online/ServiceNotice.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "web/GuardedWebPage.h"

#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWebEngineView>

#include <algorithm>
#include <utility>

namespace {

bool isGroupHead(int index)
{
    return index == UserPanel::UserTree || index == UserPanel::BookTree || index == UserPanel::TopTree;
}

} // namespace

UserPanel::UserPanel(AppServices& services, Clipboard& clipboard, AccountSession& session, QWidget* parent)
    : QWidget(parent, Qt::Window), m_services(services), m_clipboard(clipboard), m_session(session),
      m_account(services.network), m_list(services.network), m_ranking(services.network)
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(windowTitleText());
    setAttribute(Qt::WA_DeleteOnClose);
    resize(860, 580);
    setMinimumSize(480, 320);

    m_leftColumn = new QWidget(this);
    m_leftColumn->setObjectName(QStringLiteral("LeftColumn"));
    m_tree = new QTreeWidget(m_leftColumn);
    m_tree->setObjectName(QStringLiteral("TreeView1"));
    m_tree->setHeaderHidden(true);
    m_tree->setExpandsOnDoubleClick(false);
    m_tree->setFixedHeight(236);
    auto* news = new QWebEngineView(m_leftColumn);
    news->setPage(GuardedWebPage::forService(services.state.serviceBase, news));
    news->setObjectName(QStringLiteral("NewsView"));
    news->setContextMenuPolicy(Qt::NoContextMenu);
    m_news = news;
    auto* column = new QVBoxLayout(m_leftColumn);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_tree);
    column->addWidget(m_news, 1);

    buildTree();
    buildPages();

    m_loading = new QLabel(QStringLiteral("正在读取数据，请稍候……"), this);
    m_loading->setObjectName(QStringLiteral("LoadingDiv"));
    m_loading->setStyleSheet(
        QStringLiteral("background: #FFF8D6; border: 1px solid #E0C860; padding: 4px 10px; color: #6b5800;"));
    m_loading->adjustSize();
    m_loading->hide();

    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("ServiceNotice"));
    m_notice->setTextFormat(Qt::RichText);
    m_notice->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_notice->setStyleSheet(
        QStringLiteral("background: #FFF1F0; border: 1px solid #E0A0A0; padding: 4px 10px; color: #8A1F11;"));
    connect(m_notice, &QLabel::linkActivated, this, [this](const QString& link) {
        if (link == ServiceNotice::linkTarget())
            retry();
    });
    m_notice->hide();

    connect(m_tree, &QTreeWidget::itemClicked, this, [this] { TreeView1_Click(); });
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this] { TreeView1_DblClick(); });
    connect(&m_account, &RequestSlot::answered, this, &UserPanel::CheckLogin);
    connect(&m_list, &RequestSlot::answered, this, &UserPanel::GetBookList);
    connect(&m_ranking, &RequestSlot::answered, this, &UserPanel::GetTopInfo);
}

UserPanel::~UserPanel() = default;

void UserPanel::buildTree()
{
    const struct {
        const char* key;
        const char* text;
        int parent; // 0: a group head
        QStyle::StandardPixmap image;
    } nodes[] = {
        {"Utree", "用户控制面板", 0, QStyle::SP_DirHomeIcon},
        {"Key1", "用户信息", 1, QStyle::SP_FileDialogInfoView},
        {"Key2", "修改资料", 1, QStyle::SP_FileDialogDetailedView},
        {"Key3", "退出登录", 1, QStyle::SP_DialogCloseButton},
        {"BTree", "电子书管理", 0, QStyle::SP_DirIcon},
        {"Key4", "我上传的电子书", 5, QStyle::SP_FileIcon},
        {"Key5", "开始上传电子书", 5, QStyle::SP_ArrowUp},
        {"TTree", "用户排行榜", 0, QStyle::SP_DirIcon},
        {"Key6", "积分排行榜", 8, QStyle::SP_DialogApplyButton},
        {"Key7", "金币排行榜", 8, QStyle::SP_DialogYesButton},
    };
    for (const auto& n : nodes) {
        QTreeWidgetItem* item =
            n.parent == 0 ? new QTreeWidgetItem(m_tree) : new QTreeWidgetItem(m_nodes[n.parent - 1]);
        item->setText(0, QString::fromUtf8(n.text));
        item->setData(0, Qt::UserRole, QString::fromLatin1(n.key));
        item->setIcon(0, style()->standardIcon(n.image));
        m_nodes.append(item);
    }
}

void UserPanel::buildPages()
{
    m_accountPage = new AccountInfoPage(this);
    m_profilePage = new ProfilePage(this);
    m_booksPage = new UserBooksPage(this);
    m_uploadPage = new UploadPage(
        m_services, m_session, [this] { return m_accountPage->accountName(); }, this);
    m_pointsPage = new RankingPage(QStringLiteral("积分数量"), QStringLiteral("PointsList"), this);
    m_goldPage = new RankingPage(QStringLiteral("金币数量"), QStringLiteral("GoldList"), this);
    m_frames = {{AccountNode, m_accountPage}, {ProfileNode, m_profilePage}, {MyBooksNode, m_booksPage},
                {UploadNode, m_uploadPage},   {PointsNode, m_pointsPage},   {GoldNode, m_goldPage}};
    for (auto it = m_frames.cbegin(); it != m_frames.cend(); ++it) {
        it.value()->setObjectName(QStringLiteral("UserFrame_%1").arg(it.key()));
        it.value()->hide();
    }

    connect(m_accountPage, &AccountInfoPage::copyClicked, this, &UserPanel::copyPromotion);
    connect(m_profilePage, &ProfilePage::editClicked, this, &UserPanel::editProfile);
    connect(m_booksPage, &UserBooksPage::linkClicked, this, &UserPanel::onPagerLink);
    connect(m_uploadPage, &UploadPage::uploaded, this, &QWidget::close);
}

void UserPanel::formLoad()
{
    centreOnScreen(this);
    // The last node of each group made visible, which expands the three groups.
    for (int last : {LogoutNode, UploadNode, GoldNode})
        m_tree->scrollToItem(m_nodes[last - 1]);
    m_tree->expandAll();
    m_pages = UserBookPages{};
    m_booksPage->setStatus(m_pages.status());
    m_uploadPage->fillBoxes();
    if (auto* view = qobject_cast<QWebEngineView*>(m_news))
        view->load(QUrl(AccountRequests::newsUrl(m_services.state.serviceBase)));
    m_uploadUrl = AccountRequests::uploadUrl(m_services.state.serviceBase);
    m_uploadPage->setUploadUrl(m_uploadUrl);
    LoginHTTP(AccountRequests::checkUrl(m_services.state.serviceBase, m_services.clock.now()));
}

void UserPanel::selectNode(int index)
{
    if (index < 1 || index > m_nodes.size())
        return;
    m_tree->setCurrentItem(m_nodes[index - 1]);
    TreeView1_Click();
}

void UserPanel::showUploadPage()
{
    show();
    raise();
    activateWindow();
    selectNode(UploadNode);
}

void UserPanel::TreeView1_Click()
{
    const int index = static_cast<int>(m_nodes.indexOf(m_tree->currentItem())) + 1;
    if (index < 1 || isGroupHead(index))
        return;
    for (int i = 1; i <= m_nodes.size(); ++i) {
        if (QWidget* frame = m_frames.value(i))
            frame->setVisible(i == index);
    }
    paintTree(index);
    m_tree->update();
    relayout();
    const QString base = m_services.state.serviceBase;
    switch (index) {
    case AccountNode:
        LoginHTTP(AccountRequests::checkUrl(base, m_services.clock.now()));
        break;
    case LogoutNode:
        LoginHTTP(AccountRequests::logoutUrl(base, m_services.clock.now()));
        break;
    case MyBooksNode:
        requestBooks(std::nullopt);
        break;
    case PointsNode:
        m_rankingKind = Ranking::pointsKind();
        GetTopHTTP(AccountRequests::rankingUrl(base, m_rankingKind));
        break;
    case GoldNode:
        m_rankingKind = Ranking::goldKind();
        GetTopHTTP(AccountRequests::rankingUrl(base, m_rankingKind));
        break;
    default:
        break;
    }
}

void UserPanel::TreeView1_DblClick()
{
    for (int head : {UserTree, BookTree, TopTree})
        m_nodes[head - 1]->setExpanded(true);
}

void UserPanel::paintTree(int selected)
{
    // The chosen node keeps its highlight when the tree loses the focus.
    const QPalette& palette = m_tree->palette();
    for (int i = 1; i <= m_nodes.size(); ++i) {
        QTreeWidgetItem* node = m_nodes[i - 1];
        const bool chosen = i == selected;
        node->setBackground(0, chosen ? palette.color(QPalette::Highlight) : QColor(Qt::white));
        node->setForeground(0, chosen ? palette.color(QPalette::HighlightedText) : palette.color(QPalette::WindowText));
    }
}

int UserPanel::shownNode() const
{
    for (auto it = m_frames.cbegin(); it != m_frames.cend(); ++it)
        if (it.value()->isVisibleTo(this))
            return it.key();
    return 0;
}

RankingPage* UserPanel::rankingPage(int index) const
{
    return index == PointsNode ? m_pointsPage : index == GoldNode ? m_goldPage : nullptr;
}

bool UserPanel::isLoading() const
{
    return m_loading->isVisibleTo(this);
}

void UserPanel::showLoading()
{
    m_loading->adjustSize();
    m_loading->move(width() - m_loading->width() - 12, 6);
    m_loading->raise();
    m_loading->show();
}

void UserPanel::hideLoading()
{
    m_loading->hide();
}

void UserPanel::showBox(const MessageBox& box)
{
    m_services.dialogs.message(box.text, box.title, box.style);
}

void UserPanel::showNotice(const ServiceReply& reply, std::function<void()> again)
{
    const QString text = ServiceNotice::text(reply, m_services.state.serviceBase);
    if (text.isEmpty())
        return; // an answer came; a notice of another request stays
    m_noticeText = text;
    m_retry = std::move(again);
    m_notice->setText(ServiceNotice::labelHtml(m_noticeText));
    m_notice->setToolTip(ServiceNotice::reason(reply));
    m_notice->adjustSize();
    m_notice->show();
    m_notice->raise();
    relayout();
}

void UserPanel::hideNotice()
{
    m_noticeText.clear();
    m_notice->hide();
}

void UserPanel::retry()
{
    if (!m_retry)
        return;
    const std::function<void()> again = std::exchange(m_retry, {});
    again();
}

void UserPanel::LoginHTTP(const QString& url)
{
    hideNotice();
    showLoading();
    m_accountAgain = [this, url] { LoginHTTP(url); };
    m_account.get(url);
}

void UserPanel::PostHTTP(const QString& url, const QByteArray& body)
{
    hideNotice();
    m_accountAgain = [this, url, body] { PostHTTP(url, body); };
    m_account.postForm(url, body);
    showLoading();
}

void UserPanel::ReadHTTP(const QString& url)
{
    hideNotice();
    showLoading();
    m_listAgain = [this, url] { ReadHTTP(url); };
    m_listReading.drop();
    m_list.get(url);
}

void UserPanel::GetTopHTTP(const QString& url)
{
    hideNotice();
    showLoading();
    m_rankingAgain = [this, url, kind = m_rankingKind] {
        m_rankingKind = kind;
        GetTopHTTP(url);
    };
    m_rankingReading.drop();
    m_ranking.get(url);
}

void UserPanel::CheckLogin(const ServiceReply& reply)
{
    hideLoading();
    showNotice(reply, m_accountAgain);
    const auto info = AccountReply::readLoginInfo(reply);
    if (!info)
        return;
    const AccountReaction reaction = AccountReply::forUserPanel(*info);
    if (reaction.box)
        showBox(*reaction.box);
    switch (reaction.next) {
    case AccountReaction::Next::FillRecord:
        fillRecord(AccountReply::readRecord(reply));
        break;
    case AccountReaction::Next::ClosePanelAndOpenLogin:
        emit loginWanted();
        close();
        break;
    case AccountReaction::Next::ClosePanel:
        close();
        break;
    case AccountReaction::Next::RefreshRecord:
        selectNode(AccountNode);
        break;
    default:
        break;
    }
}

void UserPanel::fillRecord(const AccountRecord& record)
{
    m_accountPage->fill(record);
    m_profilePage->fill(record);
    if (record.uploadLimit > 0)
        m_session.uploadLimit = record.uploadLimit;
}

void UserPanel::copyPromotion()
{
    m_clipboard.setText(m_accountPage->promotionText());
    showBox({QStringLiteral("复制成功!你可以使用 Ctrl+V 粘贴发送给好友分享了！"), QStringLiteral("复制成功"),
             Dialogs::Plain});
}

void UserPanel::editProfile()
{
    const AccountRequests::ProfileChange change = m_profilePage->change();
    if (const auto error = AccountForms::checkProfile(change)) {
        showBox(error->box);
        return;
    }
    PostHTTP(AccountRequests::accountPostUrl(m_services.state.serviceBase), AccountRequests::profileBody(change));
}

void UserPanel::requestBooks(const std::optional<QString>& page)
{
    ReadHTTP(AccountRequests::userBooksUrl(m_services.state.serviceBase, m_accountPage->accountName(), page,
                                           m_services.clock.now()));
}

bool UserPanel::listReplyCame(const ServiceReply& reply, std::function<void()> again)
{
    // A failed request takes the loading picture away too, so it never stays up for nothing.
    if (reply.accepted())
        return true;
    hideLoading();
    showNotice(reply, std::move(again));
    return false;
}

template <typename Result> bool UserPanel::listReplyRead(const ReplyReading::Read<Result>& read)
{
    if (read.result)
        return true;
    showReadingFailure(m_services.dialogs, read.readyState);
    hideLoading();
    return false;
}

void UserPanel::GetBookList(const ServiceReply& reply)
{
    if (!listReplyCame(reply, m_listAgain))
        return;
    m_listReading.start(this, reply, &UserBookList::read, [this](const ReplyReading::Read<UserBookReply>& read) {
        if (!listReplyRead(read))
            return;
        const UserBookReply& result = *read.result;
        m_booksPage->showRows(result.rows);
        if (!result.pages) {
            showBox({QStringLiteral("没有获取到任何数据！"), QString(), Dialogs::Exclamation});
            hideLoading();
            return;
        }
        m_pages = *result.pages;
        m_booksPage->setStatus(m_pages.status());
        hideLoading();
        m_booksPage->list()->setFocus();
    });
}

void UserPanel::onPagerLink(UserBooksPage::Link link)
{
    PagerStep step;
    switch (link) {
    case UserBooksPage::Link::First:
        step = UserBookList::first(m_pages);
        break;
    case UserBooksPage::Link::Previous:
        step = UserBookList::previous(m_pages);
        break;
    case UserBooksPage::Link::Next:
        step = UserBookList::next(m_pages);
        break;
    case UserBooksPage::Link::Last:
        step = UserBookList::last(m_pages);
        break;
    case UserBooksPage::Link::Go:
        step = UserBookList::go(m_pages, m_booksPage->pageBoxText());
        break;
    }
    if (step.box)
        showBox(*step.box);
    if (step.clearBox)
        m_booksPage->clearPageBox();
    if (step.page)
        requestBooks(step.page);
}

void UserPanel::GetTopInfo(const ServiceReply& reply)
{
    if (!listReplyCame(reply, m_rankingAgain))
        return;
    const QString kind = m_rankingKind;
    m_rankingReading.start(
        this, reply, [kind](const ReplyDocument& doc) { return Ranking::read(doc, kind); },
        [this, kind](const ReplyReading::Read<QList<RankingRow>>& read) {
            if (!listReplyRead(read))
                return;
            RankingPage* page = kind == Ranking::goldKind() ? m_goldPage : m_pointsPage;
            page->showRows(*read.result);
            page->list()->setFocus();
            hideLoading();
        });
}

void UserPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void UserPanel::relayout()
{
    // Every page at left 2700 twips, as wide as the window less 2860 and as high less 500;
    // the left column beside them. A size that comes out negative is skipped.
    const int pageWidth = width() - twipsToPixels(2860);
    const int height = this->height() - twipsToPixels(500);
    if (pageWidth > 0 && height > 0) {
        for (QWidget* frame : std::as_const(m_frames))
            frame->setGeometry(twipsToPixels(2700), 0, pageWidth, height);
    }
    if (height > 0)
        m_leftColumn->setGeometry(twipsToPixels(60), 0, twipsToPixels(2700) - twipsToPixels(60) - 6, height);
    if (m_loading->isVisible())
        m_loading->move(width() - m_loading->width() - 12, 6);
    if (m_notice->isVisible() && pageWidth > 0) {
        // Across the top of the page, where it is seen whichever page is shown.
        m_notice->setFixedWidth(std::min(m_notice->sizeHint().width(), pageWidth));
        m_notice->move(twipsToPixels(2700) + (pageWidth - m_notice->width()) / 2, 6);
        m_notice->raise();
    }
}
