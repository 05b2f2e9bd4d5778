// What one client can hold of the service: bodies refused from their head, large bodies on
// disk, request heads against the clock, connections per address and in total, and the
// connection rules (Connection: close, a half-closed client, pipelining).
#include "RawClient.h"
#include "ServerFixture.h"

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QUrl>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

constexpr qint64 kUploadLimit = 1024 * 1024;

HttpLimits testLimits()
{
    HttpLimits limits;
    limits.maxConnections = 8;
    limits.maxConnectionsPerAddress = 4;
    limits.headMilliseconds = 600;
    limits.keepAliveMilliseconds = 1200;
    limits.stallMilliseconds = 3000;
    limits.lingerMilliseconds = 300;
    // Room for two bodies of the largest size from one address, eight in total.
    limits.bodyBytesPerAddress = 2 * kUploadLimit;
    limits.bodyBytesInFlight = 8 * kUploadLimit;
    return limits;
}

QByteArray get(const QByteArray& target, const QByteArray& extra = QByteArray())
{
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n";
}

QByteArray postHead(const QByteArray& path, qint64 length, const QByteArray& extra = QByteArray())
{
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: multipart/form-data\r\n" + extra +
           "Content-Length: " + QByteArray::number(length) + "\r\n\r\n";
}

qint64 residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}

} // namespace

class TestServerLimits : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void bodyRefusedFromTheHead_data();
    void bodyRefusedFromTheHead();
    void largeBodyGoesToATemporaryFile();
    void earlyRefusalReachesAnHttpStack();
    void bodiesBeyondTheBudgetAreRefused();
    void expectContinue();
    void headMustArriveInTime();
    void idleConnectionCloses();
    void waitingConnectionsMakeRoom();
    void busyConnectionsAreNotCut();
    void totalLimitMakesRoomToo();
    void connectionHeader_data();
    void connectionHeader();
    void halfClosedClientIsAnswered_data();
    void halfClosedClientIsAnswered();
    void pipelinedRequestsInOrder();
    void busyClientDoesNotHoldOthersUp();
    void stalledDownloadsHoldNoMemory();
    void vanishingClientsDoNotEndTheService();

private:
    QByteArray logIn(); // the session cookie of a fresh user
    QString importBook(qint64 bytes);

    std::unique_ptr<ServerFixture> m_server;
};

void TestServerLimits::init()
{
    m_server = std::make_unique<ServerFixture>();
    QVERIFY(m_server->start(kUploadLimit, testLimits()));
}

void TestServerLimits::cleanup()
{
    m_server.reset();
}

QByteArray TestServerLimits::logIn()
{
    m_server->postForm("action=reg&username=abcd&userpass=abc1&email=a%40b%2Ecom");
    const HttpResult login =
        m_server->get(QStringLiteral("/readerserver/userinfo.asp?action=login&username=abcd&password=abc1&cookies=0"));
    return ServerFixture::sessionCookie(login);
}

QString TestServerLimits::importBook(qint64 bytes)
{
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/limits-XXXXXX.txt"));
    if (!file.open())
        return {};
    file.write(QByteArray(int(bytes), 'a'));
    file.close();
    auto admin = m_server->admin();
    if (!admin || !admin->importBook(file.fileName(), QStringLiteral("其他分类"), QStringLiteral("大书"),
                                     QStringLiteral("某人"), QStringLiteral("全集"), QString()))
        return {};
    const HttpResult list =
        m_server->get(QStringLiteral("/readerserver/listbook.asp?action=list&type=%1").arg(QStringLiteral("其他分类")));
    // The download path ends in the book's title: sent percent-encoded, as an HTTP stack does.
    return QString::fromLatin1(
        QUrl::toPercentEncoding(ServerFixture::texts(list.body, QStringLiteral("downurl")).value(0), "/"));
}

void TestServerLimits::bodyRefusedFromTheHead_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<bool>("loggedIn");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text"); // the start of a GB2312 upload reply, when there is one
    QTest::newRow("body for the catalogue")
        << postHead("/readerserver/listbook.asp", 64 << 20) << false << 400 << QString();
    QTest::newRow("body with a download")
        << QByteArray("GET /files/x.txt HTTP/1.1\r\nContent-Length: 10\r\n\r\n") << false << 400 << QString();
    QTest::newRow("account form too long")
        << postHead("/readerserver/userinfo.asp", 1 << 20) << false << 413 << QString();
    QTest::newRow("upload far over the limit")
        << postHead("/readerserver/uploadbook.asp", 64 << 20) << true << 413 << QStringLiteral("0|上传的文件太大");
    QTest::newRow("upload without a login")
        << postHead("/readerserver/uploadbook.asp", 512 * 1024) << false << 200 << QStringLiteral("0|你还没有登录");
    QTest::newRow("body of unknown length")
        << QByteArray("POST /readerserver/uploadbook.asp HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n") << true << 411
        << QString();
    QTest::newRow("head too long") << get("/", "X-Filler: " + QByteArray(9000, 'x') + "\r\n") << false << 431
                                   << QString();
}

