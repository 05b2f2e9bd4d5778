// The download queue end to end: catalogue books fetched from the reference service (or a
// recording service) into their folders, unpacked, and put on the shelf; the pane's texts;
// refusals of duplicates and of names that would leave the download folder; archives that
// are damaged, encrypted or bombs.
#include "../server/ServerFixture.h"
#include "DemoSeeder.h"
#include "FakeClock.h"
#include "FakeDesktopLauncher.h"
#include "FakeDialogs.h"
#include "FakePickers.h"
#include "FakeSpeechEngine.h"
#include "RarWriter.h"
#include "RecordingHttpServer.h"
#include "RecordingNavigator.h"
#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/LibraryDatabase.h"
#include "common/SharedRoutines.h"
#include "online/DownloadPane.h"
#include "online/DownloadQueue.h"
#include "platform/AnsiCodePage.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString kRarDir = QStringLiteral(QUILLMERE_TESTDATA_DIR "/rar");
const QString kAdded = QStringLiteral("下载完成，已为你添加到书架！");

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The shelf as one line a book: type|name|author|path|marke.
QStringList shelf(LibraryDatabase& db)
{
    QStringList lines;
    for (const BookRow& b : db.shelfPage(ShelfQuery::all(), 1).rows)
        lines << QStringList{b.type, b.name, b.author, b.path, b.marke}.join('|');
    lines.sort();
    return lines;
}

// A recording service that answers every request with `body` (or never, for a null body).
std::unique_ptr<RecordingHttpServer> serving(const QByteArray& body, int status = 200)
{
    auto server = std::make_unique<RecordingHttpServer>();
    if (!server->listen())
        return nullptr;
    RecordingHttpServer::Answer answer;
    answer.status = status;
    answer.contentType = "application/octet-stream";
    answer.body = body;
    answer.never = body.isNull();
    server->answerDefault(answer);
    return server;
}

CatalogueRow bookRow(const QString& name, const QString& downurl, const QString& category = QString(),
                     const QString& author = QString())
{
    CatalogueRow row;
    row.name = name;
    row.downurl = downurl;
    row.category = category;
    row.author = author;
    return row;
}

// A navigator that notes how many books the shelf held each time it was read again.
struct ShelfWatcher : RecordingNavigator {
    LibraryDatabase* db = nullptr;
    QList<int> booksAtReadList;
    void readList() override
    {
        RecordingNavigator::readList();
        booksAtReadList << db->countBooks(ShelfQuery::all());
    }
};

} // namespace

class TestDownloadQueue : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void textBookLandsOnTheShelfWithTheCatalogueFields();
    void archivesLandOnTheShelf_data();
    void archivesLandOnTheShelf();
    void secondDownloadAddsNoSecondRow();
    void duplicateIsRefusedEvenAfterItFinished();
    void upperCaseTxtIsText();
    void unsafeNamesAreRefused_data();
    void unsafeNamesAreRefused();
    void bombIsStopped();
    void damagedArchiveImportsNothing_data();
    void damagedArchiveImportsNothing();
    void encryptedArchiveIsKeptAndExplained_data();
    void encryptedArchiveIsKeptAndExplained();
    void progressTexts_data();
    void progressTexts();
    void failedTransferTurnsTheRowRed();
    void failedDownloadTakesAwayOnlyTheEmptyFolderItMade_data();
    void failedDownloadTakesAwayOnlyTheEmptyFolderItMade();
    void shelfIsReadOnceAfterTheLastArchive();
    void bookStillAddedAfterTheCatalogueMovedOn();
    void bookMissingFromTheCatalogueIsNotAdded();
    void paneShowsTheRows();

