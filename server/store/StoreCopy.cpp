// migrate-to, the ServiceDatabase half: whole tables from one store into another.
#include "ServiceDatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

QStringList ServiceDatabase::copiedTables()
{
    // Users before the sessions that reference them.
    return {QStringLiteral("users"),    QStringLiteral("sessions"), QStringLiteral("books"),
            QStringLiteral("machines"), QStringLiteral("visits"),   QStringLiteral("settings")};
}

qint64 ServiceDatabase::rowCount(const QString& table)
{
    if (!copiedTables().contains(table))
        return -1;
    if (!m_db.tables().contains(table))
        return 0;
    QSqlQuery q(m_db);
    if (q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)) && q.next())
        return q.value(0).toLongLong();
    return -1;
}

bool ServiceDatabase::copyTableFrom(ServiceDatabase& source, const QString& table, QString* error)
{
    auto failed = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!copiedTables().contains(table))
        return failed(QStringLiteral("unknown table %1").arg(table));
    const QSqlRecord columns = source.m_db.record(table);
    if (columns.isEmpty())
        return true; // a service from before the table existed has nothing to copy
    QStringList names;
    for (int i = 0; i < columns.count(); ++i)
        names.append(columns.fieldName(i));
    QSqlQuery read(source.m_db);
    read.setForwardOnly(true);
    if (!read.exec(QStringLiteral("SELECT %1 FROM %2").arg(names.join(QStringLiteral(", ")), table)))
        return failed(read.lastError().text());
    QStringList marks;
    for (int i = 0; i < names.size(); ++i)
        marks.append(QStringLiteral("?"));
    QSqlQuery write(m_db);
    if (!write.prepare(QStringLiteral("INSERT INTO %1(%2) VALUES(%3)")
                           .arg(table, names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")))))
        return failed(write.lastError().text());
    while (read.next()) {
        for (int i = 0; i < names.size(); ++i)
            write.bindValue(i, read.value(i));
        if (!write.exec())
            return failed(QStringLiteral("%1: %2").arg(table, write.lastError().text()));
    }
    if (read.lastError().isValid())
        return failed(read.lastError().text());
    return true;
}

bool ServiceDatabase::resetNumbering()
{
    if (m_dialect != Dialect::Postgres)
        return true;
    for (const char* table : {"users", "books"}) {
        if (!exec(QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', 'id'), COALESCE(MAX(id), 0) + 1, false) "
                                 "FROM %1")
                      .arg(QLatin1String(table))))
            return false;
    }
    return true;
}
