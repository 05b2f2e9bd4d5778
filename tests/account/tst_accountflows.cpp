// The account windows against the reference service on 127.0.0.1: registering, logging
// in, the panel's record, profile changes, logging out, uploads from the shelf that show
// up pending and reach the catalogue once approved, rankings, the pager and the limits.
#include "../server/ServerFixture.h"
#include "AccountFixture.h"
#include "account/PersistentCookieJar.h"
#include "account/RankingPage.h"
#include "account/UserBooksPage.h"
#include "common/SharedRoutines.h"
#include "platform/AnsiCodePage.h"

#include <QtTest>

class TestAccountFlows : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void registerWithAChineseNameThenLogIn();
    void registrationRefusedByTheService();
    void panelShowsTheRecord();
    void profileChangeThenFreshCheck();
    void profileChangeRefusedKeepsThePanel();
    void logoutSaysFarewellWithoutLoginDialog();
    void refusedCheckOpensTheLoginDialog();
    void copyPromotion();
    void shareFromTheShelfUploadApproveAndFind();
    void shareFromTheReadingView();
    void sharingARowThatIsGone();
    void rankingsInReplyOrder();
    void pagerRefusesWithOnePage();
    void uploadOverTheLimit();
    void rememberedLoginOutlivesTheRun();

private:
    void registerUser(const QString& name, const QString& password = QStringLiteral("abc1"));
    UserPanel* logIn(const QString& name, const QString& password = QStringLiteral("abc1"), bool remember = false);

    std::unique_ptr<ServerFixture> m_server;
    std::unique_ptr<AccountFixture> m_fx;
};

void TestAccountFlows::init()
{
    m_server = std::make_unique<ServerFixture>();
    QVERIFY(m_server->start(256 * 1024));
    m_fx = std::make_unique<AccountFixture>(m_server->base());
}

void TestAccountFlows::cleanup()
{
    m_fx.reset();
    m_server.reset();
}

void TestAccountFlows::registerUser(const QString& name, const QString& password)
{
    m_server->postForm("action=reg&username=" + URLEncode(name).toLatin1() + "&userpass=" +
                       URLEncode(password).toLatin1() + "&email=a%40b%2Ecom&sex=%C4%D0&qq=&anwser=&question=");
}

UserPanel* TestAccountFlows::logIn(const QString& name, const QString& password, bool remember)
{
    LoginDialog* login = m_fx->windows->showLogin();
    typeInto(login, "Text1", name);
    typeInto(login, "Text2", password);
    control<QCheckBox>(login, "Check1")->setChecked(remember);
    click(login, "Command1");
    if (!QTest::qWaitFor(
            [&] { return m_fx->windows->userPanel() && textOf(m_fx->windows->userPanel(), "Label2") == name; }, 10000))
        return nullptr;
    return m_fx->windows->userPanel();
}

