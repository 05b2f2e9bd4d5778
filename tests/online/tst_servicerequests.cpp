// Requests to the service and the reading of its replies: what goes out on the wire, which
// reply is handled, and how reply documents are read.
#include "FakeDialogs.h"
#include "RecordingHttpServer.h"
#include "online/ReplyDocument.h"
#include "online/RequestSlot.h"
#include "online/ServiceUrl.h"
#include "online/SynchronousGet.h"

#include "platform/AnsiCodePage.h"
#include <QDeadlineTimer>

#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

class TestServiceRequests : public QObject {
    Q_OBJECT

private slots:
    void replyDocumentEncodings_data();
    void replyDocumentEncodings();
    void replyDocumentStates_data();
    void replyDocumentStates();
    void readingFieldsAndRecords();
    void readingFailureMessage();

    void urlValuesGoOutAsTypedAndEncodedByTheStack();
    void rntStampIsTheLastKey();
    void formPostSendsBodyAndContentType();
    void newerRequestReplacesOutstandingOne();
    void statusOtherThan200IsHandedOverButNotAccepted();
    void requestThatNeverFinishesTimesOut();
    void requestThatKeepsMovingOutlastsTheLimit();
    void unreachableServiceAnswersStatusZero();
    void repliesPastTheCapAreGivenUp_data();
    void repliesPastTheCapAreGivenUp();
    void tricklingAnswerEndsAtItsDeadline();
    void postWhoseAnswerNeverComesWasSent();
    void boundedListsAndShownTexts();

    void synchronousAcceptance_data();
    void synchronousAcceptance();
    void synchronousGetGivesUpAtItsDeadline();
    void synchronousGetGivesUpPastTheCap();
    void readingWithinADeadline();

private:
    QNetworkAccessManager m_network;
};

void TestServiceRequests::replyDocumentEncodings_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    const QString title = QStringLiteral("剑影江湖·第二部");
    QTest::newRow("utf-8 declared") << QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?><r><name>" +
                                                  title.toUtf8() + "</name></r>")
                                    << QByteArray("text/xml");
    QTest::newRow("no declaration, utf-8")
        << QByteArray("<r><name>" + title.toUtf8() + "</name></r>") << QByteArray("text/xml");
    QTest::newRow("gb2312 declared") << QByteArray("<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<r><name>" +
                                                   AnsiCodePage::encode(title) + "</name></r>")
                                     << QByteArray("text/xml");
    QTest::newRow("gbk single quotes") << QByteArray("<?xml version='1.0' encoding='gbk' ?><r><name>" +
                                                     AnsiCodePage::encode(title) + "</name></r>")
                                       << QByteArray("text/xml; charset=utf-8");
    QTest::newRow("charset in content type only")
        << QByteArray("<r><name>" + AnsiCodePage::encode(title) + "</name></r>") << QByteArray("text/xml; charset=GBK");
    const QString utf16 = QStringLiteral("<r><name>%1</name></r>").arg(title);
    QTest::newRow("utf-16 with bom") << QByteArray("\xFF\xFE") +
                                            QByteArray(reinterpret_cast<const char*>(utf16.utf16()), utf16.size() * 2)
                                     << QByteArray("text/xml; charset=gbk");
}

void TestServiceRequests::replyDocumentEncodings()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    const ReplyDocument doc = ReplyDocument::load(body, contentType);
    QVERIFY(doc.usable());
    QCOMPARE(doc.text(QStringLiteral("name")), QStringLiteral("剑影江湖·第二部"));
}

void TestServiceRequests::replyDocumentStates_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("state");
    QTest::newRow("parsed") << QByteArray("<a/>") << 4;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("blank") << QByteArray(" \r\n") << 0;
    QTest::newRow("html error page") << QByteArray("<html><body><p>Server Error<br></body></html>") << 1;
    QTest::newRow("cut short") << QByteArray("<r><bookinfo><id>1</id>") << 1;
    QTest::newRow("plain text") << QByteArray("1|上传成功") << 1;
    // Nesting past a few hundred levels is refused before the document is built: 200,000
    // levels once took minutes and then overflowed the stack.
    QTest::newRow("nested 256 deep") << QByteArray("<a>").repeated(256) + QByteArray("</a>").repeated(256) << 4;
    QTest::newRow("nested 257 deep") << QByteArray("<a>").repeated(257) + QByteArray("</a>").repeated(257) << 1;
    QTest::newRow("50,000 elements") << "<r>" + QByteArray("<a/>").repeated(49999) + "</r>" << 4;
    QTest::newRow("50,001 elements") << "<r>" + QByteArray("<a/>").repeated(50000) + "</r>" << 1;
    QTest::newRow("elements and attributes past 50,000")
        << "<r>" + QByteArray("<a b='1' c='2'/>").repeated(16667) + "</r>" << 1;
    QTest::newRow("nested 200,000 deep") << QByteArray("<a>").repeated(200000) + QByteArray("</a>").repeated(200000)
                                         << 1;
}

