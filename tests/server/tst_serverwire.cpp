// The connection layer's rules on their own: reading request heads, and who may hold
// connections and body bytes.
#include "BodyBudget.h"
#include "ConnectionTable.h"
#include "HttpWire.h"

#include <QtTest>

class TestServerWire : public QObject {
    Q_OBJECT

private slots:
    void headEnd_data();
    void headEnd();
    void parseHead_data();
    void parseHead();
    void repeatedHeaders();
    void tooManyHeaderLines();
    void replyHead();
    void waitingConnectionsGiveWay();
    void busyConnectionsAreNeverCut();
    void ipv6CountsByNetwork();
    void bodyBudget();
};

void TestServerWire::headEnd_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("end");
    QTest::newRow("crlf") << QByteArray("GET / HTTP/1.1\r\nHost: a\r\n\r\nBODY") << 0 << 27;
    QTest::newRow("bare line feeds") << QByteArray("GET / HTTP/1.1\nHost: a\n\nBODY") << 0 << 24;
    QTest::newRow("not yet") << QByteArray("GET / HTTP/1.1\r\nHost: a\r\n\r") << 0 << -1;
    QTest::newRow("search resumed") << QByteArray("GET / HTTP/1.1\r\nHost: a\r\n\r\n") << 23 << 27;
}

void TestServerWire::headEnd()
{
    QFETCH(QByteArray, buffer);
    QFETCH(int, from);
    QFETCH(int, end);
    QCOMPARE(HttpWire::headEnd(buffer, from), qsizetype(end));
}

void TestServerWire::parseHead_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("refusal"); // 0: complete
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<bool>("keepAlive");
    QTest::addColumn<bool>("expectContinue");

    QTest::newRow("catalogue") << QByteArray("GET /ReaderServer/ListBook.asp?action=list&page=2 HTTP/1.1\r\n"
                                             "Host: x\r\n\r\n")
                               << 0 << "/readerserver/listbook.asp" << QByteArray("action=list&page=2") << qint64(0)
                               << true << false;
    QTest::newRow("encoded parent stays visible")
        << QByteArray("GET /files/%2e%2E/service.db HTTP/1.1\r\n\r\n") << 0 << "/files/../service.db" << QByteArray()
        << qint64(0) << true << false;
    QTest::newRow("stray percent") << QByteArray("GET /a%zz HTTP/1.1\r\n\r\n") << 0 << "/a%zz" << QByteArray()
                                   << qint64(0) << true << false;
    // A legacy client's code-page bytes reach the query decoder unchanged.
    QTest::newRow("raw code-page query") << QByteArray("GET /x?key=\xD5\xC5&a=%41 HTTP/1.1\r\n\r\n") << 0 << "/x"
                                         << QByteArray("key=%D5%C5&a=%41") << qint64(0) << true << false;
    QTest::newRow("absolute form") << QByteArray("GET http://Example:8086/NewsInfo.asp?x=1 HTTP/1.1\r\n\r\n") << 0
                                   << "/newsinfo.asp" << QByteArray("x=1") << qint64(0) << true << false;
    QTest::newRow("form post") << QByteArray("POST /u HTTP/1.1\r\nContent-Length: 42\r\n\r\n") << 0 << "/u"
                               << QByteArray() << qint64(42) << true << false;
    QTest::newRow("blanks around the value") << QByteArray("POST /u HTTP/1.1\r\nContent-Length: \t 7 \r\n\r\n") << 0
                                             << "/u" << QByteArray() << qint64(7) << true << false;
    QTest::newRow("close") << QByteArray("GET / HTTP/1.1\r\nConnection: TE, Close\r\n\r\n") << 0 << "/" << QByteArray()
                           << qint64(0) << false << false;
    QTest::newRow("HTTP/1.0 closes") << QByteArray("GET / HTTP/1.0\r\n\r\n") << 0 << "/" << QByteArray() << qint64(0)
                                     << false << false;
    QTest::newRow("HTTP/1.0 kept alive") << QByteArray("GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n") << 0 << "/"
                                         << QByteArray() << qint64(0) << true << false;
    QTest::newRow("expect continue") << QByteArray(
                                            "POST / HTTP/1.1\r\nExpect: 100-Continue\r\nContent-Length: 1\r\n\r\n")
                                     << 0 << "/" << QByteArray() << qint64(1) << true << true;

    const QString none;
    QTest::newRow("lengths disagree") << QByteArray("POST / HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n")
                                      << 400 << none << QByteArray() << qint64(0) << true << false;
    QTest::newRow("negative length") << QByteArray("POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n") << 400 << none
                                     << QByteArray() << qint64(0) << true << false;
    QTest::newRow("huge length") << QByteArray("POST / HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n") << 400
                                 << none << QByteArray() << qint64(0) << true << false;
    QTest::newRow("chunked body") << QByteArray("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n") << 411 << none
                                  << QByteArray() << qint64(0) << true << false;
    QTest::newRow("folded header") << QByteArray("GET / HTTP/1.1\r\nX-A: 1\r\n 2\r\n\r\n") << 400 << none
                                   << QByteArray() << qint64(0) << true << false;
    QTest::newRow("blank before colon") << QByteArray("GET / HTTP/1.1\r\nContent-Length : 5\r\n\r\n") << 400 << none
                                        << QByteArray() << qint64(0) << true << false;
    QTest::newRow("control character") << QByteArray("GET / HTTP/1.1\r\nX-A: a\x01b\r\n\r\n") << 400 << none
                                       << QByteArray() << qint64(0) << true << false;
    QTest::newRow("two blanks") << QByteArray("GET  / HTTP/1.1\r\n\r\n") << 400 << none << QByteArray() << qint64(0)
                                << true << false;
    QTest::newRow("no version") << QByteArray("GET /\r\n\r\n") << 400 << none << QByteArray() << qint64(0) << true
                                << false;
    QTest::newRow("other version") << QByteArray("GET / HTTP/2.0\r\n\r\n") << 505 << none << QByteArray() << qint64(0)
                                   << true << false;
    QTest::newRow("not a method") << QByteArray("G(T / HTTP/1.1\r\n\r\n") << 400 << none << QByteArray() << qint64(0)
                                  << true << false;
}