void TestServerLimits::bodyRefusedFromTheHead()
{
    QFETCH(QByteArray, head);
    QFETCH(bool, loggedIn);
    QFETCH(int, status);
    QFETCH(QString, text);
    if (loggedIn)
        head.replace("Host: 127.0.0.1\r\n", "Host: 127.0.0.1\r\nCookie: " + logIn() + "\r\n");
    // Only the head is sent: the answer must not wait for a body that never comes.
    RawClient client(m_server->port());
    QVERIFY(client.send(head));
    QVERIFY2(client.waitForReply(3000), client.received().left(200).constData());
    QCOMPARE(client.status(), status);
    if (!text.isEmpty())
        QVERIFY2(TextCodec::decodeGbk(client.body()).value_or(QString()).startsWith(text), client.body().constData());
    QCOMPARE(client.header("connection"), QByteArray("close"));
    QVERIFY(client.waitForClose());
    QCOMPARE(QDir(m_server->dataDir() + "/tmp").entryList(QDir::Files).size(), 0);
}

void TestServerLimits::largeBodyGoesToATemporaryFile()
{
    const QByteArray cookie = logIn();
    const QByteArray body = ServerFixture::uploadBody(
        ServerFixture::uploadFields(QStringLiteral("abcd"), QStringLiteral("磁盘上的书")), QByteArray(600 * 1024, 'b'));
    RawClient client(m_server->port());
    QVERIFY(client.send(postHead("/readerserver/uploadbook.asp", body.size(), "Cookie: " + cookie + "\r\n")));
    QVERIFY(client.send(body.left(300 * 1024)));
    // The half that arrived lies in a temporary file, not in memory.
    const QDir tmp(m_server->dataDir() + "/tmp");
    QVERIFY(QTest::qWaitFor([&] {
        const QFileInfoList parts = tmp.entryInfoList(QDir::Files);
        return parts.size() == 1 && parts.first().size() >= 300 * 1024;
    }));
    QVERIFY(client.send(body.mid(300 * 1024)));
    QVERIFY(client.waitForReply());
    QVERIFY2(client.body().startsWith("1|"), client.body().constData());
    QVERIFY(QTest::qWaitFor([&] { return tmp.entryList(QDir::Files).isEmpty(); }));
    // The stored book holds exactly the file part.
    const auto pending = m_server->service().database().pendingBooks();
    QCOMPARE(pending.size(), 1);
    QFile stored(m_server->dataDir() + "/files/" + pending.first().file);
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QCOMPARE(stored.readAll(), QByteArray(600 * 1024, 'b'));
}

void TestServerLimits::earlyRefusalReachesAnHttpStack()
{
    // The reader's HTTP stack is still sending the body when the refusal comes: it must see
    // the refusal, not a broken connection.
    const QByteArray body = ServerFixture::uploadBody(
        ServerFixture::uploadFields(QStringLiteral("abcd"), QStringLiteral("没登录的书")), QByteArray(900 * 1024, 'c'));
    const HttpResult anonymous = m_server->upload(body);
    QCOMPARE(anonymous.status, 200);
    QVERIFY2(anonymous.text().startsWith(QStringLiteral("0|你还没有登录")), qPrintable(anonymous.text()));
    logIn();
    const HttpResult huge = m_server->upload(QByteArray(8 * 1024 * 1024, 'd'));
    QCOMPARE(huge.status, 413);
    QVERIFY2(huge.text().startsWith(QStringLiteral("0|上传的文件太大")), qPrintable(huge.text()));
}