private:
    // The catalogue's part of a double-click: caption, URL and target file from the row's
    // download path, then the queue.
    void doubleClick(DownloadQueue& queue, const QString& base, const CatalogueRow& row);
    // The catalogue row of the service's book with this title.
    CatalogueRow catalogueRow(const QString& title);
    CatalogueRow importToService(const QString& file, const QString& title, const QString& category = "其他分类",
                                 const QString& author = "作者");
    std::unique_ptr<DownloadQueue> makeQueue();
    QString source(const QString& name, const QByteArray& data);
    int waitForImport(DownloadQueue& queue);
    QString bookFolder(const QString& caption) const { return m_state.downloadFolder + "/" + caption; }

    ServerFixture m_service;
    QTemporaryDir m_sources;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<LibraryDatabase> m_db;
    AppState m_state;
    FakeDialogs m_dialogs;
    FakePickers m_pickers;
    FakeDesktopLauncher m_desktop;
    FakeClock m_clock;
    QNetworkAccessManager m_network;
    FakeSpeechEngine m_speech;
    std::unique_ptr<AppServices> m_services;
    ShelfWatcher m_navigator;
    QList<CatalogueRow> m_rows;
};

void TestDownloadQueue::initTestCase()
{
    QVERIFY(m_service.start());
}

void TestDownloadQueue::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_db = std::make_unique<LibraryDatabase>();
    QCOMPARE(m_db->open(m_dir->filePath("Data.db")), LibraryDatabase::OpenResult::Created);
    m_state = AppState();
    m_state.library = m_db.get();
    m_state.downloadFolder = m_dir->filePath("TxtBook");
    QDir().mkpath(m_state.downloadFolder);
    m_dialogs.clear();
    m_navigator = ShelfWatcher();
    m_navigator.db = m_db.get();
    m_rows.clear();
    m_services = std::make_unique<AppServices>(
        AppServices{m_state, m_dialogs, m_pickers, m_desktop, m_clock, m_network, m_speech});
}

void TestDownloadQueue::cleanup()
{
    m_services.reset();
    m_db.reset();
    m_dir.reset();
}

std::unique_ptr<DownloadQueue> TestDownloadQueue::makeQueue()
{
    auto queue = std::make_unique<DownloadQueue>(*m_services, m_navigator);
    queue->setCatalogueRows([this] { return m_rows; });
    return queue;
}

void TestDownloadQueue::doubleClick(DownloadQueue& queue, const QString& base, const CatalogueRow& row)
{
    const QString name = getPathFileName(row.downurl);
    QString caption = name;
    caption.remove(name.right(4));
    const QString url = base + row.downurl;
    queue.DownloadaFile(caption, url, getUrlFileName(url));
}

CatalogueRow TestDownloadQueue::catalogueRow(const QString& title)
{
    const HttpResult r = m_service.get("/readerserver/listbook.asp?action=search&key=" + title);
    const int i = ServerFixture::texts(r.body, "name").indexOf(title);
    CatalogueRow row;
    if (i < 0)
        return row;
    row.id = ServerFixture::texts(r.body, "id").value(i);
    row.name = ServerFixture::texts(r.body, "name").value(i);
    row.category = ServerFixture::texts(r.body, "class").value(i);
    row.author = ServerFixture::texts(r.body, "author").value(i);
    row.statue = ServerFixture::texts(r.body, "statue").value(i);
    row.ftime = ServerFixture::texts(r.body, "ftime").value(i);
    row.size = ServerFixture::texts(r.body, "size").value(i);
    row.downurl = ServerFixture::texts(r.body, "downurl").value(i);
    return row;
}

CatalogueRow TestDownloadQueue::importToService(const QString& file, const QString& title, const QString& category,
                                                const QString& author)
{
    if (!catalogueRow(title).id.isEmpty())
        return catalogueRow(title);
    auto admin = m_service.admin();
    if (!admin || !admin->importBook(file, category, title, author, QStringLiteral("全集"), QString()))
        return {};
    return catalogueRow(title);
}

QString TestDownloadQueue::source(const QString& name, const QByteArray& data)
{
    const QString path = m_sources.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        return {};
    return path;
}

int TestDownloadQueue::waitForImport(DownloadQueue& queue)
{
    QSignalSpy spy(&queue, &DownloadQueue::imported);
    if (!spy.wait(20000))
        return -1;
    return spy.first().at(1).toInt();
}

