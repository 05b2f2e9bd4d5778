// Downloads and archive import, measured:
//  1. a 50 MB book downloaded from the local reference service by the download control,
//     beside curl fetching the same URL in the same run (target: at least 80 % of curl's
//     throughput), and the memory the process takes above its baseline meanwhile (target:
//     under 40 MB);
//  2. a 30 MB RAR book unpacked and put on the shelf by the download queue, off the GUI
//     thread, with a 1 ms timer measuring the longest stall of the event loop (target: under
//     50 ms); the same for the 241 MB PPMd archive of the test set, which is all decompression.
//
// The service runs as its own process on a free loopback port, so its memory is not counted.

#include "BenchMeters.h"
#include "QuietServices.h"
#include "RarWriter.h"
#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/LibraryDatabase.h"
#include "online/DownloadQueue.h"
#include "online/Downloader.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QString kNovels = QStringLiteral(QUILLMERE_TESTDATA_DIR "/novels");
const QString kRars = QStringLiteral(QUILLMERE_TESTDATA_DIR "/rar");
constexpr qint64 kDownloadBytes = 50LL * 1024 * 1024;
constexpr qint64 kRarBytes = 30LL * 1024 * 1024;
constexpr int kRuns = 5;

// Text of the test set's novels, repeated up to `bytes`.
QByteArray novelText(qint64 bytes)
{
    QByteArray pool;
    for (const QString& name : QDir(kNovels).entryList({QStringLiteral("*utf8.txt")}, QDir::Files, QDir::Name)) {
        QFile f(kNovels + QLatin1Char('/') + name);
        if (f.open(QIODevice::ReadOnly))
            pool += f.readAll();
    }
    if (pool.isEmpty())
        pool = QStringLiteral("第一章 山风吹过竹林，远处传来几声钟响。\r\n").toUtf8();
    QByteArray out;
    out.reserve(bytes);
    while (out.size() < bytes)
        out += pool.left(int(bytes - out.size()));
    return out;
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

struct Service {
    QProcess process;
    QString base;
};

bool startService(Service& service, const QString& dataDir, const QString& book, const QString& title)
{
    const QString program = QStringLiteral(QUILLMERE_BIN_DIR "/quillmere-server");
    QProcess import;
    import.setStandardOutputFile(QProcess::nullDevice());
    import.start(program, {QStringLiteral("--data"), dataDir, QStringLiteral("import"), book,
                           QStringLiteral("其他分类"), title, QStringLiteral("测速"), QStringLiteral("全集")});
    if (!import.waitForFinished(60000) || import.exitCode() != 0)
        return false;
    const quint16 port = freePort();
    service.base = QStringLiteral("http://127.0.0.1:%1").arg(port);
    service.process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.process.start(program, {QStringLiteral("--data"), dataDir, QStringLiteral("--listen"),
                                    QStringLiteral("127.0.0.1:%1").arg(port)});
    if (!service.process.waitForStarted())
        return false;
    for (int i = 0; i < 100; ++i) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(100))
            return true;
        QThread::msleep(50);
    }
    return false;
}

QString firstDownloadPath(QNetworkAccessManager& network, const QString& base, const QString& title)
{
    QNetworkReply* reply = network.get(QNetworkRequest(
        QUrl(base + QStringLiteral("/readerserver/listbook.asp?action=search&key=") + title, QUrl::TolerantMode)));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    QXmlStreamReader xml(reply->readAll());
    reply->deleteLater();
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("downurl"))
            return xml.readElementText();
    }
    return {};
}

// curl writes into a file beside the download control's, so both pay for the disk.
double curlSeconds(const QString& url, const QString& target)
{
    QProcess curl;
    curl.start(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"), target, QStringLiteral("-w"),
                                        QStringLiteral("%{time_total}"), url});
    const bool ok = curl.waitForFinished(120000) && curl.exitCode() == 0;
    QFile::remove(target);
    return ok ? curl.readAllStandardOutput().trimmed().toDouble() : -1;
}

struct DownloadRun {
    double seconds = -1;
    qint64 peakAboveBaseline = 0;
    double longestStallMs = 0;
};

