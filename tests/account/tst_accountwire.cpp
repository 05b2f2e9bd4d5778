// What the account windows put on the wire, byte for byte, checked against a recording
// service rather than the reference one: addresses with their keys in order, URLEncode
// bodies, and the multipart upload.
#include "AccountFixture.h"
#include "RecordingHttpServer.h"
#include "platform/AnsiCodePage.h"

#include <QtTest>

class TestAccountWire : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loginAddress();
    void registrationBody();
    void dialogChecksSendNothing_data();
    void dialogChecksSendNothing();
    void panelRequests();
    void profileChangeBody();
    void uploadBodyByteForByte();
    void uploadRefusedWithTheLimit();
    void deadServiceIsToldInThePanel();

private:
    static RecordingHttpServer::Answer xml(const QString& text);
    // The last request whose target starts with `prefix`.
    RecordingHttpServer::Request lastTo(const QByteArray& prefix) const;
    UserPanel* openPanelLoggedIn();

    std::unique_ptr<RecordingHttpServer> m_server;
    bool m_hangUp = false;
    std::unique_ptr<AccountFixture> m_fx;
    QString m_checkReply;
};

RecordingHttpServer::Answer TestAccountWire::xml(const QString& text)
{
    RecordingHttpServer::Answer a;
    a.body = text.toUtf8();
    return a;
}

void TestAccountWire::init()
{
    m_server = std::make_unique<RecordingHttpServer>();
    QVERIFY(m_server->listen());
    m_checkReply = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><userbase><logininfo>1|张三</logininfo><purl>http://p/u?1</purl>"
        "<pinfo>来看书</pinfo><uid>42</uid><uname>张三</uname><userlogin>3</userlogin><lastdate>2009-3-7</lastdate>"
        "<userpoint>30</userpoint><usermoney>5</usermoney><usermail>a@b.cn</usermail><qq>12</qq><sex>女</sex>"
        "<question>你的宠物叫什么?</question></userbase>");
    m_hangUp = false;
    m_server->setResponder([this](const RecordingHttpServer::Request& r) {
        if (m_hangUp) {
            RecordingHttpServer::Answer a;
            a.hangUp = true;
            return a;
        }
        if (r.target.startsWith("/readerserver/userinfo.asp")) {
            if (r.target.contains("action=login&"))
                return xml(QStringLiteral("<userbase><logininfo>1|欢迎回来</logininfo></userbase>"));
            if (r.body.startsWith("action=reg"))
                return xml(QStringLiteral("<userbase><logininfo>1|注册成功</logininfo></userbase>"));
            if (r.body.startsWith("action=edit"))
                return xml(QStringLiteral("<userbase><logininfo>2|资料修改成功！</logininfo></userbase>"));
            if (r.target.contains("action=loginout"))
                return xml(QStringLiteral("<userbase><logininfo>0|已安全退出，欢迎下次光临！</logininfo></userbase>"));
            return xml(m_checkReply);
        }
        if (r.target.startsWith("/readerserver/ListUserBook.asp"))
            return xml(QStringLiteral("<booklist><otherinfo><pageinfo>3,45,1,1,2</pageinfo></otherinfo></booklist>"));
        if (r.target.startsWith("/ReaderServer/UserTop.asp"))
            return xml(QStringLiteral("<usertop/>"));
        if (r.target.startsWith("/readerserver/uploadbook.asp")) {
            RecordingHttpServer::Answer a;
            a.contentType = "text/plain; charset=GB2312";
            a.body = AnsiCodePage::encode(QStringLiteral("1|上传成功，等待审核"));
            return a;
        }
        RecordingHttpServer::Answer a;
        a.status = 404;
        return a;
    });
    m_fx = std::make_unique<AccountFixture>(m_server->base());
}

void TestAccountWire::cleanup()
{
    m_fx.reset();
    m_server.reset();
}

RecordingHttpServer::Request TestAccountWire::lastTo(const QByteArray& prefix) const
{
    const QList<RecordingHttpServer::Request>& all = m_server->requests();
    for (auto it = all.crbegin(); it != all.crend(); ++it)
        if (it->target.startsWith(prefix))
            return *it;
    return {};
}

UserPanel* TestAccountWire::openPanelLoggedIn()
{
    UserPanel* panel = m_fx->windows->showUserPanel(UserPanel::AccountNode);
    if (!QTest::qWaitFor([&] { return textOf(panel, "Label2") == QStringLiteral("张三"); }, 10000))
        return nullptr;
    return panel;
}

