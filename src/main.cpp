#include "app/AppPaths.h"
#include "app/AppState.h"
#include "app/LibraryDatabase.h"
#include "app/Startup.h"
#include "platform/Clock.h"
#include "platform/qt/QtDialogs.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmere"));

    SystemClock clock;
    QtDialogs dialogs;
    LibraryDatabase library;
    AppState state;
    state.programFolder = AppPaths::programFolder();
    state.serviceBase = AppPaths::serviceBase();

    Startup startup(state, library, dialogs, clock);
    // The update check arrives with the update subsystem; until then start-up goes on.
    switch (startup.run()) {
    case Startup::Outcome::DatabaseFailed:
        return 2;
    case Startup::Outcome::EndedByUpdate:
        return 0;
    case Startup::Outcome::Continue:
        break;
    }
    return 0;
}