void TestServerLimits::bodiesBeyondTheBudgetAreRefused()
{
    const QByteArray cookie = "Cookie: " + logIn() + "\r\n";
    const qint64 announced = kUploadLimit; // the largest body taken
    std::vector<std::unique_ptr<RawClient>> uploads;
    for (int i = 0; i < 2; ++i) {
        uploads.push_back(std::make_unique<RawClient>(m_server->port(), "127.0.0.2"));
        QVERIFY(uploads.back()->send(postHead("/readerserver/uploadbook.asp", announced, cookie) + "--"));
    }
    QVERIFY(QTest::qWaitFor([&] { return QDir(m_server->dataDir() + "/tmp").entryList(QDir::Files).size() == 2; }));
    // A third body from the same address would exceed its share: refused at once.
    RawClient third(m_server->port(), "127.0.0.2");
    QVERIFY(third.send(postHead("/readerserver/uploadbook.asp", announced, cookie)));
    QVERIFY(third.waitForReply(3000));
    QCOMPARE(third.status(), 503);
    QVERIFY(!third.header("retry-after").isEmpty());
    // Another address still has its share, and a finished body frees its own.
    RawClient other(m_server->port(), "127.0.0.3");
    QVERIFY(other.send(postHead("/readerserver/uploadbook.asp", announced, cookie) + "--"));
    uploads.front().reset();
    QVERIFY(QTest::qWaitFor([&] { return QDir(m_server->dataDir() + "/tmp").entryList(QDir::Files).size() == 2; }));
    RawClient fourth(m_server->port(), "127.0.0.2");
    QVERIFY(fourth.send(postHead("/readerserver/uploadbook.asp", announced, cookie) + "--"));
    QTest::qWait(200);
    fourth.poll();
    QVERIFY2(fourth.received().isEmpty(), fourth.received().constData());
    QCOMPARE(QDir(m_server->dataDir() + "/tmp").entryList(QDir::Files).size(), 3);
}

void TestServerLimits::expectContinue()
{
    const QByteArray form = "action=reg&username=abcd&userpass=abc1&email=a%40b%2Ecom";
    RawClient client(m_server->port());
    QVERIFY(client.send("POST /readerserver/userinfo.asp HTTP/1.1\r\nHost: x\r\nExpect: 100-continue\r\n"
                        "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                        QByteArray::number(form.size()) + "\r\n\r\n"));
    QVERIFY(client.waitFor([&] { return client.received().contains("\r\n\r\n"); }, 3000));
    QVERIFY(client.received().startsWith("HTTP/1.1 100 Continue\r\n\r\n"));
    QVERIFY(client.send(form));
    QVERIFY(client.waitForReply());
    QCOMPARE(client.status(), 200);
    QCOMPARE(ServerFixture::code(client.body()), QStringLiteral("1"));
}

void TestServerLimits::headMustArriveInTime()
{
    // One byte every 100 ms keeps the connection busy but never finishes the head: it ends
    // when the head's time is up, not when the client stops sending.
    RawClient client(m_server->port());
    const QByteArray head = get("/readerserver/NewsInfo.asp", "X-Slow: " + QByteArray(100, 'x') + "\r\n");
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < head.size() - 2 && !client.closed(); ++i) {
        client.send(head.mid(i, 1));
        QTest::qWait(100);
        client.poll();
    }
    QVERIFY(client.closed());
    QVERIFY2(clock.elapsed() < 2500, QByteArray::number(clock.elapsed()).constData());
    QCOMPARE(client.status(), 408);
    // Meanwhile, and afterwards, a normal client is served.
    QCOMPARE(m_server->get(QStringLiteral("/readerserver/NewsInfo.asp")).status, 200);
}

void TestServerLimits::idleConnectionCloses()
{
    RawClient silent(m_server->port());
    RawClient kept(m_server->port());
    QVERIFY(kept.send(get("/readerserver/NewsInfo.asp")));
    QVERIFY(kept.waitForReply());
    QVERIFY(!kept.closed());
    // A connection that never sends a byte goes when the head's time is up, a kept-alive one
    // after its idle time.
    QVERIFY(silent.waitForClose(2000));
    QVERIFY(!kept.closed());
    QVERIFY(kept.waitForClose(3000));
    QVERIFY(silent.received().isEmpty());
}

void TestServerLimits::waitingConnectionsMakeRoom()
{
    std::vector<std::unique_ptr<RawClient>> idle;
    for (int i = 0; i < 4; ++i) {
        idle.push_back(std::make_unique<RawClient>(m_server->port(), "127.0.0.2"));
        QTest::qWait(20);
    }
    QTRY_COMPARE(m_server->http().connectionCount(), 4);
    // The address is at its limit; a fifth connection takes the place of the oldest idle one.
    RawClient fifth(m_server->port(), "127.0.0.2");
    QVERIFY(fifth.send(get("/readerserver/NewsInfo.asp")));
    QVERIFY(fifth.waitForReply());
    QCOMPARE(fifth.status(), 200);
    QVERIFY(idle.front()->waitForClose(1000));
    for (size_t i = 1; i < idle.size(); ++i) {
        idle[i]->poll();
        QVERIFY(!idle[i]->closed());
    }
}

void TestServerLimits::busyConnectionsAreNotCut()
{
    const QString url = importBook(16 * 1024 * 1024);
    QVERIFY(!url.isEmpty());
    // Four downloads the client does not read: they stay being answered, never cut for others.
    std::vector<std::unique_ptr<RawClient>> stalled;
    for (int i = 0; i < 4; ++i) {
        stalled.push_back(std::make_unique<RawClient>(m_server->port(), "127.0.0.3", 4096));
        QVERIFY(stalled.back()->send(get(url.toLatin1())));
    }
    QTRY_COMPARE(m_server->http().connectionCount(), 4);
    QTest::qWait(100);
    RawClient refused(m_server->port(), "127.0.0.3");
    QVERIFY(refused.waitForClose(2000));
    QVERIFY(refused.received().isEmpty());
    for (auto& download : stalled) {
        download->poll();
        QVERIFY(!download->closed());
    }
    // Other addresses are served meanwhile.
    RawClient other(m_server->port(), "127.0.0.4");
    QVERIFY(other.send(get("/readerserver/NewsInfo.asp")));
    QVERIFY(other.waitForReply());
    QCOMPARE(other.status(), 200);
    // A stalled download ends after the stall time.
    QVERIFY(stalled.front()->waitForClose(6000));
}

void TestServerLimits::totalLimitMakesRoomToo()
{
    std::vector<std::unique_ptr<RawClient>> idle;
    for (int i = 0; i < 8; ++i) {
        idle.push_back(std::make_unique<RawClient>(m_server->port(), qPrintable(QStringLiteral("127.0.1.%1").arg(i))));
        QTest::qWait(20);
    }
    QTRY_COMPARE(m_server->http().connectionCount(), 8);
    QCOMPARE(m_server->get(QStringLiteral("/readerserver/NewsInfo.asp")).status, 200);
    QVERIFY(idle.front()->waitForClose(1000));
    QVERIFY(m_server->http().connectionCount() <= 8);
}

void TestServerLimits::connectionHeader_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QByteArray>("connection");
    QTest::newRow("HTTP/1.1") << get("/readerserver/NewsInfo.asp") << false << QByteArray();
    QTest::newRow("HTTP/1.1, close") << get("/readerserver/NewsInfo.asp", "Connection: close\r\n") << true
                                     << QByteArray("close");
    QTest::newRow("HTTP/1.0") << QByteArray("GET /readerserver/NewsInfo.asp HTTP/1.0\r\n\r\n") << true
                              << QByteArray("close");
    QTest::newRow("HTTP/1.0, keep-alive")
        << QByteArray("GET /readerserver/NewsInfo.asp HTTP/1.0\r\nConnection: keep-alive\r\n\r\n") << false
        << QByteArray("keep-alive");
}

