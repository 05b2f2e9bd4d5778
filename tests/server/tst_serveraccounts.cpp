// Accounts, uploads, the user's pages and promotion visits over real HTTP.
#include "ServerFixture.h"

#include <QDir>
#include <QtTest>

namespace {
// 张三丰 in the code page as the reader's form encoder writes it, and percent-encoded UTF-8 as
// its HTTP stack sends it in a query.
const QByteArray kZhangSanForm = "%D5%C5%C8%FD%B7%E1";
const QString kZhangSan = QStringLiteral("张三丰");
} // namespace

class TestServerAccounts : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void registrationDecodesTheCodePage();
    void registrationRefusals_data();
    void registrationRefusals();
    void cookieFlow();
    void rememberedLoginPersists();
    void dailyPointsOnce();
    void editProfile();
    void editOnlyOwnAccount();
    void editRefusedForInput_data();
    void editRefusedForInput();
    void badAccountRequests_data();
    void badAccountRequests();
    void uploadAndReview();
    void uploadKeepsTextIntact();
    void uploadRefusals_data();
    void uploadRefusals();
    void uploadSizeLimit();
    void updateOfASharedTitle();
    void userBookPages();
    void rankings();
    void promotionVisits();

private:
    std::unique_ptr<ServerFixture> m_server;
};

void TestServerAccounts::init()
{
    m_server = std::make_unique<ServerFixture>();
    QVERIFY(m_server->start(256 * 1024));
}

void TestServerAccounts::cleanup()
{
    m_server.reset();
}

void TestServerAccounts::registrationDecodesTheCodePage()
{
    const HttpResult r = m_server->postForm("action=reg&username=" + kZhangSanForm +
                                            "&userpass=%61%62%63&email=a%40b%2Ecom&sex=%C4%D0&qq=%31%32"
                                            "&anwser=%B4%F0&question=%C4%E3%B5%C4%B3%E8%CE%EF%BD%D0%CA%B2%C3%B4%3F");
    QCOMPARE(r.status, 200);
    QVERIFY(r.body.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    QCOMPARE(ServerFixture::code(r.body), QStringLiteral("1"));
    const auto user = m_server->service().database().userByName(kZhangSan);
    QVERIFY(user);
    QCOMPARE(user->sex, QStringLiteral("男"));
    QCOMPARE(user->qq, QStringLiteral("12"));
    QCOMPARE(user->question, QStringLiteral("你的宠物叫什么?"));
    QVERIFY(!user->pwhash.contains("abc"));
    QVERIFY(user->pwhash.startsWith("$argon2id$"));
}

void TestServerAccounts::registrationRefusals_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("name too short") << QByteArray("action=reg&username=%61%62&userpass=%61%62%63&email=a%40b%2Ecom");
    QTest::newRow("name with a blank") << QByteArray(
        "action=reg&username=%61%20%62%63&userpass=%61%62%63&email=a%40b%2Ecom");
    QTest::newRow("password too short") << QByteArray("action=reg&username=abcd&userpass=%61%62&email=a%40b%2Ecom");
    QTest::newRow("bad e-mail") << QByteArray("action=reg&username=abcd&userpass=abc&email=%40b%2Ecom");
    QTest::newRow("taken in another case") << QByteArray("action=reg&username=TAKEN&userpass=abc&email=a%40b%2Ecom");
    QTest::newRow("invalid code page text")
        << QByteArray("action=reg&username=%81%20ab&userpass=abc&email=a%40b%2Ecom");
    QTest::newRow("bad escape") << QByteArray("action=reg&username=ab%ZZ&userpass=abc&email=a%40b%2Ecom");
}

