// Prints how a 10,000-chapter book's chapter list opens and scrolls in the reading page:
// the time from asking for the book to the filled list, the longest stall of the event loop
// while it opens, and the longest stall while the list is scrolled through from top to bottom
// a page every 16 ms. Once with the reader's own rule (a flat list), once with a rule that
// makes the book's 100 volumes a first level (and every volume folded and unfolded).
// Target: no stall over 16 ms.

#include "BenchMeters.h"
#include "QuietServices.h"
#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/LibraryDatabase.h"
#include "platform/Clock.h"
#include "reader/ChapterListModel.h"
#include "reader/ReadingController.h"
#include "reader/ReadingPage.h"
#include "reader/rules/RuleLibrary.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <cstdio>

namespace {

constexpr int kVolumes = 100;
constexpr int kChaptersPerVolume = 100;

QString makeBook(const QString& folder)
{
    QString text = QStringLiteral("万章之书\n");
    int chapter = 0;
    for (int v = 1; v <= kVolumes; ++v) {
        text += QStringLiteral("第%1卷 卷名%1\n").arg(v);
        for (int c = 1; c <= kChaptersPerVolume; ++c) {
            ++chapter;
            text += QStringLiteral("第%1章 这是第%1章的标题\n他走进门来，看了看四周。\n天色已晚，众人散去。\n")
                        .arg(chapter);
        }
    }
    const QString path = folder + QStringLiteral("/wanzhang.txt");
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return {};
    out.write(text.toUtf8());
    return path;
}

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Opens the book and scrolls its list; true when no stall passed 16 ms.
bool measure(AppServices& services, NoNavigator& navigator, const QString& book, const char* caption)
{
    ReadingPage page(services, navigator);
    page.resize(1100, 700);
    page.show();
    pause(300);
    ReadingController& controller = page.controller();
    QTreeView* list = page.chapterList();

    StallMeter openStall(false);
    QEventLoop filled;
    QObject::connect(&controller, &ReadingController::chapterListFilled, &filled, &QEventLoop::quit);
    QTimer::singleShot(60000, &filled, &QEventLoop::quit);
    QElapsedTimer t;
    t.start();
    openStall.start();
    controller.getChapter(book, QString());
    filled.exec();
    const double openMs = t.nsecsElapsed() / 1e6;
    pause(200); // the list paints its first page
    openStall.stop();

    StallMeter scrollStall(false);
    QScrollBar* bar = list->verticalScrollBar();
    bar->setValue(0);
    QEventLoop scrolled;
    QTimer step;
    QObject::connect(&step, &QTimer::timeout, [&] {
        if (bar->value() >= bar->maximum()) {
            scrolled.quit();
            return;
        }
        bar->setValue(bar->value() + bar->pageStep());
    });
    QElapsedTimer scrollTime;
    scrollTime.start();
    scrollStall.start();
    step.start(16);
    scrolled.exec();
    step.stop();
    scrollStall.stop();
    const double scrollMs = scrollTime.nsecsElapsed() / 1e6;

    ChapterListModel& model = page.chapterModel();
    double foldMs = 0;
    double foldStall = 0;
    if (model.hasVolumes()) {
        StallMeter stall(false);
        QElapsedTimer fold;
        fold.start();
        stall.start();
        for (int pass = 0; pass < 2; ++pass) {
            for (int row = 0; row < model.count(); ++row)
                if (model.isVolume(row))
                    model.setCollapsed(row, pass == 0);
            pause(20);
        }
        stall.stop();
        foldMs = fold.nsecsElapsed() / 1e6 - 40;
        foldStall = stall.longestMs();
    }

    // The list's own share of the opening: the rows handed over, the label column fitted.
    QElapsedTimer refill;
    refill.start();
    model.setRows(controller.scan().rows, model.hasVolumes());
    list->viewport()->repaint();
    const double refillMs = refill.nsecsElapsed() / 1e6;

    std::printf("\n%s: %d rows%s\n", caption, model.count(), model.hasVolumes() ? ", volumes folding" : "");
    std::printf("  list filled %.1f ms after asking (scan included); longest stall while opening %.1f ms\n", openMs,
                openStall.longestMs());
    std::printf("  of which the list itself (rows handed over, titles fitted, painted): %.1f ms\n", refillMs);
    std::printf("  scrolled through in %.0f ms, a page every 16 ms: longest stall %.1f ms (target <= 16)\n", scrollMs,
                scrollStall.longestMs());
    if (model.hasVolumes())
        std::printf("  all %d volumes folded and unfolded one by one: %.1f ms, longest stall %.1f ms\n", kVolumes,
                    foldMs, foldStall);
    return openStall.longestMs() <= 16 && scrollStall.longestMs() <= 16;
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
    LibraryDatabase library(QStringLiteral("bench"));
    library.open(dir.filePath(QStringLiteral("Data.db")));
    AppState state;
    state.library = &library;
    state.programFolder = QStringLiteral(QUILLMERE_SOURCE_DIR "/resources");
    SilentDialogs dialogs;
    NoPickers pickers;
    NoDesktop desktop;
    SystemClock clock;
    QNetworkAccessManager network;
    NoSpeech speech;
    AppServices services{state, dialogs, pickers, desktop, clock, network, speech};
    NoNavigator navigator;

    const QString book = makeBook(dir.path());
    if (book.isEmpty()) {
        std::fprintf(stderr, "cannot write the benchmark book\n");
        return 1;
    }
    bool ok = measure(services, navigator, book, "10,000 chapters, default rule");
    const HeadingRule volumes = *RuleLibrary().find(QStringLiteral("第N章、卷与序章番外"));
    library.setBookRule(book, volumes.name, volumes.pattern);
    ok = measure(services, navigator, book, "10,000 chapters in 100 volumes, rule 第N章、卷与序章番外") && ok;
    return ok ? 0 : 1;
}