void TestServerWire::parseHead()
{
    QFETCH(QByteArray, head);
    QFETCH(int, refusal);
    QFETCH(QString, path);
    QFETCH(QByteArray, query);
    QFETCH(qint64, length);
    QFETCH(bool, keepAlive);
    QFETCH(bool, expectContinue);
    const HttpWire::Head parsed = HttpWire::parseHead(head);
    if (refusal != 0) {
        QCOMPARE(parsed.status, HttpWire::Head::Status::Refused);
        QCOMPARE(parsed.refusal, refusal);
        return;
    }
    QCOMPARE(parsed.status, HttpWire::Head::Status::Complete);
    QCOMPARE(parsed.request.path, path);
    QCOMPARE(parsed.request.query, query);
    QCOMPARE(parsed.contentLength, length);
    QCOMPARE(parsed.keepAlive, keepAlive);
    QCOMPARE(parsed.expectContinue, expectContinue);
}

void TestServerWire::repeatedHeaders()
{
    const HttpWire::Head parsed = HttpWire::parseHead("GET / HTTP/1.1\r\nCookie: a=1\r\nCOOKIE: QMSESSION=2\r\n"
                                                      "Accept: x\r\nAccept: y\r\n\r\n");
    QCOMPARE(parsed.status, HttpWire::Head::Status::Complete);
    QCOMPARE(parsed.request.cookie("QMSESSION"), QByteArray("2"));
    QCOMPARE(parsed.request.header("accept"), QByteArray("x, y"));
    QCOMPARE(parsed.request.method, QByteArray("GET"));
}

