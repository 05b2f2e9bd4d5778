// Prints how long the reading page takes to show a book's first chapter after it is
// opened (60 MB book, scan included), and to show another chapter after a list click.
// Targets: open under 400 ms, chapter change under 30 ms.
//
// Then the same for 60 MB books without a single heading (LF line ends, and CR line ends,
// which make the whole book one line): time to the first text laid out in the page, and the
// memory of the whole program (this process and the web renderer's) while it opens.
// Targets: first text under 1 s, whole program under 500 MB.
//
// Under an X server (xvfb-run -a bench_reading) the Quillmere program itself, as a user runs it:
// launch to main window shown with an empty shelf and with 100,000 books; the whole program's
// PSS and RSS at rest, with the 60 MB book open and after 100 and 200 chapters; a chapter change
// from a real key press (XTest) to the changed pixels of the window over 200 changes; each
// beside the program run without its web-engine flags. Last, a table for books of 1, 10, 60
// and 200 MB. Targets: start under 400 ms, PSS under 120 MB at rest and 150 MB with the book,
// chapter change p99 under 16.7 ms and median under 8 ms.

#include "ProgramRun.h"
#include "QuietServices.h"
#include "app/AppPaths.h"
#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/BookRow.h"
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
#include "web/WebEngineDefaults.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>

#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>

namespace {

// About `mb` MB of real chapters: the simplified 西游记 repeated, with one BOM at the top.
QString makeBigBook(const QString& folder, qint64 mb = 60)
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
    const QString path = folder + (mb == 60 ? QStringLiteral("/big.txt") : QStringLiteral("/big-%1.txt").arg(mb));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return {};
    out.write("\xEF\xBB\xBF");
    qint64 written = 0;
    while (written < mb * 1024 * 1024) {
        out.write(novel);
        written += novel.size();
    }
    return path;
}

// How the lines of a book without headings end.
enum class LineEnds { Lf, Cr, None };

const char* describe(LineEnds ends)
{
    switch (ends) {
    case LineEnds::Lf:
        return "LF line ends";
    case LineEnds::Cr:
        return "CR line ends";
    case LineEnds::None:
        return "one enormous line";
    }
    return "";
}

// 60 MB of the shared novels with every heading line left out, so that the whole book is one
// chapter. Its lines end in LF or in a lone CR, or are run together, so that after an empty
// first line it is one enormous line.
QString makeHeadlessBook(const QString& folder, LineEnds ends)
{
    const QByteArray lineEnd = ends == LineEnds::Lf ? "\n" : ends == LineEnds::Cr ? "\r" : "";
    QByteArray body;
    for (const QString& name : QDir(QStringLiteral(QUILLMERE_TESTDATA_DIR "/novels")).entryList({"*-utf8.txt"})) {
        QFile in(QStringLiteral(QUILLMERE_TESTDATA_DIR "/novels/") + name);
        if (!in.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : in.readAll().split('\n')) {
            if (!isHeadingLine(QString::fromUtf8(line)))
                body += line + lineEnd;
        }
    }
    if (body.isEmpty())
        body = QByteArray(1000, 'a') + lineEnd;
    const QString path = folder + QStringLiteral("/headless-%1.txt").arg(int(ends));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return {};
    // A first line holding a title, or an empty one.
    out.write(ends == LineEnds::None ? QByteArray("\n") : "\xE6\x97\xA0\xE9\xA2\x98" + lineEnd);
    qint64 written = 0;
    while (written < 60LL * 1024 * 1024)
        written += out.write(body);
    return path;
}