void TestServerAccounts::registrationRefusals()
{
    QFETCH(QByteArray, body);
    QCOMPARE(ServerFixture::code(m_server->postForm("action=reg&username=taken&userpass=abc&email=a%40b%2Ecom").body),
             QStringLiteral("1"));
    const HttpResult r = m_server->postForm(body);
    QCOMPARE(r.status, 200);
    QCOMPARE(ServerFixture::code(r.body), QStringLiteral("0"));
    QVERIFY(!ServerFixture::message(r.body).isEmpty());
    QCOMPARE(m_server->service().database().userCount(), 1);
}

void TestServerAccounts::cookieFlow()
{
    QCOMPARE(m_server->signUpAndLogIn(kZhangSanForm, kZhangSan), QStringLiteral("1"));
    HttpResult check = m_server->get(QStringLiteral("/readerserver/userinfo.asp?action=check&rnt=2026-12-8 10:00:00"));
    QCOMPARE(ServerFixture::code(check.body), QStringLiteral("1"));
    QCOMPARE(ServerFixture::childNames(check.body, "userbase"),
             QStringList({"logininfo", "purl", "pinfo", "uid", "uname", "userlogin", "lastdate", "userpoint",
                          "usermoney", "usermail", "qq", "sex", "question", "uploadlimit"}));
    QCOMPARE(ServerFixture::texts(check.body, "uname"), QStringList{kZhangSan});
    QCOMPARE(ServerFixture::texts(check.body, "sex"), QStringList{QStringLiteral("男")});
    QCOMPARE(ServerFixture::texts(check.body, "userlogin"), QStringList{"1"});
    QCOMPARE(ServerFixture::texts(check.body, "userpoint"), QStringList{"10"});

    const HttpResult out = m_server->get(QStringLiteral("/readerserver/userinfo.asp?action=loginout&rnt=x"));
    QCOMPARE(ServerFixture::code(out.body), QStringLiteral("0"));
    QCOMPARE(ServerFixture::message(out.body), QStringLiteral("已安全退出，欢迎下次光临！"));
    check = m_server->get(QStringLiteral("/readerserver/userinfo.asp?action=check&rnt=x"));
    QCOMPARE(ServerFixture::code(check.body), QStringLiteral("0"));
    QVERIFY(ServerFixture::message(check.body) != QStringLiteral("已安全退出，欢迎下次光临！"));

    // A wrong password is refused and sets no cookie.
    const HttpResult wrong = m_server->get(
        QStringLiteral("/readerserver/userinfo.asp?action=login&username=%1&password=nope&cookies=0").arg(kZhangSan));
    QCOMPARE(ServerFixture::code(wrong.body), QStringLiteral("0"));
    QVERIFY(!wrong.headers.contains("set-cookie"));
}

void TestServerAccounts::rememberedLoginPersists()
{
    m_server->postForm("action=reg&username=abcd&userpass=abc1&email=a%40b%2Ecom");
    const HttpResult session =
        m_server->get(QStringLiteral("/readerserver/userinfo.asp?action=login&username=abcd&password=abc1&cookies=0"));
    const QByteArray sessionCookie = session.headers.value("set-cookie");
    QVERIFY(sessionCookie.contains("HttpOnly"));
    QVERIFY(!sessionCookie.contains("Max-Age"));
    const HttpResult kept =
        m_server->get(QStringLiteral("/readerserver/userinfo.asp?action=login&username=ABCD&password=abc1&cookies=1"));
    const QByteArray keptCookie = kept.headers.value("set-cookie");
    QVERIFY(keptCookie.contains("Max-Age=2592000"));
    QVERIFY(keptCookie.contains("HttpOnly"));
    // 128 random bits as 32 hex digits.
    QCOMPARE(QString::fromLatin1(keptCookie).section(';', 0, 0).section('=', 1).size(), 32);
}

void TestServerAccounts::dailyPointsOnce()
{
    QCOMPARE(m_server->signUpAndLogIn("abcd", "abcd"), QStringLiteral("1"));
    m_server->get(QStringLiteral("/readerserver/userinfo.asp?action=login&username=abcd&password=abc1&cookies=0"));
    const auto user = m_server->service().database().userByName("abcd");
    QCOMPARE(user->logins, 2);
    QCOMPARE(user->points, 10);
}

