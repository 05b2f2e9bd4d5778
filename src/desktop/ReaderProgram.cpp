#include "desktop/ReaderProgram.h"

#include "account/PersistentCookieJar.h"
#include "app/AppPaths.h"
#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/LibraryDatabase.h"
#include "app/Startup.h"
#include "desktop/MainWindow.h"
#include "desktop/ScreenshotTour.h"
#include "desktop/SettingsModule.h"
#include "desktop/ThemeController.h"
#include "desktop/TypographyController.h"
#include "desktop/instance/LaunchBooks.h"
#include "desktop/instance/SingleInstance.h"
#include "platform/Clock.h"
#include "platform/espeak/EspeakSpeechEngine.h"
#include "platform/keychain/KeychainPasswordStore.h"
#include "platform/qt/ApplicationIcon.h"
#include "platform/qt/QtDesktopLauncher.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtPickers.h"
#include "platform/qt/QtProgramStarter.h"
#include "platform/x11/X11GlobalHotKey.h"
#include "platform/xdg/XdgAutoStart.h"
#include "reader/position/LastBook.h"
#include "update/UpdateCheck.h"
#include "update/UpdateStaging.h"

#include <QApplication>
#include <QFontDatabase>
#include <QNetworkAccessManager>

int runReader(QApplication& app, const QStringList& files)
{
    QApplication::setApplicationName(QStringLiteral("Quillmere"));
    // The boss key hides every window; that must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);

    SystemClock clock;
    QtDialogs dialogs;
    // One reader per data folder: a later start hands its files over and ends here.
    const QString dataFolder = AppPaths::dataFolder();
    SingleInstance instance(SingleInstance::nameFor(dataFolder));
    switch (instance.start(files)) {
    case SingleInstance::Role::HandedOver:
        return 0;
    case SingleInstance::Role::NoAnswer:
        dialogs.message(SingleInstance::noAnswerText(), QString(), Dialogs::Exclamation);
        return 1;
    case SingleInstance::Role::First:
        break;
    }
    // An update cut short beside the programs is finished or undone before any of its files is used;
    // a second start leaves that to the reader already running.
    UpdateStaging::recover(QCoreApplication::applicationDirPath());
    installApplicationIcon();
    QGuiApplication::setDesktopFileName(QStringLiteral("quillmere"));
    QtPickers pickers;
    QtDesktopLauncher desktop;
    // Loads its voices on its own thread while start-up goes on.
    EspeakSpeechEngine speech;
    LibraryDatabase library;
    AppState state;
    state.programFolder = dataFolder;
    state.serviceBase = AppPaths::serviceBase();
    QNetworkAccessManager network;
    // The service's login cookies; a login with "记住登录" outlives the run.
    network.setCookieJar(new PersistentCookieJar(state.programFolder + QStringLiteral("/DataFile/Cookies.dat")));
    AppServices services{state, dialogs, pickers, desktop, clock, network, speech};
    KeychainPasswordStore passwords;
    services.passwords = &passwords;

    Startup startup(state, library, dialogs, clock);
    // The updater lives beside the reader's executable.
    QtProgramStarter programs;
    UpdateCheck updateCheck(state, network, dialogs, programs,
                            QCoreApplication::applicationDirPath() + QStringLiteral("/update"));
    startup.setUpdateCheck([&updateCheck](const QString& address) { return !updateCheck.run(address).endReader; });
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
    ThemeController themes(library, window, &settings);
    TypographyController typography(library, *window.readingPage(),
                                    QFontDatabase::families(QFontDatabase::SimplifiedChinese));
    QObject::connect(&window, &MainWindow::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    window.formLoad();
    themes.load();
    typography.load();
    window.showNotice(state.noticeUrl);
    LaunchBooks books(library, dialogs, desktop, window);
    if (!files.isEmpty()) {
        books.open(files);
    } else if (const QString last = LastBook::toReopen(&library);
               !last.isEmpty() && qEnvironmentVariableIsEmpty("QUILLMERE_SCREENSHOTS")) {
        // The book read last opens again at its place, unless the settings say otherwise.
        window.selectToolBar(2);
        window.getChapter(last, QString());
    }
    instance.deliverTo([&](const QStringList& paths) {
        LaunchBooks::bringToFront(window, &settings.bossKey());
        books.open(paths);
    });

    // QUILLMERE_SCREENSHOTS=<folder>: photograph the main pages into the folder and end.
    const QString shots = qEnvironmentVariable("QUILLMERE_SCREENSHOTS");
    ScreenshotTour tour(window, state, shots);
    tour.setThemes(&themes);
    if (!shots.isEmpty())
        tour.start();
    return app.exec();
}