void TestDownloadQueue::textBookLandsOnTheShelfWithTheCatalogueFields()
{
    const QByteArray text = AnsiCodePage::encode(QStringLiteral("第一章 开端\r\n正文\r\n"));
    // Quotes of both kinds reach the shelf exactly.
    const QString title = QStringLiteral("他说\"不要\"的'书'");
    const QString author = QStringLiteral("O'Neil \"老王\"");
    const CatalogueRow row = importToService(source("quotes.txt", text), title, QStringLiteral("武侠仙侠"), author);
    QVERIFY(!row.id.isEmpty());
    QCOMPARE(row.downurl, "/files/" + row.id + "/" + title + ".txt");
    m_rows = {row};

    auto queue = makeQueue();
    doubleClick(*queue, m_service.base(), row);
    QCOMPARE(queue->pane().rowCount(), 1);
    QCOMPARE(queue->pane().row(0).text, " " + title);
    QCOMPARE(waitForImport(*queue), 0);

    const QString path = bookFolder(title) + "/" + title + ".txt";
    QCOMPARE(readFile(path), text);
    QCOMPARE(shelf(*m_db), QStringList{QStringLiteral("武侠仙侠|") + title + "|" + author + "|" + path + "|Null"});
    QCOMPARE(queue->pane().row(0).key, path);
    QCOMPARE(queue->pane().row(0).progress, QStringLiteral("完成"));
    QCOMPARE(queue->pane().row(0).state, kAdded);
    QCOMPARE(queue->pane().data(queue->pane().index(0, 2), Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 255));
    QTRY_COMPARE(m_navigator.booksAtReadList, QList<int>{1});
    QCOMPARE(m_dialogs.count(), 0);
}

void TestDownloadQueue::archivesLandOnTheShelf_data()
{
    QTest::addColumn<QString>("archive"); // a file of the shared set, or "stored rar" / "zip"
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("firstTxt"); // below the book folder
    QTest::newRow("rar4, found depth first")
        << "rar4-nested-dirs-stored.rar" << QStringLiteral("嵌套目录") << "example/hoge.txt";
    QTest::newRow("rar5") << "rar5-stored.rar" << QStringLiteral("你好世界") << "helloworld.txt";
    QTest::newRow("rar4 with a link") << "rar4-stored-subdirs-symlink.rar" << QStringLiteral("链接") << "test.txt";
    QTest::newRow("the service's own rar")
        << "stored rar" << QStringLiteral("剑影江湖") << QStringLiteral("剑影江湖/正文.txt");
    QTest::newRow("zip") << "zip" << QStringLiteral("压缩的书") << "demo.txt";
}

void TestDownloadQueue::archivesLandOnTheShelf()
{
    QFETCH(QString, archive);
    QFETCH(QString, title);
    QFETCH(QString, firstTxt);
    QString file = kRarDir + "/" + archive;
    const QByteArray text = AnsiCodePage::encode(QStringLiteral("第一章\r\n"));
    if (archive == QLatin1String("zip"))
        file = source("book.zip", DemoSeeder::zipOf("demo.txt", text));
    else if (archive == QLatin1String("stored rar"))
        file = source("book.rar", RarWriter::stored({{QStringLiteral("剑影江湖/正文.txt"), text}}));
    else if (!QFileInfo::exists(file))
        QSKIP("the shared RAR archives are not available");
    const CatalogueRow row = importToService(file, title, QStringLiteral("玄幻修真"), QStringLiteral("某人"));
    QVERIFY(!row.id.isEmpty());
    m_rows = {row};
    auto queue = makeQueue();
    doubleClick(*queue, m_service.base(), row);
    QCOMPARE(waitForImport(*queue), 0);

    const QString folder = bookFolder(title);
    QCOMPARE(shelf(*m_db), QStringList{QStringLiteral("玄幻修真|") + title + QStringLiteral("|某人|") + folder + "/" +
                                       firstTxt + "|Null"});
    // The archive is gone once it is unpacked.
    QVERIFY(!QFileInfo::exists(folder + "/" + getPathFileName(row.downurl)));
    QCOMPARE(queue->pane().row(0).state, kAdded);
    QTRY_COMPARE(m_navigator.booksAtReadList, QList<int>{1});
}

