#pragma once

#include "account/AccountReply.h"
#include "account/Ranking.h"
#include "account/UserBookList.h"
#include "account/UserBooksPage.h"
#include "online/ReplyReading.h"
#include "online/RequestSlot.h"

#include <QMap>
#include <QWidget>

#include <functional>
#include <optional>

class AccountInfoPage;
class Clipboard;
class ProfilePage;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;
class RankingPage;
class UploadPage;
struct AccountSession;
struct AppServices;

// Form7, "用户中心 - Quillmere": the tree (TreeView1) on the left above the service's news
// page, and one page at a time on the right (UserFrame, indexed by tree node): the account
// figures, the profile editor, the user's books, the upload page and the two rankings.
// Modeless; it deletes itself when it closes, and a new one starts from its load steps.
class UserPanel : public QWidget {
    Q_OBJECT
public:
    // Tree nodes by index; 1, 5 and 8 are group heads without a page.
    enum Node {
        UserTree = 1,
        AccountNode = 2,
        ProfileNode = 3,
        LogoutNode = 4,
        BookTree = 5,
        MyBooksNode = 6,
        UploadNode = 7,
        TopTree = 8,
        PointsNode = 9,
        GoldNode = 10,
    };

    UserPanel(AppServices& services, Clipboard& clipboard, AccountSession& session, QWidget* parent = nullptr);
    ~UserPanel() override;

    // Form_Load: centres the window, builds the tree, stripes the lists, sets the page texts
    // to "1", fills the upload page's boxes, loads the news page and sends check.
    void formLoad();

    // What the openers do: select tree node `index` and run its click action.
    void selectNode(int index);
    // TreeView1_Click on the selected node.
    void TreeView1_Click();
    // TreeView1_DblClick: the three groups expanded again.
    void TreeView1_DblClick();
    // Shows the panel on its upload page, as the online library's "上传共享" wants it.
    void showUploadPage();

    // The node whose page is shown; 0 when none is (after "退出登录").
    int shownNode() const;
    QTreeWidget* tree() const { return m_tree; }
    QWidget* userFrame(int index) const { return m_frames.value(index); }
    UploadPage* uploadPage() const { return m_uploadPage; }
    UserBooksPage* booksPage() const { return m_booksPage; }
    RankingPage* rankingPage(int index) const;
    const UserBookPages& pages() const { return m_pages; }
    bool isLoading() const;
    // The notice shown when the service gave no answer ("无法连接到网络书库服务器（…）"); empty when none is.
    QString notice() const { return m_noticeText; }
    // Its "重试": the request that went unanswered, sent again.
    void retry();

    static QString windowTitleText() { return QStringLiteral("用户中心 - Quillmere"); }

signals:
    // A check found nobody logged in: the login dialog is offered as the panel closes.
    void loginWanted();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildTree();
    void buildPages();
    void paintTree(int selected);
    void relayout();
    void showLoading();
    void hideLoading();

    // The panel's requests: the account one (check, loginout, edit), the list and the ranking.
    void LoginHTTP(const QString& url);
    void PostHTTP(const QString& url, const QByteArray& body);
    void ReadHTTP(const QString& url);
    void GetTopHTTP(const QString& url);
    void CheckLogin(const ServiceReply& reply);
    // Whether a list reply came and could be read; when not, the loading picture is gone and
    // the failure shown (in the page when the service gave no answer).
    bool listReplyCame(const ServiceReply& reply, std::function<void()> again);
    template <typename Result> bool listReplyRead(const ReplyReading::Read<Result>& read);
    void GetBookList(const ServiceReply& reply);
    void GetTopInfo(const ServiceReply& reply);
    void showNotice(const ServiceReply& reply, std::function<void()> again);
    void hideNotice();

    void requestBooks(const std::optional<QString>& page);
    void onPagerLink(UserBooksPage::Link link);
    void copyPromotion();
    void editProfile();
    void fillRecord(const AccountRecord& record);
    void showBox(const MessageBox& box);

    AppServices& m_services;
    Clipboard& m_clipboard;
    AccountSession& m_session;
    RequestSlot m_account;
    RequestSlot m_list;
    RequestSlot m_ranking;
    ReplyReading m_listReading;
    ReplyReading m_rankingReading;
    // Each kind's last request, to be sent again by the notice's "重试".
    std::function<void()> m_accountAgain;
    std::function<void()> m_listAgain;
    std::function<void()> m_rankingAgain;
    std::function<void()> m_retry;
    QString m_noticeText;
    QString m_rankingKind;
    UserBookPages m_pages;
    QString m_uploadUrl;

    QWidget* m_leftColumn = nullptr;
    QTreeWidget* m_tree = nullptr;
    QWidget* m_news = nullptr;
    QLabel* m_loading = nullptr;
    QLabel* m_notice = nullptr;
    QList<QTreeWidgetItem*> m_nodes; // 1-based through nodeAt()
    QMap<int, QWidget*> m_frames;
    AccountInfoPage* m_accountPage = nullptr;
    ProfilePage* m_profilePage = nullptr;
    UserBooksPage* m_booksPage = nullptr;
    UploadPage* m_uploadPage = nullptr;
    RankingPage* m_pointsPage = nullptr;
    RankingPage* m_goldPage = nullptr;
};
