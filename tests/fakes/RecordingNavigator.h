#pragma once

#include "app/ReaderNavigator.h"

#include <QStringList>

#include <functional>

// Records what a page or dialog asks of the main window; getChapter goes on to `onGetChapter`.
class RecordingNavigator : public ReaderNavigator {
public:
    void selectToolBar(int index) override { calls << QStringLiteral("selectToolBar(%1)").arg(index); }
    void getChapter(const QString& path, const QString& bookmark) override
    {
        calls << QStringLiteral("getChapter(%1|%2)").arg(path, bookmark);
        if (onGetChapter)
            onGetChapter(path, bookmark);
    }
    void readList() override { calls << QStringLiteral("readList"); }
    void showBookDialog(const QString& mode, const QString& bookPath = QString()) override
    {
        calls << (bookPath.isEmpty() ? QStringLiteral("showBookDialog(%1)").arg(mode)
                                     : QStringLiteral("showBookDialog(%1|%2)").arg(mode, bookPath));
    }

    QStringList calls;
    std::function<void(const QString&, const QString&)> onGetChapter;
};