void TestServerWire::tooManyHeaderLines()
{
    QByteArray head = "GET / HTTP/1.1\r\n";
    for (int i = 0; i <= HttpWire::kMaxHeaderLines; ++i)
        head += "X-" + QByteArray::number(i) + ": 1\r\n";
    const HttpWire::Head parsed = HttpWire::parseHead(head + "\r\n");
    QCOMPARE(parsed.status, HttpWire::Head::Status::Refused);
    QCOMPARE(parsed.refusal, 431);
}

void TestServerWire::replyHead()
{
    HttpReply reply = HttpReply::xml("<a/>");
    reply.headers.append(qMakePair(QByteArray("Set-Cookie"), QByteArray("QMSESSION=x; Path=/")));
    QCOMPARE(HttpWire::replyHead(reply, 4, "close"),
             QByteArray("HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: 4\r\n"
                        "Cache-Control: no-cache\r\nSet-Cookie: QMSESSION=x; Path=/\r\nConnection: close\r\n\r\n"));
    HttpReply file;
    file.status = 404;
    QVERIFY(
        HttpWire::replyHead(file, 0, QByteArray())
            .startsWith("HTTP/1.1 404 Not Found\r\nContent-Type: application/octet-stream\r\nContent-Length: 0\r\n"));
}

void TestServerWire::waitingConnectionsGiveWay()
{
    ConnectionTable table(4, 2);
    QCOMPARE(table.admit("10.0.0.1").evict, quint64(0));
    table.add(1, "10.0.0.1");
    table.add(2, "10.0.0.1");
    table.setWaiting(1, true, 100);
    table.setWaiting(2, true, 50);
    // The address is full: its longest-waiting connection makes room.
    const ConnectionTable::Admission same = table.admit("10.0.0.1");
    QVERIFY(same.admitted);
    QCOMPARE(same.evict, quint64(2));
    // Another address is not held up by it.
    QCOMPARE(table.admit("10.0.0.2").evict, quint64(0));
    table.add(3, "10.0.0.2");
    table.add(4, "10.0.0.3");
    table.setWaiting(3, true, 10);
    // The service is full: the longest waiting of all makes room.
    const ConnectionTable::Admission full = table.admit("10.0.0.4");
    QVERIFY(full.admitted);
    QCOMPARE(full.evict, quint64(3));
    table.remove(3);
    QCOMPARE(table.size(), 3);
    QCOMPARE(table.countFrom("10.0.0.2"), 0);
    QCOMPARE(table.admit("10.0.0.4").evict, quint64(0));
}

void TestServerWire::busyConnectionsAreNeverCut()
{
    ConnectionTable table(10, 2);
    table.add(1, "10.0.0.1");
    table.add(2, "10.0.0.1");
    table.setWaiting(1, true, 5);
    table.setWaiting(1, false); // now being answered
    QVERIFY(!table.admit("10.0.0.1").admitted);
    table.remove(2);
    QVERIFY(table.admit("10.0.0.1").admitted);
}

void TestServerWire::ipv6CountsByNetwork()
{
    ConnectionTable table(10, 1);
    table.add(1, "2001:db8:1:2:aaaa::1");
    QVERIFY(!table.admit("2001:db8:1:2:bbbb::2").admitted);
    QVERIFY(table.admit("2001:db8:1:3::1").admitted);
    QVERIFY(table.admit("192.0.2.1").admitted);
}

void TestServerWire::bodyBudget()
{
    BodyBudget budget(100, 60);
    QVERIFY(budget.reserve("a", 50));
    QVERIFY(!budget.reserve("a", 20)); // over the address's share
    QVERIFY(budget.reserve("b", 50));
    QVERIFY(!budget.reserve("c", 1)); // over the total
    budget.release("a", 50);
    QCOMPARE(budget.inFlight(), qint64(50));
    QVERIFY(budget.reserve("c", 50));
    budget.release("z", 10); // never reserved: nothing changes
    QCOMPARE(budget.inFlight(), qint64(100));
}

QTEST_GUILESS_MAIN(TestServerWire)
#include "tst_serverwire.moc"
