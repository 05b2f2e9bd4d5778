// The account side's plain rules: request addresses and bodies, what each window makes of
// a reply, the dialogs' checks, and the user panel's lists and pager.
#include "account/AccountForms.h"
#include "account/AccountReply.h"
#include "account/AccountRequests.h"
#include "account/Ranking.h"
#include "account/UserBookList.h"
#include "online/ReplyDocument.h"

#include <QtTest>

using Next = AccountReaction::Next;
Q_DECLARE_METATYPE(Next)
Q_DECLARE_METATYPE(AccountRequests::Registration)

class TestAccountLogic : public QObject {
    Q_OBJECT

private slots:
    void requestAddresses();
    void formBodies_data();
    void formBodies();

    void loginInfo_data();
    void loginInfo();
    void reactions_data();
    void reactions();
    void recordWithMissingElements();

    void registrationChecks_data();
    void registrationChecks();
    void loginAndProfileChecks();

    void userBookRows();
    void userBookDates_data();
    void userBookDates();
    void pager_data();
    void pager();
    void rankingInReplyOrder();
    void hostileListsAreBounded();
};

namespace {

const QString kBase = QStringLiteral("http://h");
const QDateTime kNow(QDate(2009, 3, 7), QTime(8, 5, 0));

ServiceReply xml(const QByteArray& body, int status = 200)
{
    ServiceReply r;
    r.status = status;
    r.contentType = "text/xml; charset=utf-8";
    r.body = body;
    return r;
}

AccountRequests::Registration registration(const QString& name, const QString& password,
                                           const QString& email = QStringLiteral("a@b.cn"))
{
    AccountRequests::Registration r;
    r.name = name;
    r.password = password;
    r.email = email;
    r.sex = QStringLiteral("保密");
    return r;
}

} // namespace

void TestAccountLogic::requestAddresses()
{
    using namespace AccountRequests;
    QCOMPARE(checkUrl(kBase, kNow),
             QStringLiteral("http://h/readerserver/userinfo.asp?action=check&rnt=2009/3/7 8:05:00"));
    QCOMPARE(logoutUrl(kBase, kNow),
             QStringLiteral("http://h/readerserver/userinfo.asp?action=loginout&rnt=2009/3/7 8:05:00"));
    // Trimmed, inserted as typed (Chinese included).
    QCOMPARE(loginUrl(kBase, QStringLiteral(" 张三 "), QStringLiteral(" pw1 "), true, kNow),
             QStringLiteral("http://h/readerserver/userinfo.asp?action=login&username=张三&password=pw1&cookies=1"
                            "&rnt=2009/3/7 8:05:00"));
    // Only what would change the address itself is escaped.
    QCOMPARE(loginUrl(kBase, QStringLiteral("abc"), QStringLiteral("a&b#c%d+e=f"), false, kNow),
             QStringLiteral("http://h/readerserver/userinfo.asp?action=login&username=abc&password=a%26b%23c%25d+e=f"
                            "&cookies=0&rnt=2009/3/7 8:05:00"));
    QCOMPARE(userBooksUrl(kBase, QStringLiteral("张三"), std::nullopt, kNow),
             QStringLiteral("http://h/readerserver/ListUserBook.asp?uname=张三&rnt=2009/3/7 8:05:00"));
    QCOMPARE(userBooksUrl(kBase, QStringLiteral("张三"), QStringLiteral("2"), kNow),
             QStringLiteral("http://h/readerserver/ListUserBook.asp?uname=张三&page=2&rnt=2009/3/7 8:05:00"));
    QCOMPARE(rankingUrl(kBase, QStringLiteral("jf")), QStringLiteral("http://h/ReaderServer/UserTop.asp?action=jf"));
    QCOMPARE(rankingUrl(kBase, QStringLiteral("jb")), QStringLiteral("http://h/ReaderServer/UserTop.asp?action=jb"));
    QCOMPARE(newsUrl(kBase), QStringLiteral("http://h/readerserver/NewsInfo.asp"));
    QCOMPARE(uploadUrl(kBase), QStringLiteral("http://h/readerserver/uploadbook.asp"));
}