void TestServiceRequests::replyDocumentStates()
{
    QFETCH(QByteArray, body);
    QFETCH(int, state);
    const ReplyDocument doc = ReplyDocument::load(body);
    QCOMPARE(doc.readyState(), state);
    QCOMPARE(doc.usable(), state > 2);
}

void TestServiceRequests::readingFieldsAndRecords()
{
    const ReplyDocument doc = ReplyDocument::load("<list><bookinfo><id>7</id><name>甲</name></bookinfo>"
                                                  "<bookinfo><id>9</id><name><![CDATA[<b>乙</b> & 丙]]></name>"
                                                  "</bookinfo><otherinfo><pageinfo>3,0,1,1,2</pageinfo>"
                                                  "</otherinfo><otherinfo><pageinfo>x</pageinfo></otherinfo></list>");
    QVERIFY(doc.usable());
    const QList<QDomElement> records = doc.all(QStringLiteral("bookinfo"));
    QCOMPARE(records.size(), 2);
    QCOMPARE(ReplyDocument::field(records[0], QStringLiteral("id")), QStringLiteral("7"));
    QCOMPARE(ReplyDocument::field(records[1], QStringLiteral("name")), QStringLiteral("<b>乙</b> & 丙"));
    // The first element anywhere in the document.
    QCOMPARE(doc.text(QStringLiteral("id")), QStringLiteral("7"));
    QCOMPARE(doc.text(QStringLiteral("pageinfo")), QStringLiteral("3,0,1,1,2"));
    // A missing element is a fault of the reading step.
    QVERIFY_THROWS_EXCEPTION(MissingReplyElement, doc.text(QStringLiteral("statue")));
    QVERIFY_THROWS_EXCEPTION(MissingReplyElement, ReplyDocument::field(records[0], QStringLiteral("author")));
    QCOMPARE(ReplyDocument::fieldOr(records[0], QStringLiteral("author"), QStringLiteral("-")), QStringLiteral("-"));
    try {
        doc.text(QStringLiteral("ftime"));
    } catch (const MissingReplyElement& e) {
        QCOMPARE(e.tag(), QStringLiteral("ftime"));
    }
}

void TestServiceRequests::readingFailureMessage()
{
    FakeDialogs dialogs;
    showReadingFailure(dialogs, ReplyDocument::load("<broken"));
    QCOMPARE(dialogs.last().text, QStringLiteral("网络还没有准备就续，资料读取错误。状态：1"));
    QCOMPARE(dialogs.last().title, QStringLiteral("读取错误"));
    QCOMPARE(dialogs.last().style, 48);
}

void TestServiceRequests::urlValuesGoOutAsTypedAndEncodedByTheStack()
{
    RecordingHttpServer server;
    QVERIFY(server.listen());
    RequestSlot slot(m_network);
    QSignalSpy answered(&slot, &RequestSlot::answered);
    slot.get(server.base() + QStringLiteral("/readerserver/listbook.asp?action=search&key=三国 演义'\"&page=2"));
    QVERIFY(answered.wait());
    QCOMPARE(server.last().method, QByteArray("GET"));
    QCOMPARE(
        server.last().target,
        QByteArray("/readerserver/listbook.asp?action=search&key=%E4%B8%89%E5%9B%BD%20%E6%BC%94%E4%B9%89'%22&page=2"));
}

void TestServiceRequests::rntStampIsTheLastKey()
{
    const QDateTime when(QDate(2026, 3, 7), QTime(8, 5, 0));
    QCOMPARE(withRnt(QStringLiteral("http://h/readerserver/userinfo.asp?action=check"), when),
             QStringLiteral("http://h/readerserver/userinfo.asp?action=check&rnt=2026/3/7 8:05:00"));
    QCOMPARE(withRnt(QStringLiteral("http://h/readerserver/getinfo.asp"), when),
             QStringLiteral("http://h/readerserver/getinfo.asp?rnt=2026/3/7 8:05:00"));

    RecordingHttpServer server;
    QVERIFY(server.listen());
    RequestSlot slot(m_network);
    QSignalSpy answered(&slot, &RequestSlot::answered);
    slot.get(withRnt(server.base() + QStringLiteral("/readerserver/userinfo.asp?action=check"), when));
    QVERIFY(answered.wait());
    // One blank between date and time, sent as the stack encodes it.
    QCOMPARE(server.last().target, QByteArray("/readerserver/userinfo.asp?action=check&rnt=2026/3/7%208:05:00"));
}

