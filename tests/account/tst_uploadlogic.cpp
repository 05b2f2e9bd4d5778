// The upload page's rules: its checks in order, the field string, the multipart body byte
// for byte, the service's answer, and the cookie jar that keeps a remembered login.
#include "RecordingHttpServer.h"
#include "account/PersistentCookieJar.h"
#include "account/UploadBody.h"
#include "account/UploadForm.h"
#include "account/UploadReply.h"
#include "platform/AnsiCodePage.h"

#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(UploadFocus)
Q_DECLARE_METATYPE(UploadFields)

class TestUploadLogic : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void checksInOrder_data();
    void checksInOrder();
    void sizeAgainstTheServiceLimit();
    void fieldString_data();
    void fieldString();

    void boundary();
    void bodyByteForByte();
    void bodyWithoutCoverEndsWithoutLineEnd();
    void bodyOfAFileThatVanished();
    void charsets();

    void replies_data();
    void replies();

    void cookieJarKeepsOnlyPersistentCookies();
    void cookieFloodIsBoundedAndWrittenOncePerReply();
    void cookieJarBounds();

private:
    QString write(const QString& name, const QByteArray& bytes);
    UploadFields complete() const;

    QTemporaryDir m_dir;
    QString m_book;
    QString m_cover;
};

namespace {

// The body as the service expects it, built here without the upload code.
QByteArray expectedBody(const QByteArray& boundary, const QList<QPair<QByteArray, QString>>& text,
                        const QList<std::tuple<QByteArray, QString, QByteArray>>& files)
{
    QByteArray body;
    for (const auto& [name, path, bytes] : files) {
        body += "--" + boundary + "\r\nContent-Disposition:form-data;name=\"" + name + "\";filename=\"" +
                AnsiCodePage::encode(path) + "\"\r\nContent-Type:application/octet-stream\r\n\r\n" + bytes + "\r\n";
    }
    for (const auto& [name, value] : text)
        body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
                AnsiCodePage::encode(value) + "\r\n";
    return body + "--" + boundary + "--";
}

ServiceReply answer(int status, const QByteArray& body, QList<QPair<QByteArray, QByteArray>> headers = {})
{
    ServiceReply r;
    r.status = status;
    r.contentType = "text/plain; charset=GB2312";
    r.body = body;
    r.headers = std::move(headers);
    return r;
}

} // namespace

void TestUploadLogic::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_book = write(QStringLiteral("书 一.txt"), AnsiCodePage::encode(QStringLiteral("第一章 开始\r\n正文\r\n")) + '\0');
    m_cover = write(QStringLiteral("cover.gif"), QByteArray("GIF89a\x01\x00\x01\x00\x00\xff\x00,", 16));
}