void TestAccountWire::loginAddress()
{
    LoginDialog* login = m_fx->windows->showLogin();
    QCOMPARE(login->windowTitle(), QStringLiteral("用户登录 - Quillmere"));
    QCOMPARE(control<QLineEdit>(login, "Text1")->maxLength(), 14);
    QCOMPARE(control<QLineEdit>(login, "Text2")->maxLength(), 18);
    QCOMPARE(control<QLineEdit>(login, "Text2")->echoMode(), QLineEdit::Password);
    QVERIFY(control<QCheckBox>(login, "Check1")->isChecked());
    QCOMPARE(textOf(login, "Label3"), QStringLiteral("点此免费注册"));
    QCOMPARE(textOf(login, "Label4"), QStringLiteral("忘记密码？"));

    typeInto(login, "Text1", QStringLiteral(" 张三 "));
    typeInto(login, "Text2", QStringLiteral("abc 1"));
    control<QCheckBox>(login, "Check1")->setChecked(false);
    click(login, "Command1");
    QVERIFY(!control<QPushButton>(login, "Command1")->isEnabled());
    QVERIFY(m_fx->waitForBoxes(1));
    // Name and password as typed (the stack writes Chinese as UTF-8 and the blank as %20),
    // the flag, then the stamp with its one blank.
    QCOMPARE(lastTo("/readerserver/userinfo.asp?action=login").target,
             QByteArray("/readerserver/userinfo.asp?action=login&username=%E5%BC%A0%E4%B8%89&password=abc%201"
                        "&cookies=0&rnt=2009/3/7%208:05:00"));
    QCOMPARE(lastTo("/readerserver/userinfo.asp?action=login").method, QByteArray("GET"));
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("欢迎回来"));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("欢迎登录"));
    QCOMPARE(m_fx->dialogs.last().style, 64);
    // The panel opens on "用户信息" and checks; the login dialog is gone.
    QTRY_VERIFY(m_fx->windows->loginDialog() == nullptr);
    QVERIFY(m_fx->windows->userPanel());
    QCOMPARE(m_fx->windows->userPanel()->shownNode(), int(UserPanel::AccountNode));
    QTRY_COMPARE(lastTo("/readerserver/userinfo.asp?action=check").target,
                 QByteArray("/readerserver/userinfo.asp?action=check&rnt=2009/3/7%208:05:00"));
}

void TestAccountWire::registrationBody()
{
    RegisterDialog* reg = m_fx->windows->showRegistration();
    QCOMPARE(reg->windowTitle(), QStringLiteral("用户注册 - Quillmere"));
    QVERIFY(control<QRadioButton>(reg, "Option3")->isChecked());
    QCOMPARE(control<QComboBox>(reg, "Combo1")->count(), 5);
    QCOMPARE(control<QLineEdit>(reg, "Text4")->maxLength(), 30);
    QCOMPARE(control<QLineEdit>(reg, "Text5")->maxLength(), 10);
    QCOMPARE(control<QLineEdit>(reg, "Text6")->maxLength(), 15);

    typeInto(reg, "Text1", QStringLiteral("张三丰"));
    typeInto(reg, "Text2", QStringLiteral("pw_1"));
    typeInto(reg, "Text3", QStringLiteral("pw_1"));
    typeInto(reg, "Text4", QStringLiteral("zs@wd.cn"));
    click(reg, "Command1");
    QVERIFY(control<QWidget>(reg, "LoadingDiv")->isVisibleTo(reg));
    QVERIFY(m_fx->waitForBoxes(1));
    const RecordingHttpServer::Request post = lastTo("/readerserver/userinfo.asp");
    QCOMPARE(post.method, QByteArray("POST"));
    QCOMPARE(post.target, QByteArray("/readerserver/userinfo.asp"));
    QCOMPARE(post.header("content-type"), QByteArray("application/x-www-form-urlencoded"));
    QCOMPARE(post.body, QByteArray("action=reg&username=%D5%C5%C8%FD%B7%E1&userpass=pw%5F%31&email=zs%40wd%2Ecn"
                                   "&sex=%B1%A3%C3%DC&qq=&anwser=&question="));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("欢迎注册"));
    QTRY_VERIFY(m_fx->windows->registrationDialog() == nullptr);
    QVERIFY(m_fx->windows->loginDialog());
}

