#pragma once

#include "app/BookRow.h"
#include "app/OpdsCatalogueRow.h"

#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <functional>
#include <optional>

// The chapter rule a user chose for one book.
struct BookRuleRow {
    QString ruleName;
    QString pattern;
};

// A chapter start the user set (start) or a heading the user dropped (!start) in one book:
// the byte offset of its line in the file and the line's text, to find it again after an edit.
struct ChapterMarkRow {
    qint64 offset = 0;
    QString lineText;
    bool start = true;
};

// The library database: BookList and SysSet in one SQLite file. Every statement the
// reader sends lives here, with bound values, so a name, path or label holding quotes,
// "%", "\" or Chinese text is stored and found exactly.
class LibraryDatabase {
public:
    static constexpr int kShelfPageSize = 40;

    enum class OpenResult { Opened, Created, NotADatabase, Locked, MissingTable, CannotCreate };
    // Why the last statement failed. A damaged file is only ever read from then on: every
    // later write is refused before it reaches the file, so the file stays as it was.
    enum class Failure { None, Damaged, Locked, Other };

    explicit LibraryDatabase(QString connectionName = QStringLiteral("library"));
    ~LibraryDatabase();
    LibraryDatabase(const LibraryDatabase&) = delete;
    LibraryDatabase& operator=(const LibraryDatabase&) = delete;

    // Opens the file, creating it from the shipped schema when it does not exist. An
    // existing file is never recreated or changed by opening, except that a SysSet table
    // without a row gets the default row.
    OpenResult open(const QString& filePath);
    bool isOpen() const;
    // A Chinese message for the user when open() failed.
    QString openErrorText() const { return m_openError; }
    QString lastError() const { return m_lastError; }
    // The outcome of the last call, and a Chinese message for the user when it failed.
    Failure lastFailure() const { return m_failure; }
    QString failureText() const;
    QString filePath() const { return m_filePath; }

    // Stamps written by lastread=now come from here (local time).
    void setNow(std::function<QDateTime()> now) { m_now = std::move(now); }

    // --- SysSet ---
    std::optional<QString> downSavePath();
    bool setDownSavePath(const QString& folder);
    std::optional<QString> bossKey();
    std::optional<bool> autoRun();
    std::optional<QString> txtColor();
    std::optional<QString> txtSize();
    std::optional<QString> backColor();
    std::optional<SettingsRow> settings();
    // Writes all six values to the one row, adding it when the table is empty.
    bool saveSettings(const SettingsRow& row);

    // TxtColor and BackColor alone (a theme chosen from the reading page).
    bool setReadingColors(const QString& txtColor, const QString& backColor);

    // --- ReaderOption: the reader's own settings beyond SysSet, by name ---
    // The table is made by the first write, so a library of an earlier release opens
    // unchanged. Nothing for a name never written (and for a failure, lastFailure() tells).
    std::optional<QString> option(const QString& name);
    bool setOption(const QString& name, const QString& value);

    // --- BookList ---
    // The page `requestedPage` of the query, 40 rows; a page below 1 reads page 1, one
    // past the last reads the last. An empty result has no rows and pageCount 0; a failed
    // count or a row that cannot be read gives `failed` and no rows.
    ShelfPage shelfPage(const ShelfQuery& query, int requestedPage);
    // -1 when the rows cannot be counted.
    int countBooks(const ShelfQuery& query);

    // The lookups give nothing both for no such row and for a failure; lastFailure() tells.
    std::optional<BookRow> bookByPath(const QString& path);
    std::optional<BookRow> bookById(qint64 id);
    // A row other than `excludeId` holding `path` (the edit dialog's duplicate check).
    std::optional<BookRow> otherBookWithPath(const QString& path, qint64 excludeId);
    std::optional<BookRow> bookByName(const QString& name);

    // lastread = now for the row with this path; returns the number of rows changed (-1 on error).
    int stampLastRead(const QString& path);
    // marke = label for the row with this path; returns the number of rows changed (-1 on error).
    int setBookmark(const QString& path, const QString& label);
    // New row with marke "Null" and lastread now; returns its id.
    std::optional<qint64> insertBook(const QString& type, const QString& name, const QString& author,
                                     const QString& path);
    // Adds, in one transaction, each book whose path no row holds yet; returns how many were
    // added, or nothing (and none of them) when the transaction failed.
    std::optional<int> insertBooksNotOnShelf(const QList<NewBook>& books);
    bool updateBook(qint64 id, const QString& type, const QString& name, const QString& author, const QString& path);
    bool deleteBook(qint64 id);

    // The shelf's "最近阅读" form: YYYY/M/D hh:mm, e.g. 2009/3/7 08:05.
    static QString shelfTimeText(const QDateTime& when);

    QSqlDatabase connection() const;

    // --- BookEncoding: the text encoding the user chose for a book, by path ---
    // Made by the first write, as ReaderOption is, so a library of an earlier release opens
    // unchanged. Nothing for a book without a choice; an empty `encoding` drops the choice.
    std::optional<QString> bookEncoding(const QString& path);
    bool setBookEncoding(const QString& path, const QString& encoding);

    // --- BookRule: the chapter rule the user chose for a book, by path ---
    // Made by the first write. Nothing for a book without a choice (it is scanned by the
    // reader's own heading test); an empty `ruleName` drops the choice.
    std::optional<BookRuleRow> bookRule(const QString& path);
    bool setBookRule(const QString& path, const QString& ruleName, const QString& pattern);

    // --- ChapterMark: the user's own chapter starts and dropped headings, by path ---
    // Made by the first write. In offset order; empty for a book without marks.
    QList<ChapterMarkRow> chapterMarks(const QString& path);
    // Sets the mark at `mark.offset`, replacing any mark there.
    bool setChapterMark(const QString& path, const ChapterMarkRow& mark);
    bool removeChapterMark(const QString& path, qint64 offset);

    // --- OpdsCatalogue: the catalogues the user added to the online library ---
    // Made by the first write, as ReaderOption is. An empty list before any was added.
    std::optional<QList<OpdsCatalogueRow>> opdsCatalogues();
    std::optional<qint64> addOpdsCatalogue(const OpdsCatalogueRow& row);
    bool updateOpdsCatalogue(const OpdsCatalogueRow& row);
    bool removeOpdsCatalogue(qint64 id);

private:
    OpenResult createFromSchema(const QString& filePath);
    OpenResult checkTables();
    std::optional<QString> settingText(const char* column);
    QString nowText() const;
    // Every call starts with beginCall; a failed statement goes through fail(), which
    // returns false so that callers can `return fail(q)`.
    void beginCall() { m_failure = Failure::None; }
    bool fail(const QSqlQuery& query);
    // False, with the damaged-file failure, once the file is known to be damaged.
    bool mayWrite();
    std::optional<BookRow> singleBook(QSqlQuery& query);
    // " WHERE ..." of a shelf query (empty for the whole shelf, unfiltered), and its values.
    static QString shelfWhere(const ShelfQuery& query, QVariantList& values);
    // The one value of `select` (one bound key) in a table a write creates when first needed.
    std::optional<QString> valueOfTableAddedLater(const QString& select, const QString& key);
    bool createTableAddedLater(const QString& create);
    // The rows of `select` (one bound key) in such a table, `columns` values each; empty when
    // the table was never made.
    QList<QVariantList> rowsOfTableAddedLater(const QString& select, const QString& key, int columns);

    QString m_connectionName;
    QString m_filePath;
    QString m_openError;
    QString m_lastError;
    Failure m_failure = Failure::None;
    bool m_damaged = false;
    std::function<QDateTime()> m_now;
};
