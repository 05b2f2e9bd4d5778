// The books half of ServiceDatabase: catalogue rows, uploads and their review.
#include "ServiceDatabase.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

const char* const kBookColumns = "id, name, class, author, statue, newchap, memo, file, cover, size_kb, ftime, "
                                 "checkif, uploader_id, update_of";

BookRecord readBook(const QSqlQuery& q)
{
    BookRecord b;
    b.id = q.value(0).toLongLong();
    b.name = q.value(1).toString();
    b.category = q.value(2).toString();
    b.author = q.value(3).toString();
    b.statue = q.value(4).toString();
    b.newchap = q.value(5).toString();
    b.memo = q.value(6).toString();
    b.file = q.value(7).toString();
    b.cover = q.value(8).toString();
    b.sizeKb = q.value(9).toLongLong();
    b.ftime = q.value(10).toString();
    b.review = static_cast<Review>(q.value(11).toInt());
    b.uploaderId = q.value(12).toLongLong();
    b.updateOf = q.value(13).toLongLong();
    return b;
}

QList<BookRecord> readBooks(QSqlQuery& q)
{
    QList<BookRecord> books;
    if (!q.exec())
        return books;
    while (q.next())
        books.append(readBook(q));
    return books;
}

QString select(const char* rest)
{
    return QStringLiteral("SELECT %1 FROM books %2").arg(QLatin1String(kBookColumns), QLatin1String(rest));
}

} // namespace

qint64 ServiceDatabase::insertBook(const BookRecord& b)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT INTO books(name, class, author, statue, newchap, memo, file, cover, size_kb, "
                             "ftime, checkif, uploader_id, update_of) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)") +
              pick("", " RETURNING id"));
    bindAll(q, QVariantList{b.name, b.category, b.author, b.statue, b.newchap, b.memo, b.file, b.cover, b.sizeKb,
                            b.ftime, static_cast<int>(b.review), b.uploaderId, b.updateOf});
    if (!q.exec() || !bookChanged())
        return 0;
    if (m_dialect == Dialect::Postgres)
        return q.next() ? q.value(0).toLongLong() : 0;
    return q.lastInsertId().toLongLong();
}

std::optional<BookRecord> ServiceDatabase::book(qint64 id)
{
    QSqlQuery q(m_db);
    q.prepare(select("WHERE id = ?"));
    q.addBindValue(id);
    if (q.exec() && q.next())
        return readBook(q);
    return std::nullopt;
}

QList<BookRecord> ServiceDatabase::approvedBooks()
{
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(select("WHERE checkif = 1 ORDER BY ftime DESC, id DESC"));
    return readBooks(q);
}

QList<BookRecord> ServiceDatabase::pendingBooks()
{
    QSqlQuery q(m_db);
    q.prepare(select("WHERE checkif = 0 ORDER BY id"));
    return readBooks(q);
}

QList<BookRecord> ServiceDatabase::userBooks(qint64 uploaderId, int offset, int limit)
{
    QSqlQuery q(m_db);
    q.prepare(select("WHERE uploader_id = ? ORDER BY id DESC LIMIT ? OFFSET ?"));
    q.addBindValue(uploaderId);
    q.addBindValue(limit);
    q.addBindValue(offset);
    return readBooks(q);
}

int ServiceDatabase::userBookCount(qint64 uploaderId)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM books WHERE uploader_id = ?"));
    q.addBindValue(uploaderId);
    return q.exec() && q.next() ? q.value(0).toInt() : 0;
}

std::optional<qint64> ServiceDatabase::userBookByTitle(qint64 uploaderId, const QString& name)
{
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT id FROM books WHERE uploader_id = ? AND name = ? AND checkif <> 2 "
                             "AND update_of = 0 ORDER BY id DESC LIMIT 1"));
    q.addBindValue(uploaderId);
    q.addBindValue(name);
    if (q.exec() && q.next())
        return q.value(0).toLongLong();
    return std::nullopt;
}

bool ServiceDatabase::setReview(qint64 id, Review review)
{
    return exec(QStringLiteral("UPDATE books SET checkif = ? WHERE id = ?"), {static_cast<int>(review), id}) &&
           bookChanged();
}

bool ServiceDatabase::replaceBookContent(qint64 targetId, const BookRecord& from)
{
    return exec(QStringLiteral("UPDATE books SET class = ?, author = ?, statue = ?, newchap = ?, memo = ?, file = ?, "
                               "cover = CASE WHEN ? = '' THEN cover ELSE ? END, size_kb = ?, ftime = ? WHERE id = ?"),
                {from.category, from.author, from.statue, from.newchap, from.memo, from.file, from.cover, from.cover,
                 from.sizeKb, from.ftime, targetId}) &&
           bookChanged();
}

bool ServiceDatabase::deleteBook(qint64 id)
{
    return exec(QStringLiteral("DELETE FROM books WHERE id = ?"), {id}) && bookChanged();
}

int ServiceDatabase::bookCount()
{
    QSqlQuery q(m_db);
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM books")) && q.next() ? q.value(0).toInt() : 0;
}

std::optional<QSet<QString>> ServiceDatabase::storedFileNames()
{
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT file, cover FROM books")))
        return std::nullopt;
    QSet<QString> names;
    while (q.next()) {
        names.insert(q.value(0).toString());
        names.insert(q.value(1).toString());
    }
    // A read that stopped on an error is not the whole table.
    if (q.lastError().isValid())
        return std::nullopt;
    return names;
}
