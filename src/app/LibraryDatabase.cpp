#include "app/LibraryDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

namespace {

const QString kStampFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const char* kBookColumns = "id, type, name, author, path, marke, lastread";

BookRow readBook(const QSqlQuery& q)
{
    BookRow row;
    row.id = q.value(0).toLongLong();
    row.type = q.value(1).toString();
    row.name = q.value(2).toString();
    row.author = q.value(3).toString();
    row.path = q.value(4).toString();
    row.marke = q.value(5).toString();
    const QString stamp = q.value(6).toString();
    row.lastread = QDateTime::fromString(stamp, kStampFormat);
    if (!row.lastread.isValid())
        row.lastread = QDateTime::fromString(stamp, Qt::ISODate);
    return row;
}

// A null QString binds as SQL NULL; the text columns hold empty text instead.
QVariant text(const QString& value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

bool isNotADatabase(const QSqlError& e)
{
    const QString t = e.text().toLower();
    return t.contains(QLatin1String("not a database")) || t.contains(QLatin1String("malformed")) ||
           t.contains(QLatin1String("encrypted"));
}

bool isLocked(const QSqlError& e)
{
    const QString t = e.text().toLower();
    return t.contains(QLatin1String("locked")) || t.contains(QLatin1String("busy"));
}

// SQLite's result codes: SQLITE_BUSY 5, SQLITE_LOCKED 6, SQLITE_CORRUPT 11, SQLITE_NOTADB 26.
LibraryDatabase::Failure classify(const QSqlError& e)
{
    bool numeric = false;
    const int code = e.nativeErrorCode().toInt(&numeric) & 0xFF;
    if ((numeric && (code == 11 || code == 26)) || isNotADatabase(e))
        return LibraryDatabase::Failure::Damaged;
    if ((numeric && (code == 5 || code == 6)) || isLocked(e))
        return LibraryDatabase::Failure::Locked;
    return LibraryDatabase::Failure::Other;
}

} // namespace

// The schema is compiled into this static library; its resources must be registered by
// hand, and Q_INIT_RESOURCE only works outside any namespace.
static void registerAppResources()
{
    static const bool once = [] {
        Q_INIT_RESOURCE(app);
        return true;
    }();
    (void)once;
}

LibraryDatabase::LibraryDatabase(QString connectionName)
    : m_connectionName(std::move(connectionName)), m_now([] { return QDateTime::currentDateTime(); })
{
    registerAppResources();
}

LibraryDatabase::~LibraryDatabase()
{
    if (QSqlDatabase::contains(m_connectionName)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

QSqlDatabase LibraryDatabase::connection() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

bool LibraryDatabase::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) && connection().isOpen();
}

QString LibraryDatabase::nowText() const
{
    return m_now().toString(kStampFormat);
}

bool LibraryDatabase::fail(const QSqlQuery& query)
{
    const QSqlError error = query.lastError();
    m_lastError = error.text();
    m_failure = error.isValid() ? classify(error) : Failure::Other;
    if (m_failure == Failure::Damaged)
        m_damaged = true;
    return false;
}

bool LibraryDatabase::mayWrite()
{
    if (!m_damaged)
        return true;
    m_failure = Failure::Damaged;
    m_lastError = QStringLiteral("database disk image is malformed");
    return false;
}

QString LibraryDatabase::failureText() const
{
    switch (m_failure) {
    case Failure::None:
        return QString();
    case Failure::Damaged:
        return QStringLiteral("书库数据库文件已损坏或不是有效的数据库：\n%1\n\n文件未作任何改动。").arg(m_filePath);
    case Failure::Locked:
        return QStringLiteral("书库数据库正被其他程序占用，暂时无法读写：\n%1\n\n请关闭占用它的程序后再试。")
            .arg(m_filePath);
    case Failure::Other:
        break;
    }
    return QStringLiteral("无法读写书库数据库：\n%1\n\n%2").arg(m_filePath, m_lastError);
}

std::optional<BookRow> LibraryDatabase::singleBook(QSqlQuery& query)
{
    // No row and a row that cannot be read both end next(); only the second sets an error.
    if (!query.exec() || !query.next()) {
        if (!query.isActive() || query.lastError().isValid())
            fail(query);
        return std::nullopt;
    }
    return readBook(query);
}

LibraryDatabase::OpenResult LibraryDatabase::open(const QString& filePath)
{
    m_filePath = filePath;
    m_openError.clear();
    const QFileInfo info(filePath);
    bool created = false;
    if (!info.exists()) {
        const OpenResult r = createFromSchema(filePath);
        if (r != OpenResult::Created)
            return r;
        created = true;
    }

    QSqlDatabase db = QSqlDatabase::contains(m_connectionName)
                          ? QSqlDatabase::database(m_connectionName, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(filePath);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db.open()) {
        m_openError = QStringLiteral("无法打开书库数据库：\n%1\n\n%2").arg(filePath, db.lastError().text());
        return OpenResult::CannotCreate;
    }
    // A page cache large enough for a big shelf: a page read deep into 100,000 books walks
    // most of the table, which with SQLite's default 2 MB cache goes back to the file every
    // time. The memory is taken only as pages are read; nothing is written to the file.
    QSqlQuery(db).exec(QStringLiteral("PRAGMA cache_size = -65536"));
    const OpenResult checked = checkTables();
    if (checked != OpenResult::Opened) {
        db.close();
        return checked;
    }
    return created ? OpenResult::Created : OpenResult::Opened;
}

LibraryDatabase::OpenResult LibraryDatabase::checkTables()
{
    QSqlDatabase db = connection();
    QSqlQuery q(db);
    // Reading the catalogue of tables touches the file header: a file that is not a
    // database, or one another program holds locked, fails here without being changed.
    if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'"))) {
        const QSqlError e = q.lastError();
        if (isLocked(e)) {
            m_openError = QStringLiteral("书库数据库正被其他程序占用，无法打开：\n%1\n\n请关闭占用它的程序后再启动。")
                              .arg(m_filePath);
            return OpenResult::Locked;
        }
        m_openError =
            QStringLiteral("书库数据库文件已损坏或不是有效的数据库：\n%1\n\n文件未作任何改动。").arg(m_filePath);
        return isNotADatabase(e) ? OpenResult::NotADatabase : OpenResult::NotADatabase;
    }
    QStringList tables;
    while (q.next())
        tables << q.value(0).toString().toLower();
    for (const QString& needed : {QStringLiteral("BookList"), QStringLiteral("SysSet")}) {
        if (!tables.contains(needed.toLower())) {
            m_openError = QStringLiteral("书库数据库缺少数据表 %1：\n%2\n\n文件未作任何改动。").arg(needed, m_filePath);
            return OpenResult::MissingTable;
        }
    }
    // A probe of both tables' columns: a table of the right name but the wrong shape is
    // as unusable as a missing one.
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("SELECT %1 FROM BookList LIMIT 0").arg(QLatin1String(kBookColumns))) ||
        !probe.exec(QStringLiteral(
            "SELECT DownSavePath, AutoRun, BossKey, TxtColor, TxtSize, BackColor FROM SysSet LIMIT 0"))) {
        const QSqlError e = probe.lastError();
        if (isLocked(e)) {
            m_openError = QStringLiteral("书库数据库正被其他程序占用，无法打开：\n%1").arg(m_filePath);
            return OpenResult::Locked;
        }
        m_openError = QStringLiteral("书库数据库的数据表结构不正确：\n%1\n\n%2\n\n文件未作任何改动。")
                          .arg(m_filePath, e.databaseText());
        return OpenResult::MissingTable;
    }
    QSqlQuery count(db);
    if (count.exec(QStringLiteral("SELECT COUNT(*) FROM SysSet")) && count.next() && count.value(0).toInt() == 0) {
        const SettingsRow defaults;
        saveSettings(defaults);
    }
    return OpenResult::Opened;
}