void TestDownloadQueue::secondDownloadAddsNoSecondRow()
{
    const CatalogueRow row = importToService(source("again.txt", "first"), QStringLiteral("再来一次"));
    m_rows = {row};
    {
        auto queue = makeQueue();
        doubleClick(*queue, m_service.base(), row);
        QCOMPARE(waitForImport(*queue), 0);
    }
    const QString path = bookFolder(QStringLiteral("再来一次")) + QStringLiteral("/再来一次.txt");
    QFile::resize(path, 2); // the second download must write the whole file again
    // A new window: the pane is empty again, the shelf is not.
    auto queue = makeQueue();
    doubleClick(*queue, m_service.base(), row);
    QCOMPARE(waitForImport(*queue), 0);
    QCOMPARE(m_db->countBooks(ShelfQuery::all()), 1);
    QCOMPARE(readFile(path), QByteArray("first"));
    QCOMPARE(queue->pane().row(0).state, kAdded);
}

void TestDownloadQueue::duplicateIsRefusedEvenAfterItFinished()
{
    const auto server = serving("text");
    const CatalogueRow row = bookRow(QStringLiteral("甲"), QStringLiteral("/down/abc.txt"));
    m_rows = {row};
    auto queue = makeQueue();
    doubleClick(*queue, server->base(), row);
    QCOMPARE(waitForImport(*queue), 0);
    QCOMPARE(server->requests().size(), 1);
    QCOMPARE(server->requests().first().target, QByteArray("/down/abc.txt"));

    doubleClick(*queue, server->base(), row);
    QCOMPARE(m_dialogs.count(), 1);
    QCOMPARE(m_dialogs.last().text, QStringLiteral("不要重复下载，该书已在下载列表中！"));
    QCOMPARE(m_dialogs.last().title, QStringLiteral("重复下载"));
    QCOMPARE(m_dialogs.last().style, 48);
    QCOMPARE(queue->pane().rowCount(), 1);
    QTest::qWait(100);
    QCOMPARE(server->requests().size(), 1);
}

void TestDownloadQueue::upperCaseTxtIsText()
{
    const auto server = serving("TEXT");
    const CatalogueRow row = bookRow(QStringLiteral("大写"), QStringLiteral("/files/7/大写.TXT"),
                                     QStringLiteral("其他分类"), QStringLiteral("某"));
    m_rows = {row};
    auto queue = makeQueue();
    doubleClick(*queue, server->base(), row);
    QCOMPARE(waitForImport(*queue), 0);
    // Chinese goes out as UTF-8 escapes, nothing else is changed.
    QCOMPARE(server->requests().first().target, QByteArray("/files/7/%E5%A4%A7%E5%86%99.TXT"));
    const QString path = bookFolder(QStringLiteral("大写")) + QStringLiteral("/大写.TXT");
    QCOMPARE(readFile(path), QByteArray("TEXT"));
    QCOMPARE(shelf(*m_db), QStringList{QStringLiteral("其他分类|大写|某|") + path + "|Null"});
}

void TestDownloadQueue::unsafeNamesAreRefused_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("parent folder caption") << ".."
                                           << "...txt";
    QTest::newRow("dot caption") << "."
                                 << "..txt";
    QTest::newRow("empty caption") << ""
                                   << ".txt";
    QTest::newRow("caption with a slash") << "a/b"
                                          << "b.txt";
    QTest::newRow("caption with a backslash") << "..\\..\\x"
                                              << "x.txt";
    QTest::newRow("caption with a line break") << "a\nb"
                                               << "b.txt";
    QTest::newRow("file name climbing out") << "book"
                                            << "../../evil.txt";
    QTest::newRow("file name with a backslash") << "book"
                                                << "..\\evil.txt";
    QTest::newRow("file name is the parent") << "book"
                                             << "..";
    QTest::newRow("empty file name") << "book"
                                     << "";
    QTest::newRow("absolute file name") << "book"
                                        << "/etc/cron.d/evil";
}

