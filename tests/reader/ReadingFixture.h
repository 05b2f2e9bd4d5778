#pragma once

// Shared set-up of the reading tests: a library in a temporary folder, the fakes, and
// helpers to write books and to read the reading page back.

#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/LibraryDatabase.h"
#include "app/ReaderNavigator.h"

#include "FakeClock.h"
#include "FakeDesktopLauncher.h"
#include "FakeDialogs.h"
#include "FakePickers.h"
#include "FakeSpeechEngine.h"
#include "RecordingNavigator.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

struct ReadingFixture {
    QTemporaryDir dir;
    LibraryDatabase library{QStringLiteral("reading-fixture")};
    AppState state;
    FakeDialogs dialogs;
    FakePickers pickers;
    FakeDesktopLauncher desktop;
    FakeClock clock;
    QNetworkAccessManager network;
    FakeSpeechEngine speech;
    AppServices services{state, dialogs, pickers, desktop, clock, network, speech};

    ReadingFixture()
    {
        state.programFolder = QStringLiteral(QUILLMERE_SOURCE_DIR "/resources");
        library.open(dir.filePath(QStringLiteral("Data.db")));
        library.setNow([this] { return clock.now(); });
        state.library = &library;
    }

    // Writes a UTF-8 book into the temporary folder and returns its path.
    QString writeBook(const QString& name, const QString& text)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(text.toUtf8());
        return path;
    }

    // Title line, then `chapters` chapters "第N章 标题N" with two lines each.
    QString writeChapters(const QString& name, int chapters)
    {
        QString text = QStringLiteral("测试之书\n");
        for (int i = 1; i <= chapters; ++i)
            text += QStringLiteral("第%1章 标题%1\n内容%1甲\n内容%1乙\n").arg(i);
        return writeBook(name, text);
    }
};

// Runs a script in the page and waits for its result.
inline QVariant runJs(QWebEngineView* view, const QString& script)
{
    QVariant out;
    bool done = false;
    view->page()->runJavaScript(script, [&](const QVariant& result) {
        out = result;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 10000))
        qWarning("runJs: no answer from the page");
    return out;
}

inline QString txtHtml(QWebEngineView* view)
{
    return runJs(view, QStringLiteral("document.getElementById('TXT').innerHTML")).toString();
}