LibraryDatabase::OpenResult LibraryDatabase::createFromSchema(const QString& filePath)
{
    const QFileInfo info(filePath);
    if (!QDir().mkpath(info.absolutePath())) {
        m_openError = QStringLiteral("无法创建书库数据库所在的目录：\n%1").arg(info.absolutePath());
        return OpenResult::CannotCreate;
    }
    QFile schemaFile(QStringLiteral(":/quillmere/schema.sql"));
    if (!schemaFile.open(QIODevice::ReadOnly)) {
        m_openError = QStringLiteral("程序缺少书库数据库结构文件，无法创建书库。");
        return OpenResult::CannotCreate;
    }
    const QString schema = QString::fromUtf8(schemaFile.readAll());

    // Build the new file under a temporary name and move it into place only when it is
    // complete, so a failure never leaves a half-made database behind.
    const QString temp = filePath + QStringLiteral(".new-") + QUuid::createUuid().toString(QUuid::Id128);
    const QString connName = m_connectionName + QStringLiteral("-create");
    bool ok = true;
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connName);
        db.setDatabaseName(temp);
        ok = db.open();
        if (!ok)
            error = db.lastError().text();
        if (ok) {
            QSqlQuery q(db);
            ok = db.transaction();
            QString statement;
            for (const QString& line : schema.split(QLatin1Char('\n'))) {
                if (line.trimmed().startsWith(QLatin1String("--")))
                    continue;
                statement += line + QLatin1Char('\n');
                if (line.trimmed().endsWith(QLatin1Char(';')) && ok) {
                    ok = q.exec(statement);
                    if (!ok)
                        error = q.lastError().text();
                    statement.clear();
                }
            }
            ok = ok && db.commit();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connName);
    if (ok)
        ok = QFile::rename(temp, filePath);
    if (!ok) {
        QFile::remove(temp);
        m_openError = QStringLiteral("无法创建书库数据库：\n%1\n\n%2").arg(filePath, error);
        return OpenResult::CannotCreate;
    }
    return OpenResult::Created;
}