void TestAccountLogic::formBodies_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("expected");

    AccountRequests::Registration reg;
    reg.name = QStringLiteral(" 张三_1 ");
    reg.password = QStringLiteral("ab 1");
    reg.email = QStringLiteral("a@b.cn");
    reg.sex = QStringLiteral("保密");
    QTest::newRow("registration, optional fields empty")
        << AccountRequests::registrationBody(reg)
        << QByteArray("action=reg&username=%D5%C5%C8%FD%5F%31&userpass=ab%20%31&email=a%40b%2Ecn&sex=%B1%A3%C3%DC"
                      "&qq=&anwser=&question=");
    reg.qq = QStringLiteral("12");
    reg.answer = QStringLiteral("x\n"); // the line feed goes with the trimming
    reg.question = QStringLiteral("你的宠物叫什么?");
    reg.sex = QStringLiteral("男");
    QTest::newRow("registration, every field")
        << AccountRequests::registrationBody(reg)
        << QByteArray("action=reg&username=%D5%C5%C8%FD%5F%31&userpass=ab%20%31&email=a%40b%2Ecn&sex=%C4%D0"
                      "&qq=%31%32&anwser=x&question=%C4%E3%B5%C4%B3%E8%CE%EF%BD%D0%CA%B2%C3%B4%3F");

    AccountRequests::ProfileChange edit;
    edit.userId = QStringLiteral("42");
    edit.email = QStringLiteral("b@c.cn");
    edit.sex = QStringLiteral("女");
    QTest::newRow("profile, password and answer kept")
        << AccountRequests::profileBody(edit)
        << QByteArray("action=edit&userid=42&userpass=&email=b%40c%2Ecn&sex=%C5%AE&qq=&anwser=");
    edit.password = QStringLiteral("new1");
    edit.answer = QStringLiteral("猫");
    edit.qq = QStringLiteral("9");
    QTest::newRow("profile, new password and answer")
        << AccountRequests::profileBody(edit)
        << QByteArray("action=edit&userid=42&userpass=new%31&email=b%40c%2Ecn&sex=%C5%AE&qq=%39&anwser=%C3%A8");
}

void TestAccountLogic::formBodies()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, expected);
    QCOMPARE(body, expected);
}

void TestAccountLogic::loginInfo_data()
{
    QTest::addColumn<ServiceReply>("reply");
    QTest::addColumn<bool>("read");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("code and message") << xml("<userbase><logininfo>1|欢迎回来</logininfo></userbase>") << true << "1"
                                      << QStringLiteral("欢迎回来");
    QTest::newRow("only the first userbase") << xml("<r><userbase><logininfo>0|甲</logininfo></"
                                                    "userbase><userbase><logininfo>1|乙</logininfo></userbase></r>")
                                             << true << "0" << QStringLiteral("甲");
    QTest::newRow("without a bar") << xml("<userbase><logininfo>2</logininfo></userbase>") << true << "2"
                                   << "";
    QTest::newRow("a second bar ends the message")
        << xml("<userbase><logininfo>0|a|b</logininfo></userbase>") << true << "0"
        << "a";
    QTest::newRow("status 206") << xml("<userbase><logininfo>1|x</logininfo></userbase>", 206) << false << ""
                                << "";
    QTest::newRow("not a document") << xml("<html><body>Server Error") << false << ""
                                    << "";
    QTest::newRow("no logininfo") << xml("<userbase><uid>1</uid></userbase>") << false << ""
                                  << "";
    QTest::newRow("no userbase") << xml("<logininfo>1|x</logininfo>") << false << ""
                                 << "";
}

void TestAccountLogic::loginInfo()
{
    QFETCH(ServiceReply, reply);
    QFETCH(bool, read);
    QFETCH(QString, code);
    QFETCH(QString, message);
    const auto info = AccountReply::readLoginInfo(reply);
    QCOMPARE(info.has_value(), read);
    if (info) {
        QCOMPARE(info->code, code);
        QCOMPARE(info->message, message);
    }
}