void TestAccountWire::dialogChecksSendNothing_data()
{
    QTest::addColumn<QStringList>("fields"); // name, password, repeat, e-mail
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("passwordsEmptied");
    const QString email = QStringLiteral("你输入的Email地址不合法，请重新输入！");
    QTest::newRow("at sign first") << QStringList{"a-b", "p", "q", "@ab.c"} << email << false;
    QTest::newRow("two Chinese characters")
        << QStringList{"张三", "pw1", "pw1", "a@b.cn"}
        << QStringLiteral("用户名不能带有特殊符号！\r\n可由汉字、字母、数字和下划线任意3至14位组合！") << false;
    QTest::newRow("hyphen") << QStringList{"ab-c", "pw1", "pw1", "a@b.cn"}
                            << QStringLiteral(
                                   "用户名不能带有特殊符号！\r\n可由汉字、字母、数字和下划线任意2至10位组合！")
                            << false;
    QTest::newRow("password of two") << QStringList{"abc", "pw", "pw", "a@b.cn"}
                                     << QStringLiteral("你输入的密码长度太短（至少3位），请重新输入！") << true;
    QTest::newRow("repetition differs") << QStringList{"abc", "pw1", "pw2", "a@b.cn"}
                                        << QStringLiteral("你两次输入密码有误，请重新输入！") << true;
}

void TestAccountWire::dialogChecksSendNothing()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, message);
    QFETCH(bool, passwordsEmptied);
    RegisterDialog* reg = m_fx->windows->showRegistration();
    typeInto(reg, "Text1", fields[0]);
    typeInto(reg, "Text2", fields[1]);
    typeInto(reg, "Text3", fields[2]);
    typeInto(reg, "Text4", fields[3]);
    click(reg, "Command1");
    QCOMPARE(m_fx->dialogs.count(), 1);
    QCOMPARE(m_fx->dialogs.last().text, message);
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("填写有误"));
    QCOMPARE(m_fx->dialogs.last().style, 16);
    QCOMPARE(textOf(reg, "Text2").isEmpty(), passwordsEmptied);
    QCOMPARE(textOf(reg, "Text3").isEmpty(), passwordsEmptied);
    QCOMPARE(textOf(reg, "Text1"), fields[0]);
    QCOMPARE(textOf(reg, "Text4"), fields[3]);
    QVERIFY(control<QPushButton>(reg, "Command1")->isEnabled());

    // The login dialog refuses a blank name the same way.
    LoginDialog* login = m_fx->windows->showLogin();
    typeInto(login, "Text1", QStringLiteral("   "));
    typeInto(login, "Text2", QStringLiteral("pw1"));
    click(login, "Command1");
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("用户名或密码不能为空！"));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("登录失败"));
    QCOMPARE(m_fx->dialogs.last().style, 16);

    QTest::qWait(50);
    QCOMPARE(m_server->requests().size(), 0);
}

void TestAccountWire::panelRequests()
{
    UserPanel* panel = openPanelLoggedIn();
    QVERIFY(panel);
    panel->selectNode(UserPanel::MyBooksNode);
    QTRY_VERIFY(!lastTo("/readerserver/ListUserBook.asp").target.isEmpty());
    QCOMPARE(lastTo("/readerserver/ListUserBook.asp").target,
             QByteArray("/readerserver/ListUserBook.asp?uname=%E5%BC%A0%E4%B8%89&rnt=2009/3/7%208:05:00"));
    QTRY_COMPARE(textOf(panel, "PageStatus"), QStringLiteral("1/3"));
    // "下一页" asks for the next page the reply named, "最后页" for the total.
    QTest::mouseClick(control<QLabel>(panel, "NextPage"), Qt::LeftButton);
    QTRY_VERIFY(lastTo("/readerserver/ListUserBook.asp").target.contains("&page=2&"));
    QCOMPARE(lastTo("/readerserver/ListUserBook.asp").target,
             QByteArray("/readerserver/ListUserBook.asp?uname=%E5%BC%A0%E4%B8%89&page=2&rnt=2009/3/7%208:05:00"));

    panel->selectNode(UserPanel::PointsNode);
    QTRY_COMPARE(lastTo("/ReaderServer/UserTop.asp").target, QByteArray("/ReaderServer/UserTop.asp?action=jf"));
    panel->selectNode(UserPanel::GoldNode);
    QTRY_COMPARE(lastTo("/ReaderServer/UserTop.asp").target, QByteArray("/ReaderServer/UserTop.asp?action=jb"));

    panel->selectNode(UserPanel::LogoutNode);
    QCOMPARE(panel->shownNode(), 0); // every page hidden before the answer
    QTRY_COMPARE(lastTo("/readerserver/userinfo.asp?action=loginout").target,
                 QByteArray("/readerserver/userinfo.asp?action=loginout&rnt=2009/3/7%208:05:00"));
    QTRY_VERIFY(m_fx->windows->userPanel() == nullptr);
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("已安全退出，欢迎下次光临！"));
    QVERIFY(m_fx->windows->loginDialog() == nullptr);
}