// --- SysSet ---

std::optional<QString> LibraryDatabase::settingText(const char* column)
{
    beginCall();
    QSqlQuery q(connection());
    if (!q.exec(QStringLiteral("SELECT %1 FROM SysSet LIMIT 1").arg(QLatin1String(column))) || !q.next()) {
        fail(q);
        return std::nullopt;
    }
    return q.value(0).toString();
}

std::optional<QString> LibraryDatabase::downSavePath()
{
    return settingText("DownSavePath");
}
std::optional<QString> LibraryDatabase::bossKey()
{
    return settingText("BossKey");
}
std::optional<QString> LibraryDatabase::txtColor()
{
    return settingText("TxtColor");
}
std::optional<QString> LibraryDatabase::txtSize()
{
    return settingText("TxtSize");
}
std::optional<QString> LibraryDatabase::backColor()
{
    return settingText("BackColor");
}

std::optional<bool> LibraryDatabase::autoRun()
{
    const auto v = settingText("AutoRun");
    if (!v)
        return std::nullopt;
    const QString t = v->trimmed().toLower();
    return t == QLatin1String("1") || t == QLatin1String("true") || t == QLatin1String("-1");
}

bool LibraryDatabase::setDownSavePath(const QString& folder)
{
    beginCall();
    if (!mayWrite())
        return false;
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("UPDATE SysSet SET DownSavePath = ?"));
    q.addBindValue(text(folder));
    return q.exec() || fail(q);
}

std::optional<SettingsRow> LibraryDatabase::settings()
{
    beginCall();
    QSqlQuery q(connection());
    if (!q.exec(QStringLiteral(
            "SELECT DownSavePath, AutoRun, BossKey, TxtColor, TxtSize, BackColor FROM SysSet LIMIT 1")) ||
        !q.next()) {
        fail(q);
        return std::nullopt;
    }
    SettingsRow row;
    row.downSavePath = q.value(0).toString();
    row.autoRun = q.value(1).toInt() != 0;
    row.bossKey = q.value(2).toString();
    row.txtColor = q.value(3).toString();
    row.txtSize = q.value(4).toString();
    row.backColor = q.value(5).toString();
    return row;
}

