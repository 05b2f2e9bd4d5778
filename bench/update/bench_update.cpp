// The updater with a long list, measured: the window and its controller fetch N listed files
// from the reference service (its own process on a free loopback port) and swap them into an
// empty program folder; a 1 ms timer on the GUI thread measures the longest stall of the event
// loop (the window must keep answering: target under 100 ms) and the run's time, which should
// grow with N and no faster. A list of 10,000 files is refused at once.

#include "Admin.h"
#include "BenchMeters.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "update/updater/UpdatePlan.h"
#include "update/updater/UpdaterController.h"
#include "update/updater/UpdaterWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

struct LastMessage : Dialogs {
    Answer message(const QString& text, const QString&, int) override
    {
        last = text;
        return Answer::Ok;
    }
    QString last;
};

// One stored update file, listed `count` times under distinct names (the query makes the
// name after the last "/" differ; the service ignores it).
bool publish(const QString& dataDir, quint16 port, int count)
{
    ServerConfig config;
    config.dataDir = dataDir;
    config.port = port;
    QString text;
    QTextStream out(&text);
    Admin admin(config, out, out);
    QTemporaryDir sources;
    QFile file(sources.filePath(QStringLiteral("part.dat")));
    if (!admin.open() || !file.open(QIODevice::WriteOnly))
        return false;
    file.write(QByteArray(4096, 'p'));
    file.close();
    if (!admin.publishUpdate(QStringLiteral("v1.4"), QStringLiteral("FALSE"), QStringLiteral("bench"),
                             {{file.fileName(), QStringLiteral("\\")}}))
        return false;
    const QString url = QStringLiteral("http://127.0.0.1:%1/files/update/part.dat").arg(port);
    QStringList urls;
    QStringList folders;
    for (int i = 0; i < count; ++i) {
        urls.append(url + QStringLiteral("?n=%1").arg(i));
        folders.append(QStringLiteral("\\"));
    }
    return admin.database().setSetting(QStringLiteral("downloadlist"), urls.join(QStringLiteral("||"))) &&
           admin.database().setSetting(QStringLiteral("savepathlist"), folders.join(QStringLiteral("||")));
}

bool startService(QProcess& process, const QString& dataDir, quint16 port)
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(
        QStringLiteral(QUILLMERE_BIN_DIR "/quillmere-server"),
        {QStringLiteral("--data"), dataDir, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(port)});
    if (!process.waitForStarted())
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

void run(int count)
{
    QTemporaryDir data;
    QTemporaryDir program;
    const quint16 port = freePort();
    QProcess service;
    if (!publish(data.path(), port, count) || !startService(service, data.path(), port)) {
        std::printf("%6d files: the service could not be prepared\n", count);
        return;
    }
    QNetworkAccessManager network;
    LastMessage dialogs;
    SystemClock clock;
    UpdaterController controller(network, dialogs, clock, program.path(),
                                 QStringLiteral("http://127.0.0.1:%1").arg(port), QStringLiteral("-v1.3"));
    UpdaterWindow window(controller);
    window.show();
    bool finished = false;
    QEventLoop loop;
    StallMeter meter(false);
    meter.start();
    QObject::connect(&controller, &UpdaterController::finished, &loop, [&] {
        meter.stop();
        finished = true;
        loop.quit();
    });
    // A refused list stops with the caption "开始更新" and no message.
    QObject::connect(&controller, &UpdaterController::commandChanged, &loop, [&] {
        if (controller.commandEnabled() && controller.commandCaption() == UpdaterController::startCaption()) {
            meter.stop();
            loop.quit();
        }
    });
    QTimer::singleShot(600000, &loop, &QEventLoop::quit);
    QElapsedTimer elapsed;
    elapsed.start();
    controller.start();
    loop.exec();
    const double seconds = elapsed.nsecsElapsed() / 1e9;
    const QString end = finished ? dialogs.last : controller.log().last();
    if (finished)
        std::printf("%6d files: %7.2f s (%4.0f files/s), longest stall %6.1f ms — %s\n", count, seconds,
                    count / seconds, meter.longestMs(), qPrintable(end));
    else
        std::printf("%6d files: stopped after %.0f ms, longest stall %6.1f ms — %s\n", count, seconds * 1000,
                    meter.longestMs(), qPrintable(end));
    std::fflush(stdout);
    service.terminate();
    service.waitForFinished(5000);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("updater, listed files fetched and swapped (limit %d)\n", UpdatePlan::MaxFiles);
    for (int count : {1000, UpdatePlan::MaxFiles, 10000})
        run(count);
    return 0;
}
