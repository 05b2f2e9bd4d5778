// Prints how long reading aloud takes to start on a 10,000-character chapter: from the
// click on "开始朗读" (the page's text taken, synthesis started) to the first synthesised
// sample and to the first sample played (heard on a sound device; without one, the first
// sample the stand-in clock plays). Target: under 300 ms.

#include "QuietServices.h"
#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/LibraryDatabase.h"
#include "platform/Clock.h"
#include "platform/espeak/EspeakSpeechEngine.h"
#include "reader/ReadAloudController.h"
#include "reader/ReadingController.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kChapterChars = 10000;

// A chapter of 10,000 characters of real prose (the simplified 西游记), in lines as a
// novel has them; made-up text when the test data is absent.
QString chapterText()
{
    QString novel;
    QFile in(QStringLiteral(QUILLMERE_TESTDATA_DIR "/novels/xiyouji-web-simp-utf8-bom.txt"));
    if (in.open(QIODevice::ReadOnly))
        novel = QString::fromUtf8(in.readAll());
    QString body;
    for (const QString& line : novel.split(QLatin1Char('\n'))) {
        const QString t = line.trimmed();
        // Prose lines only: a heading inside would split the chapter.
        if (t.size() < 40 || t.contains(QStringLiteral("第")))
            continue;
        body += QStringLiteral("　　") + t + QLatin1Char('\n');
        if (body.size() >= kChapterChars)
            break;
    }
    while (body.size() < kChapterChars)
        body += QStringLiteral("　　那猴在山中，却会行走跳跃，食草木，饮涧泉，采山花，觅树果。\n");
    return body.left(kChapterChars);
}

template <typename Sender, typename Signal> bool waitFor(Sender* sender, Signal signal, int timeoutMs = 10000)
{
    QEventLoop loop;
    bool fired = false;
    QObject::connect(sender, signal, &loop, [&] {
        fired = true;
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return fired;
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
    const QString book = dir.filePath(QStringLiteral("chapter.txt"));
    {
        QFile out(book);
        if (!out.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write the benchmark book\n");
            return 1;
        }
        out.write((QStringLiteral("西游记\n第一回 灵根育孕源流出\n") + chapterText()).toUtf8());
    }

    LibraryDatabase library(QStringLiteral("bench"));
    library.open(dir.filePath(QStringLiteral("Data.db")));
    AppState state;
    state.library = &library;
    state.programFolder = QStringLiteral(QUILLMERE_SOURCE_DIR "/resources");
    SilentDialogs dialogs;
    NoPickers pickers;
    NoDesktop desktop;
    SystemClock clock;
    EspeakSpeechEngine speech;
    QNetworkAccessManager network;
    AppServices services{state, dialogs, pickers, desktop, clock, network, speech};
    NoNavigator navigator;

    ReadingPage page(services, navigator);
    page.resize(1100, 700);
    page.show();
    ReadingView* view = page.view();
    view->loadPage(state.programFolder + QStringLiteral("/Reader.html"));
    waitFor(view, &ReadingView::pageReady, 20000);
    if (!speech.voicesListed())
        waitFor(&speech, &SpeechEngine::voicesChanged);
    page.readAloud().load();
    if (speech.voices().isEmpty()) {
        std::fprintf(stderr, "espeak-ng lists no voices (espeak-ng-data missing?)\n");
        return 1;
    }

    ReadingController& controller = page.controller();
    controller.getChapter(book, QString());
    waitFor(view, &ReadingView::chapterDisplayed);
    controller.setSelectedRow(1);
    controller.showSelected();
    waitFor(view, &ReadingView::chapterDisplayed);

    std::printf("voice: %s; sound device: %s\n", qPrintable(speech.voices().value(speech.currentVoice()).description),
                speech.hasAudioDevice() ? "yes (first played = first heard)" : "none (first played = on the clock)");
    QList<double> synthesised;
    QList<double> played;
    QAction* read = page.toolbarButton(11);
    QAction* stop = page.toolbarButton(12);
    for (int i = 0; i < 7; ++i) {
        QElapsedTimer t;
        double firstSynth = -1;
        double firstPlayed = -1;
        const auto a = QObject::connect(&speech, &EspeakSpeechEngine::firstSamplesSynthesised,
                                        [&] { firstSynth = t.nsecsElapsed() / 1e6; });
        t.start();
        read->trigger();
        const bool heard = waitFor(&speech, &EspeakSpeechEngine::firstSamplePlayed);
        firstPlayed = t.nsecsElapsed() / 1e6;
        QObject::disconnect(a);
        if (!heard || firstSynth < 0) {
            std::fprintf(stderr, "run %d: no sample within 10 s\n", i + 1);
            return 1;
        }
        synthesised << firstSynth;
        played << firstPlayed;
        // Let it speak a little, then stop and wait for button 11 to be idle again.
        QEventLoop pause;
        QTimer::singleShot(300, &pause, &QEventLoop::quit);
        pause.exec();
        stop->trigger();
        waitFor(&page.readAloud(), &ReadAloudController::stateChanged);
    }

    std::printf("chapter: %d characters in the page\n", kChapterChars);
    std::printf("click to first synthesised sample: first %.1f ms, median %.1f ms, worst %.1f ms (target < 300)\n",
                synthesised.first(), median(synthesised), *std::max_element(synthesised.begin(), synthesised.end()));
    std::printf("click to first played sample:      first %.1f ms, median %.1f ms, worst %.1f ms (target < 300)\n",
                played.first(), median(played), *std::max_element(played.begin(), played.end()));
    return 0;
}