bool LibraryDatabase::saveSettings(const SettingsRow& row)
{
    beginCall();
    if (!mayWrite())
        return false;
    QSqlDatabase db = connection();
    QSqlQuery count(db);
    if (!count.exec(QStringLiteral("SELECT COUNT(*) FROM SysSet")) || !count.next())
        return fail(count);
    const bool empty = count.value(0).toInt() == 0;
    QSqlQuery q(db);
    if (empty)
        q.prepare(QStringLiteral("INSERT INTO SysSet (DownSavePath, AutoRun, BossKey, TxtColor, TxtSize, BackColor) "
                                 "VALUES (?, ?, ?, ?, ?, ?)"));
    else
        q.prepare(QStringLiteral("UPDATE SysSet SET DownSavePath = ?, AutoRun = ?, BossKey = ?, TxtColor = ?, "
                                 "TxtSize = ?, BackColor = ?"));
    q.addBindValue(text(row.downSavePath));
    q.addBindValue(row.autoRun ? 1 : 0);
    q.addBindValue(text(row.bossKey));
    q.addBindValue(text(row.txtColor));
    q.addBindValue(text(row.txtSize));
    q.addBindValue(text(row.backColor));
    return q.exec() || fail(q);
}

bool LibraryDatabase::setReadingColors(const QString& txtColor, const QString& backColor)
{
    beginCall();
    if (!mayWrite())
        return false;
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("UPDATE SysSet SET TxtColor = ?, BackColor = ?"));
    q.addBindValue(text(txtColor));
    q.addBindValue(text(backColor));
    return q.exec() || fail(q);
}

// --- Tables added after the first release ---
// A library of an earlier release has none of them until the first write creates one, so the
// file opens unchanged; reading from a table that is not there yet finds nothing, no failure.

std::optional<QString> LibraryDatabase::valueOfTableAddedLater(const QString& select, const QString& key)
{
    QSqlQuery q(connection());
    if (!q.prepare(select)) {
        if (!q.lastError().text().contains(QLatin1String("no such table")))
            fail(q);
        return std::nullopt;
    }
    q.addBindValue(text(key));
    if (!q.exec()) {
        fail(q);
        return std::nullopt;
    }
    if (!q.next()) {
        if (q.lastError().isValid())
            fail(q);
        return std::nullopt;
    }
    return q.value(0).toString();
}

bool LibraryDatabase::createTableAddedLater(const QString& create)
{
    QSqlQuery q(connection());
    return q.exec(create) || fail(q);
}

// --- ReaderOption ---

std::optional<QString> LibraryDatabase::option(const QString& name)
{
    beginCall();
    return valueOfTableAddedLater(QStringLiteral("SELECT Value FROM ReaderOption WHERE Name = ?"), name);
}

bool LibraryDatabase::setOption(const QString& name, const QString& value)
{
    beginCall();
    if (!mayWrite())
        return false;
    if (!createTableAddedLater(QStringLiteral("CREATE TABLE IF NOT EXISTS ReaderOption ("
                                              "Name TEXT PRIMARY KEY NOT NULL, Value TEXT NOT NULL DEFAULT '')")))
        return false;
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("INSERT INTO ReaderOption (Name, Value) VALUES (?, ?) "
                             "ON CONFLICT(Name) DO UPDATE SET Value = excluded.Value"));
    q.addBindValue(text(name));
    q.addBindValue(text(value));
    return q.exec() || fail(q);
}

// --- BookList ---

QString LibraryDatabase::shelfWhere(const ShelfQuery& query, QVariantList& values)
{
    QStringList terms;
    if (!query.wholeShelf) {
        terms << QStringLiteral("type = ?");
        values << text(query.category);
    }
    const QString filter = query.filter.trimmed();
    if (!filter.isEmpty()) {
        // The user's text is matched as typed: "%" and "_" in it are no wildcards.
        QString escaped = filter;
        escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        escaped.replace(QLatin1Char('%'), QLatin1String("\\%"));
        escaped.replace(QLatin1Char('_'), QLatin1String("\\_"));
        const QString pattern = QLatin1Char('%') + escaped + QLatin1Char('%');
        terms << QStringLiteral("(name LIKE ? ESCAPE '\\' OR author LIKE ? ESCAPE '\\')");
        values << pattern << pattern;
    }
    return terms.isEmpty() ? QString() : QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
}