void TestAccountLogic::reactions_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("title"); // empty: no box
    QTest::addColumn<int>("style");
    QTest::addColumn<Next>("next");
    const QString bye = QStringLiteral("已安全退出，欢迎下次光临！");
    QTest::newRow("login refused") << "login"
                                   << "0"
                                   << "错"
                                   << "请先登录" << 48 << Next::Nothing;
    QTest::newRow("login accepted") << "login"
                                    << "1"
                                    << "好"
                                    << "欢迎登录" << 64 << Next::OpenUserPanel;
    QTest::newRow("login, other code") << "login"
                                       << "2"
                                       << "x"
                                       << "" << 0 << Next::Nothing;
    QTest::newRow("registration refused") << "reg"
                                          << "0"
                                          << "重名"
                                          << "注册失败" << 16 << Next::Nothing;
    QTest::newRow("registered") << "reg"
                                << "1"
                                << "好"
                                << "欢迎注册" << 64 << Next::OpenLogin;
    QTest::newRow("registration, other code") << "reg"
                                              << "7"
                                              << "x"
                                              << "" << 0 << Next::Nothing;
    QTest::newRow("panel, logged out") << "panel"
                                       << "0" << bye << "请先登录" << 48 << Next::ClosePanel;
    QTest::newRow("panel, not logged in") << "panel"
                                          << "0"
                                          << "请先登录！"
                                          << "请先登录" << 48 << Next::ClosePanelAndOpenLogin;
    QTest::newRow("panel, record") << "panel"
                                   << "1"
                                   << "张三"
                                   << "" << 0 << Next::FillRecord;
    QTest::newRow("panel, changed") << "panel"
                                    << "2"
                                    << "改好了"
                                    << "修改成功" << 64 << Next::RefreshRecord;
    QTest::newRow("panel, change refused for its input") << "panel"
                                                         << "3"
                                                         << "Email不对"
                                                         << "修改失败" << 16 << Next::Nothing;
    QTest::newRow("panel, other code") << "panel"
                                       << "9"
                                       << "x"
                                       << "" << 0 << Next::Nothing;
}

void TestAccountLogic::reactions()
{
    QFETCH(QString, window);
    QFETCH(QString, code);
    QFETCH(QString, message);
    QFETCH(QString, title);
    QFETCH(int, style);
    QFETCH(Next, next);
    const LoginInfo info{code, message};
    const AccountReaction r = window == "login" ? AccountReply::forLoginDialog(info)
                              : window == "reg" ? AccountReply::forRegistrationDialog(info)
                                                : AccountReply::forUserPanel(info);
    QCOMPARE(r.next, next);
    QCOMPARE(r.box.has_value(), !title.isEmpty());
    if (r.box) {
        QCOMPARE(r.box->text, message);
        QCOMPARE(r.box->title, title);
        QCOMPARE(r.box->style, style);
    }
}

void TestAccountLogic::recordWithMissingElements()
{
    const AccountRecord r = AccountReply::readRecord(
        xml("<userbase><logininfo>1|x</logininfo><uid>7</uid><uname>张三</uname><sex>男</sex>"
            "<uploadlimit>1048576</uploadlimit></userbase><userbase><uid>8</uid><qq>9</qq></userbase>"));
    QCOMPARE(r.uid, QStringLiteral("7"));
    QCOMPARE(r.uname, QStringLiteral("张三"));
    QCOMPARE(r.sex, QStringLiteral("男"));
    QCOMPARE(r.qq, QString()); // the second userbase is not read
    QCOMPARE(r.purl, QString());
    QCOMPARE(r.uploadLimit, 1048576);
    QCOMPARE(AccountReply::readRecord(xml("<userbase><uploadlimit>lots</uploadlimit></userbase>")).uploadLimit, 0);
}

void TestAccountLogic::registrationChecks_data()
{
    QTest::addColumn<AccountRequests::Registration>("form");
    QTest::addColumn<QString>("repeat");
    QTest::addColumn<QString>("message"); // empty: passes
    QTest::addColumn<bool>("clearPasswords");
    const QString email = QStringLiteral("你输入的Email地址不合法，请重新输入！");
    const QString length = QStringLiteral("用户名不能带有特殊符号！\r\n可由汉字、字母、数字和下划线任意3至14位组合！");
    const QString chars = QStringLiteral("用户名不能带有特殊符号！\r\n可由汉字、字母、数字和下划线任意2至10位组合！");
    QTest::newRow("at sign first") << registration("a-b", "pw", "@bc.d") << "x" << email << false;
    QTest::newRow("no full stop from the third character")
        << registration("a-b", "pw", "a.@bc") << "x" << email << false;
    QTest::newRow("ends with a full stop") << registration("a-b", "pw", "a@b.c.") << "x" << email << false;
    QTest::newRow("empty e-mail") << registration("abc", "pw1", "") << "pw1" << email << false;
    QTest::newRow("two Chinese characters") << registration("张三", "pw1") << "pw1" << length << false;
    QTest::newRow("fifteen characters") << registration("abcdefghijklmno", "pw1") << "pw1" << length << false;
    QTest::newRow("blank name") << registration("   ", "pw1") << "pw1" << length << false;
    QTest::newRow("hyphen inside") << registration("ab-cd", "pw1") << "pw1" << chars << false;
    QTest::newRow("blank inside") << registration("ab cd", "pw1") << "pw1" << chars << false;
    QTest::newRow("password of two") << registration("abc", "pw") << "pw"
                                     << QStringLiteral("你输入的密码长度太短（至少3位），请重新输入！") << true;
    QTest::newRow("repetition differs") << registration("abc", "pw1") << "pw2"
                                        << QStringLiteral("你两次输入密码有误，请重新输入！") << true;
    QTest::newRow("three Chinese characters") << registration("张三丰", "pw1") << "pw1"
                                              << "" << false;
    QTest::newRow("fourteen characters") << registration("abcdefghijklm_", "pw1") << "pw1"
                                         << "" << false;
    QTest::newRow("full-width punctuation") << registration("张三，", "pw1") << "pw1"
                                            << "" << false;
    QTest::newRow("e-mail full stop before the at sign") << registration("abc", "pw1", "ab.c@d") << " pw1 "
                                                         << "" << false;
}