// Resident memory in KiB of a process, from /proc.
qint64 rssKiB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// This process and every process below it (the web engine's helpers and renderers).
qint64 programRssKiB(qint64* ownKiB = nullptr)
{
    const QList<qint64> family = familyOf(QCoreApplication::applicationPid());
    qint64 total = 0;
    for (const qint64 pid : family)
        total += rssKiB(pid);
    if (ownKiB)
        *ownKiB = rssKiB(family.first());
    return total;
}

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Waits until the page has laid out what it holds: reading offsetHeight forces the layout,
// so its answer comes back only once the text is placed.
double waitLaidOut(QWebEnginePage* page, const QElapsedTimer& timer)
{
    QEventLoop loop;
    page->runJavaScript(QStringLiteral("document.getElementById('TXT').offsetHeight"),
                        [&loop](const QVariant&) { loop.quit(); });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    return timer.nsecsElapsed() / 1e6;
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

namespace {

double mbOf(qint64 kib)
{
    return kib / 1024.0;
}

void printMemory(const char* what, const FamilyMemory& m, double targetMb)
{
    std::printf("  %-34s PSS %6.1f MB  RSS %6.1f MB  (reader alone PSS %5.1f MB, %d processes)", what, mbOf(m.pssKiB),
                mbOf(m.rssKiB), mbOf(m.ownPssKiB), m.processes);
    if (targetMb > 0)
        std::printf("  target < %.0f %s", targetMb, mbOf(m.pssKiB) < targetMb ? "met" : "MISSED");
    std::printf("\n");
    std::fflush(stdout);
}

void printSpread(const char* what, const Spread& s)
{
    std::printf("  %-34s median %6.1f ms  p95 %6.1f  p99 %6.1f  worst %6.1f  over %d changes%s\n", what, s.median,
                s.p95, s.p99, s.worst, s.count,
                s.timeouts ? qPrintable(QStringLiteral(" (%1 showed nothing within 2 s)").arg(s.timeouts)) : "");
}

// How the program is run: as shipped, or with QTWEBENGINE_CHROMIUM_FLAGS, QT_XCB_GL_INTEGRATION
// and QT_QUICK_BACKEND set to nothing, which leaves the web engine and the drawing as they come
// (the baseline of the program's web-engine defaults).
// BENCH_READING_LEVER="FLAGS" adds a run with the shipped flags and these, to weigh a lever.
struct Setup {
    QString name;
    bool setFlags;
    QString flags; // with setFlags: the web engine's flags, drawn as shipped when not empty
};

QList<Setup> setups()
{
    QList<Setup> list{{QStringLiteral("as shipped"), false, QString()},
                      {QStringLiteral("baseline: web engine and drawing as they come"), true, QString()}};
    const QString lever = qEnvironmentVariable("BENCH_READING_LEVER");
    if (!lever.isEmpty()) {
        // The shipped flags as the program sets them on a machine without a GPU, and the lever.
        QString shipped;
        for (const auto& [name, value] : WebEngineDefaults::forEnvironment(QProcessEnvironment(), false))
            if (name == "QTWEBENGINE_CHROMIUM_FLAGS")
                shipped = QString::fromLatin1(value);
        list.insert(1, {QStringLiteral("as shipped with ") + lever, true, shipped + QLatin1Char(' ') + lever});
    }
    return list;
}

QString homeWithShelf(const QString& folder, const char* name, int books)
{
    const QString home = folder + QLatin1Char('/') + QLatin1String(name);
    QDir().mkpath(home + QStringLiteral("/DataFile"));
    if (books > 0) {
        LibraryDatabase library(QStringLiteral("bench-shelf"));
        library.open(AppPaths::libraryFile(home));
        QList<NewBook> rows;
        rows.reserve(books);
        for (int i = 0; i < books; ++i)
            rows.append({QStringLiteral("小说"), QStringLiteral("书%1").arg(i), QStringLiteral("作者%1").arg(i % 997),
                         QStringLiteral("/nowhere/书%1.txt").arg(i)});
        library.insertBooksNotOnShelf(rows);
    }
    return home;
}

double medianStart(ProgramRun& run, const Setup& setup, int runs)
{
    QList<double> starts;
    for (int i = 0; i < runs; ++i) {
        starts << run.start({}, setup.flags, setup.setFlags);
        run.stop();
    }
    return spreadOf(starts).median;
}

// Chapter changes by the Right key, each timed to the changed pixels; memory after `memoryAt`.
Spread turnChapters(ProgramRun& run, int changes, int memoryAt, FamilyMemory* middle)
{
    QList<double> turns;
    for (int i = 1; i <= changes; ++i) {
        turns << run.pressUntilChanged(XK_Right);
        run.waitStill(1000);
        if (i == memoryAt && middle) {
            ProgramRun::pause(1500);
            *middle = familyMemory(run.pid());
        }
    }
    return spreadOf(turns);
}

} // namespace

// The Quillmere program itself under the X server, as shipped and beside its baseline.
void programFigures(const QString& folder, const QString& bigBook)
{
    std::printf("\nthe program as a user runs it (Quillmere under X; key presses through XTest, timed to the "
                "window's changed pixels):\n");
    if (!ProgramRun::haveDisplay()) {
        std::printf("  skipped: no X server (run as xvfb-run -a bench_reading)\n");
        return;
    }
    const QString program = QStringLiteral(QUILLMERE_PROGRAM);
    const QString empty = homeWithShelf(folder, "home-empty", 0);
    const QString full = homeWithShelf(folder, "home-100000", 100000);
    // One untimed run first, so that the first setup measured does not pay alone for what the
    // system caches on the way (the web engine's files, the X server's first pixmaps).
    {
        ProgramRun warm(program, empty, QString());
        warm.start({bigBook});
        ProgramRun::pause(2000);
        turnChapters(warm, 40, 0, nullptr);
        warm.stop();
    }
    // BENCH_READING_TURNS_ONLY=1 leaves out the starts and the memory: the 200 changes alone,
    // to weigh a lever of the chapter change in a few minutes.
    const bool turnsOnly = qEnvironmentVariableIntValue("BENCH_READING_TURNS_ONLY") == 1;
    for (const Setup& setup : setups()) {
        std::printf(" %s:\n", qPrintable(setup.name));
        ProgramRun run(program, empty, QString());
        if (!turnsOnly) {
            run.start({}, setup.flags, setup.setFlags); // the first start creates the library
            run.stop();
            const double emptyStart = medianStart(run, setup, 7);
            ProgramRun fullRun(program, full, QString());
            fullRun.start({}, setup.flags, setup.setFlags);
            fullRun.stop();
            const double fullStart = medianStart(fullRun, setup, 3);
            std::printf("  launch to main window shown: empty shelf %.0f ms (median of 7; target < 400 %s), "
                        "100,000 books %.0f ms (median of 3)\n",
                        emptyStart, emptyStart < 400 ? "met" : "MISSED", fullStart);
            std::fflush(stdout);

            run.start({}, setup.flags, setup.setFlags);
            ProgramRun::pause(4000);
            printMemory("at rest, empty shelf:", familyMemory(run.pid()), 120);
            run.stop();
        }

        run.start({bigBook}, setup.flags, setup.setFlags);
        ProgramRun::pause(2000);
        run.focusWindow();
        ProgramRun::pause(2000);
        if (!turnsOnly)
            printMemory("60 MB book open, a chapter shown:", familyMemory(run.pid()), 150);
        FamilyMemory after100;
        const Spread turns = turnChapters(run, 200, turnsOnly ? 0 : 100, &after100);
        if (!turnsOnly) {
            printMemory("after 100 chapters:", after100, 150);
            ProgramRun::pause(1500);
            printMemory("after 200 chapters:", familyMemory(run.pid()), 150);
        }
        printSpread("chapter change, key to pixels:", turns);
        std::printf("  (targets: median < 8 ms %s, p99 < 16.7 ms %s)\n", turns.median < 8 ? "met" : "MISSED",
                    turns.p99 < 16.7 ? "met" : "MISSED");
        run.stop();
    }
}

// Scan, open to first text, chapter change p99 and PSS for books of growing size. The program's
// figures come first, before this process starts a web engine of its own, whose shared pages
// would lower the program's PSS.
void sizeTable(const QString& folder, AppServices& services, NoNavigator& navigator)
{
    const qint64 sizes[] = {1, 10, 60, 200};
    QStringList books;
    QList<double> scans, p99s, psses;
    const bool x = ProgramRun::haveDisplay();
    for (const qint64 mb : sizes) {
        const QString book = makeBigBook(folder, mb);
        books << book;
        QList<double> times;
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer t;
            t.start();
            const ChapterScan scan = getChapterRows(book);
            times << t.nsecsElapsed() / 1e6;
        }
        scans << spreadOf(times).median;
        double p99 = -1;
        double pss = -1;
        if (x) {
            ProgramRun run(QStringLiteral(QUILLMERE_PROGRAM), homeWithShelf(folder, "home-table", 0), QString());
            run.start({book});
            ProgramRun::pause(2000);
            run.focusWindow();
            pss = mbOf(familyMemory(run.pid()).pssKiB);
            p99 = turnChapters(run, 50, 0, nullptr).p99;
            run.stop();
        }
        p99s << p99;
        psses << pss;
    }
    ReadingPage page(services, navigator);
    page.resize(1100, 700);
    page.show();
    ReadingView* view = page.view();
    {
        QElapsedTimer t;
        t.start();
        view->loadPage(QStringLiteral(QUILLMERE_SOURCE_DIR "/resources/Reader.html"));
        waitFor(view, &ReadingView::pageReady, t);
    }
    std::printf("\nbooks of growing size (scan alone: median of 3; open: getChapter to the page holding the "
                "first chapter, in a reading page of the bench; chapter change p99 and PSS with the book open: the "
                "program under X, 50 changes):\n");
    std::printf("  %8s %10s %10s %14s %10s\n", "book", "scan ms", "open ms", "change p99 ms", "PSS MB");
    for (int i = 0; i < books.size(); ++i) {
        QElapsedTimer t;
        t.start();
        page.controller().getChapter(books[i], QString());
        const double open = waitFor(view, &ReadingView::chapterDisplayed, t);
        std::printf("  %5lld MB %10.1f %10.1f %14.1f %10.1f\n", static_cast<long long>(sizes[i]), scans[i], open,
                    p99s[i], psses[i]);
        QFile::remove(books[i]);
    }
}