void TestAccountFlows::registerWithAChineseNameThenLogIn()
{
    RegisterDialog* reg = m_fx->windows->showRegistration();
    typeInto(reg, "Text1", QStringLiteral("王小明"));
    typeInto(reg, "Text2", QStringLiteral("pw_123"));
    typeInto(reg, "Text3", QStringLiteral("pw_123"));
    typeInto(reg, "Text4", QStringLiteral("wxm@example.cn"));
    typeInto(reg, "Text5", QStringLiteral("12345"));
    choose(reg, "Combo1", QStringLiteral("你的宠物叫什么?"));
    click(reg, "Command1");
    QVERIFY(m_fx->waitForBoxes(1));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("欢迎注册"));
    QCOMPARE(m_fx->dialogs.last().style, 64);
    const auto user = m_server->service().database().userByName(QStringLiteral("王小明"));
    QVERIFY(user);
    QCOMPARE(user->sex, QStringLiteral("保密"));
    QCOMPARE(user->email, QStringLiteral("wxm@example.cn"));
    QCOMPARE(user->question, QStringLiteral("你的宠物叫什么?"));
    // The login dialog takes over.
    QTRY_VERIFY(m_fx->windows->registrationDialog() == nullptr);
    LoginDialog* login = m_fx->windows->loginDialog();
    QVERIFY(login);

    // A wrong password: the service's reason, and the dialog stays for another try.
    typeInto(login, "Text1", QStringLiteral("王小明"));
    typeInto(login, "Text2", QStringLiteral("wrong"));
    click(login, "Command1");
    QVERIFY(m_fx->waitForBoxes(2));
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("用户名或密码错误，请重新输入！"));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("请先登录"));
    QCOMPARE(m_fx->dialogs.last().style, 48);
    QVERIFY(m_fx->windows->loginDialog());
    QVERIFY(control<QPushButton>(login, "Command1")->isEnabled());
    QCOMPARE(textOf(login, "Text1"), QStringLiteral("王小明"));

    typeInto(login, "Text2", QStringLiteral(" pw_123 "));
    click(login, "Command1");
    QVERIFY(m_fx->waitForBoxes(3));
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("欢迎回来，王小明！"));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("欢迎登录"));
    QTRY_VERIFY(m_fx->windows->loginDialog() == nullptr);
    UserPanel* panel = m_fx->windows->userPanel();
    QVERIFY(panel);
    QCOMPARE(panel->windowTitle(), QStringLiteral("用户中心 - Quillmere"));
    QCOMPARE(panel->shownNode(), int(UserPanel::AccountNode));
    QTRY_COMPARE(textOf(panel, "Label2"), QStringLiteral("王小明"));
}

void TestAccountFlows::registrationRefusedByTheService()
{
    registerUser(QStringLiteral("张三丰"));
    RegisterDialog* reg = m_fx->windows->showRegistration();
    typeInto(reg, "Text1", QStringLiteral("张三丰"));
    typeInto(reg, "Text2", QStringLiteral("pw1"));
    typeInto(reg, "Text3", QStringLiteral("pw1"));
    typeInto(reg, "Text4", QStringLiteral("z@s.cn"));
    click(reg, "Command1");
    QVERIFY(m_fx->waitForBoxes(1));
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("用户名“张三丰”已被注册，请换一个！"));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("注册失败"));
    QCOMPARE(m_fx->dialogs.last().style, 16);
    QVERIFY(m_fx->windows->registrationDialog());
    QVERIFY(control<QPushButton>(reg, "Command1")->isEnabled());
    QVERIFY(!control<QWidget>(reg, "LoadingDiv")->isVisibleTo(reg));
    QCOMPARE(textOf(reg, "Text4"), QStringLiteral("z@s.cn"));
    QVERIFY(m_fx->windows->loginDialog() == nullptr);
}

void TestAccountFlows::panelShowsTheRecord()
{
    registerUser(QStringLiteral("reader_1"));
    UserPanel* panel = logIn(QStringLiteral("reader_1"));
    QVERIFY(panel);
    QTRY_COMPARE(textOf(panel, "UserLogin"), QStringLiteral("1"));
    QCOMPARE(textOf(panel, "UserPoint"), QStringLiteral("10"));
    QCOMPARE(textOf(panel, "UserMoney"), QStringLiteral("0"));
    QVERIFY(!textOf(panel, "LastDate").isEmpty());
    QWidget* profile = panel->userFrame(UserPanel::ProfileNode);
    QCOMPARE(textOf(profile, "UserMail"), QStringLiteral("a@b.com"));
    QVERIFY(control<QRadioButton>(profile, "SexMale")->isChecked());
    // Group heads change nothing, not even the page shown.
    for (int head : {UserPanel::UserTree, UserPanel::BookTree, UserPanel::TopTree}) {
        panel->selectNode(head);
        QCOMPARE(panel->shownNode(), int(UserPanel::AccountNode));
    }
}