void TestAccountLogic::registrationChecks()
{
    QFETCH(AccountRequests::Registration, form);
    QFETCH(QString, repeat);
    QFETCH(QString, message);
    QFETCH(bool, clearPasswords);
    const auto error = AccountForms::checkRegistration(form, repeat);
    QCOMPARE(error.has_value(), !message.isEmpty());
    if (error) {
        QCOMPARE(error->box.text, message);
        QCOMPARE(error->box.title, QStringLiteral("填写有误"));
        QCOMPARE(error->box.style, 16);
        QCOMPARE(error->clearPasswords, clearPasswords);
    }
}

void TestAccountLogic::loginAndProfileChecks()
{
    for (const auto& pair :
         {qMakePair(QString(), QStringLiteral("pw")), qMakePair(QStringLiteral("  "), QStringLiteral("pw")),
          qMakePair(QStringLiteral("abc"), QStringLiteral(" "))}) {
        const auto error = AccountForms::checkLogin(pair.first, pair.second);
        QVERIFY(error);
        QCOMPARE(error->box.text, QStringLiteral("用户名或密码不能为空！"));
        QCOMPARE(error->box.title, QStringLiteral("登录失败"));
        QCOMPARE(error->box.style, 16);
    }
    QVERIFY(!AccountForms::checkLogin(QStringLiteral("abc"), QStringLiteral("p")));

    AccountRequests::ProfileChange change;
    change.email = QStringLiteral("nope");
    const auto error = AccountForms::checkProfile(change);
    QVERIFY(error);
    QCOMPARE(error->box.text, QStringLiteral("你输入的Email地址不合法，请重新输入！"));
    QCOMPARE(error->box.title, QStringLiteral("填写有误"));
    change.email = QStringLiteral("a@b.cn"); // nothing else is looked at
    QVERIFY(!AccountForms::checkProfile(change));
    QCOMPARE(AccountForms::sexText(false, false), QStringLiteral("保密"));
}

void TestAccountLogic::userBookRows()
{
    const ReplyDocument doc = ReplyDocument::load(
        "<booklist><bookinfo><id>3</id><name>甲</name><class>武侠仙侠</class><statue>连载</statue>"
        "<newchap>第十章</newchap><ftime>2009-03-07 08:05:00</ftime><checkif>1</checkif></bookinfo>"
        "<bookinfo><id>4</id><name>乙</name><class>其他分类</class><statue>全集</statue><newchap>尾声</newchap>"
        "<ftime>2010-12-31 23:59:59</ftime><checkif>2</checkif></bookinfo>"
        "<bookinfo><id>5</id><name>丙</name><statue>连载</statue><checkif>0</checkif></bookinfo>"
        "<otherinfo><pageinfo>3,45,2,1,3</pageinfo></otherinfo></booklist>");
    const UserBookReply reply = UserBookList::read(doc);
    QCOMPARE(reply.rows.size(), 3);
    QCOMPARE(reply.rows[0].state, QStringLiteral("连载：第十章"));
    QCOMPARE(reply.rows[0].date, QStringLiteral("2009/3/7"));
    QCOMPARE(reply.rows[0].review, QStringLiteral("已审核"));
    QCOMPARE(reply.rows[0].reviewColor, QColor(0, 128, 0));
    QCOMPARE(reply.rows[1].state, QStringLiteral("全集"));
    QCOMPARE(reply.rows[1].review, QStringLiteral("审核未通过"));
    QCOMPARE(reply.rows[1].reviewColor, QColor(255, 0, 0));
    // A record without some children shows them empty.
    QCOMPARE(reply.rows[2].category, QString());
    QCOMPARE(reply.rows[2].state, QStringLiteral("连载："));
    QCOMPARE(reply.rows[2].review, QStringLiteral("待审核"));
    QCOMPARE(reply.rows[2].reviewColor, QColor(128, 128, 128));
    QVERIFY(reply.pages);
    QCOMPARE(reply.pages->total, QStringLiteral("3"));
    QCOMPARE(reply.pages->current, QStringLiteral("2"));
    QCOMPARE(reply.pages->previous, QStringLiteral("1"));
    QCOMPARE(reply.pages->next, QStringLiteral("3"));
    QCOMPARE(reply.pages->status(), QStringLiteral("2/3"));

    QVERIFY(!UserBookList::read(ReplyDocument::load("<booklist/>")).pages);
}