void TestServerAccounts::editProfile()
{
    QCOMPARE(m_server->signUpAndLogIn(kZhangSanForm, kZhangSan), QStringLiteral("1"));
    const QString uid = QString::number(m_server->service().database().userByName(kZhangSan)->id);
    const HttpResult r = m_server->postForm("action=edit&userid=" + uid.toLatin1() +
                                            "&userpass=%6E%65%77%31&email=b%40c%2Ecn&sex=%C5%AE&qq=%39&anwser=");
    QCOMPARE(ServerFixture::code(r.body), QStringLiteral("2"));
    const HttpResult check = m_server->get(QStringLiteral("/readerserver/userinfo.asp?action=check"));
    QCOMPARE(ServerFixture::texts(check.body, "usermail"), QStringList{"b@c.cn"});
    QCOMPARE(ServerFixture::texts(check.body, "sex"), QStringList{QStringLiteral("女")});
    const QString login = QStringLiteral("/readerserver/userinfo.asp?action=login&username=%1&password=%2&cookies=0");
    QCOMPARE(ServerFixture::code(m_server->get(login.arg(kZhangSan, "abc1")).body), QStringLiteral("0"));
    QCOMPARE(ServerFixture::code(m_server->get(login.arg(kZhangSan, "new1")).body), QStringLiteral("1"));

    // An empty new password keeps the old one.
    m_server->postForm("action=edit&userid=" + uid.toLatin1() + "&userpass=&email=b%40c%2Ecn&sex=&qq=&anwser=");
    QCOMPARE(ServerFixture::code(m_server->get(login.arg(kZhangSan, "new1")).body), QStringLiteral("1"));
}

void TestServerAccounts::editOnlyOwnAccount()
{
    m_server->postForm("action=reg&username=victim&userpass=abc1&email=a%40b%2Ecom");
    QCOMPARE(m_server->signUpAndLogIn("attacker", "attacker"), QStringLiteral("1"));
    const QString victim = QString::number(m_server->service().database().userByName("victim")->id);
    const HttpResult r = m_server->postForm("action=edit&userid=" + victim.toLatin1() +
                                            "&userpass=%70%77%6E%64&email=x%40y%2Ez&sex=&qq=&anwser=");
    QCOMPARE(ServerFixture::code(r.body), QStringLiteral("0"));
    m_server->forgetCookies();
    QCOMPARE(ServerFixture::code(m_server->postForm("action=edit&userid=1&userpass=&email=x%40y%2Ez").body),
             QStringLiteral("0"));
    QCOMPARE(m_server->service().database().userByName("victim")->email, QStringLiteral("a@b.com"));
}

void TestServerAccounts::editRefusedForInput_data()
{
    QTest::addColumn<QByteArray>("fields");
    QTest::addColumn<QString>("message");
    QTest::newRow("malformed e-mail") << QByteArray("&userpass=&email=%40b%2Ecn&sex=&qq=&anwser=")
                                      << QStringLiteral("你输入的Email地址不合法，请重新输入！");
    QTest::newRow("new password too short") << QByteArray("&userpass=%61%62&email=b%40c%2Ecn&sex=&qq=&anwser=")
                                            << QStringLiteral("新密码的长度应为3至64位，请重新输入！");
}