void TestAccountFlows::profileChangeThenFreshCheck()
{
    registerUser(QStringLiteral("reader_2"));
    UserPanel* panel = logIn(QStringLiteral("reader_2"));
    QVERIFY(panel);
    panel->selectNode(UserPanel::ProfileNode);
    QWidget* profile = panel->userFrame(UserPanel::ProfileNode);
    typeInto(profile, "UserMail", QStringLiteral("new@mail.cn"));
    typeInto(profile, "NewPassword", QStringLiteral("secret9"));
    control<QRadioButton>(profile, "SexFemale")->setChecked(true);
    const int boxes = m_fx->dialogs.count();
    click(profile, "EditButton");
    QVERIFY(m_fx->waitForBoxes(boxes + 1));
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("资料修改成功！"));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("修改成功"));
    QCOMPARE(panel->shownNode(), int(UserPanel::AccountNode));
    // The fresh check brings the changed record.
    QTRY_COMPARE(textOf(profile, "UserMail"), QStringLiteral("new@mail.cn"));
    QVERIFY(control<QRadioButton>(profile, "SexFemale")->isChecked());
    QCOMPARE(m_server->service().database().userByName(QStringLiteral("reader_2"))->email,
             QStringLiteral("new@mail.cn"));

    // A malformed e-mail is refused before anything is sent.
    typeInto(profile, "UserMail", QStringLiteral("@nowhere"));
    click(profile, "EditButton");
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("你输入的Email地址不合法，请重新输入！"));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("填写有误"));
    QCOMPARE(m_fx->dialogs.last().style, 16);
}

void TestAccountFlows::profileChangeRefusedKeepsThePanel()
{
    registerUser(QStringLiteral("reader_3"));
    UserPanel* panel = logIn(QStringLiteral("reader_3"));
    QVERIFY(panel);
    panel->selectNode(UserPanel::ProfileNode);
    QWidget* profile = panel->userFrame(UserPanel::ProfileNode);
    typeInto(profile, "NewPassword", QStringLiteral("ab")); // the service wants at least 3
    const int boxes = m_fx->dialogs.count();
    click(profile, "EditButton");
    QVERIFY(m_fx->waitForBoxes(boxes + 1));
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("新密码的长度应为3至64位，请重新输入！"));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("修改失败"));
    QCOMPARE(m_fx->dialogs.last().style, 16);
    // Still logged in: the panel stays on its page and no login dialog opens.
    QTest::qWait(200);
    QVERIFY(m_fx->windows->userPanel());
    QCOMPARE(panel->shownNode(), int(UserPanel::ProfileNode));
    QVERIFY(m_fx->windows->loginDialog() == nullptr);
    QVERIFY(!panel->isLoading());
}

void TestAccountFlows::logoutSaysFarewellWithoutLoginDialog()
{
    registerUser(QStringLiteral("reader_4"));
    UserPanel* panel = logIn(QStringLiteral("reader_4"));
    QVERIFY(panel);
    const int boxes = m_fx->dialogs.count();
    panel->selectNode(UserPanel::LogoutNode);
    QCOMPARE(panel->shownNode(), 0);
    QVERIFY(m_fx->waitForBoxes(boxes + 1));
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("已安全退出，欢迎下次光临！"));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("请先登录"));
    QCOMPARE(m_fx->dialogs.last().style, 48);
    QTRY_VERIFY(m_fx->windows->userPanel() == nullptr);
    QTest::qWait(100);
    QVERIFY(m_fx->windows->loginDialog() == nullptr);
}

void TestAccountFlows::refusedCheckOpensTheLoginDialog()
{
    m_fx->windows->showUserPanel(UserPanel::AccountNode);
    QVERIFY(m_fx->waitForBoxes(1));
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("你还没有登录或登录已过期，请先登录！"));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("请先登录"));
    QTRY_VERIFY(m_fx->windows->userPanel() == nullptr);
    QVERIFY(m_fx->windows->loginDialog());
    QCOMPARE(m_fx->dialogs.count(), 1); // the two checks of an opening panel: one answer handled
}

