#pragma once

#include "Records.h"

#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <optional>

// Every statement the service sends to its SQLite file, always with bound values. One
// instance per thread that touches the data; WAL lets readers run beside a writer and the
// busy timeout lets the administration commands write while the service runs.
class ServiceDatabase {
public:
    ServiceDatabase() = default;
    ~ServiceDatabase();
    ServiceDatabase(const ServiceDatabase&) = delete;
    ServiceDatabase& operator=(const ServiceDatabase&) = delete;

    // Opens (creating when missing) DIR/service.db with its tables.
    bool open(const QString& dataDir, QString* error = nullptr);
    bool isOpen() const { return m_db.isOpen(); }

    bool begin();
    bool commit();
    void rollback();

    // Changes when any other connection (an administration command, say) has committed, or
    // this one changed a book, so the in-memory catalogue knows when to reload.
    qint64 changeStamp();

    // settings
    QString setting(const QString& key, const QString& fallback = QString());
    bool setSetting(const QString& key, const QString& value);
    bool recordMachine(const QString& desknum, const QString& now);
    std::optional<qint64> machineSeenCount(const QString& desknum);

    // books
    qint64 insertBook(const BookRecord& book);
    std::optional<BookRecord> book(qint64 id);
    QList<BookRecord> approvedBooks();
    QList<BookRecord> pendingBooks();
    QList<BookRecord> userBooks(qint64 uploaderId, int offset, int limit);
    int userBookCount(qint64 uploaderId);
    // The newest of the user's own books with that title, approved or waiting.
    std::optional<qint64> userBookByTitle(qint64 uploaderId, const QString& name);
    bool setReview(qint64 id, Review review);
    bool replaceBookContent(qint64 targetId, const BookRecord& from);
    bool deleteBook(qint64 id);
    int bookCount();
    // Every file and cover name any book row holds, approved, waiting or rejected; nothing
    // when the table cannot be read.
    std::optional<QSet<QString>> storedFileNames();

    // accounts
    // Returns the new id, 0 when the name is taken, -1 on any other failure.
    qint64 insertUser(const UserRecord& user, const QString& now);
    std::optional<UserRecord> userByName(const QString& name);
    std::optional<UserRecord> userById(qint64 id);
    bool recordLogin(qint64 userId, const QString& now, const QString& today, int dailyPoints);
    bool updateProfile(qint64 userId, const QString& pwhash, const QString& email, const QString& sex,
                       const QString& qq, const QString& answerHash);
    bool addMoney(qint64 userId, qint64 amount);
    int userCount();
    QList<RankEntry> topUsers(bool byMoney, int limit);

    bool insertSession(const QByteArray& id, qint64 userId, qint64 expires, bool persistent);
    std::optional<qint64> sessionUser(const QByteArray& id, qint64 now);
    bool deleteSession(const QByteArray& id);
    // Every session of the user but the one given.
    bool deleteOtherSessions(qint64 userId, const QByteArray& keep);
    bool purgeSessions(qint64 now);

    // True when the visit earns its owner a coin: first visit from the address, or the
    // last credited one is a day or more ago.
    bool creditVisit(qint64 userId, const QString& address, qint64 now);

    QSqlDatabase& connection() { return m_db; }

    // Binds the values in order; a null text is bound as an empty one, since every text
    // column is NOT NULL.
    static void bindAll(QSqlQuery& query, const QVariantList& values);

private:
    bool exec(const QString& sql, const QVariantList& values = {});
    bool createSchema();

    QSqlDatabase m_db;
    QString m_name;
    qint64 m_bookWrites = 0;
};
