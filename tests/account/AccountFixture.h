#pragma once

// Shared set-up of the account tests: the fakes, a library in a temporary folder, the
// account windows on a service address, and helpers to reach the windows' controls.

#include "account/AccountWindows.h"
#include "account/LoginDialog.h"
#include "account/RegisterDialog.h"
#include "account/UploadPage.h"
#include "account/UserPanel.h"
#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/LibraryDatabase.h"

#include "FakeClipboard.h"
#include "FakeClock.h"
#include "FakeDesktopLauncher.h"
#include "FakeDialogs.h"
#include "FakeSpeechEngine.h"
#include "FakePickers.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

struct AccountFixture {
    QTemporaryDir dir;
    LibraryDatabase library{QStringLiteral("account-fixture")};
    AppState state;
    FakeDialogs dialogs;
    FakePickers pickers;
    FakeDesktopLauncher desktop;
    FakeClock clock;
    FakeClipboard clipboard;
    QNetworkAccessManager network;
    FakeSpeechEngine speech;
    AppServices services{state, dialogs, pickers, desktop, clock, network, speech};
    std::unique_ptr<AccountWindows> windows;

    explicit AccountFixture(const QString& serviceBase)
    {
        state.serviceBase = serviceBase;
        state.programFolder = dir.path();
        library.open(dir.filePath(QStringLiteral("Data.db")));
        state.library = &library;
        windows = std::make_unique<AccountWindows>(services, clipboard);
    }

    // A file in the temporary folder.
    QString write(const QString& name, const QByteArray& bytes)
    {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return f.fileName();
    }

    // Waits until `count` message boxes have been shown.
    bool waitForBoxes(int count, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return dialogs.count() >= count; }, timeoutMs);
    }
};

template <typename T> T* control(QWidget* window, const char* name)
{
    return window ? window->findChild<T*>(QLatin1String(name)) : nullptr;
}

inline void typeInto(QWidget* window, const char* name, const QString& text)
{
    if (auto* edit = control<QLineEdit>(window, name))
        edit->setText(text);
    else if (auto* plain = control<QPlainTextEdit>(window, name))
        plain->setPlainText(text);
}

inline void click(QWidget* window, const char* name)
{
    if (auto* button = control<QAbstractButton>(window, name))
        button->click();
}

inline void choose(QWidget* window, const char* name, const QString& text)
{
    if (auto* box = control<QComboBox>(window, name))
        box->setCurrentIndex(box->findText(text));
}

inline QString textOf(QWidget* window, const char* name)
{
    if (auto* edit = control<QLineEdit>(window, name))
        return edit->text();
    if (auto* label = control<QLabel>(window, name))
        return label->text();
    return QStringLiteral("<no control %1>").arg(QLatin1String(name));
}

// Every row of a report list as its columns' texts.
inline QList<QStringList> rowsOf(QTreeWidget* list)
{
    QList<QStringList> rows;
    for (int i = 0; list && i < list->topLevelItemCount(); ++i) {
        QStringList row;
        for (int c = 0; c < list->columnCount(); ++c)
            row << list->topLevelItem(i)->text(c);
        rows << row;
    }
    return rows;
}