// A refusal for what was typed is not "0": the reader takes "0" for "not logged in".
void TestServerAccounts::editRefusedForInput()
{
    QFETCH(QByteArray, fields);
    QFETCH(QString, message);
    QCOMPARE(m_server->signUpAndLogIn(kZhangSanForm, kZhangSan), QStringLiteral("1"));
    const QString uid = QString::number(m_server->service().database().userByName(kZhangSan)->id);
    const HttpResult r = m_server->postForm("action=edit&userid=" + uid.toLatin1() + fields);
    QCOMPARE(ServerFixture::code(r.body), QStringLiteral("3"));
    QCOMPARE(ServerFixture::message(r.body), message);
    const HttpResult check = m_server->get(QStringLiteral("/readerserver/userinfo.asp?action=check"));
    QCOMPARE(ServerFixture::code(check.body), QStringLiteral("1"));
    QCOMPARE(ServerFixture::texts(check.body, "usermail"), QStringList{"a@b.com"});
    QCOMPARE(ServerFixture::texts(check.body, "uploadlimit"), QStringList{"262144"});
}

void TestServerAccounts::badAccountRequests_data()
{
    QTest::addColumn<QString>("query");
    QTest::newRow("no action") << "";
    QTest::newRow("unknown action") << "action=drop";
    QTest::newRow("login without password") << "action=login&username=abcd";
    QTest::newRow("login of nobody") << "action=login&username=nobody&password=x&cookies=1";
    QTest::newRow("undecodable") << "action=login&username=%FF%FE%FD&password=x";
}

void TestServerAccounts::badAccountRequests()
{
    QFETCH(QString, query);
    const HttpResult r = m_server->get("/readerserver/userinfo.asp?" + query);
    QCOMPARE(r.status, 200);
    QCOMPARE(ServerFixture::code(r.body), QStringLiteral("0"));
    QVERIFY(!ServerFixture::message(r.body).isEmpty());
}

void TestServerAccounts::uploadAndReview()
{
    QCOMPARE(m_server->signUpAndLogIn(kZhangSanForm, kZhangSan), QStringLiteral("1"));
    const QByteArray book = TextCodec::encodeGbk(QStringLiteral("第一章\r\n内容\r\n"));
    const QByteArray jpeg("\xFF\xD8\xFF\xE0 cover", 11);
    const HttpResult r =
        m_server->upload(ServerFixture::uploadBody(ServerFixture::uploadFields(kZhangSan, QStringLiteral("我的书")),
                                                   book, QStringLiteral("C:\\书\\我的书.txt"), jpeg));
    QCOMPARE(r.status, 200);
    QCOMPARE(r.headers.value("content-type"), QByteArray("text/plain; charset=GB2312"));
    QVERIFY2(r.text().startsWith("1|"), qPrintable(r.text()));

    auto& db = m_server->service().database();
    const QList<BookRecord> pending = db.pendingBooks();
    QCOMPARE(pending.size(), 1);
    const BookRecord stored = pending.first();
    QCOMPARE(stored.name, QStringLiteral("我的书"));
    QCOMPARE(stored.newchap, QStringLiteral("第十章"));
    QVERIFY(!stored.file.contains(QStringLiteral("我的书"))); // the service names its files itself
    QVERIFY(stored.file.endsWith(".txt"));
    QVERIFY(stored.cover.endsWith(".jpg"));

    // Not listed and not downloadable while it waits for review.
    const QString listing = QStringLiteral("/readerserver/listbook.asp?action=search&key=我的书");
    QVERIFY(ServerFixture::texts(m_server->get(listing).body, "bookinfo").isEmpty());
    QCOMPARE(m_server->get("/files/" + stored.file).status, 404);
    QCOMPARE(m_server->get(QStringLiteral("/files/%1/我的书.txt").arg(stored.id)).status, 404);

    auto admin = m_server->admin();
    QVERIFY(admin);
    QVERIFY(admin->approve(stored.id));
    QVERIFY(!admin->approve(stored.id)); // only once
    const HttpResult listed = m_server->get(listing);
    QCOMPARE(ServerFixture::texts(listed.body, "name"), QStringList{QStringLiteral("我的书")});
    QCOMPARE(ServerFixture::texts(listed.body, "downurl").value(0),
             QStringLiteral("/files/%1/我的书.txt").arg(stored.id));
    QCOMPARE(m_server->get(ServerFixture::texts(listed.body, "downurl").value(0)).body, book);
    QCOMPARE(db.userByName(kZhangSan)->money, 10);
}

