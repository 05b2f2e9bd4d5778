#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// One book on the shelf: a row of BookList.
struct BookRow {
    qint64 id = 0;
    QString type; // category name
    QString name; // title
    QString author;
    QString path;  // full path of the TXT file, unique on the shelf
    QString marke; // label of the bookmarked chapter; "Null" when none
    QDateTime lastread;
};

// The single row of SysSet.
struct SettingsRow {
    QString downSavePath;
    bool autoRun = false;
    QString bossKey = QStringLiteral("Ctrl|B");
    QString txtColor = QStringLiteral("000000");
    QString txtSize = QStringLiteral("中号");
    QString backColor = QStringLiteral("FBF7EE");
};

// Which books the shelf lists: the whole shelf, or one category by its exact name.
struct ShelfQuery {
    bool wholeShelf = true; // the root "我的书架"
    QString category;       // the category name matched exactly when !wholeShelf
    QString filter;         // when not blank, only books whose title or author contains it

    static ShelfQuery all() { return {}; }
    static ShelfQuery ofCategory(const QString& name) { return {false, name, QString()}; }
    bool operator==(const ShelfQuery& o) const
    {
        return wholeShelf == o.wholeShelf && category == o.category && filter == o.filter;
    }
};

// A book to put on the shelf.
struct NewBook {
    QString type;
    QString name;
    QString author;
    QString path;
};

// One page of the shelf, newest first.
struct ShelfPage {
    QList<BookRow> rows;
    int page = 0;      // the page shown, 1-based; 0 when the query has no row
    int pageCount = 0; // 0 when the query has no row
    int totalRows = 0;
    bool failed = false; // the database could not be read (LibraryDatabase::failureText says why)
};