void TestServerLimits::connectionHeader()
{
    QFETCH(QByteArray, request);
    QFETCH(bool, closes);
    QFETCH(QByteArray, connection);
    RawClient client(m_server->port());
    QVERIFY(client.send(request));
    QVERIFY(client.waitForReply());
    QCOMPARE(client.status(), 200);
    QCOMPARE(client.header("connection"), connection);
    if (closes) {
        QVERIFY(client.waitForClose(1000));
    } else {
        QTest::qWait(200);
        client.poll();
        QVERIFY(!client.closed());
    }
}

void TestServerLimits::halfClosedClientIsAnswered_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("news page") << get("/readerserver/NewsInfo.asp");
    // A login is answered from a worker thread, after the client has long stopped sending.
    QTest::newRow("login") << get("/readerserver/userinfo.asp?action=login&username=abcd&password=abc1&cookies=0");
}

void TestServerLimits::halfClosedClientIsAnswered()
{
    QFETCH(QByteArray, request);
    m_server->postForm("action=reg&username=abcd&userpass=abc1&email=a%40b%2Ecom");
    RawClient client(m_server->port());
    QVERIFY(client.send(request));
    client.shutdownWrite();
    QVERIFY(client.waitForClose());
    QCOMPARE(client.status(), 200);
    QCOMPARE(client.body().size(), client.header("content-length").toInt());
}