void TestDownloadQueue::unsafeNamesAreRefused()
{
    QFETCH(QString, caption);
    QFETCH(QString, fileName);
    const auto server = serving("x");
    auto queue = makeQueue();
    queue->DownloadaFile(caption, server->base() + "/x", fileName);
    QCOMPARE(m_dialogs.count(), 1);
    QCOMPARE(m_dialogs.last().title, QStringLiteral("无法下载"));
    QCOMPARE(m_dialogs.last().style, 48);
    QVERIFY(m_dialogs.last().text.contains(QStringLiteral("已拒绝下载")));
    QCOMPARE(queue->pane().rowCount(), 0);
    QCOMPARE(QDir(m_state.downloadFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    QTest::qWait(50);
    QCOMPARE(server->requests().size(), 0);
}

void TestDownloadQueue::bombIsStopped()
{
    const QString bomb = kRarDir + "/rar4-ppmd-bomb-241mb.rar";
    if (!QFileInfo::exists(bomb))
        QSKIP("the shared RAR archives are not available");
    const CatalogueRow row = importToService(bomb, QStringLiteral("炸弹"));
    m_rows = {row};
    auto queue = makeQueue();
    UnpackLimits limits;
    limits.maxExpandedBytes = 32 * 1024 * 1024;
    queue->setUnpackLimits(limits);
    doubleClick(*queue, m_service.base(), row);
    QCOMPARE(waitForImport(*queue), int(Unpack::TooLarge));

    QCOMPARE(m_db->countBooks(ShelfQuery::all()), 0);
    const QString folder = bookFolder(QStringLiteral("炸弹"));
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("炸弹.rar")});
    QCOMPARE(m_dialogs.count(), 1);
    QCOMPARE(m_dialogs.last().title, QStringLiteral("无法解压"));
    QCOMPARE(m_dialogs.last().style, 48);
    QVERIFY2(m_dialogs.last().text.contains(QStringLiteral("超过 32.0 MB 或多于 10000 个文件")),
             qPrintable(m_dialogs.last().text));
    QVERIFY(m_dialogs.last().text.contains(folder + QStringLiteral("/炸弹.rar")));
    QCOMPARE(queue->pane().row(0).state, QStringLiteral("压缩包过大，已停止解压"));
    QVERIFY(queue->pane().row(0).failed);
    QTRY_COMPARE(m_navigator.booksAtReadList, QList<int>{0});
}

void TestDownloadQueue::damagedArchiveImportsNothing_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("result");
    QTest::newRow("truncated rar4") << "rar4-corrupt-truncated.rar" << int(Unpack::BadData);
    QTest::newRow("damaged rar5") << "rar5-corrupt-bad-tables.rar" << int(Unpack::BadData);
    QTest::newRow("a web page saved as rar") << "page" << int(Unpack::NotAnArchive);
}

void TestDownloadQueue::damagedArchiveImportsNothing()
{
    QFETCH(QString, source);
    QFETCH(int, result);
    if (source != QLatin1String("page") && !QFileInfo::exists(kRarDir + "/" + source))
        QSKIP("the shared RAR archives are not available");
    const QByteArray body =
        source == QLatin1String("page") ? QByteArray("<html>Rar!</html>") : readFile(kRarDir + "/" + source);
    const auto server = serving(body);
    const CatalogueRow row = bookRow(QStringLiteral("坏书"), QStringLiteral("/files/1/bad.rar"));
    m_rows = {row};
    auto queue = makeQueue();
    doubleClick(*queue, server->base(), row);
    QCOMPARE(waitForImport(*queue), result);
    QCOMPARE(m_db->countBooks(ShelfQuery::all()), 0);
    QCOMPARE(QDir(bookFolder("bad")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"bad.rar"});
    QCOMPARE(readFile(bookFolder("bad") + "/bad.rar"), body);
    QCOMPARE(queue->pane().row(0).state, QStringLiteral("解压失败，未添加到书架"));
    QVERIFY(queue->pane().row(0).failed);
    QCOMPARE(m_dialogs.count(), 0);
}

