#pragma once

#include <QString>

// What the pages and dialogs ask of the main window. The main window implements it;
// tests implement it with a recorder.
class ReaderNavigator {
public:
    virtual ~ReaderNavigator() = default;

    // SelectToolBar: 1 bookshelf, 2 reading window, 3 online library, 4 user centre, 5 settings.
    virtual void selectToolBar(int index) = 0;
    // getChapter: makes `path` the current book, scans it and shows the first chapter, or
    // the first chapter whose label equals `bookmark` when it is not empty.
    virtual void getChapter(const QString& path, const QString& bookmark) = 0;
    // getChapter at the first chapter, also for a book with a place to go back to.
    virtual void getChapterFromStart(const QString& path) { getChapter(path, QString()); }
    // ReadList with the shelf query: re-reads the shelf at the page the user is on.
    virtual void readList() = 0;
    // Shows the book dialog in `mode`: "addnew", "opennew" or "edit>||<" + id. "opennew"
    // offers `bookPath` for the shelf; the current book stays what it is until the dialog
    // opens that book. A dialog already open is brought forward instead.
    virtual void showBookDialog(const QString& mode, const QString& bookPath = QString()) = 0;
};
