#pragma once

#include "platform/VoiceChoice.h"

#include <QObject>
#include <QString>
#include <QStringList>

class DesktopLauncher;
class LibraryDatabase;
class SpeechEngine;
class SpokenPage;

// Reading the shown chapter aloud: the state behind Toolbar2's buttons 11 to 14, the voice
// panel Picture1 and its list Combo1. Widgets show what it says and report clicks to it.
//
// Button 11 goes idle "开始朗读" → speaking "暂停朗读" → paused "继续朗读" → speaking …;
// the end of the speech, the stop button (through the end of its empty stream) and choosing
// a voice bring it back to idle. The text spoken is the one taken at the click: showing
// another chapter does not stop it.
class ReadAloudController : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Speaking, Paused };
    // Images of Toolbar2's image list shown on button 11.
    static constexpr int ImageRead = 8;
    static constexpr int ImagePause = 9;

    ReadAloudController(SpeechEngine& engine, SpokenPage& page, DesktopLauncher& desktop, const QString& helpFile,
                        LibraryDatabase* library = nullptr, QObject* parent = nullptr);

    // Form_Load step 7: lists the voices in Combo1 and makes the starting voice current,
    // now or as soon as the engine has listed its voices. The stored speed and volume
    // are handed to the engine.
    void load();

    // Toolbar2 buttons 11 to 14 ("语音朗读" in the reading menu does what 11 does).
    void readButtonClick();
    void stopButtonClick();
    void voicePanelButtonClick();
    void helpButtonClick();
    // Combo1_Click with the chosen entry; Combo1 losing the focus.
    void voiceChosen(int entry);
    void voiceListLostFocus();
    // The voice panel's speed (percent of normal) and volume sliders: used from the next
    // text handed to the engine on, and kept for the next start.
    void rateChosen(int percent);
    void volumeChosen(int percent);
    int rate() const { return m_rate; }
    int volume() const { return m_volume; }
    // The boss key hid (true) or brought back (false) the windows: speech pauses meanwhile.
    void setWindowsHidden(bool hidden);

    State state() const { return m_state; }
    QString readToolTip() const;
    int readImage() const { return m_state == State::Speaking ? ImagePause : ImageRead; }
    bool isPanelVisible() const { return m_panelVisible; }
    // Combo1's entries (voice names, Chinese voices first) and the current one.
    QStringList voiceEntries() const { return m_voices.entries(); }
    int currentEntry() const;

    static QString noContentPhrase() { return QStringLiteral("没有可朗读内容"); }
    // Where the voice-reading help page is: beside the program, else beside the executable.
    static QString helpFileIn(const QString& programFolder);

signals:
    // Button 11's tool tip and image changed.
    void stateChanged();
    void panelVisibleChanged(bool visible);
    void voiceListFocusRequested();
    // Combo1 is to be filled again (entries and current entry).
    void voiceEntriesChanged();
    // The stored speed and volume were loaded.
    void rateVolumeChanged();
    // Button 14 found no browser to show the help page `file`: it is for a window of the
    // reader's own.
    void helpPageUnopened(const QString& file);

private:
    void setState(State state);
    void setPanelVisible(bool visible);
    void startReading();
    void onText(quint64 request, const QString& text);
    void refreshVoices();
    void onWord(int stream, int position, int length);
    void onEnd(int stream);

    SpeechEngine& m_engine;
    SpokenPage& m_page;
    DesktopLauncher& m_desktop;
    QString m_helpFile;
    LibraryDatabase* m_library;
    int m_rate;
    int m_volume;
    State m_state = State::Idle;
    VoiceChoice m_voices; // Combo1's entries and the engine's voice of each
    bool m_loaded = false;
    bool m_startingVoiceChosen = false;
    bool m_panelVisible = false;
    int m_stream = 0;          // the stream whose end returns button 11 to idle
    bool m_highlight = false;  // m_stream is the page's text (not the empty-chapter phrase)
    quint64 m_textRequest = 0; // a text taken from the page is spoken only if still wanted
    bool m_pausedWhileHidden = false;
    bool m_hidden = false;
};