void TestDownloadQueue::encryptedArchiveIsKeptAndExplained_data()
{
    QTest::addColumn<QString>("source");
    QTest::newRow("rar4 data") << "rar4-encrypted-data.rar";
    QTest::newRow("rar4 headers") << "rar4-encrypted-headers.rar";
    QTest::newRow("rar5 data") << "rar5-encrypted-data.rar";
    QTest::newRow("rar5 headers") << "rar5-encrypted-headers.rar";
}

void TestDownloadQueue::encryptedArchiveIsKeptAndExplained()
{
    QFETCH(QString, source);
    if (!QFileInfo::exists(kRarDir + "/" + source))
        QSKIP("the shared RAR archives are not available");
    const QByteArray body = readFile(kRarDir + "/" + source);
    const auto server = serving(body);
    const CatalogueRow row = bookRow(QStringLiteral("加密"), QStringLiteral("/files/2/加密.rar"));
    m_rows = {row};
    auto queue = makeQueue();
    doubleClick(*queue, server->base(), row);
    QVERIFY(Unpack::isEncrypted(waitForImport(*queue)));
    QCOMPARE(m_db->countBooks(ShelfQuery::all()), 0);
    const QString archive = bookFolder(QStringLiteral("加密")) + QStringLiteral("/加密.rar");
    QCOMPARE(readFile(archive), body);
    QCOMPARE(QDir(bookFolder(QStringLiteral("加密")))
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                 .size(),
             1);
    QCOMPARE(m_dialogs.count(), 1);
    QCOMPARE(m_dialogs.last().text,
             QStringLiteral("《加密》的压缩包设有密码，无法解压，没有添加到书架。\n\n压缩包保留在：\n") + archive);
    QCOMPARE(m_dialogs.last().title, QStringLiteral("无法解压"));
    QCOMPARE(queue->pane().row(0).state, QStringLiteral("压缩包有密码，无法解压"));
}

void TestDownloadQueue::progressTexts_data()
{
    QTest::addColumn<qint64>("cur");
    QTest::addColumn<qint64>("max");
    QTest::addColumn<QString>("progress");
    QTest::addColumn<int>("percent");
    QTest::addColumn<QString>("state");
    QTest::newRow("512 KB of 2048 KB") << qint64(512 * 1024) << qint64(2048 * 1024) << "25%" << 25
                                       << QStringLiteral("正在下载(512.0KB)");
    QTest::newRow("nothing yet") << qint64(0) << qint64(100) << "0%" << 0 << QStringLiteral("正在下载(0.0KB)");
    QTest::newRow("a third") << qint64(1) << qint64(3) << "33%" << 33 << QStringLiteral("正在下载(0.0KB)");
    QTest::newRow("rounds half up") << qint64(1023) << qint64(2048) << "50%" << 50 << QStringLiteral("正在下载(1.0KB)");
    QTest::newRow("large") << qint64(1536LL * 1024 * 1024) << qint64(2048LL * 1024 * 1024) << "75%" << 75
                           << QStringLiteral("正在下载(1572864.0KB)");
    QTest::newRow("all of it") << qint64(2048) << qint64(2048) << QStringLiteral("完成") << 100 << kAdded;
}

void TestDownloadQueue::progressTexts()
{
    QFETCH(qint64, cur);
    QFETCH(qint64, max);
    QFETCH(QString, progress);
    QFETCH(int, percent);
    QFETCH(QString, state);
    const auto server = serving(QByteArray());
    auto queue = makeQueue();
    QVERIFY(queue->QueueDownload(server->base() + "/x.txt", m_dir->filePath("x.txt"), " x"));
    const DownloadPaneModel& pane = queue->pane();
    QCOMPARE(pane.row(0).progress, QStringLiteral(" "));
    QCOMPARE(pane.row(0).state, QStringLiteral("正在连接..."));
    queue->DownloadProgress(cur, max, m_dir->filePath("x.txt"));
    QCOMPARE(pane.data(pane.index(0, 1), Qt::DisplayRole).toString(), progress);
    QCOMPARE(pane.data(pane.index(0, 1), DownloadPaneModel::PercentRole).toInt(), percent);
    QCOMPARE(pane.data(pane.index(0, 2), Qt::DisplayRole).toString(), state);
    const QVariant stateColour = pane.data(pane.index(0, 2), Qt::ForegroundRole);
    QCOMPARE(stateColour.isValid() ? stateColour.value<QColor>() : QColor(),
             percent == 100 ? QColor(0, 0, 255) : QColor());
    // Another file's progress leaves the row alone.
    queue->DownloadProgress(1, 2, m_dir->filePath("y.txt"));
    QCOMPARE(pane.data(pane.index(0, 1), Qt::DisplayRole).toString(), progress);
}

