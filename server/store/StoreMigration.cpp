#include "StoreMigration.h"

#include "ServiceDatabase.h"
#include "store/DatabaseUrl.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace {

QString tableTitle(const QString& table)
{
    static const QHash<QString, QString> titles = {
        {QStringLiteral("users"), QStringLiteral("账号")},
        {QStringLiteral("sessions"), QStringLiteral("登录会话")},
        {QStringLiteral("books"), QStringLiteral("电子书")},
        {QStringLiteral("machines"), QStringLiteral("机器记录")},
        {QStringLiteral("visits"), QStringLiteral("推广访问")},
        {QStringLiteral("settings"), QStringLiteral("设置")},
    };
    return titles.value(table, table);
}

} // namespace

int StoreMigration::fail(const QString& message)
{
    m_err << "quillmere-server migrate-to: " << message << "\n";
    m_err.flush();
    return 1;
}

int StoreMigration::run(const QString& dataDir, const QString& targetUrl)
{
    if (!DatabaseUrl::parse(targetUrl))
        return fail(
            QStringLiteral("目标地址“%1”不是 PostgreSQL 数据库地址。").arg(DatabaseUrl::withoutPassword(targetUrl)));
    if (!QFileInfo::exists(QDir(dataDir).filePath(QStringLiteral("service.db"))))
        return fail(QStringLiteral("数据目录 %1 中没有 service.db。").arg(dataDir));
    // The source gets the upgrades a service of this version would make, so both sides hold
    // the same tables.
    QString error;
    ServiceDatabase upgraded;
    if (!upgraded.open(dataDir, &error))
        return fail(QStringLiteral("无法打开数据目录 %1 中的 service.db：%2").arg(dataDir, error));
    ServiceDatabase target;
    if (!target.open(QString(), targetUrl, &error))
        return fail(QStringLiteral("无法连接目标数据库：%1").arg(error));

    const QStringList tables = ServiceDatabase::copiedTables();
    for (const QString& table : tables) {
        const qint64 rows = target.rowCount(table);
        if (rows != 0)
            return fail(rows < 0
                            ? QStringLiteral("无法读取目标数据库的%1表：%2").arg(tableTitle(table), target.lastError())
                            : QStringLiteral("目标数据库不是空的（%1已有 %2 条），拒绝迁移。")
                                  .arg(tableTitle(table))
                                  .arg(rows));
    }
    QHash<QString, qint64> expected;
    for (const QString& table : tables) {
        expected.insert(table, upgraded.rowCount(table));
        if (expected.value(table) < 0)
            return fail(QStringLiteral("无法读取%1表：%2").arg(tableTitle(table), upgraded.lastError()));
    }
    // One transaction: a copy that fails half-way leaves the target empty, ready for another try.
    // The source is read inside a transaction of its own, so a service still running on it
    // cannot change it between the tables.
    if (!upgraded.begin() || !target.begin())
        return fail(QStringLiteral("无法开始迁移：%1").arg(target.lastError()));
    for (const QString& table : tables) {
        if (!target.copyTableFrom(upgraded, table, &error)) {
            target.rollback();
            upgraded.rollback();
            return fail(QStringLiteral("复制%1时出错，目标数据库未作改动：%2").arg(tableTitle(table), error));
        }
    }
    if (!target.resetNumbering()) {
        target.rollback();
        upgraded.rollback();
        return fail(QStringLiteral("无法设置编号：%1").arg(target.lastError()));
    }
    for (const QString& table : tables) {
        const qint64 copied = target.rowCount(table);
        if (copied != expected.value(table)) {
            target.rollback();
            upgraded.rollback();
            return fail(QStringLiteral("%1的条数不符（原有 %2，复制后 %3），目标数据库未作改动。")
                            .arg(tableTitle(table))
                            .arg(expected.value(table))
                            .arg(copied));
        }
    }
    if (!target.commit()) {
        target.rollback();
        upgraded.rollback();
        return fail(QStringLiteral("无法提交迁移：%1").arg(target.lastError()));
    }
    upgraded.rollback();
    QStringList counts;
    for (const QString& table : tables)
        counts.append(QStringLiteral("%1 %2 条").arg(tableTitle(table)).arg(expected.value(table)));
    m_out << QStringLiteral("迁移完成：%1。\n").arg(counts.join(QStringLiteral("，")));
    m_out
        << QStringLiteral("电子书文件仍在 %1/files 中；各实例请以 --data %1 --database 目标地址 启动。\n").arg(dataDir);
    m_out.flush();
    return 0;
}
