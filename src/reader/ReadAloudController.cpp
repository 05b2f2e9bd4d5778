#include "reader/ReadAloudController.h"

#include "app/LibraryDatabase.h"
#include "platform/DesktopLauncher.h"
#include "platform/SpeechEngine.h"
#include "reader/SpokenPage.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QUrl>

#include <algorithm>

namespace {

const QString kRateOption = QStringLiteral("voiceRate");
const QString kVolumeOption = QStringLiteral("voiceVolume");

} // namespace

ReadAloudController::ReadAloudController(SpeechEngine& engine, SpokenPage& page, DesktopLauncher& desktop,
                                         const QString& helpFile, LibraryDatabase* library, QObject* parent)
    : QObject(parent), m_engine(engine), m_page(page), m_desktop(desktop), m_helpFile(helpFile), m_library(library),
      m_rate(SpeechEngine::NormalRate), m_volume(SpeechEngine::FullVolume)
{
    connect(&m_engine, &SpeechEngine::voicesChanged, this, &ReadAloudController::refreshVoices);
    connect(&m_engine, &SpeechEngine::word, this, &ReadAloudController::onWord);
    connect(&m_engine, &SpeechEngine::endStream, this, &ReadAloudController::onEnd);
}

QString ReadAloudController::helpFileIn(const QString& programFolder)
{
    const QString relative = QStringLiteral("/help/voiceread.html");
    const QString beside = programFolder + relative;
    if (QFileInfo::exists(beside))
        return beside;
    return QCoreApplication::applicationDirPath() + relative;
}

QString ReadAloudController::readToolTip() const
{
    switch (m_state) {
    case State::Idle:
        return QStringLiteral("开始朗读");
    case State::Speaking:
        return QStringLiteral("暂停朗读");
    case State::Paused:
        return QStringLiteral("继续朗读");
    }
    return {};
}

int ReadAloudController::currentEntry() const
{
    return m_voices.entryOf(m_engine.currentVoice());
}

void ReadAloudController::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged();
}

void ReadAloudController::setPanelVisible(bool visible)
{
    if (visible == m_panelVisible)
        return;
    m_panelVisible = visible;
    emit panelVisibleChanged(visible);
}

void ReadAloudController::load()
{
    m_loaded = true;
    // A value unreadable or out of range (a hand-edited database) is brought back inside.
    const auto stored = [this](const QString& name, int fallback, int low, int high) {
        bool ok = false;
        const int value = m_library ? m_library->option(name).value_or(QString()).toInt(&ok) : 0;
        return ok ? std::clamp(value, low, high) : fallback;
    };
    m_rate = stored(kRateOption, SpeechEngine::NormalRate, SpeechEngine::RateMin, SpeechEngine::RateMax);
    m_volume = stored(kVolumeOption, SpeechEngine::FullVolume, 0, SpeechEngine::FullVolume);
    m_engine.setRate(m_rate);
    m_engine.setVolume(m_volume);
    emit rateVolumeChanged();
    refreshVoices();
}

void ReadAloudController::rateChosen(int percent)
{
    percent = std::clamp(percent, SpeechEngine::RateMin, SpeechEngine::RateMax);
    if (percent == m_rate)
        return;
    m_rate = percent;
    m_engine.setRate(percent);
    if (m_library)
        m_library->setOption(kRateOption, QString::number(percent));
}

void ReadAloudController::volumeChosen(int percent)
{
    percent = std::clamp(percent, 0, SpeechEngine::FullVolume);
    if (percent == m_volume)
        return;
    m_volume = percent;
    m_engine.setVolume(percent);
    if (m_library)
        m_library->setOption(kVolumeOption, QString::number(percent));
}

void ReadAloudController::refreshVoices()
{
    m_voices = VoiceChoice(m_engine.voices());
    if (m_loaded && !m_startingVoiceChosen && m_voices.startingEntry() >= 0) {
        m_startingVoiceChosen = true;
        m_engine.setCurrentVoice(m_voices.voiceAt(m_voices.startingEntry()));
    }
    emit voiceEntriesChanged();
}

void ReadAloudController::readButtonClick()
{
    switch (m_state) {
    case State::Idle:
        startReading();
        break;
    case State::Speaking:
        m_engine.pause();
        setState(State::Paused);
        break;
    case State::Paused:
        m_engine.resume();
        setState(State::Speaking);
        break;
    }
}

void ReadAloudController::startReading()
{
    // The page hands its text over asynchronously; the button shows "暂停朗读" at once so
    // that a second click pauses rather than starting a second reading.
    const quint64 request = ++m_textRequest;
    m_stream = 0;
    setState(State::Speaking);
    QPointer<ReadAloudController> self(this);
    m_page.takeSpokenText([self, request](const QString& text) {
        if (self)
            self->onText(request, text);
    });
}

void ReadAloudController::onText(quint64 request, const QString& text)
{
    if (request != m_textRequest || m_state == State::Idle)
        return;
    m_highlight = !text.isEmpty();
    m_stream = m_engine.speak(text.isEmpty() ? noContentPhrase() : text, SpeechEngine::SpeakAsync);
    // Paused by the user or the boss key before the text arrived: it waits where it starts.
    if (m_state == State::Paused || m_pausedWhileHidden)
        m_engine.pause();
}

void ReadAloudController::stopButtonClick()
{
    // An empty text with the purge flag drops everything; its end returns button 11 to idle.
    ++m_textRequest;
    m_highlight = false;
    m_pausedWhileHidden = false;
    m_stream = m_engine.speak(QString(), SpeechEngine::PurgeBeforeSpeak);
}

void ReadAloudController::voicePanelButtonClick()
{
    if (m_panelVisible) {
        setPanelVisible(false);
        return;
    }
    setPanelVisible(true);
    emit voiceListFocusRequested();
}

void ReadAloudController::voiceListLostFocus()
{
    setPanelVisible(false);
}

void ReadAloudController::helpButtonClick()
{
    // A desktop without a browser for local pages still gets its help.
    if (!m_desktop.openUrl(QUrl::fromLocalFile(m_helpFile).toString()))
        emit helpPageUnopened(m_helpFile);
}

void ReadAloudController::voiceChosen(int entry)
{
    ++m_textRequest;
    m_highlight = false;
    m_pausedWhileHidden = false;
    m_engine.speak(QString(), SpeechEngine::PurgeBeforeSpeak);
    m_stream = 0; // idle now, not at the end of that empty stream
    if (m_voices.voiceAt(entry) >= 0)
        m_engine.setCurrentVoice(m_voices.voiceAt(entry));
    setState(State::Idle);
    setPanelVisible(false);
}

void ReadAloudController::setWindowsHidden(bool hidden)
{
    if (hidden == m_hidden)
        return;
    m_hidden = hidden;
    if (hidden) {
        if (m_state == State::Speaking) {
            m_engine.pause();
            m_pausedWhileHidden = true;
        }
    } else if (m_pausedWhileHidden) {
        m_pausedWhileHidden = false;
        if (m_state == State::Speaking)
            m_engine.resume();
    }
}

void ReadAloudController::onWord(int stream, int position, int length)
{
    if (stream == m_stream && m_highlight)
        m_page.highlightSpoken(position, length);
}

void ReadAloudController::onEnd(int stream)
{
    if (stream != m_stream || stream == 0)
        return;
    m_stream = 0;
    m_highlight = false;
    setState(State::Idle);
}