void TestAccountWire::profileChangeBody()
{
    UserPanel* panel = openPanelLoggedIn();
    QVERIFY(panel);
    panel->selectNode(UserPanel::ProfileNode);
    QWidget* page = panel->userFrame(UserPanel::ProfileNode);
    QCOMPARE(textOf(page, "UserName"), QStringLiteral("张三"));
    QCOMPARE(textOf(page, "Question"), QStringLiteral("你的宠物叫什么?"));
    QVERIFY(control<QRadioButton>(page, "SexFemale")->isChecked());
    typeInto(page, "UserMail", QStringLiteral("z@s.cn"));
    typeInto(page, "UserQQ", QStringLiteral(" 99 "));
    control<QRadioButton>(page, "SexSecret")->setChecked(true);
    click(page, "EditButton");
    QVERIFY(m_fx->waitForBoxes(1));
    const RecordingHttpServer::Request post = lastTo("/readerserver/userinfo.asp");
    QCOMPARE(post.method, QByteArray("POST"));
    QCOMPARE(post.header("content-type"), QByteArray("application/x-www-form-urlencoded"));
    // The id as received; an empty new password and answer mean no change.
    QCOMPARE(post.body,
             QByteArray("action=edit&userid=42&userpass=&email=z%40s%2Ecn&sex=%B1%A3%C3%DC&qq=%39%39&anwser="));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("修改成功"));
    // Back on "用户信息" with a fresh check.
    QCOMPARE(panel->shownNode(), int(UserPanel::AccountNode));
    QTRY_VERIFY(lastTo("/readerserver/userinfo.asp").target.startsWith("/readerserver/userinfo.asp?action=check"));
}

void TestAccountWire::uploadBodyByteForByte()
{
    UserPanel* panel = openPanelLoggedIn();
    QVERIFY(panel);
    const QByteArray book = QByteArray("\xB5\xDA\xD2\xBB\xD5\xC2\r\n") + QByteArray(300 * 1024, 'x') + '\0';
    const QString bookPath = m_fx->write(QStringLiteral("剑影.txt"), book);
    const QByteArray cover("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01\x00\x00\x00\x00,"
                           "\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
                           43);
    const QString coverPath = m_fx->write(QStringLiteral("cover.gif"), cover);

    panel->selectNode(UserPanel::UploadNode);
    UploadPage* page = panel->uploadPage();
    choose(page, "ImageCombo1", QStringLiteral("推理灵异"));
    typeInto(page, "Text12", QStringLiteral("剑影"));
    typeInto(page, "Text11", QStringLiteral(" 佚名 "));
    m_fx->pickers.nextFile(bookPath);
    click(page, "Command6");
    choose(page, "Combo1", QStringLiteral("连载"));
    typeInto(page, "Text8", QStringLiteral("第十章 风=雨"));
    typeInto(page, "Text9", QStringLiteral("江湖\n第二行\\r\\n"));
    m_fx->pickers.nextFile(coverPath);
    click(page, "Command4");
    QVERIFY(page->hasCover());

    click(page, "Command5");
    QVERIFY(!control<QPushButton>(page, "Command5")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!lastTo("/readerserver/uploadbook.asp").target.isEmpty(), 10000);
    const RecordingHttpServer::Request post = lastTo("/readerserver/uploadbook.asp");
    QCOMPARE(post.method, QByteArray("POST"));
    QCOMPARE(post.target, QByteArray("/readerserver/uploadbook.asp"));
    QCOMPARE(post.header("content-type"), QByteArray("multipart/form-data"));
    QCOMPARE(post.header("content-length"), QByteArray::number(post.body.size()));

    // The same body laid out here, with the boundary the page chose.
    QVERIFY(post.body.startsWith("--__NextPart__"));
    const QByteArray boundary = post.body.mid(2, 36);
    QByteArray expected;
    auto filePart = [&](const char* name, const QString& path, const QByteArray& bytes) {
        expected += "--" + boundary + "\r\nContent-Disposition:form-data;name=\"" + name + "\";filename=\"" +
                    AnsiCodePage::encode(path) + "\"\r\nContent-Type:application/octet-stream\r\n\r\n" + bytes + "\r\n";
    };
    auto textPart = [&](const char* name, const QString& value) {
        expected += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
                    AnsiCodePage::encode(value) + "\r\n";
    };
    filePart("file1", bookPath, book);
    filePart("file2", coverPath, cover);
    textPart("stype", QStringLiteral("推理灵异"));
    textPart("sname", QStringLiteral("剑影"));
    textPart("sauthor", QStringLiteral("佚名"));
    textPart("username", QStringLiteral("张三"));
    textPart("smemo", QStringLiteral("江湖\n第二行\\r\\n"));
    textPart("sstatue", QStringLiteral("连载"));
    textPart("snewchap", QStringLiteral("第十章 风=雨"));
    expected += "--" + boundary + "--";
    QCOMPARE(post.body.size(), expected.size());
    QVERIFY(post.body == expected);

    // The answer: its message under "上传成功", and the panel closes.
    QVERIFY(m_fx->waitForBoxes(1));
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("上传成功，等待审核"));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("上传成功"));
    QTRY_VERIFY(m_fx->windows->userPanel() == nullptr);
}