void TestServiceRequests::formPostSendsBodyAndContentType()
{
    RecordingHttpServer server;
    QVERIFY(server.listen());
    RequestSlot slot(m_network);
    QSignalSpy answered(&slot, &RequestSlot::answered);
    const QByteArray body = "action=reg&username=%D5%C5%C8%FD&userpass=%61%62%63%31";
    slot.postForm(server.base() + QStringLiteral("/readerserver/userinfo.asp"), body);
    QVERIFY(answered.wait());
    QCOMPARE(server.last().method, QByteArray("POST"));
    QCOMPARE(server.last().target, QByteArray("/readerserver/userinfo.asp"));
    QCOMPARE(server.last().header("content-type"), QByteArray("application/x-www-form-urlencoded"));
    QCOMPARE(server.last().body, body);
}

void TestServiceRequests::newerRequestReplacesOutstandingOne()
{
    RecordingHttpServer server;
    QVERIFY(server.listen());
    RecordingHttpServer::Answer slow;
    slow.body = "<r><n>old</n></r>";
    slow.chunkDelayMs = 0;
    slow.never = true;
    server.answer("/slow", slow);
    RecordingHttpServer::Answer fast;
    fast.body = "<r><n>new</n></r>";
    server.answer("/fast", fast);

    RequestSlot slot(m_network);
    QSignalSpy answered(&slot, &RequestSlot::answered);
    slot.get(server.base() + QStringLiteral("/slow"));
    QVERIFY(server.waitForRequests(1));
    QVERIFY(slot.isPending());
    slot.get(server.base() + QStringLiteral("/fast"));
    QVERIFY(answered.wait());
    QTest::qWait(100);
    QCOMPARE(answered.size(), 1);
    const auto reply = answered.first().first().value<ServiceReply>();
    QCOMPARE(reply.body, QByteArray("<r><n>new</n></r>"));
    QVERIFY(!slot.isPending());

    // Both replies arriving: still only the newer one is handed over, once.
    server.answer("/slow", fast);
    answered.clear();
    slot.get(server.base() + QStringLiteral("/slow"));
    slot.get(server.base() + QStringLiteral("/fast"));
    QVERIFY(answered.wait());
    QTest::qWait(200);
    QCOMPARE(answered.size(), 1);
}

void TestServiceRequests::statusOtherThan200IsHandedOverButNotAccepted()
{
    RecordingHttpServer server;
    QVERIFY(server.listen());
    for (int status : {206, 404, 500}) {
        RecordingHttpServer::Answer a;
        a.status = status;
        a.body = "<r/>";
        server.answerDefault(a);
        RequestSlot slot(m_network);
        QSignalSpy answered(&slot, &RequestSlot::answered);
        slot.get(server.base() + QStringLiteral("/x"));
        QVERIFY(answered.wait());
        const auto reply = answered.first().first().value<ServiceReply>();
        QCOMPARE(reply.status, status);
        QVERIFY(!reply.accepted());
        QCOMPARE(reply.header("CONTENT-type"), QByteArray("text/xml; charset=utf-8"));
        QCOMPARE(reply.body, QByteArray("<r/>"));
    }
}

void TestServiceRequests::requestThatNeverFinishesTimesOut()
{
    RecordingHttpServer server;
    QVERIFY(server.listen());
    RecordingHttpServer::Answer never;
    never.never = true;
    server.answerDefault(never);
    RequestSlot slot(m_network);
    slot.setTimeoutMs(300);
    QSignalSpy answered(&slot, &RequestSlot::answered);
    slot.get(server.base() + QStringLiteral("/x"));
    QVERIFY(answered.wait(5000));
    QCOMPARE(answered.first().first().value<ServiceReply>().status, 0);
    QVERIFY(!slot.isPending());
}

void TestServiceRequests::requestThatKeepsMovingOutlastsTheLimit()
{
    // Six pieces 150 ms apart: longer than the limit in all, never idle as long as the limit.
    RecordingHttpServer server;
    QVERIFY(server.listen());
    RecordingHttpServer::Answer slow;
    slow.body = QByteArray(6 * 64 * 1024, 'x');
    slow.chunkDelayMs = 150;
    server.answerDefault(slow);
    RequestSlot slot(m_network);
    slot.setTimeoutMs(400);
    QSignalSpy answered(&slot, &RequestSlot::answered);
    slot.get(server.base() + QStringLiteral("/x"));
    QVERIFY(answered.wait(5000));
    const auto reply = answered.first().first().value<ServiceReply>();
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.body.size(), slow.body.size());
}