void TestAccountLogic::userBookDates_data()
{
    QTest::addColumn<QString>("ftime");
    QTest::addColumn<QString>("shown");
    QTest::newRow("service form") << "2009-03-07 08:05:00"
                                  << "2009/3/7";
    QTest::newRow("general date") << "2009/3/7 8:05:00"
                                  << "2009/3/7";
    QTest::newRow("date only") << "2021-11-20"
                               << "2021/11/20";
    QTest::newRow("not a time") << "昨天"
                                << "昨天";
}

void TestAccountLogic::userBookDates()
{
    QFETCH(QString, ftime);
    QFETCH(QString, shown);
    QCOMPARE(UserBookList::dateText(ftime), shown);
}

void TestAccountLogic::pager_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("page"); // empty: refused
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("clearBox");
    QTest::newRow("first, on page 1") << "first"
                                      << "1"
                                      << "1"
                                      << ""
                                      << ""
                                      << "当前已是第一页!" << false;
    QTest::newRow("previous, on page 1") << "previous"
                                         << "1"
                                         << "1"
                                         << ""
                                         << ""
                                         << "前面没有了，当前已是第一页!" << false;
    QTest::newRow("next, on the last") << "next"
                                       << "1"
                                       << "1"
                                       << ""
                                       << ""
                                       << "后面没有了，当前已是最后一页!" << false;
    QTest::newRow("last, on the last") << "last"
                                       << "1"
                                       << "1"
                                       << ""
                                       << ""
                                       << "当前已是最后一页!" << false;
    QTest::newRow("first, on page 2") << "first"
                                      << "2"
                                      << "3"
                                      << ""
                                      << "1"
                                      << "" << false;
    QTest::newRow("previous, on page 2") << "previous"
                                         << "2"
                                         << "3"
                                         << ""
                                         << "1"
                                         << "" << false;
    QTest::newRow("next, on page 2") << "next"
                                     << "2"
                                     << "3"
                                     << ""
                                     << "3"
                                     << "" << false;
    QTest::newRow("last, on page 2") << "last"
                                     << "2"
                                     << "3"
                                     << ""
                                     << "3"
                                     << "" << false;
    const QString outside = QStringLiteral("输入的页码有误,一共才3页,请重新输入!");
    QTest::newRow("go 0") << "go"
                          << "1"
                          << "3"
                          << "0"
                          << "" << outside << true;
    QTest::newRow("go -3") << "go"
                           << "1"
                           << "3"
                           << "-3"
                           << "" << outside << true;
    QTest::newRow("go 4") << "go"
                          << "1"
                          << "3"
                          << "4"
                          << "" << outside << true;
    QTest::newRow("go 2.7") << "go"
                            << "1"
                            << "3"
                            << " 2.7 "
                            << "2"
                            << "" << true;
    QTest::newRow("go 3") << "go"
                          << "1"
                          << "3"
                          << "3"
                          << "3"
                          << "" << true;
    QTest::newRow("go empty") << "go"
                              << "1"
                              << "3"
                              << " "
                              << ""
                              << "输入的页码有误,请重新输入!" << true;
    QTest::newRow("go letters") << "go"
                                << "1"
                                << "3"
                                << "二"
                                << ""
                                << "输入的页码有误,请重新输入!" << true;
    QTest::newRow("go inf") << "go"
                            << "1"
                            << "3"
                            << "inf"
                            << ""
                            << "输入的页码有误,请重新输入!" << true;
    // A service may claim any page count; no page beyond a whole number's range is asked for.
    QTest::newRow("go past 2^63") << "go"
                                  << "1"
                                  << "1e300"
                                  << "1e300"
                                  << ""
                                  << "输入的页码有误,请重新输入!" << true;
    QTest::newRow("go just below 2^63") << "go"
                                        << "1"
                                        << "1e300"
                                        << "9223372036854774784"
                                        << "9223372036854774784"
                                        << "" << true;
}

