#pragma once

#include "Catalogue.h"
#include "FileStore.h"
#include "HttpMessage.h"
#include "LoginThrottle.h"
#include "PasswordHasher.h"
#include "ServerConfig.h"
#include "ServiceDatabase.h"
#include "TextCodec.h"
#include "opds/BookFiles.h"

#include <QElapsedTimer>
#include <QObject>
#include <QThreadPool>

#include <functional>
#include <optional>

// Every endpoint of the service. Requests arrive on one thread; only password hashing runs
// on worker threads, and its result comes back to this thread before anything is written.
class Service : public QObject {
public:
    using Done = std::function<void(HttpReply)>;

    static constexpr int kDailyLoginPoints = 10;
    static constexpr int kNewBookCoins = 10;
    static constexpr int kUpdateCoins = 5;
    static constexpr int kRankingSize = 20;
    static constexpr int kUserPageSize = 20;
    // Account forms are a few hundred bytes.
    static constexpr qint64 kMaxFormBytes = 16 * 1024;
    // Files under files/ that no row names are removed at start once they are this old.
    static constexpr qint64 kOrphanGraceSeconds = 10 * 60;
    static const QStringList kCategories;
    static const QByteArray kSessionCookie;

    explicit Service(const ServerConfig& config, QObject* parent = nullptr);
    ~Service() override;

    bool open(QString* error = nullptr);
    // Once listening: keeps the address the service announces (its public URL, or else the
    // listen address with the port actually taken) in the data folder, where the
    // administration commands find it.
    bool recordPublicUrl(quint16 listeningPort);
    void handle(const HttpRequest& request, const Done& done);
    // Decided from a request's head alone, before any of its `length` bytes of body are read:
    // the reply refusing the body (the connection then closes), or nothing to let it come.
    std::optional<HttpReply> screenBody(const HttpRequest& head, qint64 length);

    const ServerConfig& config() const { return m_config; }
    ServiceDatabase& database() { return m_db; }

    static QString now();
    // Milliseconds for the login throttle: a steady clock alone, the wall clock when instances
    // share the counts.
    qint64 throttleClock() const;

private:
    // CatalogueEndpoints.cpp
    HttpReply listBooks(const HttpRequest& request);
    HttpReply download(const HttpRequest& request);
    HttpReply newsPage();
    HttpReply info(const HttpRequest& request);
    void refreshCatalogue();

    // AccountEndpoints.cpp
    void account(const HttpRequest& request, const Done& done);
    void login(const HttpRequest& request, const TextCodec::Fields& fields, const Done& done);
    void registerUser(const TextCodec::Fields& fields, const Done& done);
    HttpReply check(const HttpRequest& request);
    HttpReply logout(const HttpRequest& request);
    void edit(const HttpRequest& request, const TextCodec::Fields& fields, const Done& done);
    HttpReply promote(const HttpRequest& request);
    static HttpReply accountReply(const QString& code, const QString& message);
    std::optional<UserRecord> sessionUser(const HttpRequest& request);
    QString origin(const HttpRequest& request) const;

    // UploadEndpoint.cpp
    HttpReply upload(const HttpRequest& request);

    // opds/OpdsEndpoints.cpp
    HttpReply opds(const HttpRequest& request);
    QString opdsOrigin(const HttpRequest& request) const;

public:
    // An upload over the limit: status 413, "0|" and a message naming the limit, and the
    // limit in bytes in the X-Upload-Limit header, so a client can check before sending.
    static HttpReply uploadTooLarge(const ServerConfig& config);
    static constexpr const char* kUploadLimitHeader = "X-Upload-Limit";

private:
    // UserPageEndpoints.cpp
    HttpReply userBooks(const HttpRequest& request);
    HttpReply userTop(const HttpRequest& request);

    ServerConfig m_config;
    ServiceDatabase m_db;
    FileStore m_files;
    BookFiles m_bookFiles{m_files};
    PasswordHasher m_hasher;
    Catalogue m_catalogue;
    qint64 m_catalogueStamp = -1;
    // Catalogue replies by query, valid until the catalogue changes.
    QHash<QString, QByteArray> m_replyCache;
    LoginThrottle m_logins;
    QElapsedTimer m_uptime; // the login throttle's clock
    QThreadPool m_pool;
};
