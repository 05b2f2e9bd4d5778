#pragma once

// Services for benchmarks that drive real pages without a user: nothing is asked, opened or
// picked, and a message box (which no benchmark expects) is printed instead of shown.

#include "app/ReaderNavigator.h"
#include "platform/DesktopLauncher.h"
#include "platform/Dialogs.h"
#include "platform/Pickers.h"
#include "platform/SpeechEngine.h"

#include <cstdio>

struct SilentDialogs : Dialogs {
    Answer message(const QString& text, const QString&, int) override
    {
        std::fprintf(stderr, "unexpected message: %s\n", qPrintable(text));
        return Answer::Ok;
    }
};

struct NoPickers : Pickers {
    QString openFile(QWidget*, const QString&, const QString&) override { return {}; }
    QString saveFile(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString folder(QWidget*, const QString&) override { return {}; }
    std::optional<QColor> color(QWidget*, const QColor&) override { return std::nullopt; }
};

struct NoDesktop : DesktopLauncher {
    bool openUrl(const QString&) override { return false; }
    bool openFolder(const QString&) override { return false; }
};

struct NoNavigator : ReaderNavigator {
    void selectToolBar(int) override {}
    void getChapter(const QString&, const QString&) override {}
    void readList() override {}
    void showBookDialog(const QString&, const QString& = QString()) override {}
};

// No voices: a stream ends as soon as it is queued.
struct NoSpeech : SpeechEngine {
    QList<SpeechVoice> voices() const override { return {}; }
    int currentVoice() const override { return -1; }
    bool setCurrentVoice(int) override { return false; }
    void setRate(int) override {}
    void setVolume(int) override {}
    int speak(const QString&, int) override
    {
        const int stream = ++m_lastStream;
        QMetaObject::invokeMethod(
            this, [this, stream] { emit endStream(stream); }, Qt::QueuedConnection);
        return stream;
    }
    void purge() override {}
    void pause() override {}
    void resume() override {}
    bool isPaused() const override { return false; }

private:
    int m_lastStream = 0;
};
