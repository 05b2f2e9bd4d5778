// The administration side: the command line, the demo catalogue and update publishing.
#include "CommandLine.h"
#include "DemoSeeder.h"
#include "RarWriter.h"
#include "ServerFixture.h"

#include <QtTest>

#include <archive.h>
#include <archive_entry.h>

class TestServerAdmin : public QObject {
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void publicUrlOption_data();
    void publicUrlOption();
    void publicUrlIsAnnouncedByServiceAndCommands_data();
    void publicUrlIsAnnouncedByServiceAndCommands();
    void demoCatalogue();
    void demoZipHoldsTheBook();
    void storedRarReadsBack();
    void storedRarWithDamagedHeaderIsRefused();
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

void TestServerAdmin::publicUrlOption_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("kept"); // empty: the command line is refused
    QTest::newRow("host and port") << "http://books.example:8086"
                                   << "http://books.example:8086";
    QTest::newRow("trailing slashes go") << "http://books.example:8086//"
                                         << "http://books.example:8086";
    QTest::newRow("https with a path") << "https://example.org/quill/"
                                       << "https://example.org/quill";
    QTest::newRow("no scheme") << "books.example:8086"
                               << "";
    QTest::newRow("not http") << "ftp://books.example"
                              << "";
    QTest::newRow("with a query") << "http://books.example/?a=1"
                                  << "";
    QTest::newRow("with a user") << "http://me@books.example"
                                 << "";
}

void TestServerAdmin::publicUrlOption()
{
    QFETCH(QString, given);
    QFETCH(QString, kept);
    const Invocation inv = CommandLine::parse({"--public-url", given, "--listen", "0.0.0.0:8099"});
    QCOMPARE(inv.error.isEmpty(), !kept.isEmpty());
    if (!kept.isEmpty())
        QCOMPARE(inv.config.publicOrigin(), kept);
}

void TestServerAdmin::publicUrlIsAnnouncedByServiceAndCommands_data()
{
    QTest::addColumn<QStringList>("serveOptions");
    QTest::addColumn<QString>("announced");
    QTest::newRow("public url") << QStringList{"--listen", "0.0.0.0:8099", "--public-url", "http://books.example:8099"}
                                << "http://books.example:8099";
    QTest::newRow("listen address by default") << QStringList{"--listen", "0.0.0.0:8099"} << "http://127.0.0.1:8099";
}

