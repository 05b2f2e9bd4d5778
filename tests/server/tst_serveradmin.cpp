// The administration side: the command line, the demo catalogue and update publishing.
#include "CommandLine.h"
#include "DemoSeeder.h"
#include "ServerFixture.h"

#include <QtTest>

#include <archive.h>
#include <archive_entry.h>

class TestServerAdmin : public QObject {
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void demoCatalogue();
    void demoZipHoldsTheBook();
    void commandRefusals();
    void leftoversClearedByTheServiceOnly();
    void unreferencedFilesSweptAtStart();
};

void TestServerAdmin::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("defaults") << QStringList() << true << ""
                              << "127.0.0.1" << 8086;
    QTest::newRow("listen") << QStringList{"--listen", "127.0.0.1:9000"} << true << ""
                            << "127.0.0.1" << 9000;
    QTest::newRow("command after options") << QStringList{"--data", "/tmp/x", "approve", "--data"} << true << "approve"
                                           << "127.0.0.1" << 8086;
    QTest::newRow("listen without port") << QStringList{"--listen", "127.0.0.1"} << false << ""
                                         << "" << 0;
    QTest::newRow("listen on a name") << QStringList{"--listen", "example:80"} << false << ""
                                      << "" << 0;
    QTest::newRow("port too large") << QStringList{"--listen", "127.0.0.1:70000"} << false << ""
                                    << "" << 0;
    QTest::newRow("missing value") << QStringList{"--data"} << false << ""
                                   << "" << 0;
    QTest::newRow("unknown option") << QStringList{"--fast"} << false << ""
                                    << "" << 0;
    QTest::newRow("bad upload limit") << QStringList{"--max-upload-mb", "0"} << false << ""
                                      << "" << 0;
}

void TestServerAdmin::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(bool, valid);
    QFETCH(QString, command);
    QFETCH(QString, host);
    QFETCH(int, port);
    const Invocation inv = CommandLine::parse(args);
    QCOMPARE(inv.error.isEmpty(), valid);
    if (!valid)
        return;
    QCOMPARE(inv.command, command);
    QCOMPARE(inv.config.host.toString(), host);
    QCOMPARE(int(inv.config.port), port);
}

void TestServerAdmin::demoCatalogue()
{
    ServerFixture server;
    QVERIFY(server.start());
    QString text;
    QTextStream out(&text);
    QCOMPARE(Admin(server.config(), out, out).run("seed-demo", {}), 0);
    // Seeding again leaves a service with data alone.
    QCOMPARE(Admin(server.config(), out, out).run("seed-demo", {}), 0);
    QCOMPARE(server.service().database().bookCount(), 30);

    const HttpResult all = server.get(QStringLiteral("/readerserver/listbook.asp?action=list&type=全部资源"));
    QCOMPARE(ServerFixture::texts(all.body, "pageinfo"), QStringList{"2,29,1,1,2"});
    for (const QString& category : Service::kCategories) {
        const HttpResult r = server.get("/readerserver/listbook.asp?action=list&type=" + category);
        QVERIFY2(!ServerFixture::texts(r.body, "bookinfo").isEmpty(), qPrintable(category));
    }
    QVERIFY(ServerFixture::texts(all.body, "downurl").filter(".zip").size() > 0);
    QVERIFY(ServerFixture::texts(all.body, "downurl").filter(".txt").size() > 0);
    QCOMPARE(
        server.get(QStringLiteral("/readerserver/userinfo.asp?action=login&username=demo&password=demo123&cookies=0"))
            .status,
        200);
    const HttpResult check = server.get(QStringLiteral("/readerserver/userinfo.asp?action=check"));
    QCOMPARE(ServerFixture::texts(check.body, "uname"), QStringList{"demo"});
    const HttpResult mine = server.get(QStringLiteral("/readerserver/ListUserBook.asp?uname=demo"));
    QCOMPARE(ServerFixture::texts(mine.body, "checkif"), QStringList({"0", "1", "1"}));
    const HttpResult info = server.get(QStringLiteral("/readerserver/getinfo.asp?desknum=x"));
    QCOMPARE(ServerFixture::texts(info.body, "version"), QStringList{"v1.3"});
    QVERIFY(!ServerFixture::texts(info.body, "reader_2").value(0).isEmpty());
}

void TestServerAdmin::demoZipHoldsTheBook()
{
    const QByteArray text = TextCodec::encodeGbk(DemoSeeder::bookText(QStringLiteral("书"), 3, 5));
    QVERIFY(text.contains(TextCodec::encodeGbk(QStringLiteral("第三章"))));
    const QByteArray zip = DemoSeeder::zipOf("demo.txt", text);
    archive* a = archive_read_new();
    archive_read_support_format_zip(a);
    QCOMPARE(archive_read_open_memory(a, zip.constData(), size_t(zip.size())), ARCHIVE_OK);
    archive_entry* entry = nullptr;
    QCOMPARE(archive_read_next_header(a, &entry), ARCHIVE_OK);
    QCOMPARE(QByteArray(archive_entry_pathname(entry)), QByteArray("demo.txt"));
    QByteArray read(text.size() + 10, '\0');
    QCOMPARE(archive_read_data(a, read.data(), size_t(read.size())), la_ssize_t(text.size()));
    read.truncate(text.size());
    QCOMPARE(read, text);
    archive_read_free(a);
}