void TestAccountWire::uploadRefusedWithTheLimit()
{
    UserPanel* panel = openPanelLoggedIn();
    QVERIFY(panel);
    RecordingHttpServer::Answer tooLarge;
    tooLarge.status = 413;
    tooLarge.contentType = "text/plain; charset=GB2312";
    tooLarge.body = AnsiCodePage::encode(QStringLiteral("0|太大了"));
    m_server->setResponder([tooLarge](const RecordingHttpServer::Request&) {
        RecordingHttpServer::Answer a = tooLarge;
        return a;
    });
    m_server->answerDefault(tooLarge);

    panel->selectNode(UserPanel::UploadNode);
    UploadPage* page = panel->uploadPage();
    page->fillFromBook(QStringLiteral("武侠仙侠"), QStringLiteral("大书"), QString(),
                       m_fx->write(QStringLiteral("big.txt"), QByteArray(2048, 'a')));
    choose(page, "Combo1", QStringLiteral("全集"));
    click(page, "Command5");
    QVERIFY(m_fx->waitForBoxes(1));
    // No limit named: the service's own message; the page keeps its input.
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("太大了"));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("上传失败"));
    QVERIFY(m_fx->windows->userPanel());
    QVERIFY(control<QPushButton>(page, "Command5")->isEnabled());
    QCOMPARE(textOf(page, "Text12"), QStringLiteral("大书"));
}

void TestAccountWire::deadServiceIsToldInThePanel()
{
    UserPanel* panel = openPanelLoggedIn();
    QVERIFY(panel);
    const int boxes = m_fx->dialogs.count();
    m_hangUp = true;
    panel->selectNode(UserPanel::MyBooksNode);
    auto* notice = control<QLabel>(panel, "ServiceNotice");
    QVERIFY(notice);
    QTRY_VERIFY(notice->isVisible());
    QCOMPARE(panel->notice(), QStringLiteral("无法连接到网络书库服务器（") + m_server->base() + QStringLiteral("）"));
    QVERIFY(notice->text().contains(QStringLiteral(">重试</a>")));
    QVERIFY(!panel->isLoading());
    QCOMPARE(m_fx->dialogs.count(), boxes);

    // The service is back: "重试" sends the list request again.
    m_hangUp = false;
    emit notice->linkActivated(QStringLiteral("retry"));
    QTRY_COMPARE(textOf(panel, "PageStatus"), QStringLiteral("1/3"));
    QVERIFY(!notice->isVisible());
    QCOMPARE(panel->notice(), QString());
}

QTEST_MAIN(TestAccountWire)
#include "tst_accountwire.moc"