void TestServerAdmin::publicUrlIsAnnouncedByServiceAndCommands()
{
    QFETCH(QStringList, serveOptions);
    QFETCH(QString, announced);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The service as started with these options; it keeps its address with the data. (The
    // test does not bind every interface: recording the address is what matters here.)
    const Invocation serve = CommandLine::parse(QStringList{"--data", dir.path()} + serveOptions);
    QVERIFY2(serve.error.isEmpty(), qPrintable(serve.error));
    Service service(serve.config);
    QVERIFY(service.open());
    QVERIFY(service.recordPublicUrl(serve.config.port));

    // Administration commands name only the data folder.
    const QString updateFile = dir.path() + "/quillmere-fix.bin";
    QFile file(updateFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("fix");
    file.close();
    QString text;
    QTextStream out(&text);
    const Invocation admin = CommandLine::parse({"--data", dir.path()});
    QCOMPARE(Admin(admin.config, out, out).run("seed-demo", {}), 0);
    QCOMPARE(Admin(admin.config, out, out).run("publish-update", {"v1.4", "FALSE", "notes", updateFile, "\\"}), 0);

    HttpRequest request;
    request.method = "GET";
    request.path = "/readerserver/getinfo.asp";
    request.query = "rnt=1";
    HttpReply reply;
    service.handle(request, [&reply](HttpReply r) { reply = std::move(r); });
    QCOMPARE(ServerFixture::texts(reply.body, "downloadlist"),
             QStringList{announced + "/files/update/quillmere-fix.bin"});
    QCOMPARE(ServerFixture::texts(reply.body, "reader_1"), QStringList{announced + "/readerserver/NewsInfo.asp"});
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
    const QStringList downurls = ServerFixture::texts(all.body, "downurl");
    QVERIFY(downurls.filter(".zip").size() > 0);
    QVERIFY(downurls.filter(".txt").size() > 0);
    const QStringList rars = downurls.filter(".rar");
    QVERIFY(!rars.isEmpty());
    // The RAR book holds the book's text in a folder named after it.
    const HttpResult rar = server.get(rars.first());
    QCOMPARE(rar.status, 200);
    archive* a = archive_read_new();
    archive_read_support_format_rar5(a);
    QCOMPARE(archive_read_open_memory(a, rar.body.constData(), size_t(rar.body.size())), ARCHIVE_OK);
    archive_entry* entry = nullptr;
    QCOMPARE(archive_read_next_header(a, &entry), ARCHIVE_OK);
    const QString title = QUrl::fromPercentEncoding(rars.first().section('/', -1).toUtf8()).chopped(4);
    QCOMPARE(QString::fromUtf8(archive_entry_pathname_utf8(entry)), title + "/" + title + ".txt");
    QByteArray book(int(archive_entry_size(entry)), '\0');
    QCOMPARE(archive_read_data(a, book.data(), size_t(book.size())), la_ssize_t(book.size()));
    QVERIFY(TextCodec::decodeGbk(book).value_or(QString()).startsWith(title + "\r\n"));
    QCOMPARE(archive_read_next_header(a, &entry), ARCHIVE_EOF);
    archive_read_free(a);
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

namespace {

struct ReadBack {
    int result = ARCHIVE_OK;
    QList<QPair<QString, QByteArray>> files;
};

ReadBack readRar(const QByteArray& rar)
{
    ReadBack back;
    archive* a = archive_read_new();
    archive_read_support_format_rar5(a);
    archive_read_open_memory(a, rar.constData(), size_t(rar.size()));
    archive_entry* entry = nullptr;
    while ((back.result = archive_read_next_header(a, &entry)) == ARCHIVE_OK) {
        QByteArray data;
        char buffer[8192];
        la_ssize_t n = 0;
        while ((n = archive_read_data(a, buffer, sizeof buffer)) > 0)
            data.append(buffer, int(n));
        back.files.append({QString::fromUtf8(archive_entry_pathname_utf8(entry)), data});
    }
    archive_read_free(a);
    return back;
}

} // namespace

void TestServerAdmin::storedRarReadsBack()
{
    const QByteArray big(300000, 'x');
    const QByteArray rar = RarWriter::stored({{QStringLiteral("剑影江湖/剑影江湖.txt"), QByteArray("第一章\r\n")},
                                              {QStringLiteral("big.txt"), big},
                                              {QStringLiteral("empty.txt"), QByteArray()}});
    QVERIFY(rar.startsWith(QByteArray("Rar!\x1a\x07\x01\x00", 8)));
    QVERIFY(FileStore::contentMatches(QStringLiteral("rar"), rar));
    const ReadBack back = readRar(rar);
    QCOMPARE(back.result, ARCHIVE_EOF);
    QCOMPARE(back.files.size(), 3);
    QCOMPARE(back.files[0].first, QStringLiteral("剑影江湖/剑影江湖.txt"));
    QCOMPARE(back.files[0].second, QByteArray("第一章\r\n"));
    QCOMPARE(back.files[1].second, big);
    QCOMPARE(back.files[2].second, QByteArray());
    QCOMPARE(RarWriter::crc32("123456789"), 0xCBF43926u); // the check value of this CRC
}

void TestServerAdmin::storedRarWithDamagedHeaderIsRefused()
{
    QByteArray rar = RarWriter::stored({{QStringLiteral("a.txt"), QByteArray("abc")}});
    rar[8] = char(rar[8] ^ 1); // the main header's checksum
    QCOMPARE(readRar(rar).result, ARCHIVE_FATAL);
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
