#pragma once

#include "update/UpdateInfo.h"

#include <QString>

class Dialogs;
class ProgramStarter;
class QNetworkAccessManager;
struct AppState;

// The reader's update check at start-up, before any window exists: one blocking request
// for the service's information block, whose snippets go into the shared state; when the
// service names another version the user is asked, and accepting starts the updater
// beside the reader and ends the reader. A mandatory update ends the reader whatever the
// answer. A service that does not answer, or whose answer takes long to read, delays the
// start by at most TimeoutMs.
class UpdateCheck {
public:
    static constexpr int TimeoutMs = 3000;
    // The reader's own version, in the form the service's `version` takes.
    static QString ownVersion() { return QStringLiteral("v1.3"); }

    struct Outcome {
        bool accepted = false;  // the service answered with a usable reply
        bool endReader = false; // the updater took over, or the update is mandatory
    };

    UpdateCheck(AppState& state, QNetworkAccessManager& network, Dialogs& dialogs, ProgramStarter& starter,
                QString updaterProgram);

    // The whole check of the finished check address.
    Outcome run(const QString& checkAddress);
    // The decision once the block was read: prompts and the start of the updater.
    Outcome decide(const UpdateInfo& info);

    const UpdateInfo& info() const { return m_info; }
    // The limit for fetching and reading the reply together.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

private:
    void keepSnippets();
    bool startUpdater();

    AppState& m_state;
    QNetworkAccessManager& m_network;
    Dialogs& m_dialogs;
    ProgramStarter& m_starter;
    QString m_updaterProgram;
    UpdateInfo m_info;
    int m_timeoutMs = TimeoutMs;
};