void TestAccountFlows::copyPromotion()
{
    registerUser(QStringLiteral("reader_5"));
    UserPanel* panel = logIn(QStringLiteral("reader_5"));
    QVERIFY(panel);
    click(panel->userFrame(UserPanel::AccountNode), "CopyButton");
    QCOMPARE(m_fx->clipboard.texts.size(), 1);
    const QString uid = QString::number(m_server->service().database().userByName(QStringLiteral("reader_5"))->id);
    QVERIFY2(
        m_fx->clipboard.texts[0].startsWith(m_server->base() + "/readerserver/promote.asp?uid=" + uid + "\r\n\r\n"),
        qPrintable(m_fx->clipboard.texts[0]));
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("复制成功!你可以使用 Ctrl+V 粘贴发送给好友分享了！"));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("复制成功"));
    QCOMPARE(m_fx->dialogs.last().style, 0);
}

void TestAccountFlows::shareFromTheShelfUploadApproveAndFind()
{
    registerUser(QStringLiteral("sharer"));
    const QString book = m_fx->write(QStringLiteral("剑影江湖.txt"),
                                     AnsiCodePage::encode(QStringLiteral("第一章 开始\r\n正文一\r\n第二章 再会\r\n")));
    const QString cover = m_fx->write(QStringLiteral("cover.gif"),
                                      QByteArray("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04"
                                                 "\x01\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02"
                                                 "\x44\x01\x00;",
                                                 43));
    const auto id = m_fx->library.insertBook(QStringLiteral("武侠仙侠"), QStringLiteral("剑影江湖"),
                                             QStringLiteral("古龙风"), book);
    QVERIFY(id);
    UserPanel* panel = logIn(QStringLiteral("sharer"));
    QVERIFY(panel);
    panel->selectNode(UserPanel::ProfileNode);

    // The panel, open on another page, switches to the upload page filled from the row.
    m_fx->windows->SendShare(QString::number(*id));
    QCOMPARE(panel->shownNode(), int(UserPanel::UploadNode));
    UploadPage* page = panel->uploadPage();
    QCOMPARE(control<QComboBox>(page, "ImageCombo1")->currentText(), QStringLiteral("武侠仙侠"));
    QCOMPARE(textOf(page, "Text12"), QStringLiteral("剑影江湖"));
    QCOMPARE(textOf(page, "Text11"), QStringLiteral("古龙风"));
    QCOMPARE(textOf(page, "Text10"), book);
    // The state is still the user's to give.
    QCOMPARE(control<QComboBox>(page, "Combo1")->currentIndex(), -1);
    int boxes = m_fx->dialogs.count();
    click(page, "Command5");
    QCOMPARE(m_fx->dialogs.count(), boxes + 1);
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("电子书连载状态不能为空，请重新选择！"));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("数据有误"));

    choose(page, "Combo1", QStringLiteral("连载"));
    QVERIFY(control<QWidget>(page, "Picture3")->isVisibleTo(page));
    typeInto(page, "Text8", QStringLiteral("第二章 再会"));
    typeInto(page, "Text9", QStringLiteral("一段江湖往事。"));
    m_fx->pickers.nextFile(cover);
    click(page, "Command4");
    QVERIFY(page->hasCover());
    QCOMPARE(control<QWidget>(page, "Image2")->toolTip(), QStringLiteral("删除封面"));
    QCOMPARE(m_fx->pickers.requests().last().title, QStringLiteral("添加电子书封面-Quillmere"));
    QCOMPARE(m_fx->pickers.requests().last().filter, QStringLiteral("图片文件(*.jpg;*.gif)|*.jpg;*.gif"));

    boxes = m_fx->dialogs.count();
    click(page, "Command5");
    QVERIFY(control<QWidget>(page, "UpLoading")->isVisibleTo(page));
    QVERIFY(m_fx->waitForBoxes(boxes + 1));
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("《剑影江湖》上传成功，审核通过后你将获得10金币奖励！"));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("上传成功"));
    QCOMPARE(m_fx->dialogs.last().style, 64);
    QTRY_VERIFY(m_fx->windows->userPanel() == nullptr);

    // Pending in "我上传的电子书".
    panel = m_fx->windows->showUserPanel(UserPanel::AccountNode);
    QTRY_COMPARE(textOf(panel, "Label2"), QStringLiteral("sharer"));
    panel->selectNode(UserPanel::MyBooksNode);
    QTreeWidget* list = panel->booksPage()->list();
    QTRY_COMPARE(list->topLevelItemCount(), 1);
    QStringList row = rowsOf(list).first();
    QCOMPARE(row.mid(1),
             QStringList({QStringLiteral("武侠仙侠"), QStringLiteral("剑影江湖"), QStringLiteral("连载：第二章 再会"),
                          QDate::currentDate().toString(QStringLiteral("yyyy/M/d")), QStringLiteral("待审核")}));
    QCOMPARE(list->topLevelItem(0)->foreground(5).color(), QColor(128, 128, 128));
    QCOMPARE(list->topLevelItem(0)->foreground(2).color(), QColor(198, 79, 6));
    QCOMPARE(textOf(panel, "PageStatus"), QStringLiteral("1/1"));
    const auto pending = m_server->service().database().pendingBooks();
    QCOMPARE(pending.size(), 1);
    QVERIFY(!pending[0].cover.isEmpty());

    // Approved, it is in the catalogue and the list says so.
    auto admin = m_server->admin();
    QVERIFY(admin);
    QVERIFY(admin->approve(pending[0].id));
    const HttpResult search =
        m_server->get(QStringLiteral("/readerserver/listbook.asp?action=search&key=剑影江湖&page=1"));
    QCOMPARE(ServerFixture::texts(search.body, QStringLiteral("name")), QStringList{QStringLiteral("剑影江湖")});
    panel->selectNode(UserPanel::MyBooksNode);
    QTRY_COMPARE(rowsOf(list).value(0).value(5), QStringLiteral("已审核"));
    QCOMPARE(list->topLevelItem(0)->foreground(5).color(), QColor(0, 128, 0));
}