void TestServerLimits::pipelinedRequestsInOrder()
{
    RawClient client(m_server->port());
    QVERIFY(client.send(get("/readerserver/usertop.asp?action=jf") + get("/nowhere") +
                        get("/readerserver/NewsInfo.asp", "Connection: close\r\n")));
    QVERIFY(client.waitForClose());
    QCOMPARE(client.statuses(), QList<int>({200, 404, 200}));
    QVERIFY(client.received().contains("<usertop"));
    QVERIFY(client.received().endsWith("</html>\n"));
}

void TestServerLimits::busyClientDoesNotHoldOthersUp()
{
    // Three hundred requests queued on one connection are answered one per turn of the
    // service, taking turns with other clients.
    RawClient busy(m_server->port(), "127.0.0.5");
    RawClient other(m_server->port(), "127.0.0.6");
    QByteArray many;
    for (int i = 0; i < 300; ++i)
        many += get("/readerserver/usertop.asp?action=jb");
    QVERIFY(busy.send(many));
    QVERIFY(other.send(get("/readerserver/NewsInfo.asp")));
    QVERIFY(other.waitFor(
        [&] {
            busy.poll();
            return other.status() == 200 && other.body().endsWith("</html>\n");
        },
        5000));
    QVERIFY2(busy.statuses().size() < 100, QByteArray::number(busy.statuses().size()).constData());
    QVERIFY(busy.waitFor([&] { return busy.statuses().size() == 300; }, 10000));
}

void TestServerLimits::stalledDownloadsHoldNoMemory()
{
    const QString url = importBook(32 * 1024 * 1024);
    QVERIFY(!url.isEmpty());
    const qint64 before = residentBytes();
    std::vector<std::unique_ptr<RawClient>> stalled;
    for (int i = 0; i < 8; ++i) {
        stalled.push_back(
            std::make_unique<RawClient>(m_server->port(), qPrintable(QStringLiteral("127.0.2.%1").arg(i)), 4096));
        QVERIFY(stalled.back()->send(get(url.toLatin1())));
    }
    QVERIFY(stalled.back()->waitFor([&] { return stalled.back()->status() == 200; }, 3000));
    QTest::qWait(300);
    // Eight 32 MB books being sent: read whole into memory they would take 256 MB.
    const qint64 grown = residentBytes() - before;
    QVERIFY2(grown < 48 * 1024 * 1024, QByteArray::number(grown / 1024 / 1024).append(" MB").constData());
}

void TestServerLimits::vanishingClientsDoNotEndTheService()
{
    // Sending to a client that has gone raises SIGPIPE, which ends a process that does not
    // ignore it; so the service runs as a process of its own here.
    const QString binary = QStringLiteral(QUILLMERE_BIN_DIR "/quillmere-server");
    if (!QFileInfo::exists(binary))
        QSKIP("quillmere-server has not been built");
    const QString url = importBook(16 * 1024 * 1024);
    QVERIFY(!url.isEmpty());
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    QProcess server;
    // This process's network code ignores SIGPIPE, and children inherit that: the service
    // must start as a user's shell would start it.
    server.setChildProcessModifier([] { ::signal(SIGPIPE, SIG_DFL); });
    QStringList arguments = {"--data", m_server->dataDir(), "--listen", QStringLiteral("127.0.0.1:%1").arg(port)};
    if (!m_server->config().databaseUrl.isEmpty())
        arguments << "--database" << m_server->config().databaseUrl;
    server.start(binary, arguments);
    QVERIFY(server.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return server.readAllStandardOutput().contains("serving"); }, 10000));
    for (int i = 0; i < 4; ++i) {
        RawClient client(port, "127.0.0.1", 4096);
        QVERIFY(client.send(get(url.toLatin1())));
        QVERIFY(client.waitFor([&] { return client.status() == 200; }, 3000));
        QTest::qWait(100);
        if (i % 2 == 0) {
            // Closed with data unread and no lingering: the service's next send meets a reset.
            const linger abrupt{1, 0};
            ::setsockopt(client.descriptor(), SOL_SOCKET, SO_LINGER, &abrupt, sizeof abrupt);
        } else {
            // Closed in order first: the service keeps sending into a connection that is gone.
            ::shutdown(client.descriptor(), SHUT_RDWR);
        }
    }
    QTest::qWait(300);
    QCOMPARE(server.state(), QProcess::Running);
    RawClient after(port);
    QVERIFY(after.send(get("/readerserver/NewsInfo.asp")));
    QVERIFY(after.waitForReply());
    QCOMPARE(after.status(), 200);
    server.terminate();
    server.waitForFinished(5000);
}

QTEST_GUILESS_MAIN(TestServerLimits)
#include "tst_serverlimits.moc"