int LibraryDatabase::countBooks(const ShelfQuery& query)
{
    beginCall();
    QSqlQuery q(connection());
    QVariantList values;
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM BookList") + shelfWhere(query, values));
    for (const QVariant& value : values)
        q.addBindValue(value);
    if (!q.exec() || !q.next()) {
        fail(q);
        return -1;
    }
    return q.value(0).toInt();
}

ShelfPage LibraryDatabase::shelfPage(const ShelfQuery& query, int requestedPage)
{
    ShelfPage page;
    page.totalRows = countBooks(query);
    if (page.totalRows < 0) {
        page.totalRows = 0;
        page.failed = true;
        return page;
    }
    if (page.totalRows == 0)
        return page;
    page.pageCount = (page.totalRows + kShelfPageSize - 1) / kShelfPageSize;
    page.page = std::clamp(requestedPage, 1, page.pageCount);

    // The page is found by skipping rows, and SQLite skips them one by one: counting from
    // whichever end of the list is nearer halves the worst case and makes the last pages as
    // quick as the first. Read from the old end, the rows come oldest first and are turned.
    const int offset = (page.page - 1) * kShelfPageSize;
    const int rowsOnPage = std::min(kShelfPageSize, page.totalRows - offset);
    const int rowsAfter = page.totalRows - offset - rowsOnPage;
    const bool fromOldEnd = rowsAfter < offset;
    const QString order = fromOldEnd ? QStringLiteral("ASC") : QStringLiteral("DESC");

    QSqlQuery q(connection());
    q.setForwardOnly(true);
    const QString columns = QLatin1String(kBookColumns);
    QVariantList values;
    const QString where = shelfWhere(query, values);
    q.prepare(QStringLiteral("SELECT %1 FROM BookList%2 ORDER BY id %3 LIMIT ? OFFSET ?").arg(columns, where, order));
    for (const QVariant& value : values)
        q.addBindValue(value);
    q.addBindValue(rowsOnPage);
    q.addBindValue(fromOldEnd ? rowsAfter : offset);
    if (!q.exec()) {
        fail(q);
        page.failed = true;
        return page;
    }
    while (q.next())
        page.rows.append(readBook(q));
    // next() also ends on a page of the file that cannot be read: half a page is no page.
    if (q.lastError().isValid()) {
        fail(q);
        page.rows.clear();
        page.failed = true;
        return page;
    }
    if (fromOldEnd)
        std::reverse(page.rows.begin(), page.rows.end());
    return page;
}

std::optional<BookRow> LibraryDatabase::bookByPath(const QString& path)
{
    beginCall();
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("SELECT %1 FROM BookList WHERE path = ? LIMIT 1").arg(QLatin1String(kBookColumns)));
    q.addBindValue(text(path));
    return singleBook(q);
}

std::optional<BookRow> LibraryDatabase::bookById(qint64 id)
{
    beginCall();
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("SELECT %1 FROM BookList WHERE id = ?").arg(QLatin1String(kBookColumns)));
    q.addBindValue(id);
    return singleBook(q);
}

std::optional<BookRow> LibraryDatabase::otherBookWithPath(const QString& path, qint64 excludeId)
{
    beginCall();
    QSqlQuery q(connection());
    q.prepare(
        QStringLiteral("SELECT %1 FROM BookList WHERE path = ? AND id <> ? LIMIT 1").arg(QLatin1String(kBookColumns)));
    q.addBindValue(text(path));
    q.addBindValue(excludeId);
    return singleBook(q);
}

std::optional<BookRow> LibraryDatabase::bookByName(const QString& name)
{
    beginCall();
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("SELECT %1 FROM BookList WHERE name = ? LIMIT 1").arg(QLatin1String(kBookColumns)));
    q.addBindValue(text(name));
    return singleBook(q);
}

int LibraryDatabase::stampLastRead(const QString& path)
{
    beginCall();
    if (!mayWrite())
        return -1;
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("UPDATE BookList SET lastread = ? WHERE path = ?"));
    q.addBindValue(nowText());
    q.addBindValue(text(path));
    if (!q.exec()) {
        fail(q);
        return -1;
    }
    return q.numRowsAffected();
}

