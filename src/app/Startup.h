#pragma once

#include <QString>

#include <functional>

class Clock;
class Dialogs;
class LibraryDatabase;
struct AppState;

// The reader's start-up routine, run before any window exists: open the library,
// settle the download folder, obtain the machine identifier and run the update check.
class Startup {
public:
    // The update check gets the finished check address; it returns false when the
    // reader is to end (an update was accepted or is mandatory).
    using UpdateCheck = std::function<bool(const QString& checkAddress)>;

    Startup(AppState& state, LibraryDatabase& library, Dialogs& dialogs, Clock& clock);

    void setUpdateCheck(UpdateCheck check) { m_updateCheck = std::move(check); }
    void setMachineIdFile(const QString& path) { m_machineIdFile = path; }

    enum class Outcome { Continue, DatabaseFailed, EndedByUpdate };
    Outcome run();

    // service base + "/readerserver/getinfo.asp?desknum=" + id + "&rnt=" + stamp, with
    // every blank of the whole address removed.
    static QString checkAddress(const QString& serviceBase, const QString& machineId, const QString& stamp);

private:
    AppState& m_state;
    LibraryDatabase& m_library;
    Dialogs& m_dialogs;
    Clock& m_clock;
    UpdateCheck m_updateCheck;
    QString m_machineIdFile = QStringLiteral("/etc/machine-id");
};