void TestServerAccounts::uploadKeepsTextIntact()
{
    QCOMPARE(m_server->signUpAndLogIn(kZhangSanForm, kZhangSan), QStringLiteral("1"));
    const QString memo = QStringLiteral("甲=乙=丙\r\n第二行 \\r\\n 照原样\r\n--");
    const HttpResult r = m_server->upload(
        ServerFixture::uploadBody(ServerFixture::uploadFields(kZhangSan, QStringLiteral("等号"), memo), "abc"));
    QVERIFY2(r.text().startsWith("1|"), qPrintable(r.text()));
    QCOMPARE(m_server->service().database().pendingBooks().value(0).memo, memo.trimmed());
}

void TestServerAccounts::uploadRefusals_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("loggedIn");
    const auto fields = ServerFixture::uploadFields(QStringLiteral("abcd"), QStringLiteral("书"));
    const QByteArray good = ServerFixture::uploadBody(fields, "text");
    auto with = [&fields](const QString& key, const QString& value) {
        auto changed = fields;
        for (auto& pair : changed) {
            if (pair.first == key)
                pair.second = value;
        }
        return changed;
    };
    QTest::newRow("not logged in") << good << false;
    QTest::newRow("another user's name") << ServerFixture::uploadBody(with("username", "someone"), "text") << true;
    QTest::newRow("no boundary line") << QByteArray("stype=x&sname=y") << true;
    QTest::newRow("truncated") << good.left(good.size() - 20) << true;
    QTest::newRow("empty body") << QByteArray() << true;
    QTest::newRow("unknown category") << ServerFixture::uploadBody(with("stype", "小说"), "text") << true;
    QTest::newRow("no title") << ServerFixture::uploadBody(with("sname", ""), "text") << true;
    QTest::newRow("bad state") << ServerFixture::uploadBody(with("sstatue", "完结"), "text") << true;
    QTest::newRow("empty file") << ServerFixture::uploadBody(fields, "") << true;
    QTest::newRow("exe file") << ServerFixture::uploadBody(fields, "MZ", "C:\\a.exe") << true;
    QTest::newRow("rar that is not one") << ServerFixture::uploadBody(fields, "text", "C:\\a.rar") << true;
    QTest::newRow("cover not a picture") << ServerFixture::uploadBody(fields, "text", "C:\\a.txt", "GIF", "C:\\c.bmp")
                                         << true;
    QByteArray invalid = good;
    invalid.replace(TextCodec::encodeGbk(QStringLiteral("作者")), QByteArray("\x81\x20", 2));
    QTest::newRow("invalid code page text") << invalid << true;
}

void TestServerAccounts::uploadRefusals()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, loggedIn);
    if (loggedIn)
        QCOMPARE(m_server->signUpAndLogIn("abcd", "abcd"), QStringLiteral("1"));
    const HttpResult r = m_server->upload(body);
    QCOMPARE(r.status, 200);
    QVERIFY2(r.text().startsWith("0|") && r.text().size() > 2, qPrintable(r.text()));
    QCOMPARE(m_server->service().database().bookCount(), 0);
    QCOMPARE(QDir(m_server->dataDir() + "/files").entryList(QDir::Files).size(), 0);
}