void TestAccountFlows::shareFromTheReadingView()
{
    const QString book = m_fx->write(QStringLiteral("it's 书.txt"), "text");
    QVERIFY(m_fx->library.insertBook(QStringLiteral("不是分类"), QStringLiteral("一本很长很长很长很长很长的书名啊啊"),
                                     QString(), book));
    // Nobody is logged in, so the panel closes again after the check; the fill still
    // happened and kept the whole name.
    m_fx->windows->ShareThisBook(book);
    UserPanel* opened = m_fx->windows->userPanel();
    QVERIFY(opened);
    UploadPage* page = opened->uploadPage();
    QCOMPARE(textOf(page, "Text12"), QStringLiteral("一本很长很长很长很长很长的书名啊啊"));
    QCOMPARE(textOf(page, "Text10"), book);
    // Not one of the ten categories: the box is left as it was.
    QCOMPARE(control<QComboBox>(page, "ImageCombo1")->currentIndex(), -1);
    QTRY_VERIFY(m_fx->windows->userPanel() == nullptr);
}

void TestAccountFlows::sharingARowThatIsGone()
{
    const auto id = m_fx->library.insertBook(QStringLiteral("武侠仙侠"), QStringLiteral("甲"), QString(),
                                             m_fx->write(QStringLiteral("a.txt"), "a"));
    QVERIFY(id);
    QVERIFY(m_fx->library.deleteBook(*id));
    for (const auto& share :
         {std::function<void()>([&] { m_fx->windows->SendShare(QString::number(*id)); }),
          std::function<void()>([&] { m_fx->windows->ShareThisBook(QString()); }),
          std::function<void()>([&] { m_fx->windows->ShareThisBook(QStringLiteral("/no/such.txt")); }),
          std::function<void()>([&] { m_fx->windows->SendShare(QStringLiteral("x")); })}) {
        m_fx->dialogs.clear();
        share();
        QCOMPARE(m_fx->dialogs.count(), 1);
        QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("没有找到该书的信息"));
        QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("出错啦"));
        QCOMPARE(m_fx->dialogs.last().style, 16);
        QVERIFY(m_fx->windows->userPanel() == nullptr);
    }
}

