#pragma once

#include <QString>
#include <QStringList>

class BossKey;
class DesktopLauncher;
class Dialogs;
class LibraryDatabase;
class QWidget;
class ReaderNavigator;

// Books the reader is asked to open from outside: the command line, or a later start that
// handed its files over. Each file is found on the shelf by its path or put there, and one
// of them is shown.
class LaunchBooks {
public:
    LaunchBooks(LibraryDatabase& library, Dialogs& dialogs, DesktopLauncher& desktop, ReaderNavigator& navigator);

    // Every readable file not yet on the shelf is added to "其他分类" with its file name as
    // the title and the unknown author "佚名". The first readable file is then shown as a
    // double-click on the shelf shows it (reading page, "最近阅读" stamped, first chapter).
    // Files that cannot be opened are named in one message afterwards. Returns the path
    // shown, empty when none was.
    QString open(const QStringList& paths);

    // The title and author of a book added this way, as its file name gives them
    // ("《书名》作者.txt"); a name that names no author is all title, by "佚名".
    static QString titleFor(const QString& path);
    static QString authorFor(const QString& path);
    static QString category() { return QStringLiteral("其他分类"); }

    // The running reader comes forward for a book handed over: windows the boss key hid
    // come back, a minimised window is restored, raised and activated.
    static void bringToFront(QWidget& window, BossKey* bossKey);

private:
    LibraryDatabase& m_library;
    Dialogs& m_dialogs;
    DesktopLauncher& m_desktop;
    ReaderNavigator& m_navigator;
};