void TestDownloadQueue::failedTransferTurnsTheRowRed()
{
    const auto server = serving("<html>404</html>", 404);
    const CatalogueRow row = bookRow(QStringLiteral("不存在"), QStringLiteral("/files/3/gone.txt"));
    m_rows = {row};
    auto queue = makeQueue();
    QSignalSpy imported(queue.get(), &DownloadQueue::imported);
    doubleClick(*queue, server->base(), row);
    QTRY_COMPARE(m_navigator.booksAtReadList, QList<int>{0});
    const DownloadPaneModel& pane = queue->pane();
    QCOMPARE(pane.data(pane.index(0, 0), Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    QCOMPARE(pane.data(pane.index(0, 1), Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    QCOMPARE(pane.row(0).progress, QStringLiteral(" "));
    QCOMPARE(pane.row(0).state, QStringLiteral("正在连接..."));
    QCOMPARE(imported.size(), 0);
    QVERIFY(!QFileInfo::exists(bookFolder("gone") + "/gone.txt"));
}

void TestDownloadQueue::failedDownloadTakesAwayOnlyTheEmptyFolderItMade_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("stopAfter");
    QTest::addColumn<QString>("before"); // "": no folder, "empty": an empty folder, else a file in it
    QTest::addColumn<QString>("reason");
    QTest::newRow("refused by the service") << 404 << -1 << "" << QStringLiteral("服务器没有给出文件（HTTP 状态 404）");
    QTest::newRow("connection dropped") << 200 << 1000 << "" << QStringLiteral("下载不完整：连接提前断开");
    QTest::newRow("the folder held a file")
        << 404 << -1 << "notes.txt" << QStringLiteral("服务器没有给出文件（HTTP 状态 404）");
    QTest::newRow("the folder was there, empty")
        << 404 << -1 << "empty" << QStringLiteral("服务器没有给出文件（HTTP 状态 404）");
}

void TestDownloadQueue::failedDownloadTakesAwayOnlyTheEmptyFolderItMade()
{
    QFETCH(int, status);
    QFETCH(int, stopAfter);
    QFETCH(QString, before);
    QFETCH(QString, reason);
    RecordingHttpServer server;
    QVERIFY(server.listen());
    RecordingHttpServer::Answer answer;
    answer.status = status;
    answer.body = QByteArray(5000, 'x');
    answer.stopAfterBytes = stopAfter;
    server.answerDefault(answer);
    if (!before.isEmpty())
        QVERIFY(QDir().mkpath(bookFolder("gone")));
    if (!before.isEmpty() && before != "empty") {
        QFile kept(bookFolder("gone") + "/" + before);
        QVERIFY(kept.open(QIODevice::WriteOnly));
    }
    const CatalogueRow row = bookRow(QStringLiteral("不存在"), QStringLiteral("/files/3/gone.txt"));
    m_rows = {row};
    auto queue = makeQueue();
    doubleClick(*queue, server.base(), row);
    QTRY_COMPARE(m_navigator.booksAtReadList, QList<int>{0});
    const DownloadPaneModel& pane = queue->pane();
    QVERIFY(pane.row(0).failed);
    QCOMPARE(pane.data(pane.index(0, 2), Qt::ToolTipRole).toString(), bookFolder("gone") + "/gone.txt\n" + reason);
    QCOMPARE(QFileInfo(bookFolder("gone")).isDir(), !before.isEmpty());
    if (!before.isEmpty() && before != "empty")
        QVERIFY(QFileInfo::exists(bookFolder("gone") + "/" + before));
}

void TestDownloadQueue::shelfIsReadOnceAfterTheLastArchive()
{
    const auto server = serving("text");
    // Three megabytes to unpack, so the text book's download ends first.
    RecordingHttpServer::Answer rar;
    rar.body = RarWriter::stored({{"b/b.txt", QByteArray(3 * 1024 * 1024, 'b')}});
    server->answer("/files/2/b.rar", rar);
    const CatalogueRow a = bookRow("A", "/files/1/a.txt");
    const CatalogueRow b = bookRow("B", "/files/2/b.rar");
    m_rows = {a, b};
    auto queue = makeQueue();
    QSignalSpy imported(queue.get(), &DownloadQueue::imported);
    doubleClick(*queue, server->base(), b);
    doubleClick(*queue, server->base(), a);
    QTRY_COMPARE_WITH_TIMEOUT(imported.size(), 2, 20000);
    // Read once, with both books already on the shelf.
    QTRY_COMPARE(m_navigator.booksAtReadList, QList<int>{2});
    QTest::qWait(50);
    QCOMPARE(m_navigator.booksAtReadList, QList<int>{2});
}

void TestDownloadQueue::bookStillAddedAfterTheCatalogueMovedOn()
{
    const auto server = serving("");
    RecordingHttpServer::Answer slow;
    slow.body = QByteArray(256 * 1024, 'x');
    slow.chunkDelayMs = 30;
    server->answerDefault(slow);
    const CatalogueRow row = bookRow(QStringLiteral("翻页之前"), QStringLiteral("/files/9/before.txt"),
                                     QStringLiteral("历史军事"), QStringLiteral("某"));
    m_rows = {row};
    auto queue = makeQueue();
    doubleClick(*queue, server->base(), row);
    m_rows.clear(); // the user went on to another catalogue page
    QCOMPARE(waitForImport(*queue), 0);
    QCOMPARE(shelf(*m_db),
             QStringList{QStringLiteral("历史军事|翻页之前|某|") + bookFolder("before") + "/before.txt|Null"});
}

void TestDownloadQueue::bookMissingFromTheCatalogueIsNotAdded()
{
    const auto server = serving("text");
    auto queue = makeQueue();
    queue->DownloadaFile("orphan", server->base() + "/files/4/orphan.txt", "orphan.txt");
    QCOMPARE(waitForImport(*queue), 0);
    QCOMPARE(m_db->countBooks(ShelfQuery::all()), 0);
    QCOMPARE(readFile(bookFolder("orphan") + "/orphan.txt"), QByteArray("text"));
    QVERIFY(queue->pane().row(0).failed);
    QCOMPARE(queue->pane().row(0).state, QStringLiteral("下载完成，但书库列表中没有这本书，未添加到书架"));
}

void TestDownloadQueue::paneShowsTheRows()
{
    const auto server = serving(QByteArray());
    auto queue = makeQueue();
    DownloadPane pane(queue->pane());
    pane.resize(400, 200);
    QCOMPARE(pane.objectName(), QStringLiteral("ListView4"));
    QCOMPARE(pane.model()->columnCount(), 3);
    QCOMPARE(pane.model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("下载任务"));
    QCOMPARE(pane.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("下载进度"));
    QCOMPARE(pane.model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("状态"));
    for (int i = 0; i < 12; ++i)
        queue->QueueDownload(server->base() + "/x", m_dir->filePath(QStringLiteral("%1.txt").arg(i)),
                             QStringLiteral(" 书%1").arg(i));
    queue->DownloadProgress(512 * 1024, 2048 * 1024, m_dir->filePath("11.txt"));
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    // The newest row is scrolled into view; its progress is drawn as a bar.
    const QRect last = pane.visualRect(queue->pane().index(11, 1));
    QVERIFY(pane.viewport()->rect().contains(last));
    const QImage image = pane.viewport()->grab().toImage();
    QVERIFY(!image.isNull());
}

QTEST_MAIN(TestDownloadQueue)
#include "tst_downloadqueue.moc"