void TestServerAccounts::uploadSizeLimit()
{
    // The fixture allows 256 KB a request.
    QCOMPARE(m_server->signUpAndLogIn("abcd", "abcd"), QStringLiteral("1"));
    const auto fields = ServerFixture::uploadFields(QStringLiteral("abcd"), QStringLiteral("大书"));
    const HttpResult fits = m_server->upload(ServerFixture::uploadBody(fields, QByteArray(200 * 1024, 'a')));
    QVERIFY2(fits.text().startsWith("1|"), qPrintable(fits.text()));
    // Over the limit: 413, with the limit in the message and in bytes in a header.
    const HttpResult over = m_server->upload(ServerFixture::uploadBody(fields, QByteArray(300 * 1024, 'a')));
    QCOMPARE(over.status, 413);
    QCOMPARE(over.text(), QStringLiteral("0|上传的文件太大，每次上传不能超过256KB！"));
    QCOMPARE(over.headers.value("x-upload-limit"), QByteArray("262144"));
    // Far past the limit the body is dropped as it comes, never buffered; the client still
    // gets the same answer.
    const HttpResult huge = m_server->upload(ServerFixture::uploadBody(fields, QByteArray(3 * 1024 * 1024, 'a')));
    QCOMPARE(huge.status, 413);
    QCOMPARE(huge.text(), QStringLiteral("0|上传的文件太大，每次上传不能超过256KB！"));
    QCOMPARE(m_server->service().database().bookCount(), 1);
    // The service still answers afterwards.
    QCOMPARE(m_server->get("/readerserver/NewsInfo.asp").status, 200);
}

void TestServerAccounts::updateOfASharedTitle()
{
    QCOMPARE(m_server->signUpAndLogIn("abcd", "abcd"), QStringLiteral("1"));
    const auto fields = ServerFixture::uploadFields(QStringLiteral("abcd"), QStringLiteral("连载书"));
    QVERIFY(m_server->upload(ServerFixture::uploadBody(fields, "v1")).text().startsWith("1|"));
    auto admin = m_server->admin();
    auto& db = m_server->service().database();
    const qint64 original = db.pendingBooks().value(0).id;
    QVERIFY(admin->approve(original));
    const HttpResult update = m_server->upload(ServerFixture::uploadBody(fields, "v2 longer"));
    QVERIFY(update.text().startsWith("1|"));
    QVERIFY(update.text().contains(QStringLiteral("更新")));
    const BookRecord pending = db.pendingBooks().value(0);
    QCOMPARE(pending.updateOf, original);
    QVERIFY(admin->approve(pending.id));
    // The update takes the original's place: same number, new content, 10 + 5 coins.
    const HttpResult list = m_server->get(QStringLiteral("/readerserver/listbook.asp?action=search&key=连载书"));
    QCOMPARE(ServerFixture::texts(list.body, "id"), QStringList{QString::number(original)});
    QCOMPARE(m_server->get(ServerFixture::texts(list.body, "downurl").value(0)).body, QByteArray("v2 longer"));
    QCOMPARE(db.userByName("abcd")->money, 15);

    // A rejected upload is reported as such and earns nothing.
    QVERIFY(m_server->upload(ServerFixture::uploadBody(ServerFixture::uploadFields("abcd", "坏书"), "x"))
                .text()
                .startsWith("1|"));
    const BookRecord rejected = db.pendingBooks().value(0);
    QVERIFY(admin->reject(rejected.id));
    QCOMPARE(db.userByName("abcd")->money, 15);
    QCOMPARE(db.book(rejected.id)->review, Review::Rejected);
    QVERIFY(!QFile::exists(m_server->dataDir() + "/files/" + rejected.file));
}