int LibraryDatabase::setBookmark(const QString& path, const QString& label)
{
    beginCall();
    if (!mayWrite())
        return -1;
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("UPDATE BookList SET marke = ? WHERE path = ?"));
    q.addBindValue(text(label));
    q.addBindValue(text(path));
    if (!q.exec()) {
        fail(q);
        return -1;
    }
    return q.numRowsAffected();
}

std::optional<qint64> LibraryDatabase::insertBook(const QString& type, const QString& name, const QString& author,
                                                  const QString& path)
{
    beginCall();
    if (!mayWrite())
        return std::nullopt;
    QSqlQuery q(connection());
    q.prepare(QStringLiteral(
        "INSERT INTO BookList (type, name, author, path, marke, lastread) VALUES (?, ?, ?, ?, 'Null', ?)"));
    q.addBindValue(text(type));
    q.addBindValue(text(name));
    q.addBindValue(text(author));
    q.addBindValue(text(path));
    q.addBindValue(nowText());
    if (!q.exec()) {
        fail(q);
        return std::nullopt;
    }
    return q.lastInsertId().toLongLong();
}

std::optional<int> LibraryDatabase::insertBooksNotOnShelf(const QList<NewBook>& books)
{
    beginCall();
    if (!mayWrite())
        return std::nullopt;
    QSqlDatabase db = connection();
    if (!db.transaction()) {
        m_lastError = db.lastError().text();
        m_failure = classify(db.lastError());
        return std::nullopt;
    }
    QSqlQuery q(db);
    // A path already on the shelf is left alone; the path column's index makes the check cheap.
    q.prepare(QStringLiteral("INSERT INTO BookList (type, name, author, path, marke, lastread) "
                             "SELECT ?, ?, ?, ?, 'Null', ? WHERE NOT EXISTS (SELECT 1 FROM BookList WHERE path = ?)"));
    const QString now = nowText();
    int added = 0;
    for (const NewBook& book : books) {
        q.addBindValue(text(book.type));
        q.addBindValue(text(book.name));
        q.addBindValue(text(book.author));
        q.addBindValue(text(book.path));
        q.addBindValue(now);
        q.addBindValue(text(book.path));
        if (!q.exec()) {
            fail(q);
            db.rollback();
            return std::nullopt;
        }
        added += q.numRowsAffected();
    }
    if (!db.commit()) {
        m_lastError = db.lastError().text();
        m_failure = classify(db.lastError());
        db.rollback();
        return std::nullopt;
    }
    return added;
}

bool LibraryDatabase::updateBook(qint64 id, const QString& type, const QString& name, const QString& author,
                                 const QString& path)
{
    beginCall();
    if (!mayWrite())
        return false;
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("UPDATE BookList SET type = ?, name = ?, author = ?, path = ? WHERE id = ?"));
    q.addBindValue(text(type));
    q.addBindValue(text(name));
    q.addBindValue(text(author));
    q.addBindValue(text(path));
    q.addBindValue(id);
    return q.exec() || fail(q);
}

bool LibraryDatabase::deleteBook(qint64 id)
{
    beginCall();
    if (!mayWrite())
        return false;
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("DELETE FROM BookList WHERE id = ?"));
    q.addBindValue(id);
    return q.exec() || fail(q);
}

QString LibraryDatabase::shelfTimeText(const QDateTime& when)
{
    if (!when.isValid())
        return QString();
    return when.toString(QStringLiteral("yyyy/M/d hh:mm"));
}

// --- BookEncoding ---

std::optional<QString> LibraryDatabase::bookEncoding(const QString& path)
{
    beginCall();
    return valueOfTableAddedLater(QStringLiteral("SELECT Encoding FROM BookEncoding WHERE Path = ?"), path);
}

