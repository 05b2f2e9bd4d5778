// The download control: the order of its events, batches, failures and what lands on disk.
#include "RecordingHttpServer.h"
#include "online/Downloader.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray bytes(int size, char seed)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = static_cast<char>(seed + i % 31);
    return b;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Every event of a downloader as one line, in the order they came.
struct EventLog : QObject {
    QStringList lines;
    QList<QStringList> batches;
    explicit EventLog(Downloader& d)
    {
        connect(&d, &Downloader::DownloadProgress, this, [this](qint64 cur, qint64 max, const QString& f) {
            const QString line = QStringLiteral("progress %1").arg(QFileInfo(f).fileName());
            if (lines.isEmpty() || lines.last() != line)
                lines << line;
            QVERIFY(cur <= max);
        });
        connect(&d, &Downloader::DownloadError, this,
                [this](const QString& f) { lines << QStringLiteral("error %1").arg(QFileInfo(f).fileName()); });
        connect(&d, &Downloader::DownloadComplete, this, [this](qint64 max, const QString& f) {
            lines << QStringLiteral("complete %1 %2").arg(QFileInfo(f).fileName()).arg(max);
        });
        connect(&d, &Downloader::DownloadAllComplete, this, [this](const QStringList& failed) {
            lines << QStringLiteral("all");
            batches << failed;
        });
    }
    QStringList without(const QString& prefix) const
    {
        QStringList out;
        for (const QString& l : lines)
            if (!l.startsWith(prefix))
                out << l;
        return out;
    }
};

} // namespace

class TestDownloader : public QObject {
    Q_OBJECT

private slots:
    void init();
    void twoDownloadsCompleteThenOneBatchEnd();
    void oneFailureAmongThree();
    void unknownSizeGivesNoProgress();
    void cancelThenNewBatch();
    void failuresLeaveTheOldFileAlone_data();
    void failuresLeaveTheOldFileAlone();
    void longerOldFileKeepsNoStaleBytes();
    void downloadStartedFromHandlerJoinsTheBatch();
    void redirectsStayOnTheOrigin_data();
    void redirectsStayOnTheOrigin();
    void bodyStopsAtTheLimits_data();
    void bodyStopsAtTheLimits();

private:
    QString url(const QByteArray& path) const { return m_server->base() + QString::fromLatin1(path); }

