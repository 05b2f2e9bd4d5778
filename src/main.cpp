#include "app/AppPaths.h"
#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/LibraryDatabase.h"
#include "app/Startup.h"
#include "desktop/MainWindow.h"
#include "desktop/ScreenshotTour.h"
#include "desktop/SettingsModule.h"
#include "platform/Clock.h"
#include "platform/espeak/EspeakSpeechEngine.h"
#include "platform/qt/QtDesktopLauncher.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtPickers.h"
#include "platform/x11/X11GlobalHotKey.h"
#include "platform/xdg/XdgAutoStart.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // The web views share one GL context with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmere"));
    QApplication::setQuitOnLastWindowClosed(false);

    SystemClock clock;
    QtDialogs dialogs;
    QtPickers pickers;
    QtDesktopLauncher desktop;
    // Loads its voices on its own thread while start-up goes on.
    EspeakSpeechEngine speech;
    LibraryDatabase library;
    AppState state;
    state.programFolder = AppPaths::programFolder();
    state.serviceBase = AppPaths::serviceBase();
    AppServices services{state, dialogs, pickers, desktop, clock, speech};

    Startup startup(state, library, dialogs, clock);
    // HOOK (update check): startup.setUpdateCheck(...) arrives with the update subsystem.
    switch (startup.run()) {
    case Startup::Outcome::DatabaseFailed:
        return 2;
    case Startup::Outcome::EndedByUpdate:
        return 0;
    case Startup::Outcome::Continue:
        break;
    }

    // Declared before the window so that they outlive the page the window owns.
    X11GlobalHotKey hotKey;
    XdgAutoStart autoStart;
    SettingsModule settings(library, state, dialogs, pickers, autoStart, hotKey);
    MainWindow window(services);
    window.setSettings(&settings);
    QObject::connect(&window, &MainWindow::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    window.formLoad();
    window.showNotice(state.noticeUrl);

    // QUILLMERE_SCREENSHOTS=<folder>: photograph the main pages into the folder and end.
    const QString shots = qEnvironmentVariable("QUILLMERE_SCREENSHOTS");
    ScreenshotTour tour(window, state, shots);
    if (!shots.isEmpty())
        tour.start();
    return app.exec();
}
