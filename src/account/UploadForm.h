#pragma once

#include "account/AccountReply.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the upload page holds when "确认上传" is pressed.
struct UploadFields {
    QString category;
    QString name;
    QString author;
    QString path;      // the book file
    QString coverPath; // empty without a cover
    QString state;     // "连载", "全集" or empty
    QString newestChapter;
    QString synopsis;
    QString userName; // the account name shown in the panel
};

// Where the focus goes when a check refuses.
enum class UploadFocus { Category, Name, Author, BookButton, CoverButton, State, NewestChapter, Synopsis };

struct UploadRefusal {
    MessageBox box;
    UploadFocus focus = UploadFocus::Name;
    bool showNewestRow = false;
};

namespace UploadForm {

QString serialState();
QString completeState();
QStringList states();

QString bookDialogTitle();
QString bookDialogFilter();
QString coverDialogTitle();
QString coverDialogFilter();

// The checks in order: category, name, book path, state, newest chapter of a serial; then
// what the service could not take: a "|" in any value (the field string would split it), a
// book or cover file that cannot be read, and a body over `uploadLimit` bytes when the
// service has named its limit (0: not known).
std::optional<UploadRefusal> check(const UploadFields& fields, qint64 uploadLimit);

// key=value pairs joined by "|": file1, file2 (only with a cover), stype, sname, sauthor,
// username, smemo, sstatue, snewchap; every value trimmed, snewchap empty for "全集".
QString fieldString(const UploadFields& fields);

// The limit as the user reads it ("64.0 MB").
QString limitText(qint64 bytes);

} // namespace UploadForm