    QNetworkAccessManager m_network;
    std::unique_ptr<RecordingHttpServer> m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestDownloader::init()
{
    m_server = std::make_unique<RecordingHttpServer>();
    QVERIFY(m_server->listen());
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestDownloader::twoDownloadsCompleteThenOneBatchEnd()
{
    RecordingHttpServer::Answer big;
    big.body = bytes(600 * 1024, 'a');
    big.chunkDelayMs = 20;
    RecordingHttpServer::Answer small;
    small.body = bytes(100 * 1024, 'b');
    m_server->answer("/big.txt", big);
    m_server->answer("/small.txt", small);

    Downloader d(m_network);
    EventLog log(d);
    const QString a = m_dir->filePath(QStringLiteral("big.txt"));
    const QString b = m_dir->filePath(QStringLiteral("small.txt"));
    d.BeginDownload(url("/big.txt"), a, 0);
    d.BeginDownload(url("/small.txt"), b, 12345);
    QCOMPARE(d.runningCount(), 2);
    QSignalSpy all(&d, &Downloader::DownloadAllComplete);
    QVERIFY(all.wait(10000));

    QVERIFY(log.lines.contains(QStringLiteral("progress big.txt")));
    QVERIFY(log.lines.contains(QStringLiteral("progress small.txt")));
    QCOMPARE(log.without(QStringLiteral("progress")),
             (QStringList{QStringLiteral("complete small.txt 102400"), QStringLiteral("complete big.txt 614400"),
                          QStringLiteral("all")}));
    QCOMPARE(log.batches, (QList<QStringList>{QStringList{QString()}}));
    QCOMPARE(readFile(a), big.body);
    QCOMPARE(readFile(b), small.body);
    QCOMPARE(d.runningCount(), 0);
    // Nothing but the two files: no temporary file is left behind.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), 2);
}

void TestDownloader::oneFailureAmongThree()
{
    RecordingHttpServer::Answer ok;
    ok.body = bytes(2000, 'x');
    RecordingHttpServer::Answer missing;
    missing.status = 404;
    missing.body = "<html>not found</html>";
    RecordingHttpServer::Answer slow = ok;
    slow.body = bytes(300 * 1024, 'y');
    slow.chunkDelayMs = 30;
    m_server->answer("/1.txt", ok);
    m_server->answer("/2.txt", missing);
    m_server->answer("/3.txt", slow);

    Downloader d(m_network);
    EventLog log(d);
    QStringList files;
    for (const char* name : {"1.txt", "2.txt", "3.txt"}) {
        files << m_dir->filePath(QString::fromLatin1(name));
        d.BeginDownload(url(QByteArray("/") + name), files.last());
    }
    QSignalSpy all(&d, &Downloader::DownloadAllComplete);
    QVERIFY(all.wait(10000));
    const QStringList events = log.without(QStringLiteral("progress"));
    QCOMPARE(events.last(), QStringLiteral("all"));
    QCOMPARE(events.count(QStringLiteral("all")), 1);
    QVERIFY(events.contains(QStringLiteral("error 2.txt")));
    QVERIFY(events.indexOf(QStringLiteral("complete 3.txt 307200")) == events.size() - 2);
    QCOMPARE(log.batches.first(), (QStringList{QString(), files[1]}));
    QVERIFY(!QFile::exists(files[1])); // an error page is never saved as the book
}

void TestDownloader::unknownSizeGivesNoProgress()
{
    RecordingHttpServer::Answer chunked;
    chunked.body = bytes(200 * 1024, 'c');
    chunked.chunked = true;
    m_server->answerDefault(chunked);
    Downloader d(m_network);
    EventLog log(d);
    const QString target = m_dir->filePath(QStringLiteral("c.txt"));
    d.BeginDownload(url("/c.txt"), target);
    QSignalSpy all(&d, &Downloader::DownloadAllComplete);
    QVERIFY(all.wait(10000));
    QCOMPARE(log.lines, (QStringList{QStringLiteral("complete c.txt 204800"), QStringLiteral("all")}));
    QCOMPARE(readFile(target), chunked.body);
}

void TestDownloader::cancelThenNewBatch()
{
    RecordingHttpServer::Answer never;
    never.never = true;
    m_server->answer("/stuck.txt", never);
    RecordingHttpServer::Answer ok;
    ok.body = "fresh";
    m_server->answer("/ok.txt", ok);

    const QString stuck = m_dir->filePath(QStringLiteral("stuck.txt"));
    QFile old(stuck);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("previous version");
    old.close();

    Downloader d(m_network);
    EventLog log(d);
    d.BeginDownload(url("/stuck.txt"), stuck);
    QVERIFY(m_server->waitForRequests(1));
    QVERIFY(d.CancelAllDownload());
    QCOMPARE(d.runningCount(), 0);

    const QString target = m_dir->filePath(QStringLiteral("ok.txt"));
    d.BeginDownload(url("/ok.txt"), target);
    QSignalSpy all(&d, &Downloader::DownloadAllComplete);
    QVERIFY(all.wait(10000));
    QTest::qWait(100);
    // Only the new batch speaks; the cancelled download raised nothing and changed nothing.
    QCOMPARE(log.without(QStringLiteral("progress")),
             (QStringList{QStringLiteral("complete ok.txt 5"), QStringLiteral("all")}));
    QCOMPARE(log.batches, (QList<QStringList>{QStringList{QString()}}));
    QCOMPARE(readFile(stuck), QByteArray("previous version"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), 2);
}

void TestDownloader::failuresLeaveTheOldFileAlone_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("stopAfter");
    QTest::addColumn<bool>("missingFolder");
    QTest::newRow("status 500") << 500 << -1 << false;
    QTest::newRow("status 206") << 206 << -1 << false;
    QTest::newRow("connection dropped mid-body") << 200 << 70000 << false;
    QTest::newRow("folder missing: cannot write") << 200 << -1 << true;
}

void TestDownloader::failuresLeaveTheOldFileAlone()
{
    QFETCH(int, status);
    QFETCH(int, stopAfter);
    QFETCH(bool, missingFolder);
    RecordingHttpServer::Answer a;
    a.status = status;
    a.body = bytes(200 * 1024, 'z');
    a.stopAfterBytes = stopAfter;
    m_server->answerDefault(a);

    const QString target =
        missingFolder ? m_dir->filePath(QStringLiteral("gone/book.txt")) : m_dir->filePath(QStringLiteral("book.txt"));
    if (!missingFolder) {
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the book as it was");
    }
    Downloader d(m_network);
    EventLog log(d);
    d.BeginDownload(url("/book.txt"), target);
    QSignalSpy all(&d, &Downloader::DownloadAllComplete);
    QVERIFY(all.wait(10000));
    QCOMPARE(log.without(QStringLiteral("progress")),
             (QStringList{QStringLiteral("error book.txt"), QStringLiteral("all")}));
    QCOMPARE(log.batches.first(), (QStringList{QString(), target}));
    if (missingFolder)
        QVERIFY(!QFile::exists(target));
    else
        QCOMPARE(readFile(target), QByteArray("the book as it was"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), missingFolder ? 0 : 1);
}

void TestDownloader::longerOldFileKeepsNoStaleBytes()
{
    const QString target = m_dir->filePath(QStringLiteral("book.txt"));
    QFile old(target);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(bytes(50000, 'o'));
    old.close();
    RecordingHttpServer::Answer a;
    a.body = "short new text";
    m_server->answerDefault(a);
    Downloader d(m_network);
    d.BeginDownload(url("/book.txt"), target);
    QSignalSpy all(&d, &Downloader::DownloadAllComplete);
    QVERIFY(all.wait(10000));
    QCOMPARE(readFile(target), QByteArray("short new text"));
}

void TestDownloader::downloadStartedFromHandlerJoinsTheBatch()
{
    RecordingHttpServer::Answer a;
    a.body = "text";
    m_server->answerDefault(a);
    Downloader d(m_network);
    EventLog log(d);
    bool startedSecond = false;
    connect(&d, &Downloader::DownloadComplete, this, [&](qint64, const QString&) {
        if (!startedSecond) {
            startedSecond = true;
            d.BeginDownload(url("/second.txt"), m_dir->filePath(QStringLiteral("second.txt")));
        }
    });
    d.BeginDownload(url("/first.txt"), m_dir->filePath(QStringLiteral("first.txt")));
    QSignalSpy all(&d, &Downloader::DownloadAllComplete);
    QVERIFY(all.wait(10000));
    QTest::qWait(100);
    QCOMPARE(log.without(QStringLiteral("progress")),
             (QStringList{QStringLiteral("complete first.txt 4"), QStringLiteral("complete second.txt 4"),
                          QStringLiteral("all")}));
}

void TestDownloader::redirectsStayOnTheOrigin_data()
{
    QTest::addColumn<QString>("start");       // the address asked for; "{other}" is another port
    QTest::addColumn<QByteArray>("location"); // where /moved.txt sends it
    QTest::addColumn<bool>("followed");
    QTest::newRow("within the origin") << "/moved.txt" << QByteArray("/book.txt") << true;
    QTest::newRow("to another port") << "/moved.txt" << QByteArray("{other}/book.txt") << false;
    QTest::newRow("to a local file") << "/moved.txt" << QByteArray("file:///etc/hostname") << false;
    QTest::newRow("not a web address to start with") << "file:///etc/hostname" << QByteArray() << false;
}

void TestDownloader::redirectsStayOnTheOrigin()
{
    QFETCH(QString, start);
    QFETCH(QByteArray, location);
    QFETCH(bool, followed);
    RecordingHttpServer other;
    QVERIFY(other.listen());
    RecordingHttpServer::Answer book;
    book.body = "the book";
    m_server->answer("/book.txt", book);
    other.answerDefault(book);
    RecordingHttpServer::Answer moved;
    moved.status = 302;
    moved.headers = {"Location: " + location.replace("{other}", other.base().toLatin1())};
    m_server->answer("/moved.txt", moved);

    Downloader d(m_network);
    EventLog log(d);
    QStringList reasons;
    connect(&d, &Downloader::DownloadFailed, this, [&](const QString&, const QString& reason) {
        reasons << reason;
        QVERIFY(log.lines.isEmpty() || !log.lines.last().startsWith(QStringLiteral("error")));
    });
    const QString target = m_dir->filePath(QStringLiteral("book.txt"));
    d.BeginDownload(start.startsWith('/') ? url(start.toLatin1()) : start, target);
    QSignalSpy all(&d, &Downloader::DownloadAllComplete);
    QVERIFY(all.wait(10000));
    QCOMPARE(log.without(QStringLiteral("progress")).first(),
             followed ? QStringLiteral("complete book.txt 8") : QStringLiteral("error book.txt"));
    QCOMPARE(readFile(target), followed ? QByteArray("the book") : QByteArray("<missing>"));
    QCOMPARE(reasons.size(), followed ? 0 : 1);
    QVERIFY(other.requests().isEmpty());
}

void TestDownloader::bodyStopsAtTheLimits_data()
{
    QTest::addColumn<bool>("chunked");
    QTest::addColumn<int>("repeat"); // of 64 KiB
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<qint64>("keepFree");
    QTest::addColumn<QString>("reason"); // empty: it completes
    const qint64 limit = 256 * 1024;
    const QString tooLarge = QStringLiteral("文件超过 256 KB 的上限，已停止下载");
    const QString noSpace = QStringLiteral("磁盘空间不足，已停止下载");
    QTest::newRow("endless body past the limit") << true << 100000 << limit << qint64(0) << tooLarge;
    QTest::newRow("declared size past the limit") << false << 5 << limit << qint64(0) << tooLarge;
    QTest::newRow("exactly the limit") << true << 4 << limit << qint64(0) << QString();
    QTest::newRow("the disk would keep too little") << true << 2 << limit << (qint64(1) << 60) << noSpace;
}

void TestDownloader::bodyStopsAtTheLimits()
{
    QFETCH(bool, chunked);
    QFETCH(int, repeat);
    QFETCH(qint64, maxBytes);
    QFETCH(qint64, keepFree);
    QFETCH(QString, reason);
    RecordingHttpServer::Answer stream;
    stream.body = bytes(64 * 1024, 's');
    stream.repeat = repeat;
    stream.chunked = chunked;
    m_server->answerDefault(stream);

    Downloader d(m_network);
    d.setLimits({maxBytes, keepFree});
    EventLog log(d);
    QStringList reasons;
    connect(&d, &Downloader::DownloadFailed, this, [&](const QString&, const QString& why) { reasons << why; });
    const QString target = m_dir->filePath(QStringLiteral("endless.txt"));
    d.BeginDownload(url("/endless.txt"), target);
    QSignalSpy all(&d, &Downloader::DownloadAllComplete);
    QVERIFY(all.wait(10000));
    QCOMPARE(reasons, reason.isEmpty() ? QStringList() : QStringList{reason});
    QCOMPARE(QFileInfo(target).size(), reason.isEmpty() ? maxBytes : 0);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), reason.isEmpty() ? 1 : 0);
}

QTEST_MAIN(TestDownloader)
#include "tst_downloader.moc"
