#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One file the service lists: where it comes from and where it goes.
struct UpdateFile {
    QString url;
    QString fileName; // the text after the address's last "/"
    QString target;   // program folder + folder entry + file name, with "/" separators
};

// The files of an update, checked before anything is downloaded. Each target is formed as
// the service intends (program folder + folder entry + file name, the entries beginning and
// ending with "\"), and it must stay inside the program folder: an entry with "..", a drive
// or network path, an address that is not http(s) or a file name that is empty is refused.
// Lists of unequal length are refused as a whole.
struct UpdatePlan {
    QList<UpdateFile> files;
    int urlCount = 0;
    int folderCount = 0;
    QStringList refused; // one line per refused entry, for the log

    bool listsMatch() const { return urlCount == folderCount; }
    bool usable() const { return listsMatch() && refused.isEmpty(); }

    static UpdatePlan make(const QString& programFolder, const QString& downloadlist, const QString& savepathlist);
    // Entries of a "||" list; an empty list has none.
    static QStringList entries(const QString& list);
    // GetFileName: the part after the last "/".
    static QString fileNameOf(const QString& url);
};
