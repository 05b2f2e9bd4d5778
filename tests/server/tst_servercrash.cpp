// A service killed with SIGKILL in the middle of registrations and uploads keeps every
// acknowledged account and upload, a database that opens, and no half-written file.
#include "ServerFixture.h"

#include <QDir>
#include <QProcess>
#include <QSqlQuery>
#include <QTcpServer>
#include <QtTest>

class TestServerCrash : public QObject {
    Q_OBJECT

private slots:
    void killDuringWrites();
};

namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QByteArray payload(int i)
{
    QByteArray data = QByteArray::number(i).rightJustified(6, '0');
    return data.repeated(256 * 1024 / data.size()); // 256 KB, distinct per upload
}

} // namespace

void TestServerCrash::killDuringWrites()
{
    const QString binary = QStringLiteral(QUILLMERE_BIN_DIR "/quillmere-server");
    if (!QFileInfo::exists(binary))
        QSKIP("quillmere-server has not been built");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const quint16 port = freePort();
    QProcess server;
    server.setProgram(binary);
    server.setArguments({"--data", dir.path(), "--listen", QStringLiteral("127.0.0.1:%1").arg(port), "--pwhash-ops",
                         "1", "--pwhash-mem-kib", "8"});
    server.start();
    QVERIFY(server.waitForStarted());
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += server.readAllStandardOutput()).contains("serving"), 10000);

    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(port);
    QNetworkAccessManager nam;
    auto wait = [](QNetworkReply* reply) {
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec();
        return reply->readAll();
    };
    QNetworkRequest form(QUrl(base + "/readerserver/userinfo.asp"));
    form.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    QCOMPARE(ServerFixture::code(wait(nam.post(form, "action=reg&username=uploader&userpass=abc&email=a%40b%2Ecom"))),
             QStringLiteral("1"));
    QCOMPARE(ServerFixture::code(wait(nam.get(QNetworkRequest(
                 QUrl(base + "/readerserver/userinfo.asp?action=login&username=uploader&password=abc&cookies=1"))))),
             QStringLiteral("1"));

    // Many writes at once; the service is killed once a few have been acknowledged.
    const int count = 60;
    QStringList acknowledgedUsers;
    QStringList acknowledgedTitles;
    int finished = 0;
    int acknowledged = 0;
    for (int i = 0; i < count; ++i) {
        QNetworkReply* reply = nullptr;
        const QString name = QStringLiteral("user%1").arg(i);
        const QString title = QStringLiteral("书%1").arg(i);
        if (i % 2 == 0) {
            reply = nam.post(form, "action=reg&userpass=abc&email=a%40b%2Ecom&username=" + name.toLatin1());
        } else {
            QNetworkRequest upload(QUrl(base + "/readerserver/uploadbook.asp"));
            upload.setHeader(QNetworkRequest::ContentTypeHeader, "multipart/form-data");
            reply =
                nam.post(upload, ServerFixture::uploadBody(ServerFixture::uploadFields("uploader", title), payload(i)));
        }
        QObject::connect(reply, &QNetworkReply::finished, reply, [&, reply, i, name, title] {
            ++finished;
            const QByteArray body = reply->readAll();
            reply->deleteLater();
            if (reply->error() != QNetworkReply::NoError)
                return;
            if (i % 2 == 0 && ServerFixture::code(body) == QLatin1String("1"))
                acknowledgedUsers.append(name);
            else if (i % 2 == 1 && body.startsWith("1|"))
                acknowledgedTitles.append(title);
            if (++acknowledged == 12)
                server.kill();
        });
    }
    QTRY_COMPARE_WITH_TIMEOUT(finished, count, 30000);
    server.waitForFinished(5000);
    QVERIFY(acknowledged >= 12);
    QVERIFY2(acknowledged < count, "the service was not killed in the middle of the writes");

    // The data folder opens, its database is sound and holds everything acknowledged.
    ServiceDatabase db;
    QVERIFY(db.open(dir.path()));
    QSqlQuery check(db.connection());
    QVERIFY(check.exec("PRAGMA integrity_check") && check.next());
    QCOMPARE(check.value(0).toString(), QStringLiteral("ok"));
    for (const QString& name : acknowledgedUsers)
        QVERIFY2(db.userByName(name), qPrintable(name));
    const QList<BookRecord> uploads = db.pendingBooks();
    for (const QString& title : acknowledgedTitles) {
        auto found = std::find_if(uploads.begin(), uploads.end(), [&](const BookRecord& b) { return b.name == title; });
        QVERIFY2(found != uploads.end(), qPrintable(title));
        QFile file(dir.path() + "/files/" + found->file);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), payload(title.mid(1).toInt()));
    }
    // Every file that is visible under files/ is complete.
    QDir files(dir.path() + "/files");
    for (const QString& name : files.entryList(QDir::Files)) {
        QFile file(files.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        QCOMPARE(data.size(), payload(0).size());
        QCOMPARE(data, payload(data.left(6).toInt()));
    }
}

QTEST_GUILESS_MAIN(TestServerCrash)
#include "tst_servercrash.moc"
