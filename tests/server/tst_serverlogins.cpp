// Wrong passwords: how many are checked, how long the next attempt waits, and who is never
// locked out; a new password ends the user's other sessions.
#include "LoginThrottle.h"
#include "RawClient.h"
#include "ServerFixture.h"

#include <QtTest>

#include <memory>

namespace {

using Outcome = LoginThrottle::Outcome;

// One finished attempt; returns how long the attempt had to wait (0 when it went ahead).
qint64 attempt(LoginThrottle& throttle, const QString& account, const QString& address, Outcome outcome, qint64 now)
{
    const LoginThrottle::Ticket ticket = throttle.begin(account, address, now);
    throttle.finish(account, address, ticket, outcome, now);
    return ticket.waitMs;
}

QByteArray loginRequest(const QByteArray& password, const QByteArray& extra = QByteArray())
{
    return "GET /readerserver/userinfo.asp?action=login&username=abcd&password=" + password +
           "&cookies=0 HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + extra + "\r\n";
}

} // namespace

class TestServerLogins : public QObject {
    Q_OBJECT

private slots:
    void delaysGrowAndStayCapped_data();
    void delaysGrowAndStayCapped();
    void attemptsUnderWayCount();
    void addressesCountAcrossAccounts();
    void knownAddressIsNotLockedOut();
    void successAndTimeForgive();
    void tablesStayBounded();

    void init();
    void cleanup();
    void wrongPasswordsAreLimited();
    void parallelGuessesCheckFewPasswords();
    void ownerLogsInDuringAnAttack();
    void passwordChangeEndsOtherSessions_data();
    void passwordChangeEndsOtherSessions();

private:
    // Logs in over a plain connection from `from`; returns the reply's message and sets the
    // session cookie, if any.
    QString logIn(const QByteArray& password, const char* from, QByteArray* cookie = nullptr);

    std::unique_ptr<ServerFixture> m_server;
};

void TestServerLogins::delaysGrowAndStayCapped_data()
{
    QTest::addColumn<bool>("sameAddress");
    QTest::addColumn<int>("free");
    QTest::addColumn<qint64>("cap");
    // Guesses from one address meet the account's count first; guesses spread over many
    // addresses meet it too, and it never grows past a minute.
    QTest::newRow("one address") << true << 5 << qint64(60 * 1000);
    QTest::newRow("many addresses") << false << 5 << qint64(60 * 1000);
}

void TestServerLogins::delaysGrowAndStayCapped()
{
    QFETCH(bool, sameAddress);
    QFETCH(int, free);
    QFETCH(qint64, cap);
    LoginThrottle throttle;
    qint64 now = 1000;
    int address = 0;
    auto next = [&] { return sameAddress ? QStringLiteral("10.0.0.1") : QStringLiteral("10.1.0.%1").arg(++address); };
    for (int i = 0; i < free; ++i)
        QCOMPARE(attempt(throttle, "victim", next(), Outcome::Failed, now), qint64(0));
    // Each further failure doubles the wait: 1 s, 2 s, 4 s ... up to the cap.
    QList<qint64> waits;
    for (int i = 0; i < 10; ++i) {
        const qint64 wait = throttle.begin("victim", next(), now).waitMs;
        QVERIFY(wait > 0);
        waits.append(wait);
        now += wait;
        QCOMPARE(attempt(throttle, "victim", next(), Outcome::Failed, now), qint64(0));
    }
    QCOMPARE(waits.mid(0, 4), QList<qint64>({1000, 2000, 4000, 8000}));
    QCOMPARE(waits.last(), cap);
    // Refused attempts do not lengthen the wait.
    for (int i = 0; i < 50; ++i)
        QVERIFY(throttle.begin("victim", next(), now + 10).waitMs > 0);
    QCOMPARE(throttle.begin("victim", next(), now + cap).waitMs, qint64(0));
}

void TestServerLogins::attemptsUnderWayCount()
{
    LoginThrottle throttle;
    QList<LoginThrottle::Ticket> underWay;
    for (int i = 0; i < 5; ++i) {
        underWay.append(throttle.begin("victim", "10.0.0.1", 0));
        QCOMPARE(underWay.last().waitMs, qint64(0));
    }
    // Five guesses are being checked: a sixth waits for their outcome.
    QVERIFY(throttle.begin("victim", "10.0.0.2", 0).waitMs > 0);
    for (const auto& ticket : underWay)
        throttle.finish("victim", "10.0.0.1", ticket, Outcome::Abandoned, 0);
    QCOMPARE(throttle.begin("victim", "10.0.0.2", 0).waitMs, qint64(0));
}