void TestAccountFlows::rankingsInReplyOrder()
{
    const QStringList names = {QStringLiteral("甲乙丙"), QStringLiteral("bob"), QStringLiteral("carol")};
    for (const QString& name : names)
        registerUser(name);
    auto& db = m_server->service().database();
    db.addMoney(db.userByName(names[0])->id, 5);
    db.addMoney(db.userByName(names[1])->id, 50);
    db.addMoney(db.userByName(names[2])->id, 20);
    UserPanel* panel = logIn(QStringLiteral("bob"));
    QVERIFY(panel);

    const HttpResult gold = m_server->get(QStringLiteral("/ReaderServer/UserTop.asp?action=jb"));
    const QStringList order = ServerFixture::texts(gold.body, QStringLiteral("uname"));
    const QStringList money = ServerFixture::texts(gold.body, QStringLiteral("usermoney"));
    QCOMPARE(order.mid(0, 3), QStringList({QStringLiteral("bob"), QStringLiteral("carol"), QStringLiteral("甲乙丙")}));
    panel->selectNode(UserPanel::GoldNode);
    QTreeWidget* list = panel->rankingPage(UserPanel::GoldNode)->list();
    QTRY_COMPARE(list->topLevelItemCount(), order.size());
    for (int i = 0; i < order.size(); ++i)
        QCOMPARE(rowsOf(list)[i], QStringList({QString::number(i + 1), order[i], money[i]}));
    QCOMPARE(list->headerItem()->text(2), QStringLiteral("金币数量"));
    QCOMPARE(list->topLevelItem(0)->foreground(1).color(), QColor(0, 0, 255));
    QVERIFY(!panel->isLoading());

    panel->selectNode(UserPanel::PointsNode);
    QTreeWidget* points = panel->rankingPage(UserPanel::PointsNode)->list();
    QTRY_VERIFY(points->topLevelItemCount() > 0);
    QCOMPARE(rowsOf(points)[0], QStringList({QStringLiteral("1"), QStringLiteral("bob"), QStringLiteral("10")}));
    QCOMPARE(points->headerItem()->text(2), QStringLiteral("积分数量"));
}

void TestAccountFlows::pagerRefusesWithOnePage()
{
    registerUser(QStringLiteral("pager"));
    UserPanel* panel = logIn(QStringLiteral("pager"));
    QVERIFY(panel);
    // Without any book the service sends no page figures.
    int boxes = m_fx->dialogs.count();
    panel->selectNode(UserPanel::MyBooksNode);
    QVERIFY(m_fx->waitForBoxes(boxes + 1));
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("没有获取到任何数据！"));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("Quillmere"));
    QCOMPARE(m_fx->dialogs.last().style, 48);
    QVERIFY(!panel->isLoading());

    const QList<QPair<QString, QString>> fields = ServerFixture::uploadFields(QStringLiteral("pager"), "一本");
    // One book, uploaded by the fixture's own client logged in as the same user.
    m_server->get(QStringLiteral("/readerserver/userinfo.asp?action=login&username=pager&password=abc1&cookies=0"));
    QVERIFY(m_server->upload(ServerFixture::uploadBody(fields, "text")).text().startsWith("1|"));
    panel->selectNode(UserPanel::MyBooksNode);
    QTRY_COMPARE(panel->booksPage()->list()->topLevelItemCount(), 1);
    QTRY_COMPARE(textOf(panel, "PageStatus"), QStringLiteral("1/1"));

    const QStringList expected = {QStringLiteral("当前已是第一页!"), QStringLiteral("前面没有了，当前已是第一页!"),
                                  QStringLiteral("后面没有了，当前已是最后一页!"), QStringLiteral("当前已是最后一页!")};
    const char* links[] = {"FirstPage", "PreviousPage", "NextPage", "LastPage"};
    for (int i = 0; i < 4; ++i) {
        boxes = m_fx->dialogs.count();
        QTest::mouseClick(control<QLabel>(panel, links[i]), Qt::LeftButton);
        QCOMPARE(m_fx->dialogs.count(), boxes + 1);
        QCOMPARE(m_fx->dialogs.last().text, expected[i]);
        QCOMPARE(m_fx->dialogs.last().style, 48);
    }
    typeInto(panel, "PageBox", QStringLiteral("0"));
    click(panel, "GoButton");
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("输入的页码有误,一共才1页,请重新输入!"));
    QCOMPARE(textOf(panel, "PageBox"), QString());
}