void TestServerAccounts::userBookPages()
{
    QCOMPARE(m_server->signUpAndLogIn("abcd", "abcd"), QStringLiteral("1"));
    for (int i = 1; i <= 21; ++i) {
        auto fields = ServerFixture::uploadFields(QStringLiteral("abcd"), QStringLiteral("第%1本").arg(i));
        if (i == 21)
            fields[5].second = QStringLiteral("全集");
        QVERIFY(m_server->upload(ServerFixture::uploadBody(fields, "x")).text().startsWith("1|"));
    }
    auto admin = m_server->admin();
    QVERIFY(admin->reject(m_server->service().database().pendingBooks().value(0).id));
    const HttpResult first = m_server->get(QStringLiteral("/readerserver/ListUserBook.asp?uname=abcd&rnt=x"));
    QCOMPARE(first.status, 200);
    QCOMPARE(ServerFixture::childNames(first.body, "bookinfo"),
             QStringList({"id", "name", "class", "statue", "newchap", "ftime", "checkif"}));
    QCOMPARE(ServerFixture::texts(first.body, "bookinfo").size(), 20);
    QCOMPARE(ServerFixture::texts(first.body, "pageinfo"), QStringList{"2,21,1,1,2"});
    QCOMPARE(ServerFixture::texts(first.body, "name").first(), QStringLiteral("第21本"));
    QCOMPARE(ServerFixture::texts(first.body, "statue").first(), QStringLiteral("全集"));
    QCOMPARE(ServerFixture::texts(first.body, "newchap").first(), QString());
    const HttpResult second = m_server->get(QStringLiteral("/readerserver/ListUserBook.asp?uname=ABCD&page=2&rnt=x"));
    QCOMPARE(ServerFixture::texts(second.body, "pageinfo"), QStringList{"2,21,2,1,2"});
    QCOMPARE(ServerFixture::texts(second.body, "checkif"), QStringList{"2"});
    const HttpResult nobody = m_server->get(QStringLiteral("/readerserver/ListUserBook.asp?uname=nobody"));
    QVERIFY(ServerFixture::texts(nobody.body, "otherinfo").isEmpty());
}

void TestServerAccounts::rankings()
{
    auto& db = m_server->service().database();
    for (const char* name : {"aaa", "bbb", "ccc"})
        m_server->postForm(QByteArray("action=reg&userpass=abc&email=a%40b%2Ecom&username=") + name);
    db.addMoney(db.userByName("bbb")->id, 7);
    db.addMoney(db.userByName("ccc")->id, 3);
    m_server->get(QStringLiteral("/readerserver/userinfo.asp?action=login&username=ccc&password=abc&cookies=0"));
    const HttpResult gold = m_server->get(QStringLiteral("/ReaderServer/UserTop.asp?action=jb"));
    QCOMPARE(ServerFixture::texts(gold.body, "uname"), QStringList({"bbb", "ccc", "aaa"}));
    QCOMPARE(ServerFixture::texts(gold.body, "usermoney"), QStringList({"7", "3", "0"}));
    QCOMPARE(ServerFixture::childNames(gold.body, "uinfo"), QStringList({"uname", "usermoney"}));
    const HttpResult points = m_server->get(QStringLiteral("/ReaderServer/UserTop.asp?action=jf"));
    QCOMPARE(ServerFixture::texts(points.body, "uname").first(), QStringLiteral("ccc"));
    QCOMPARE(ServerFixture::childNames(points.body, "uinfo"), QStringList({"uname", "userpoint"}));
}

void TestServerAccounts::promotionVisits()
{
    QCOMPARE(m_server->signUpAndLogIn("abcd", "abcd"), QStringLiteral("1"));
    const HttpResult check = m_server->get(QStringLiteral("/readerserver/userinfo.asp?action=check"));
    const QUrl purl(ServerFixture::texts(check.body, "purl").value(0));
    QCOMPARE(purl.host(), QStringLiteral("127.0.0.1"));
    const QString path = purl.path() + "?" + purl.query();
    QCOMPARE(m_server->get(path).status, 200);
    QCOMPARE(m_server->get(path).status, 200); // same address, same day: no second coin
    QCOMPARE(m_server->service().database().userByName("abcd")->money, 1);
    QCOMPARE(m_server->get(QStringLiteral("/readerserver/promote.asp?uid=999")).status, 404);
    QCOMPARE(m_server->get(QStringLiteral("/readerserver/promote.asp?uid=x")).status, 404);
}

QTEST_GUILESS_MAIN(TestServerAccounts)
#include "tst_serveraccounts.moc"
