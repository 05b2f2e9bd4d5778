#pragma once

#include <QList>
#include <QString>

// One book of the service's catalogue as its reply gives it (one `bookinfo` record),
// values as text. The catalogue list shows these rows; the download queue finds the
// finished download's row among them by the file name of `downurl`.
struct CatalogueRow {
    QString id;       // "书号"
    QString category; // `class`, "分类"
    QString name;     // "书名"
    QString author;   // "作者"
    QString statue;   // serial state, "状态"
    QString ftime;    // last update as sent, shown as YYYY/M/D
    QString size;     // kilobytes, shown through FormatFileSize
    QString downurl;  // path below the service base address
};