void TestServerAdmin::commandRefusals()
{
    ServerFixture server;
    QVERIFY(server.start());
    QString text;
    QTextStream out(&text);
    auto run = [&](const QString& command, const QStringList& args) {
        return Admin(server.config(), out, out).run(command, args);
    };
    QCOMPARE(run("approve", {"x"}), 2);
    QCOMPARE(run("approve", {"42"}), 1);
    QCOMPARE(run("import", {"/nonexistent.txt", QStringLiteral("武侠仙侠"), "t", "a", QStringLiteral("全集")}), 1);
    QCOMPARE(run("import", {"/etc/hostname", QStringLiteral("小说"), "t", "a", QStringLiteral("全集")}), 1);
    QCOMPARE(run("publish-update", {"v2", "maybe", "notes"}), 1);
    QCOMPARE(run("publish-update", {"v2", "FALSE", "notes", "ftp://x/y"}), 2);
    QCOMPARE(run("publish-update", {"v2", "FALSE", "notes", "ftp://x/y", "\\"}), 1);
    QCOMPARE(run("set-notice", {"5", "x"}), 1);
    QCOMPARE(run("frobnicate", {}), 2);
    QCOMPARE(run("set-notice", {"news", QStringLiteral("新公告")}), 0);
    QVERIFY(QString::fromUtf8(server.get("/readerserver/NewsInfo.asp").body).contains(QStringLiteral("新公告")));
}

void TestServerAdmin::leftoversClearedByTheServiceOnly()
{
    // A killed service leaves half-written files in tmp/; the next service start removes
    // them, while an administration command leaves tmp/ alone because the running service
    // may be writing there.
    QTemporaryDir dir;
    ServerConfig config;
    config.dataDir = dir.path();
    QVERIFY(QDir().mkpath(dir.path() + "/tmp"));
    QFile part(dir.path() + "/tmp/upload.part");
    QVERIFY(part.open(QIODevice::WriteOnly));
    part.close();
    QString text;
    QTextStream out(&text);
    QVERIFY(Admin(config, out, out).open());
    QVERIFY(part.exists());
    Service service(config);
    QVERIFY(service.open());
    QVERIFY(!part.exists());
}

void TestServerAdmin::unreferencedFilesSweptAtStart()
{
    // A service killed between storing an upload's file and committing its row leaves a file
    // nothing names; the next start removes it. Files of rows, files of other origins, the
    // update folder, and files so new that an administration command may be committing
    // their row right now all stay.
    QTemporaryDir dir;
    ServerConfig config;
    config.dataDir = dir.path();
    QString text;
    QTextStream out(&text);
    Admin admin(config, out, out);
    QVERIFY(admin.open());
    QTemporaryFile source(dir.path() + QStringLiteral("/source-XXXXXX.txt"));
    QVERIFY(source.open());
    source.write("正文");
    source.close();
    const auto id = admin.importBook(source.fileName(), QStringLiteral("其他分类"), QStringLiteral("留下的书"),
                                     QStringLiteral("某人"), QStringLiteral("全集"), QString());
    QVERIFY(id);
    const QString kept = admin.database().book(*id)->file;

    const QString files = dir.path() + QStringLiteral("/files/");
    const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
    auto place = [&](const QString& name, const QDateTime& written) {
        QFile file(files + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
        QVERIFY(file.flush());
        QVERIFY(file.setFileTime(written, QFileDevice::FileModificationTime));
    };
    place(QStringLiteral("b0123456789abcdef.txt"), old);                          // orphaned book
    place(QStringLiteral("c0123456789abcdef.jpg"), old);                          // orphaned cover
    place(QStringLiteral("bfedcba9876543210.txt"), QDateTime::currentDateTime()); // being committed
    place(QStringLiteral("notes.txt"), old);                                      // not the service's own name
    place(QStringLiteral("update/b0123456789abcdef.txt"), old);                   // published by publish-update
    QFile keptFile(files + kept);
    QVERIFY(keptFile.open(QIODevice::ReadOnly));
    QVERIFY(keptFile.setFileTime(old, QFileDevice::FileModificationTime));
    keptFile.close();

    Service service(config);
    QVERIFY(service.open());
    QStringList left = QDir(files).entryList(QDir::Files);
    left.sort();
    QStringList expected = {QStringLiteral("bfedcba9876543210.txt"), kept, QStringLiteral("notes.txt")};
    expected.sort();
    QCOMPARE(left, expected);
    QVERIFY(QFile::exists(files + QStringLiteral("update/b0123456789abcdef.txt")));
}

QTEST_GUILESS_MAIN(TestServerAdmin)
#include "tst_serveradmin.moc"