void TestServiceRequests::unreachableServiceAnswersStatusZero()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    RequestSlot slot(m_network);
    QSignalSpy answered(&slot, &RequestSlot::answered);
    slot.get(QStringLiteral("http://127.0.0.1:%1/readerserver/listbook.asp").arg(port));
    QVERIFY(answered.wait());
    QCOMPARE(answered.first().first().value<ServiceReply>().status, 0);
}

void TestServiceRequests::repliesPastTheCapAreGivenUp_data()
{
    QTest::addColumn<bool>("chunked");
    QTest::addColumn<qint64>("filler");
    QTest::addColumn<int>("status");
    const qint64 cap = ServiceReply::MaxBodyBytes;
    // 256 MB that never reach the reader: it stops at the cap (or at the declared length).
    QTest::newRow("declared past the cap") << false << 256LL * 1024 * 1024 << 0;
    QTest::newRow("no size, streamed past the cap") << true << 256LL * 1024 * 1024 << 0;
    QTest::newRow("no size, one byte past the cap") << true << cap - 2 << 0;
    QTest::newRow("no size, exactly the cap") << true << cap - 3 << 200;
}

void TestServiceRequests::repliesPastTheCapAreGivenUp()
{
    QFETCH(bool, chunked);
    QFETCH(qint64, filler);
    QFETCH(int, status);
    RecordingHttpServer server;
    QVERIFY(server.listen());
    RecordingHttpServer::Answer huge;
    huge.body = "<r>";
    huge.chunked = chunked;
    huge.fillerBytes = filler;
    server.answerDefault(huge);
    RequestSlot slot(m_network);
    QSignalSpy answered(&slot, &RequestSlot::answered);
    slot.get(server.base() + QStringLiteral("/readerserver/listbook.asp"));
    QVERIFY(answered.wait(30000));
    const auto reply = answered.first().first().value<ServiceReply>();
    QCOMPARE(reply.status, status);
    QCOMPARE(reply.failure, status ? ServiceReply::Failure::None : ServiceReply::Failure::TooLarge);
    QVERIFY(reply.body.size() <= ServiceReply::MaxBodyBytes);
    QVERIFY(!slot.isPending());
}

void TestServiceRequests::tricklingAnswerEndsAtItsDeadline()
{
    // Never idle as long as the stall limit, but longer in all than the answer's deadline.
    RecordingHttpServer server;
    QVERIFY(server.listen());
    RecordingHttpServer::Answer slow;
    slow.body = QByteArray(20 * 64 * 1024, 'x');
    slow.chunkDelayMs = 100;
    server.answerDefault(slow);
    RequestSlot slot(m_network);
    slot.setTimeoutMs(400);
    slot.setDeadlineMs(600);
    QSignalSpy answered(&slot, &RequestSlot::answered);
    slot.get(server.base() + QStringLiteral("/x"));
    QVERIFY(answered.wait(5000));
    const auto reply = answered.first().first().value<ServiceReply>();
    QCOMPARE(reply.status, 0);
    QCOMPARE(reply.failure, ServiceReply::Failure::TimedOut);
}

void TestServiceRequests::postWhoseAnswerNeverComesWasSent()
{
    RecordingHttpServer server;
    QVERIFY(server.listen());
    RecordingHttpServer::Answer never;
    never.never = true;
    server.answerDefault(never);
    RequestSlot slot(m_network);
    slot.setTimeoutMs(300);
    QSignalSpy answered(&slot, &RequestSlot::answered);
    slot.post(server.base() + QStringLiteral("/readerserver/uploadbook.asp"), "multipart/form-data",
              QByteArray(200 * 1024, 'b'));
    QVERIFY(answered.wait(5000));
    auto reply = answered.first().first().value<ServiceReply>();
    QCOMPARE(reply.status, 0);
    QCOMPARE(reply.failure, ServiceReply::Failure::TimedOut);
    QVERIFY(reply.requestSent);

    // Refused before a byte went out: nothing was sent.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    answered.clear();
    slot.post(QStringLiteral("http://127.0.0.1:%1/readerserver/uploadbook.asp").arg(port), "multipart/form-data",
              "body");
    QVERIFY(answered.wait(5000));
    reply = answered.first().first().value<ServiceReply>();
    QCOMPARE(reply.failure, ServiceReply::Failure::NoConnection);
    QVERIFY(!reply.requestSent);
}