// Opens one 60 MB book without headings in a fresh reading page and prints its figures; true
// when they are within the targets.
bool headlessBook(AppServices& services, NoNavigator& navigator, const QString& folder, LineEnds ends)
{
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
    const QString headless = makeHeadlessBook(folder, ends);
    if (headless.isEmpty())
        return false;
    // The page as the program shows it at start; let the renderer settle.
    pause(1500);
    qint64 ownBefore = 0;
    const qint64 before = programRssKiB(&ownBefore);
    qint64 peak = before;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&peak] { peak = std::max(peak, programRssKiB()); });
    sampler.start(50);

    QElapsedTimer t;
    t.start();
    controller.getChapter(headless, QString());
    const double shown = waitFor(view, &ReadingView::chapterDisplayed, t);
    const double laidOut = waitLaidOut(view->page(), t);
    QList<double> turns;
    for (int i = 0; i < 10 && controller.selectedRow() + 1 < page.chapterModel().count(); ++i) {
        QElapsedTimer turn;
        turn.start();
        controller.changeChapter(ReadingController::KeyRight);
        waitFor(view, &ReadingView::chapterDisplayed, turn);
        turns << waitLaidOut(view->page(), turn);
    }
    pause(1000);
    sampler.stop();
    qint64 ownAfter = 0;
    peak = std::max(peak, programRssKiB(&ownAfter));
    const ChapterScan& scan = controller.scan();
    QElapsedTimer scanTimer;
    scanTimer.start();
    const ChapterScan again = getChapterRows(headless);
    const double scanMs = scanTimer.nsecsElapsed() / 1e6;
    std::printf("\n60 MB book without headings, %s: %d rows (parts of up to %lld KB), row 1 \"%s\"\n", describe(ends),
                page.chapterModel().count(), static_cast<long long>(scan.partBytes / 1024),
                qPrintable(page.chapterModel().label(0)));
    std::printf("  scan and cut alone %.1f ms; first text in the page %.1f ms, laid out %.1f ms (target < 1000)\n",
                scanMs, shown, laidOut);
    if (!turns.isEmpty())
        std::printf("  next part laid out: median %.1f ms, worst %.1f ms\n", median(turns),
                    *std::max_element(turns.begin(), turns.end()));
    std::printf("  whole program (reader + web engine): %.0f MB before, peak %.0f MB while opening and turning "
                "(target < 500)\n",
                before / 1024.0, peak / 1024.0);
    std::printf("  of which the reader itself: %.0f MB before, %.0f MB after\n", ownBefore / 1024.0, ownAfter / 1024.0);
    return laidOut < 1000 && peak < 500 * 1024;
}

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
    SilentDialogs dialogs;
    NoPickers pickers;
    NoDesktop desktop;
    SystemClock clock;
    QNetworkAccessManager network;
    NoSpeech speech;
    AppServices services{state, dialogs, pickers, desktop, clock, network, speech};
    NoNavigator navigator;

    // bench_reading --headless lf|cr|line: one book without headings (run by the bench itself).
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--headless")) {
        const LineEnds ends = args[2] == QLatin1String("cr")     ? LineEnds::Cr
                              : args[2] == QLatin1String("line") ? LineEnds::None
                                                                 : LineEnds::Lf;
        return headlessBook(services, navigator, dir.path(), ends) ? 0 : 1;
    }

    const QString book = makeBigBook(dir.path());
    if (book.isEmpty()) {
        std::fprintf(stderr, "cannot write the benchmark book\n");
        return 1;
    }
    // bench_reading --program, --table: the figures of the program under X, and the table of
    // sizes, each run by the bench itself in a process of its own that starts no web engine
    // before the program's figures are taken.
    if (args.contains(QLatin1String("--program"))) {
        programFigures(dir.path(), book);
        return 0;
    }
    if (args.contains(QLatin1String("--table"))) {
        sizeTable(dir.path(), services, navigator);
        return 0;
    }
    // First, while no web engine of this process runs: its shared pages would lower the PSS
    // counted for the program.
    std::fflush(stdout);
    for (const char* part : {"--table", "--program"}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        child.start(QCoreApplication::applicationFilePath(), {QLatin1String(part)});
        child.waitForFinished(-1);
    }

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
    bool ok = median(opens) < 400 && !changes.isEmpty() && median(changes) < 30;

    // Books without headings: one chapter of 60 MB, shown in parts. Each opens in a program of its
    // own, as a user starting the reader and opening that book, so that one book's renderer memory
    // is not counted against the next.
    std::fflush(stdout);
    for (const char* ends : {"lf", "cr", "line"}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--headless"), QLatin1String(ends)});
        child.waitForFinished(-1);
        ok = ok && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
    }
    std::printf("verdict: %s\n", ok ? "within targets" : "OUTSIDE targets");
    return 0;
}