void TestServerLogins::addressesCountAcrossAccounts()
{
    LoginThrottle throttle;
    // Twenty guesses at twenty different names (existing or not) from one address are free.
    for (int i = 0; i < 20; ++i) {
        QCOMPARE(attempt(throttle, QStringLiteral("user%1").arg(i), "10.0.0.9",
                         i % 2 ? Outcome::Failed : Outcome::NoSuchAccount, 0),
                 qint64(0));
    }
    QVERIFY(throttle.begin("someone", "10.0.0.9", 0).waitMs > 0);
    QCOMPARE(throttle.begin("someone", "10.0.0.10", 0).waitMs, qint64(0));
    // Names that do not exist leave no entry of their own.
    QCOMPARE(throttle.entries(), 10 + 1 + 1);
}

void TestServerLogins::knownAddressIsNotLockedOut()
{
    LoginThrottle throttle;
    QCOMPARE(attempt(throttle, "Owner", "10.0.0.1", Outcome::Succeeded, 0), qint64(0));
    for (int i = 0; i < 40; ++i)
        attempt(throttle, "owner", QStringLiteral("10.2.0.%1").arg(i), Outcome::Failed, 10);
    QVERIFY(throttle.begin("owner", "10.2.0.99", 20).waitMs > 0);
    // Letter case does not make another account, and the owner's own address still gets in.
    const LoginThrottle::Ticket ticket = throttle.begin("OWNER", "10.0.0.1", 20);
    QCOMPARE(ticket.waitMs, qint64(0));
    QVERIFY(ticket.knownAddress);
    throttle.finish("OWNER", "10.0.0.1", ticket, Outcome::Succeeded, 20);
    // Guesses from the known address have a count of their own.
    for (int i = 0; i < 5; ++i)
        QCOMPARE(attempt(throttle, "owner", "10.0.0.1", Outcome::Failed, 30), qint64(0));
    QVERIFY(throttle.begin("owner", "10.0.0.1", 30).waitMs > 0);
}

void TestServerLogins::successAndTimeForgive()
{
    LoginThrottle::Rules rules;
    rules.forgetMs = 10 * 1000;
    LoginThrottle throttle(rules);
    for (int i = 0; i < 5; ++i)
        attempt(throttle, "a", "10.0.0.1", Outcome::Failed, 0);
    QVERIFY(throttle.begin("a", "10.0.0.2", 0).waitMs > 0);
    QCOMPARE(attempt(throttle, "a", "10.0.0.2", Outcome::Succeeded, 1000), qint64(0));
    QCOMPARE(throttle.begin("a", "10.0.0.3", 1000).waitMs, qint64(0));

    for (int i = 0; i < 5; ++i)
        attempt(throttle, "b", "10.0.0.5", Outcome::Failed, 0);
    QCOMPARE(throttle.begin("b", "10.0.0.5", 999).waitMs, qint64(1));
    // Old failures are dropped when the tables are tidied.
    for (int i = 0; i < 1100; ++i)
        throttle.begin("c", "10.0.0.6", 20 * 1000);
    QVERIFY(throttle.entries() <= 2);
}

void TestServerLogins::tablesStayBounded()
{
    LoginThrottle::Rules rules;
    rules.maxEntries = 400;
    LoginThrottle throttle(rules);
    for (int i = 0; i < 5000; ++i)
        attempt(throttle, "x", QStringLiteral("10.%1.%2.1").arg(i / 256).arg(i % 256), Outcome::NoSuchAccount, i);
    QVERIFY2(throttle.entries() <= 401, QByteArray::number(throttle.entries()).constData());
}

void TestServerLogins::init()
{
    m_server = std::make_unique<ServerFixture>();
    QVERIFY(m_server->start());
    QCOMPARE(ServerFixture::code(m_server->postForm("action=reg&username=abcd&userpass=abc1&email=a%40b%2Ecom").body),
             QStringLiteral("1"));
}

void TestServerLogins::cleanup()
{
    m_server.reset();
}

QString TestServerLogins::logIn(const QByteArray& password, const char* from, QByteArray* cookie)
{
    RawClient client(m_server->port(), from);
    if (!client.send(loginRequest(password)) || !client.waitForReply())
        return QStringLiteral("<no reply>");
    if (cookie)
        *cookie = client.header("set-cookie").split(';').value(0);
    return ServerFixture::texts(client.body(), QStringLiteral("logininfo")).value(0);
}