DownloadRun downloadOnce(QNetworkAccessManager& network, const QString& url, const QString& target)
{
    Downloader downloader(network);
    StallMeter meter;
    DownloadRun run;
    QEventLoop loop;
    bool ok = false;
    QObject::connect(&downloader, &Downloader::DownloadComplete, &loop, [&] { ok = true; });
    QObject::connect(&downloader, &Downloader::DownloadAllComplete, &loop, &QEventLoop::quit);
    const qint64 baseline = residentBytes();
    meter.start();
    QElapsedTimer clock;
    clock.start();
    downloader.BeginDownload(url, target);
    loop.exec();
    run.seconds = ok ? clock.nsecsElapsed() / 1e9 : -1;
    meter.stop();
    run.peakAboveBaseline = meter.peakRss() - baseline;
    run.longestStallMs = meter.longestMs();
    QFile::remove(target);
    return run;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

bool benchDownload(QTemporaryDir& dir)
{
    std::printf("== 50 MB download from the reference service ==\n");
    const QString book = dir.filePath(QStringLiteral("big.txt"));
    if (!writeFile(book, novelText(kDownloadBytes)))
        return false;
    Service service;
    if (!startService(service, dir.filePath(QStringLiteral("service")), book, QStringLiteral("五十兆"))) {
        std::fprintf(stderr, "cannot start the reference service\n");
        return false;
    }
    QNetworkAccessManager network;
    const QString path = firstDownloadPath(network, service.base, QStringLiteral("五十兆"));
    const QString url = service.base + path;
    std::printf("URL %s\n", qPrintable(QUrl(url, QUrl::TolerantMode).toString(QUrl::FullyEncoded)));

    std::vector<double> ours;
    std::vector<double> theirs;
    qint64 peak = 0;
    double stall = 0;
    for (int i = 0; i < kRuns; ++i) {
        const double c = curlSeconds(QUrl(url, QUrl::TolerantMode).toString(QUrl::FullyEncoded),
                                     dir.filePath(QStringLiteral("curl.txt")));
        const DownloadRun run = downloadOnce(network, url, dir.filePath(QStringLiteral("got.txt")));
        if (c <= 0 || run.seconds <= 0) {
            std::fprintf(stderr, "a download failed\n");
            return false;
        }
        theirs.push_back(kDownloadBytes / c / 1e6);
        ours.push_back(kDownloadBytes / run.seconds / 1e6);
        peak = std::max(peak, run.peakAboveBaseline);
        stall = std::max(stall, run.longestStallMs);
        std::printf("run %d: curl %.0f MB/s, Downloader %.0f MB/s, memory above baseline %.1f MB, longest stall "
                    "%.1f ms\n",
                    i + 1, theirs.back(), ours.back(), run.peakAboveBaseline / 1048576.0, run.longestStallMs);
    }
    const double ratio = median(ours) / median(theirs);
    std::printf(
        "throughput (median of %d): Downloader %.0f MB/s, curl %.0f MB/s: %.0f %% of curl (target >= 80 %%) %s\n",
        kRuns, median(ours), median(theirs), ratio * 100, ratio >= 0.8 ? "OK" : "MISSED");
    std::printf("memory above baseline during the download (worst run): %.1f MB (target < 40 MB) %s\n",
                peak / 1048576.0, peak < 40LL * 1048576 ? "OK" : "MISSED");
    std::printf("longest event-loop stall while downloading: %.1f ms\n\n", stall);
    service.process.terminate();
    service.process.waitForFinished();
    return true;
}

// The queue's own path: DownloadComplete of an archive in its book folder, unpacked on the
// worker thread, the TXT file put on the shelf on the GUI thread.
bool unpackThroughQueue(const char* what, const QString& archive, QTemporaryDir& dir, const QString& caption)
{
    const QString folder = dir.filePath(QStringLiteral("TxtBook/") + caption);
    QDir().mkpath(folder);
    const QString saveFile = folder + QLatin1Char('/') + caption + QStringLiteral(".rar");
    QFile::remove(saveFile);
    if (!QFile::copy(archive, saveFile))
        return false;
    const qint64 archiveBytes = QFileInfo(saveFile).size();

    LibraryDatabase library(QStringLiteral("bench-") + caption);
    library.open(dir.filePath(caption + QStringLiteral(".db")));
    AppState state;
    state.library = &library;
    state.downloadFolder = dir.filePath(QStringLiteral("TxtBook"));
    SilentDialogs dialogs;
    NoPickers pickers;
    NoDesktop desktop;
    SystemClock clock;
    QNetworkAccessManager network;
    NoSpeech speech;
    AppServices services{state, dialogs, pickers, desktop, clock, network, speech};
    NoNavigator navigator;
    DownloadQueue queue(services, navigator);
    CatalogueRow row;
    row.category = QStringLiteral("其他分类");
    row.name = caption;
    row.downurl = QStringLiteral("/files/1/") + caption + QStringLiteral(".rar");
    queue.setCatalogueRows([row] { return QList<CatalogueRow>{row}; });

    StallMeter meter;
    QEventLoop loop;
    int result = -1;
    QObject::connect(&queue, &DownloadQueue::imported, &loop, [&](const QString&, int r) {
        result = r;
        loop.quit();
    });
    meter.start();
    QElapsedTimer elapsed;
    elapsed.start();
    queue.DownloadComplete(archiveBytes, saveFile);
    loop.exec();
    const double seconds = elapsed.nsecsElapsed() / 1e9;
    meter.stop();
    std::printf("%s: %.1f MB archive, result %d, %d book(s) on the shelf, %.2f s, longest event-loop stall %.1f ms "
                "(target < 50 ms) %s\n",
                what, archiveBytes / 1048576.0, result, library.countBooks(ShelfQuery::all()), seconds,
                meter.longestMs(), meter.longestMs() < 50 ? "OK" : "MISSED");
    return true;
}

bool benchUnpack(QTemporaryDir& dir)
{
    std::printf("== unpacking off the GUI thread ==\n");
    // A 30 MB RAR of the test set's novels: stored, as the service's writer makes them.
    QList<RarWriter::File> files;
    const QByteArray text = novelText(kRarBytes);
    const int parts = 6;
    for (int i = 0; i < parts; ++i) {
        files.append(
            {QStringLiteral("三十兆/第%1卷.txt").arg(i + 1), text.mid(i * (text.size() / parts), text.size() / parts)});
    }
    const QString rar = dir.filePath(QStringLiteral("thirty.rar"));
    if (!writeFile(rar, RarWriter::stored(files)))
        return false;
    unpackThroughQueue("30 MB stored RAR5", rar, dir, QStringLiteral("三十兆"));

    const QString bomb = kRars + QStringLiteral("/rar4-ppmd-bomb-241mb.rar");
    if (QFileInfo::exists(bomb))
        unpackThroughQueue("PPMd RAR4 of the test set (declares 241 MB, damaged)", bomb, dir, QStringLiteral("压缩"));
    else
        std::printf("the test set's PPMd archive is missing; skipped\n");
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (!QDir(kNovels).exists())
        std::printf("note: %s is missing; generated text is used\n", qPrintable(kNovels));
    QTemporaryDir dir;
    const bool downloaded = benchDownload(dir);
    const bool unpacked = benchUnpack(dir);
    return downloaded && unpacked ? 0 : 1;
}
