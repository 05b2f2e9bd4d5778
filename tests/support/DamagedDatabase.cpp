#include "DamagedDatabase.h"

#include <QFile>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

namespace DamagedDatabase {

namespace {

// Root pages of the small tables (SysSet, sqlite_sequence): their only page is a leaf the
// opening checks read, so it stays whole.
QSet<qint64> smallTableRoots(const QString& path)
{
    QSet<qint64> roots;
    const QString name = QStringLiteral("damaged-database-roots");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(
                    QStringLiteral("SELECT rootpage FROM sqlite_master WHERE type = 'table' AND name <> 'BookList'")))
                while (q.next())
                    roots.insert(q.value(0).toLongLong());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return roots;
}

} // namespace

bool spoil(const QString& path, Pages pages)
{
    const QSet<qint64> keep = smallTableRoots(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = file.readAll();
    if (bytes.size() < 100)
        return false;
    qint64 pageSize = (quint8(bytes[16]) << 8) | quint8(bytes[17]);
    if (pageSize == 1)
        pageSize = 65536;
    // Leaf pages: 0x0D holds table rows, 0x0A index entries.
    const char kind = pages == Pages::BookRows ? char(0x0D) : char(0x0A);
    int spoiled = 0;
    for (qint64 page = 2; page * pageSize <= bytes.size(); ++page) {
        const qint64 offset = (page - 1) * pageSize;
        if (bytes[offset] != kind || keep.contains(page))
            continue;
        bytes.replace(offset, pageSize, QByteArray(pageSize, char(0xFF)));
        ++spoiled;
    }
    if (spoiled == 0 || !file.seek(0) || file.write(bytes) != bytes.size())
        return false;
    return true;
}

} // namespace DamagedDatabase
