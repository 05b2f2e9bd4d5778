// Prints how long the reading page takes to show a book's first chapter after it is
// opened (60 MB book, scan included), and to show another chapter after a list click.
// Targets: open under 400 ms, chapter change under 30 ms.

#include "QuietServices.h"
#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/LibraryDatabase.h"
#include "app/ReaderNavigator.h"
#include "platform/Clock.h"
#include "platform/DesktopLauncher.h"
#include "platform/Dialogs.h"
#include "platform/Pickers.h"
#include "reader/ChapterListModel.h"
#include "reader/ReadingController.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"
#include "reader/text/ChapterScan.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// About 60 MB of real chapters: the simplified 西游记 repeated, with one BOM at the top.
QString makeBigBook(const QString& folder)
{
    QByteArray novel;
    QFile in(QStringLiteral(QUILLMERE_TESTDATA_DIR "/novels/xiyouji-web-simp-utf8-bom.txt"));
    if (in.open(QIODevice::ReadOnly))
        novel = in.readAll();
    if (novel.startsWith("\xEF\xBB\xBF"))
        novel = novel.mid(3);
    if (novel.isEmpty()) {
        for (int i = 1; i <= 100; ++i)
            novel += QStringLiteral("第%1回 标题\n").arg(i).toUtf8() + QByteArray(20000, 'a') + "\n";
    }
    if (!novel.endsWith('\n'))
        novel += '\n';
    const QString path = folder + QStringLiteral("/big.txt");
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return {};
    out.write("\xEF\xBB\xBF");
    qint64 written = 0;
    while (written < 60LL * 1024 * 1024) {
        out.write(novel);
        written += novel.size();
    }
    return path;
}

// Waits for `signal` of `sender` and returns the milliseconds since `timer` started.
template <typename Sender, typename Signal>
double waitFor(Sender* sender, Signal signal, const QElapsedTimer& timer, int timeoutMs = 60000)
{
    QEventLoop loop;
    QObject::connect(sender, signal, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return timer.nsecsElapsed() / 1e6;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);

    QTemporaryDir dir;
    const QString book = makeBigBook(dir.path());
    if (book.isEmpty()) {
        std::fprintf(stderr, "cannot write the benchmark book\n");
        return 1;
    }
    LibraryDatabase library(QStringLiteral("bench"));
    library.open(dir.filePath(QStringLiteral("Data.db")));
    AppState state;
    state.library = &library;
    SilentDialogs dialogs;
    NoPickers pickers;
    NoDesktop desktop;
    SystemClock clock;
    AppServices services{state, dialogs, pickers, desktop, clock};
    NoNavigator navigator;

    ReadingPage page(services, navigator);
    page.resize(1100, 700);
    page.show();
    ReadingView* view = page.view();
    ReadingController& controller = page.controller();
    {
        QElapsedTimer t;
        t.start();
        view->loadPage(QStringLiteral(QUILLMERE_SOURCE_DIR "/resources/Reader.html"));
        waitFor(view, &ReadingView::pageReady, t);
    }

    std::printf("book: %.1f MB\n", QFileInfo(book).size() / 1048576.0);
    {
        QElapsedTimer t;
        t.start();
        const ChapterScan scan = getChapterRows(book);
        std::printf("scan alone (getChapterRows): %.1f ms, %lld chapters, %lld lines\n", t.nsecsElapsed() / 1e6,
                    static_cast<long long>(scan.rows.size()), static_cast<long long>(scan.lineCount));
    }

    // Open: getChapter until the page holds the first chapter.
    QList<double> opens;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        controller.getChapter(book, QString());
        opens << waitFor(view, &ReadingView::chapterDisplayed, t);
    }
    std::printf("open 60 MB book to first chapter shown: first %.1f ms, median %.1f ms, best %.1f ms (target < 400)\n",
                opens.first(), median(opens), *std::min_element(opens.begin(), opens.end()));
    std::printf("chapters listed: %d\n", page.chapterModel().count());

    // Chapter change: a list row picked and shown, until the page holds it.
    QList<double> changes;
    const int rows = page.chapterModel().count();
    for (int i = 0; i < 60 && rows > 1; ++i) {
        const int row = (i * 37 + 1) % rows;
        QElapsedTimer t;
        t.start();
        controller.setSelectedRow(row);
        controller.showSelected();
        changes << waitFor(view, &ReadingView::chapterDisplayed, t);
    }
    if (!changes.isEmpty()) {
        std::printf("chapter change, list to page updated: median %.2f ms, worst %.2f ms over %lld changes "
                    "(target < 30)\n",
                    median(changes), *std::max_element(changes.begin(), changes.end()),
                    static_cast<long long>(changes.size()));
    }
    const bool ok = median(opens) < 400 && !changes.isEmpty() && median(changes) < 30;
    std::printf("verdict: %s\n", ok ? "within targets" : "OUTSIDE targets");
    return 0;
}