bool LibraryDatabase::setBookEncoding(const QString& path, const QString& encoding)
{
    beginCall();
    if (!mayWrite())
        return false;
    if (!createTableAddedLater(QStringLiteral("CREATE TABLE IF NOT EXISTS BookEncoding ("
                                              "Path TEXT PRIMARY KEY NOT NULL, Encoding TEXT NOT NULL DEFAULT '')")))
        return false;
    QSqlQuery q(connection());
    if (encoding.isEmpty()) {
        q.prepare(QStringLiteral("DELETE FROM BookEncoding WHERE Path = ?"));
        q.addBindValue(text(path));
    } else {
        q.prepare(QStringLiteral("INSERT INTO BookEncoding (Path, Encoding) VALUES (?, ?) "
                                 "ON CONFLICT(Path) DO UPDATE SET Encoding = excluded.Encoding"));
        q.addBindValue(text(path));
        q.addBindValue(text(encoding));
    }
    return q.exec() || fail(q);
}

QList<QVariantList> LibraryDatabase::rowsOfTableAddedLater(const QString& select, const QString& key, int columns)
{
    QList<QVariantList> rows;
    QSqlQuery q(connection());
    if (!q.prepare(select)) {
        if (!q.lastError().text().contains(QLatin1String("no such table")))
            fail(q);
        return rows;
    }
    q.addBindValue(text(key));
    if (!q.exec()) {
        fail(q);
        return rows;
    }
    while (q.next()) {
        QVariantList row;
        for (int i = 0; i < columns; ++i)
            row << q.value(i);
        rows << row;
    }
    if (q.lastError().isValid())
        fail(q);
    return rows;
}

// --- BookRule ---

std::optional<BookRuleRow> LibraryDatabase::bookRule(const QString& path)
{
    beginCall();
    const QList<QVariantList> rows =
        rowsOfTableAddedLater(QStringLiteral("SELECT RuleName, Pattern FROM BookRule WHERE Path = ?"), path, 2);
    if (rows.isEmpty())
        return std::nullopt;
    return BookRuleRow{rows.first().at(0).toString(), rows.first().at(1).toString()};
}

bool LibraryDatabase::setBookRule(const QString& path, const QString& ruleName, const QString& pattern)
{
    beginCall();
    if (!mayWrite())
        return false;
    if (!createTableAddedLater(QStringLiteral("CREATE TABLE IF NOT EXISTS BookRule (Path TEXT PRIMARY KEY NOT NULL, "
                                              "RuleName TEXT NOT NULL DEFAULT '', Pattern TEXT NOT NULL DEFAULT '')")))
        return false;
    QSqlQuery q(connection());
    if (ruleName.isEmpty()) {
        q.prepare(QStringLiteral("DELETE FROM BookRule WHERE Path = ?"));
        q.addBindValue(text(path));
    } else {
        q.prepare(QStringLiteral("INSERT INTO BookRule (Path, RuleName, Pattern) VALUES (?, ?, ?) "
                                 "ON CONFLICT(Path) DO UPDATE SET RuleName = excluded.RuleName, "
                                 "Pattern = excluded.Pattern"));
        q.addBindValue(text(path));
        q.addBindValue(text(ruleName));
        q.addBindValue(text(pattern));
    }
    return q.exec() || fail(q);
}

// --- ChapterMark ---

QList<ChapterMarkRow> LibraryDatabase::chapterMarks(const QString& path)
{
    beginCall();
    QList<ChapterMarkRow> marks;
    const QList<QVariantList> rows = rowsOfTableAddedLater(
        QStringLiteral("SELECT Offset, LineText, Start FROM ChapterMark WHERE Path = ? ORDER BY Offset"), path, 3);
    for (const QVariantList& row : rows)
        marks << ChapterMarkRow{row.at(0).toLongLong(), row.at(1).toString(), row.at(2).toInt() != 0};
    return marks;
}

bool LibraryDatabase::setChapterMark(const QString& path, const ChapterMarkRow& mark)
{
    beginCall();
    if (!mayWrite())
        return false;
    if (!createTableAddedLater(QStringLiteral("CREATE TABLE IF NOT EXISTS ChapterMark (Path TEXT NOT NULL, "
                                              "Offset INTEGER NOT NULL, LineText TEXT NOT NULL DEFAULT '', "
                                              "Start INTEGER NOT NULL DEFAULT 1, PRIMARY KEY (Path, Offset))")))
        return false;
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("INSERT INTO ChapterMark (Path, Offset, LineText, Start) VALUES (?, ?, ?, ?) "
                             "ON CONFLICT(Path, Offset) DO UPDATE SET LineText = excluded.LineText, "
                             "Start = excluded.Start"));
    q.addBindValue(text(path));
    q.addBindValue(mark.offset);
    q.addBindValue(text(mark.lineText));
    q.addBindValue(mark.start ? 1 : 0);
    return q.exec() || fail(q);
}

