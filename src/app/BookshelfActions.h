#pragma once

#include <QString>

class DesktopLauncher;
class Dialogs;
class LibraryDatabase;
class ReaderNavigator;

// What a double-click and the bookshelf menu do with the selected book. Each action takes
// the values the shelf row shows (id, name, bookmark, path), nothing else.
class BookshelfActions {
public:
    BookshelfActions(LibraryDatabase& library, Dialogs& dialogs, DesktopLauncher& desktop, ReaderNavigator& navigator);

    // Double-click on a row: a missing file is reported; otherwise the reading page is
    // shown, lastread is stamped and the book opens at its first chapter (a failed stamp is
    // reported after). True when opened (the caller then re-reads the shelf so "最近阅读"
    // shows the stamp).
    bool openFromShelf(const QString& path);
    // "开始阅读": as the double-click, without the stamp.
    bool readFromStart(const QString& path);
    // "从书签处阅读": opens at the first chapter whose label equals `bookmark` ("Null" when none).
    bool readFromBookmark(const QString& path, const QString& bookmark);
    // "修改本书信息".
    void editBook(const QString& id);
    // "从列表中删除": asks first; true when the row was removed (the caller re-reads the shelf).
    // The TXT file stays on disk.
    bool removeBook(const QString& id, const QString& name);
    // "跳转到所在目录".
    bool openFolder(const QString& path);

    // Tells the user that opening a book could not stamp "最近阅读" (the book opens all the same).
    static void reportStampFailure(const LibraryDatabase& library, Dialogs& dialogs);

    // The folder part of a book path, "/" or "\" separated, without the file name:
    // /home/u/书/a.txt → /home/u/书, C:\书\a.txt → C:\书\, /a.txt → /. Empty for a bare name.
    static QString folderOf(const QString& path);

private:
    bool checkExists(const QString& path);

    LibraryDatabase& m_library;
    Dialogs& m_dialogs;
    DesktopLauncher& m_desktop;
    ReaderNavigator& m_navigator;
};
