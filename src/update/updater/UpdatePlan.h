#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// One file the service lists: where it comes from and where it goes.
struct UpdateFile {
    QString url;
    QString fileName; // the text after the address's last "/"
    QString target;   // program folder + folder entry + file name, with "/" separators
};

// The files of an update, checked before anything is downloaded. Each target is formed as
// the service intends (program folder + folder entry + file name, the entries beginning and
// ending with "\"), and it must stay inside the program folder: an entry with "..", a drive
// or network path, an address that is not http(s), a file name that is empty, a place in the
// updater's own staging folder and a target named twice (or standing where another target
// needs a folder) are refused. Lists of unequal length, or longer than MaxFiles, are refused
// as a whole.
struct UpdatePlan {
    // Far beyond any real release of the programs; a longer list is a mistake or an attack.
    static constexpr int MaxFiles = 3000;

    QList<UpdateFile> files;
    int urlCount = 0;
    int folderCount = 0;
    QStringList refused; // one line per refused entry, for the log

    bool listsMatch() const { return urlCount == folderCount; }
    bool tooLong() const { return urlCount > MaxFiles; }
    bool usable() const { return listsMatch() && !tooLong() && refused.isEmpty(); }

    static UpdatePlan make(const QString& programFolder, const QString& downloadlist, const QString& savepathlist);
    // The folders this update would have to change and this user may not write, the program
    // folder first (the staging folder lives there): for each target, the nearest folder that
    // exists on its way. An installed reader under /usr is the usual case; its user is told and
    // nothing is downloaded. `writable` is folderWritable unless a test says otherwise.
    static QStringList unwritableFolders(const QString& programFolder, const QList<UpdateFile>& files,
                                         const std::function<bool(const QString&)>& writable = folderWritable);
    // access(2): what this user may do, a read-only mount included.
    static bool folderWritable(const QString& folder);
    // Entries of a "||" list; an empty list has none.
    static QStringList entries(const QString& list);
    // GetFileName: the part after the last "/".
    static QString fileNameOf(const QString& url);
};