QString TestUploadLogic::write(const QString& name, const QByteArray& bytes)
{
    QFile f(m_dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(bytes);
    return f.fileName();
}

UploadFields TestUploadLogic::complete() const
{
    UploadFields f;
    f.category = QStringLiteral("武侠仙侠");
    f.name = QStringLiteral("剑影");
    f.author = QStringLiteral("佚名");
    f.path = m_book;
    f.state = QStringLiteral("连载");
    f.newestChapter = QStringLiteral("第十章");
    f.userName = QStringLiteral("张三");
    return f;
}

void TestUploadLogic::checksInOrder_data()
{
    QTest::addColumn<UploadFields>("fields");
    QTest::addColumn<QString>("message"); // empty: passes
    QTest::addColumn<UploadFocus>("focus");
    QTest::addColumn<bool>("showNewestRow");

    UploadFields f = complete();
    f.category.clear();
    f.name.clear();
    QTest::newRow("no category (checked first)")
        << f << "电子类型不能为空，请选择该电子书对应的分类！" << UploadFocus::Category << false;
    f = complete();
    f.name = QStringLiteral("  ");
    f.path.clear();
    QTest::newRow("blank name") << f << "你没有填写电子书名称，请重新填写！" << UploadFocus::Name << false;
    f = complete();
    f.path.clear();
    f.state.clear();
    QTest::newRow("no book") << f << "电子书路径不能为空，请重新选择！" << UploadFocus::BookButton << false;
    f = complete();
    f.state.clear();
    QTest::newRow("no state") << f << "电子书连载状态不能为空，请重新选择！" << UploadFocus::State << false;
    f = complete();
    f.newestChapter.clear();
    QTest::newRow("serial without newest chapter")
        << f << "请添加电子书最新章节名称！" << UploadFocus::NewestChapter << true;
    f = complete();
    f.state = QStringLiteral("全集");
    f.newestChapter.clear();
    f.author.clear();
    QTest::newRow("complete, no chapter, no author") << f << "" << UploadFocus::Name << false;
    f = complete();
    f.name = QStringLiteral("上|下");
    QTest::newRow("bar in the name") << f << "书名中不能含有“|”符号，请修改后再上传！" << UploadFocus::Name << false;
    f = complete();
    f.synopsis = QStringLiteral("a|b");
    QTest::newRow("bar in the synopsis") << f << "内容简介中不能含有“|”符号，请修改后再上传！" << UploadFocus::Synopsis
                                         << false;
    f = complete();
    f.newestChapter = QStringLiteral("第|章");
    QTest::newRow("bar in the newest chapter")
        << f << "最新章节中不能含有“|”符号，请修改后再上传！" << UploadFocus::NewestChapter << true;
    f = complete();
    f.path = m_dir.filePath(QStringLiteral("gone.txt"));
    QTest::newRow("book gone") << f << "无法读取电子书文件，请检查文件是否还在、能否打开：\r\n" + f.path
                               << UploadFocus::BookButton << false;
    f = complete();
    f.path = m_dir.path();
    QTest::newRow("book is a folder") << f << "无法读取电子书文件，请检查文件是否还在、能否打开：\r\n" + f.path
                                      << UploadFocus::BookButton << false;
    f = complete();
    f.coverPath = m_dir.filePath(QStringLiteral("gone.jpg"));
    QTest::newRow("cover gone") << f << "无法读取封面图片，请重新添加封面：\r\n" + f.coverPath
                                << UploadFocus::CoverButton << false;
}

void TestUploadLogic::checksInOrder()
{
    QFETCH(UploadFields, fields);
    QFETCH(QString, message);
    QFETCH(UploadFocus, focus);
    QFETCH(bool, showNewestRow);
    const auto refusal = UploadForm::check(fields, 0);
    QCOMPARE(refusal.has_value(), !message.isEmpty());
    if (refusal) {
        QCOMPARE(refusal->box.text, message);
        QCOMPARE(refusal->box.title, QStringLiteral("数据有误"));
        QCOMPARE(refusal->box.style, 16);
        QCOMPARE(refusal->focus, focus);
        QCOMPARE(refusal->showNewestRow, showNewestRow);
    }
}

void TestUploadLogic::sizeAgainstTheServiceLimit()
{
    UploadFields f = complete();
    f.coverPath = m_cover;
    f.synopsis = QStringLiteral("简介=有等号");
    // The measure is the body's size, framing and Chinese text included.
    const qint64 size = UploadBody::measure(UploadForm::fieldString(f));
    QCOMPARE(size, UploadBody::build(UploadForm::fieldString(f), UploadBody::MakeBoundary()).body.size());
    QVERIFY(!UploadForm::check(f, 0));    // no limit known
    QVERIFY(!UploadForm::check(f, size)); // exactly at the limit
    const auto refusal = UploadForm::check(f, size - 1);
    QVERIFY(refusal);
    QCOMPARE(refusal->box.text, QStringLiteral("要上传的数据一共%1，服务器每次最多只接受%2，请压缩后再上传！")
                                    .arg(UploadForm::limitText(size), UploadForm::limitText(size - 1)));
    QCOMPARE(refusal->focus, UploadFocus::BookButton);
    QCOMPARE(UploadForm::limitText(64LL * 1024 * 1024), QStringLiteral("64.0 MB"));
}

void TestUploadLogic::fieldString_data()
{
    QTest::addColumn<UploadFields>("fields");
    QTest::addColumn<QString>("expected");
    UploadFields f = complete();
    f.path = QStringLiteral("/书/a.txt");
    f.synopsis = QStringLiteral(" 江湖=风雨\n第二行 ");
    QTest::newRow("serial, no cover")
        << f
        << "file1=/书/a.txt|stype=武侠仙侠|sname=剑影|sauthor=佚名|username=张三|smemo=江湖=风雨\n第二行|sstatue=连载"
           "|snewchap=第十章";
    f.coverPath = QStringLiteral("/c.jpg");
    f.state = QStringLiteral("全集");
    f.synopsis.clear();
    QTest::newRow("complete with a cover")
        << f
        << "file1=/书/a.txt|file2=/c.jpg|stype=武侠仙侠|sname=剑影|sauthor=佚名|username=张三|smemo=|sstatue=全集"
           "|snewchap=";
}

void TestUploadLogic::fieldString()
{
    QFETCH(UploadFields, fields);
    QFETCH(QString, expected);
    QCOMPARE(UploadForm::fieldString(fields), expected);
}

void TestUploadLogic::boundary()
{
    const QString a = UploadBody::MakeBoundary();
    const QString b = UploadBody::MakeBoundary();
    QCOMPARE(a.size(), 36);
    QVERIFY(a.startsWith(QLatin1String("__NextPart__")));
    QVERIFY(a != b);
    static const QRegularExpression alphabet(QStringLiteral("^__NextPart__[A-Za-z0-9]{24}$"));
    QVERIFY(alphabet.match(a).hasMatch());
    // Position = integer part of 62 × r: r near 0 is the first letter, r near 1 the last digit;
    // the alphabet has Z before Y.
    QCOMPARE(UploadBody::MakeBoundary([] { return 0.0; }), QStringLiteral("__NextPart__") + QString(24, 'A'));
    QCOMPARE(UploadBody::MakeBoundary([] { return 0.9999; }), QStringLiteral("__NextPart__") + QString(24, '9'));
    QCOMPARE(UploadBody::MakeBoundary([] { return 24.5 / 62; }), QStringLiteral("__NextPart__") + QString(24, 'Z'));
}

void TestUploadLogic::bodyByteForByte()
{
    UploadFields f = complete();
    f.coverPath = m_cover;
    // "=" stays in the value, and so do real line ends and the four characters \r\n.
    f.synopsis = QStringLiteral("江湖=风雨\r\n第二行\\r\\n完");
    const QString boundary = UploadBody::MakeBoundary();
    const UploadBody::Built built = UploadBody::build(UploadForm::fieldString(f), boundary);
    QVERIFY(built.unreadableFile.isEmpty());
    QFile book(m_book);
    QFile cover(m_cover);
    QVERIFY(book.open(QIODevice::ReadOnly) && cover.open(QIODevice::ReadOnly));
    const QByteArray expected = expectedBody(boundary.toLatin1(),
                                             {{"stype", "武侠仙侠"},
                                              {"sname", "剑影"},
                                              {"sauthor", "佚名"},
                                              {"username", "张三"},
                                              {"smemo", QStringLiteral("江湖=风雨\r\n第二行\\r\\n完")},
                                              {"sstatue", "连载"},
                                              {"snewchap", "第十章"}},
                                             {{"file1", m_book, book.readAll()}, {"file2", m_cover, cover.readAll()}});
    QCOMPARE(built.body, expected);
    QCOMPARE(UploadBody::contentType(), QByteArray("multipart/form-data"));
}

void TestUploadLogic::bodyWithoutCoverEndsWithoutLineEnd()
{
    UploadFields f = complete();
    f.state = QStringLiteral("全集");
    const UploadBody::Built built = UploadBody::build(UploadForm::fieldString(f), QStringLiteral("B"));
    QVERIFY(!built.body.contains("name=\"file2\""));
    QCOMPARE(built.body.count("Content-Disposition"), 8);
    QVERIFY(built.body.endsWith("\r\n--B\r\nContent-Disposition: form-data; name=\"snewchap\"\r\n\r\n\r\n--B--"));
}

void TestUploadLogic::bodyOfAFileThatVanished()
{
    const QString gone = m_dir.filePath(QStringLiteral("vanished.txt"));
    const UploadBody::Built built =
        UploadBody::build(QStringLiteral("file1=") + gone + QStringLiteral("|sname=x"), QStringLiteral("B"));
    QCOMPARE(built.unreadableFile, gone);
    QVERIFY(built.body.isEmpty());
}

void TestUploadLogic::charsets()
{
    QCOMPARE(UploadBody::StringToBytes(QStringLiteral("男a"), QStringLiteral("gb2312")), QByteArray("\xC4\xD0"
                                                                                                    "a"));
    QCOMPARE(UploadBody::StringToBytes(QStringLiteral("男"), QStringLiteral("UTF-8")), QByteArray("\xE7\x94\xB7"));
    QCOMPARE(UploadBody::StringToBytes(QStringLiteral("a"), QStringLiteral("unicode")), QByteArray("a\0", 2));
    QCOMPARE(UploadBody::BytesToString(QByteArray("1|\xC9\xCF\xB4\xAB"), QStringLiteral("gb2312")),
             QStringLiteral("1|上传"));
}

void TestUploadLogic::replies_data()
{
    QTest::addColumn<ServiceReply>("reply");
    QTest::addColumn<qint64>("knownLimit");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::addColumn<qint64>("learned");
    const QString failed = QStringLiteral("上传失败");
    QTest::newRow("accepted") << answer(200, AnsiCodePage::encode(QStringLiteral("1|《剑影》上传成功"))) << qint64(0)
                              << true << "《剑影》上传成功"
                              << "上传成功" << qint64(0);
    QTest::newRow("refused") << answer(200, AnsiCodePage::encode(QStringLiteral("0|请先登录"))) << qint64(0) << false
                             << "请先登录" << failed << qint64(0);
    QTest::newRow("code 1.0 is 1") << answer(200, "1.0|ok") << qint64(0) << true << "ok"
                                   << "上传成功" << qint64(0);
    QTest::newRow("no bar") << answer(200, "Internal error") << qint64(0) << false
                            << "服务器的答复无法识别：\r\nInternal error" << failed << qint64(0);
    QTest::newRow("code not a number") << answer(200, "ok|done") << qint64(0) << false
                                       << "服务器的答复无法识别：\r\nok|done" << failed << qint64(0);
    QTest::newRow("empty answer") << answer(200, "") << qint64(0) << false
                                  << "服务器没有答复上传的结果，请到“我上传的电子书”查看是否已经上传。" << failed
                                  << qint64(0);
    QTest::newRow("413 naming its limit")
        << answer(413, AnsiCodePage::encode(QStringLiteral("0|太大")), {{"X-Upload-Limit", "262144"}}) << qint64(0)
        << false << "上传的文件太大，服务器每次最多只接受256 KB，请压缩后再上传！" << failed << qint64(262144);
    QTest::newRow("413, limit known from the check")
        << answer(413, "") << qint64(64LL * 1024 * 1024) << false
        << "上传的文件太大，服务器每次最多只接受64.0 MB，请压缩后再上传！" << failed << qint64(0);
    QTest::newRow("413 with its own message") << answer(413, AnsiCodePage::encode(QStringLiteral("0|不能超过8MB")))
                                              << qint64(0) << false << "不能超过8MB" << failed << qint64(0);
    QTest::newRow("413, nothing known") << answer(413, "<html>Too Large</html>") << qint64(0) << false
                                        << "上传的文件太大，服务器拒绝接收，请压缩后再上传！" << failed << qint64(0);
    QTest::newRow("no answer") << answer(0, "") << qint64(0) << false
                               << "无法连接到服务器，或者连接中断了，电子书没有上传成功。请稍后再试！" << failed
                               << qint64(0);
    const QString unknown = QStringLiteral("上传结果不明");
    ServiceReply sentThenSilent = answer(0, "");
    sentThenSilent.failure = ServiceReply::Failure::TimedOut;
    sentThenSilent.requestSent = true;
    QTest::newRow("body sent, no answer in time")
        << sentThenSilent << qint64(0) << false
        << "电子书已经发送完毕，但服务器没有在限定时间内答复，不能确定是否已经上传成功。"
           "请到“我上传的电子书”查看它是否已经到达，没有到达再重新上传。"
        << unknown << qint64(0);
    ServiceReply sentThenDropped = sentThenSilent;
    sentThenDropped.failure = ServiceReply::Failure::NoConnection;
    QTest::newRow("body sent, connection dropped")
        << sentThenDropped << qint64(0) << false
        << "电子书已经发送完毕，但没有收到服务器的答复，不能确定是否已经上传成功。"
           "请到“我上传的电子书”查看它是否已经到达，没有到达再重新上传。"
        << unknown << qint64(0);
    QTest::newRow("server error") << answer(500, "1|looks fine") << qint64(0) << false
                                  << "服务器出错了（状态 500），电子书没有上传成功。请稍后再试！" << failed
                                  << qint64(0);
}

void TestUploadLogic::replies()
{
    QFETCH(ServiceReply, reply);
    QFETCH(qint64, knownLimit);
    QFETCH(bool, success);
    QFETCH(QString, text);
    QFETCH(QString, title);
    QFETCH(qint64, learned);
    const UploadOutcome outcome = UploadReply::read(reply, knownLimit);
    QCOMPARE(outcome.success, success);
    QCOMPARE(outcome.box.text, text);
    QCOMPARE(outcome.box.title, title);
    QCOMPARE(outcome.box.style, success ? 64 : title == QStringLiteral("上传结果不明") ? 48 : 16);
    QCOMPARE(outcome.learnedLimit, learned);
}

void TestUploadLogic::cookieJarKeepsOnlyPersistentCookies()
{
    const QString file = m_dir.filePath(QStringLiteral("DataFile/Cookies.dat"));
    const QUrl service(QStringLiteral("http://127.0.0.1:8086/readerserver/userinfo.asp"));
    {
        PersistentCookieJar jar(file);
        QNetworkCookie session("S", "only-now");
        QNetworkCookie remembered("QMSESSION", QByteArray("a;b\t=c\xff", 7));
        remembered.setExpirationDate(QDateTime::currentDateTimeUtc().addDays(30));
        remembered.setHttpOnly(true);
        QVERIFY(jar.setCookiesFromUrl({session, remembered}, service));
        QCOMPARE(jar.cookiesForUrl(service).size(), 2);
    }
    QVERIFY(QFileInfo::exists(file));
    QCOMPARE(QFileInfo(file).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
             QFileDevice::Permissions());
    {
        PersistentCookieJar jar(file);
        const QList<QNetworkCookie> kept = jar.cookiesForUrl(service);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(kept[0].name(), QByteArray("QMSESSION"));
        QCOMPARE(kept[0].value(), QByteArray("a;b\t=c\xff", 7));
        QVERIFY(kept[0].isHttpOnly());
        QVERIFY(jar.cookiesForUrl(QUrl(QStringLiteral("http://example.com/"))).isEmpty());
        // Logging out expires the cookie: the file forgets it.
        QNetworkCookie expired("QMSESSION", "");
        expired.setExpirationDate(QDateTime::currentDateTimeUtc().addSecs(-1));
        jar.setCookiesFromUrl({expired}, service);
    }
    PersistentCookieJar again(file);
    QVERIFY(again.cookiesForUrl(service).isEmpty());
}

void TestUploadLogic::cookieFloodIsBoundedAndWrittenOncePerReply()
{
    RecordingHttpServer server;
    QVERIFY(server.listen());
    int round = 0;
    server.setResponder([&](const RecordingHttpServer::Request&) {
        RecordingHttpServer::Answer flood;
        flood.body = "<infobase/>";
        for (int i = 0; i < 90; ++i)
            flood.headers << "Set-Cookie: c" + QByteArray::number(round) + "_" + QByteArray::number(i) + "=" +
                                 QByteArray(1024, 'v') + "; Max-Age=86400";
        ++round;
        return flood;
    });
    const QString file = m_dir.filePath(QStringLiteral("flood/Cookies.dat"));
    QNetworkAccessManager network;
    auto* jar = new PersistentCookieJar(file);
    network.setCookieJar(jar);
    QSignalSpy saved(jar, &PersistentCookieJar::saved);
    for (int click = 0; click < 3; ++click) {
        QNetworkReply* reply = network.get(QNetworkRequest(QUrl(server.base() + QStringLiteral("/x"))));
        QSignalSpy finished(reply, &QNetworkReply::finished);
        QVERIFY(finished.wait(10000));
        reply->deleteLater();
    }
    QCOMPARE(saved.size(), 3);
    // The newest stay: the last reply's last fifty.
    const QList<QNetworkCookie> kept = jar->cookiesForUrl(QUrl(server.base()));
    QCOMPARE(kept.size(), PersistentCookieJar::MaxCookiesPerHost);
    for (const QNetworkCookie& c : kept)
        QVERIFY2(c.name().startsWith("c2_") && c.name().mid(3).toInt() >= 40, c.name().constData());
    QVERIFY(server.last().header("cookie").size() < 51 * 1100);
    QVERIFY(QFileInfo(file).size() < 51 * 1500);
    PersistentCookieJar nextRun(file);
    QCOMPARE(nextRun.cookiesForUrl(QUrl(server.base())).size(), PersistentCookieJar::MaxCookiesPerHost);
}

void TestUploadLogic::cookieJarBounds()
{
    const QDateTime later = QDateTime::currentDateTimeUtc().addDays(1);
    auto cookie = [&](const QByteArray& name, int valueBytes) {
        QNetworkCookie c(name, QByteArray(valueBytes, 'v'));
        c.setExpirationDate(later);
        return c;
    };
    const QString file = m_dir.filePath(QStringLiteral("bounds/Cookies.dat"));
    {
        PersistentCookieJar jar(file);
        const QUrl host(QStringLiteral("http://127.0.0.1:8086/"));
        // A cookie of more than 4096 bytes is dropped whole; one of 4096 is kept.
        jar.setCookiesFromUrl({cookie("big", 4094), cookie("max", 4093)}, host);
        QCOMPARE(jar.cookiesForUrl(host).size(), 1);
        QCOMPARE(jar.cookiesForUrl(host).first().name(), QByteArray("max"));
        // 70 hosts of 50 cookies: the first ten hosts' go, the jar keeps 3000.
        for (int h = 0; h < 70; ++h) {
            QList<QNetworkCookie> cookies;
            for (int i = 0; i < 50; ++i)
                cookies << cookie("n" + QByteArray::number(i), 8);
            jar.setCookiesFromUrl(cookies, QUrl(QStringLiteral("http://h%1.example/").arg(h)));
        }
        QVERIFY(jar.cookiesForUrl(host).isEmpty());
        QVERIFY(jar.cookiesForUrl(QUrl(QStringLiteral("http://h9.example/"))).isEmpty());
        QCOMPARE(jar.cookiesForUrl(QUrl(QStringLiteral("http://h10.example/"))).size(), 50);
        QCOMPARE(jar.cookiesForUrl(QUrl(QStringLiteral("http://h69.example/"))).size(), 50);
    }
    // A file flooded by an earlier run is read within the bounds and written back smaller.
    QFile flooded(file);
    QVERIFY(flooded.open(QIODevice::WriteOnly));
    for (int i = 0; i < 200; ++i)
        flooded.write("127.0.0.1\t/\t" + QByteArray::number(later.toSecsSinceEpoch()) + "\t0\t0\t" +
                      ("f" + QByteArray::number(i)).toBase64() + "\t" + QByteArray(1024, 'v').toBase64() + "\n");
    flooded.close();
    const qint64 before = QFileInfo(file).size();
    PersistentCookieJar jar(file);
    const QList<QNetworkCookie> kept = jar.cookiesForUrl(QUrl(QStringLiteral("http://127.0.0.1/")));
    QCOMPARE(kept.size(), 50);
    for (const QNetworkCookie& c : kept)
        QVERIFY2(c.name().mid(1).toInt() >= 150, c.name().constData());
    QVERIFY(QFileInfo(file).size() < before / 3);
}

QTEST_GUILESS_MAIN(TestUploadLogic)
#include "tst_uploadlogic.moc"