void TestServerLogins::wrongPasswordsAreLimited()
{
    QStringList replies;
    for (int i = 0; i < 12; ++i)
        replies.append(logIn("wrong", "127.0.0.5"));
    QCOMPARE(replies.count(QStringLiteral("0|用户名或密码错误，请重新输入！")), 5);
    QVERIFY2(replies.last().startsWith(QStringLiteral("0|登录失败次数太多，请")), qPrintable(replies.last()));
    // While the account waits, even the right password from an unknown address is refused
    // without being checked.
    QVERIFY(logIn("abc1", "127.0.0.6").contains(QStringLiteral("登录失败次数太多")));
}

void TestServerLogins::parallelGuessesCheckFewPasswords()
{
    // Thirty guesses at once: only the free ones are checked, the rest are refused at once.
    std::vector<std::unique_ptr<RawClient>> guesses;
    for (int i = 0; i < 30; ++i) {
        guesses.push_back(std::make_unique<RawClient>(m_server->port(), "127.0.0.7"));
        QVERIFY(guesses.back()->send(loginRequest("guess" + QByteArray::number(i))));
    }
    int checked = 0;
    int refused = 0;
    for (auto& guess : guesses) {
        QVERIFY(guess->waitForReply());
        const QString text = ServerFixture::texts(guess->body(), QStringLiteral("logininfo")).value(0);
        checked += text.contains(QStringLiteral("用户名或密码错误"));
        refused += text.contains(QStringLiteral("登录失败次数太多"));
    }
    QCOMPARE(checked + refused, 30);
    QVERIFY2(checked <= 5, QByteArray::number(checked).constData());
}

void TestServerLogins::ownerLogsInDuringAnAttack()
{
    QVERIFY(logIn("abc1", "127.0.0.8").startsWith(QLatin1String("1|")));
    for (int i = 0; i < 25; ++i)
        logIn("wrong", qPrintable(QStringLiteral("127.0.3.%1").arg(i % 3)));
    QVERIFY(logIn("abc1", "127.0.3.9").contains(QStringLiteral("登录失败次数太多")));
    // From the address the owner used before, the login goes through at once.
    QByteArray cookie;
    QVERIFY(logIn("abc1", "127.0.0.8", &cookie).startsWith(QLatin1String("1|")));
    QVERIFY(cookie.startsWith("QMSESSION="));
}

void TestServerLogins::passwordChangeEndsOtherSessions_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QString>("otherCode");
    QTest::newRow("new password") << QByteArray("%6E%65%77%31") << QStringLiteral("0");
    QTest::newRow("password kept") << QByteArray() << QStringLiteral("1");
}

void TestServerLogins::passwordChangeEndsOtherSessions()
{
    QFETCH(QByteArray, password);
    QFETCH(QString, otherCode);
    QByteArray elsewhere;
    QByteArray here;
    QVERIFY(logIn("abc1", "127.0.0.9", &elsewhere).startsWith(QLatin1String("1|")));
    QVERIFY(logIn("abc1", "127.0.0.10", &here).startsWith(QLatin1String("1|")));
    auto check = [&](const QByteArray& cookie) {
        RawClient client(m_server->port());
        client.send("GET /readerserver/userinfo.asp?action=check HTTP/1.1\r\nCookie: " + cookie + "\r\n\r\n");
        client.waitForReply();
        return client.body();
    };
    const QByteArray uid = ServerFixture::texts(check(here), QStringLiteral("uid")).value(0).toLatin1();
    const QByteArray form =
        "action=edit&userid=" + uid + "&userpass=" + password + "&email=a%40b%2Ecom&sex=&qq=&anwser=";
    RawClient edit(m_server->port());
    QVERIFY(edit.send("POST /readerserver/userinfo.asp HTTP/1.1\r\nCookie: " + here +
                      "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                      QByteArray::number(form.size()) + "\r\n\r\n" + form));
    QVERIFY(edit.waitForReply());
    QCOMPARE(ServerFixture::code(edit.body()), QStringLiteral("2"));
    QCOMPARE(ServerFixture::code(check(here)), QStringLiteral("1"));
    QCOMPARE(ServerFixture::code(check(elsewhere)), otherCode);
}

QTEST_GUILESS_MAIN(TestServerLogins)
#include "tst_serverlogins.moc"