void TestServiceRequests::boundedListsAndShownTexts()
{
    const ReplyDocument doc = ReplyDocument::load("<r>" + QByteArray("<i/>").repeated(10) + "</r>");
    QCOMPARE(doc.all(QStringLiteral("i"), 4).size(), 4);
    QCOMPARE(doc.all(QStringLiteral("i"), 40).size(), 10);
    QCOMPARE(elided(QStringLiteral("剑影江湖"), 4), QStringLiteral("剑影江湖"));
    QCOMPARE(elided(QStringLiteral("剑影江湖传"), 4), QStringLiteral("剑影江…"));
    // A character outside the basic plane stays whole.
    QCOMPARE(elided(QStringLiteral("ab𠀀cd"), 4), QStringLiteral("ab…"));
}

void TestServiceRequests::synchronousAcceptance_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("200 xml") << 200 << QByteArray("text/xml; charset=utf-8") << true;
    QTest::newRow("206") << 206 << QByteArray("text/xml") << true;
    QTest::newRow("200 plain text") << 200 << QByteArray("text/plain") << true;
    QTest::newRow("html") << 200 << QByteArray("text/html") << false;
    QTest::newRow("HTML upper case") << 200 << QByteArray("TEXT/HTML") << false;
    QTest::newRow("html with charset") << 200 << QByteArray("Text/Html; charset=gb2312") << false;
    QTest::newRow("404") << 404 << QByteArray("text/xml") << false;
    QTest::newRow("500") << 500 << QByteArray("text/xml") << false;
}

void TestServiceRequests::synchronousAcceptance()
{
    QFETCH(int, status);
    QFETCH(QByteArray, contentType);
    QFETCH(bool, accepted);
    RecordingHttpServer server;
    QVERIFY(server.listen());
    RecordingHttpServer::Answer a;
    a.status = status;
    a.contentType = contentType;
    a.body = "<infobase><version>v1.3</version></infobase>";
    server.answerDefault(a);
    const ServiceReply reply =
        SynchronousGet::fetch(m_network, server.base() + QStringLiteral("/readerserver/getinfo.asp?rnt=1"), 3000);
    QCOMPARE(reply.status, status);
    QCOMPARE(SynchronousGet::accepted(reply), accepted);
}

void TestServiceRequests::synchronousGetGivesUpAtItsDeadline()
{
    RecordingHttpServer server;
    QVERIFY(server.listen());
    RecordingHttpServer::Answer never;
    never.never = true;
    server.answerDefault(never);
    QElapsedTimer t;
    t.start();
    const ServiceReply reply = SynchronousGet::fetch(m_network, server.base() + QStringLiteral("/x"), 400);
    QCOMPARE(reply.status, 0);
    QVERIFY(!SynchronousGet::accepted(reply));
    QVERIFY2(t.elapsed() < 3000, "the deadline ends the wait");
}

void TestServiceRequests::synchronousGetGivesUpPastTheCap()
{
    RecordingHttpServer server;
    QVERIFY(server.listen());
    RecordingHttpServer::Answer huge;
    huge.body = "<infobase>";
    huge.chunked = true;
    huge.fillerBytes = 256LL * 1024 * 1024;
    server.answerDefault(huge);
    const ServiceReply reply = SynchronousGet::fetch(m_network, server.base() + QStringLiteral("/x"), 30000);
    QCOMPARE(reply.status, 0);
    QCOMPARE(reply.failure, ServiceReply::Failure::TooLarge);
    QVERIFY(reply.body.isEmpty());
}

void TestServiceRequests::readingWithinADeadline()
{
    // Eight megabytes of escaped text take the parser a good part of a second; a deadline
    // that has passed ends the wait at once.
    const QByteArray slow =
        "<r>" + QByteArray("<a>&amp;&lt;&gt;</a>").repeated(40000) + QByteArray("&amp;").repeated(1'500'000) + "</r>";
    QVERIFY(!ReplyDocument::loadWithin(slow, {}, QDeadlineTimer(1)));
    const std::optional<ReplyDocument> quick =
        ReplyDocument::loadWithin("<infobase><version>v1.3</version></infobase>", {}, QDeadlineTimer(10000));
    QVERIFY(quick);
    QCOMPARE(quick->text(QStringLiteral("version")), QStringLiteral("v1.3"));
}

QTEST_MAIN(TestServiceRequests)
#include "tst_servicerequests.moc"
