#pragma once

// Services for benchmarks that drive real pages without a user: nothing is asked, opened or
// picked, and a message box (which no benchmark expects) is printed instead of shown.

#include "app/ReaderNavigator.h"
#include "platform/DesktopLauncher.h"
#include "platform/Dialogs.h"
#include "platform/Pickers.h"

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