void TestAccountFlows::uploadOverTheLimit()
{
    registerUser(QStringLiteral("big"));
    UserPanel* panel = logIn(QStringLiteral("big"));
    QVERIFY(panel);
    QCOMPARE(m_fx->windows->session().uploadLimit, 256 * 1024); // named by the check
    const QString book = m_fx->write(QStringLiteral("big.txt"), QByteArray(300 * 1024, 'a'));

    // Known from the check: refused before sending.
    panel->selectNode(UserPanel::UploadNode);
    UploadPage* page = panel->uploadPage();
    page->fillFromBook(QStringLiteral("其他分类"), QStringLiteral("大书"), QString(), book);
    choose(page, "Combo1", QStringLiteral("全集"));
    int boxes = m_fx->dialogs.count();
    click(page, "Command5");
    QCOMPARE(m_fx->dialogs.count(), boxes + 1);
    QVERIFY2(m_fx->dialogs.last().text.endsWith(QStringLiteral("服务器每次最多只接受256 KB，请压缩后再上传！")),
             qPrintable(m_fx->dialogs.last().text));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("数据有误"));
    QVERIFY(!page->isPending());

    // A page that does not know the limit sends, and the 413 is told with the limit.
    AccountSession fresh;
    UploadPage standalone(m_fx->services, fresh, [] { return QStringLiteral("big"); });
    standalone.fillBoxes();
    standalone.setUploadUrl(m_server->base() + QStringLiteral("/readerserver/uploadbook.asp"));
    standalone.fillFromBook(QStringLiteral("其他分类"), QStringLiteral("大书"), QString(), book);
    choose(&standalone, "Combo1", QStringLiteral("全集"));
    boxes = m_fx->dialogs.count();
    click(&standalone, "Command5");
    QVERIFY(m_fx->waitForBoxes(boxes + 1));
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("上传的文件太大，服务器每次最多只接受256 KB，请压缩后再上传！"));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("上传失败"));
    QCOMPARE(fresh.uploadLimit, 256 * 1024);
    QVERIFY(!standalone.isPending());
    QCOMPARE(m_server->service().database().bookCount(), 0);
}

void TestAccountFlows::rememberedLoginOutlivesTheRun()
{
    registerUser(QStringLiteral("keeper"));
    QTemporaryDir programFolder;
    const QString file = programFolder.filePath(QStringLiteral("DataFile/Cookies.dat"));
    m_fx->network.setCookieJar(new PersistentCookieJar(file));
    QVERIFY(logIn(QStringLiteral("keeper"), QStringLiteral("abc1"), true));
    QVERIFY(QFileInfo::exists(file));

    // The next run: a new network with a jar read from the file is logged in.
    m_fx.reset();
    m_fx = std::make_unique<AccountFixture>(m_server->base());
    m_fx->network.setCookieJar(new PersistentCookieJar(file));
    UserPanel* panel = m_fx->windows->showUserPanel(UserPanel::AccountNode);
    QTRY_COMPARE(textOf(panel, "Label2"), QStringLiteral("keeper"));
    QCOMPARE(m_fx->dialogs.count(), 0);

    // Logging out forgets it.
    panel->selectNode(UserPanel::LogoutNode);
    QTRY_VERIFY(m_fx->windows->userPanel() == nullptr);
    PersistentCookieJar after(file);
    QVERIFY(after.cookiesForUrl(QUrl(m_server->base())).isEmpty());
}

QTEST_MAIN(TestAccountFlows)
#include "tst_accountflows.moc"
