#pragma once

#include <QString>
#include <QStringList>

class Dialogs;
class LibraryDatabase;
class ReaderNavigator;

// The rules of the book dialog (Form3): its three modes, the fields it starts with, the
// checks before a save, the statement and what follows it. The dialog widget only binds.
class BookDialogController {
public:
    enum class Mode { AddNew, OpenNew, Edit, Other };
    enum class SaveResult { Refused, Saved, Failed };

    // What the dialog's boxes hold; `category` is the category picker's text.
    struct Fields {
        QString name;
        QString category;
        QString author;
        QString path;
    };

    BookDialogController(LibraryDatabase& library, Dialogs& dialogs, ReaderNavigator& navigator);

    // The ten category names, in the order of the tree and of the picker.
    static QStringList categoryNames();
    static QString designedTitle() { return QStringLiteral("保存电子书 - Quillmere"); }
    static QString defaultAuthor() { return QStringLiteral("佚名"); }
    // The book name a path suggests: the file name after the last "/" or "\", in lower case,
    // without any ".txt". The path itself is never changed (file names here are case-sensitive).
    static QString getTxtName(const QString& path);

    // Splits `mode` ("addnew", "opennew", "edit>||<" + id) and prepares the fields. "opennew"
    // offers `bookPath` (the file chosen in the open dialog) and keeps it from here on. False
    // (after telling the user) when the book to edit is not on the shelf any more; the dialog
    // is then not shown.
    bool load(const QString& mode, const QString& bookPath);

    Mode mode() const { return m_mode; }
    QString bookId() const { return m_bookId; }
    QString title() const { return m_title; }
    const Fields& initialFields() const { return m_initial; }
    // Index of the category picker's selected item; -1 selects none of the ten, and the
    // picker then reads initialFields().category.
    int initialCategoryIndex() const { return m_initialCategory; }

    // "确认保存". A blank author becomes "佚名" in `fields` (and so in the box) once the checks
    // reach it, even when a later check refuses. Every refusal and failure is shown here;
    // Saved means the dialog closes.
    SaveResult save(Fields& fields);
    // "取消": in "opennew" the book is read without being added. The dialog closes after it.
    void cancel();

private:
    void refuse(const QString& text);
    QString failTitle() const;

    LibraryDatabase& m_library;
    Dialogs& m_dialogs;
    ReaderNavigator& m_navigator;
    Mode m_mode = Mode::Other;
    QString m_bookId;
    QString m_openPath;
    QString m_title = designedTitle();
    Fields m_initial;
    int m_initialCategory = -1;
};