void TestAccountLogic::pager()
{
    QFETCH(QString, link);
    QFETCH(QString, current);
    QFETCH(QString, total);
    QFETCH(QString, box);
    QFETCH(QString, page);
    QFETCH(QString, message);
    QFETCH(bool, clearBox);
    UserBookPages pages;
    pages.current = current;
    pages.total = total;
    pages.previous = QString::number(std::max(1, current.toInt() - 1));
    pages.next = QString::number(std::min(total.toInt(), current.toInt() + 1));
    const PagerStep step = link == "first"      ? UserBookList::first(pages)
                           : link == "previous" ? UserBookList::previous(pages)
                           : link == "next"     ? UserBookList::next(pages)
                           : link == "last"     ? UserBookList::last(pages)
                                                : UserBookList::go(pages, box);
    QCOMPARE(step.page.value_or(QString()), page);
    QCOMPARE(step.box.has_value(), !message.isEmpty());
    if (step.box) {
        QCOMPARE(step.box->text, message);
        QCOMPARE(step.box->title, QString()); // the program's own caption
        QCOMPARE(step.box->style, 48);
    }
    QCOMPARE(step.clearBox, clearBox);
}

void TestAccountLogic::rankingInReplyOrder()
{
    const ReplyDocument doc =
        ReplyDocument::load("<usertop><uinfo><uname>丙</uname><usermoney>30</usermoney></uinfo><uinfo><uname>甲</uname>"
                            "<usermoney>20</usermoney></uinfo><uinfo><uname>乙</uname></uinfo></usertop>");
    const QList<RankingRow> rows = Ranking::read(doc, Ranking::goldKind());
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0].place, QStringLiteral("1"));
    QCOMPARE(rows[0].name, QStringLiteral("丙"));
    QCOMPARE(rows[0].figure, QStringLiteral("30"));
    QCOMPARE(rows[2].place, QStringLiteral("3"));
    QCOMPARE(rows[2].figure, QString());
    QCOMPARE(Ranking::read(doc, Ranking::pointsKind())[0].figure, QString()); // points read userpoint
}

void TestAccountLogic::hostileListsAreBounded()
{
    const QByteArray longText = QByteArray("长").repeated(100'000);
    QByteArray books = "<booklist>";
    QByteArray users = "<usertop>";
    for (int i = 0; i < 2000; ++i) {
        const QByteArray name = i == 0 ? longText : "书" + QByteArray::number(i);
        books += "<bookinfo><id>" + QByteArray::number(i) + "</id><name>" + name +
                 "</name><class>其他分类</class><statue>连载</statue><newchap>" +
                 (i == 1 ? longText : QByteArray("第十章")) +
                 "</newchap><ftime>2009-03-07</ftime><checkif>1</checkif></bookinfo>";
        users += "<uinfo><uname>" + name + "</uname><userpoint>1</userpoint></uinfo>";
    }
    const UserBookReply reply = UserBookList::read(ReplyDocument::load(books + "</booklist>"));
    QCOMPARE(reply.rows.size(), UserBookList::MaxRows);
    QCOMPARE(reply.rows[0].name.size(), kMaxShownChars);
    QVERIFY(reply.rows[0].name.endsWith(QChar(0x2026)));
    QCOMPARE(reply.rows[1].state.size(), kMaxShownChars);
    QCOMPARE(reply.rows[1].date, QStringLiteral("2009/3/7"));
    const QList<RankingRow> rows = Ranking::read(ReplyDocument::load(users + "</usertop>"), Ranking::pointsKind());
    QCOMPARE(rows.size(), kMaxListRecords);
    QCOMPARE(rows[0].name.size(), kMaxShownChars);
    QCOMPARE(rows[1].name, QStringLiteral("书1"));
}

QTEST_GUILESS_MAIN(TestAccountLogic)
#include "tst_accountlogic.moc"
