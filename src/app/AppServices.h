#pragma once

class Clock;
class DesktopLauncher;
class Dialogs;
class PasswordStore;
class Pickers;
class QNetworkAccessManager;
class SpeechEngine;
struct AppState;

// The real services of one run, handed to each window as one reference. main.cpp
// builds it; tests build it from the fakes.
struct AppServices {
    AppState& state;
    Dialogs& dialogs;
    Pickers& pickers;
    DesktopLauncher& desktop;
    Clock& clock;
    // One network manager for the whole run: its cookie jar keeps the service's cookies for every window.
    QNetworkAccessManager& network;
    SpeechEngine& speech;
    // The keyring for the passwords of added catalogues; none where the desktop has no keyring
    // (the passwords are then asked for each session).
    PasswordStore* passwords = nullptr;
};