bool LibraryDatabase::removeChapterMark(const QString& path, qint64 offset)
{
    beginCall();
    if (!mayWrite())
        return false;
    QSqlQuery q(connection());
    if (!q.prepare(QStringLiteral("DELETE FROM ChapterMark WHERE Path = ? AND Offset = ?")))
        return q.lastError().text().contains(QLatin1String("no such table")) || fail(q);
    q.addBindValue(text(path));
    q.addBindValue(offset);
    return q.exec() || fail(q);
}

// --- OpdsCatalogue ---

namespace {

const char* const kCreateOpdsCatalogue = "CREATE TABLE IF NOT EXISTS OpdsCatalogue ("
                                         "Id INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT NOT NULL DEFAULT '', "
                                         "Url TEXT NOT NULL DEFAULT '', UserName TEXT NOT NULL DEFAULT '', "
                                         "PasswordStored INTEGER NOT NULL DEFAULT 0)";

} // namespace

std::optional<QList<OpdsCatalogueRow>> LibraryDatabase::opdsCatalogues()
{
    beginCall();
    QList<OpdsCatalogueRow> rows;
    QSqlQuery q(connection());
    if (!q.prepare(QStringLiteral("SELECT Id, Name, Url, UserName, PasswordStored FROM OpdsCatalogue ORDER BY Id"))) {
        if (q.lastError().text().contains(QLatin1String("no such table")))
            return rows;
        fail(q);
        return std::nullopt;
    }
    if (!q.exec()) {
        fail(q);
        return std::nullopt;
    }
    while (q.next()) {
        OpdsCatalogueRow row;
        row.id = q.value(0).toLongLong();
        row.name = q.value(1).toString();
        row.url = q.value(2).toString();
        row.userName = q.value(3).toString();
        row.passwordStored = q.value(4).toInt() != 0;
        rows.append(row);
    }
    return rows;
}

std::optional<qint64> LibraryDatabase::addOpdsCatalogue(const OpdsCatalogueRow& row)
{
    beginCall();
    if (!mayWrite() || !createTableAddedLater(QLatin1String(kCreateOpdsCatalogue)))
        return std::nullopt;
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("INSERT INTO OpdsCatalogue (Name, Url, UserName, PasswordStored) VALUES (?, ?, ?, ?)"));
    q.addBindValue(text(row.name));
    q.addBindValue(text(row.url));
    q.addBindValue(text(row.userName));
    q.addBindValue(row.passwordStored ? 1 : 0);
    if (!q.exec()) {
        fail(q);
        return std::nullopt;
    }
    return q.lastInsertId().toLongLong();
}

bool LibraryDatabase::updateOpdsCatalogue(const OpdsCatalogueRow& row)
{
    beginCall();
    if (!mayWrite() || !createTableAddedLater(QLatin1String(kCreateOpdsCatalogue)))
        return false;
    QSqlQuery q(connection());
    q.prepare(
        QStringLiteral("UPDATE OpdsCatalogue SET Name = ?, Url = ?, UserName = ?, PasswordStored = ? WHERE Id = ?"));
    q.addBindValue(text(row.name));
    q.addBindValue(text(row.url));
    q.addBindValue(text(row.userName));
    q.addBindValue(row.passwordStored ? 1 : 0);
    q.addBindValue(row.id);
    return q.exec() || fail(q);
}

bool LibraryDatabase::removeOpdsCatalogue(qint64 id)
{
    beginCall();
    if (!mayWrite() || !createTableAddedLater(QLatin1String(kCreateOpdsCatalogue)))
        return false;
    QSqlQuery q(connection());
    q.prepare(QStringLiteral("DELETE FROM OpdsCatalogue WHERE Id = ?"));
    q.addBindValue(id);
    return q.exec() || fail(q);
}
