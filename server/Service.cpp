#include "Service.h"

#include "store/DatabaseThrottleStore.h"

#include <QDateTime>

const QStringList Service::kCategories = {
    QStringLiteral("武侠仙侠"), QStringLiteral("玄幻修真"), QStringLiteral("都市言情"), QStringLiteral("游戏动漫"),
    QStringLiteral("历史军事"), QStringLiteral("推理灵异"), QStringLiteral("纪实文学"), QStringLiteral("学习资料"),
    QStringLiteral("管理哲学"), QStringLiteral("其他分类"),
};

const QByteArray Service::kSessionCookie = QByteArrayLiteral("QMSESSION");

Service::Service(const ServerConfig& config, QObject* parent)
    : QObject(parent), m_config(config), m_files(config.dataDir), m_hasher(config.pwhashOps, config.pwhashMemBytes)
{
    // Two hashes at a time bound the memory Argon2 takes (64 MB each at the interactive limit).
    m_pool.setMaxThreadCount(2);
    m_uptime.start();
}

Service::~Service()
{
    m_pool.waitForDone();
}

bool Service::open(QString* error)
{
    if (!m_db.open(m_config.dataDir, m_config.databaseUrl, error))
        return false;
    m_db.setChangeRecheckMs(m_config.catalogueRecheckMs);
    // Instances sharing a store count failed logins there, so that failures over all of them add up.
    if (m_db.shared())
        m_logins = LoginThrottle(LoginThrottle::Rules(), std::make_unique<DatabaseThrottleStore>(m_db));
    // Alone on its data folder the service clears every leftover of tmp/; sharing the folder
    // with other instances, only those too old to be an upload one of them is still writing.
    const QDateTime current = QDateTime::currentDateTime();
    if (!m_files.prepare(m_db.shared() ? current.addSecs(-kOrphanGraceSeconds) : current.addDays(1))) {
        if (error)
            *error = QStringLiteral("cannot create the file folders under %1").arg(m_config.dataDir);
        return false;
    }
    m_db.purgeSessions(QDateTime::currentSecsSinceEpoch());
    if (const auto referenced = m_db.storedFileNames())
        m_files.sweepUnreferenced(*referenced, QDateTime::currentDateTime().addSecs(-kOrphanGraceSeconds));
    return true;
}

bool Service::recordPublicUrl(quint16 listeningPort)
{
    m_config.port = listeningPort;
    return m_db.setSetting(ServerConfig::publicUrlSetting(), m_config.publicOrigin());
}

qint64 Service::throttleClock() const
{
    return m_db.shared() ? QDateTime::currentMSecsSinceEpoch() : m_uptime.elapsed();
}

QString Service::now()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

void Service::handle(const HttpRequest& request, const Done& done)
{
    const QString& path = request.path;
    if (path.startsWith(QLatin1String("/files/"))) {
        done(download(request));
        return;
    }
    if (path == QLatin1String("/opds") || path.startsWith(QLatin1String("/opds/"))) {
        done(opds(request));
        return;
    }
    if (path == QLatin1String("/readerserver/userinfo.asp")) {
        account(request, done);
        return;
    }
    if (path == QLatin1String("/readerserver/uploadbook.asp")) {
        done(upload(request));
        return;
    }
    if (path == QLatin1String("/healthz")) {
        // For a load balancer: this instance can serve as long as its store answers.
        HttpReply reply;
        const bool up = m_db.answers();
        reply.status = up ? 200 : 503;
        reply.contentType = "text/plain";
        reply.body = up ? "ok" : "unavailable";
        done(reply);
        return;
    }
    if (path == QLatin1String("/readerserver/listbook.asp"))
        done(listBooks(request));
    else if (path == QLatin1String("/readerserver/getinfo.asp"))
        done(info(request));
    else if (path == QLatin1String("/readerserver/listuserbook.asp"))
        done(userBooks(request));
    else if (path == QLatin1String("/readerserver/usertop.asp"))
        done(userTop(request));
    else if (path == QLatin1String("/readerserver/newsinfo.asp") || path == QLatin1String("/"))
        done(newsPage());
    else if (path == QLatin1String("/readerserver/promote.asp"))
        done(promote(request));
    else
        done(HttpReply::notFound());
}

std::optional<HttpReply> Service::screenBody(const HttpRequest& head, qint64 length)
{
    if (length <= 0)
        return std::nullopt;
    if (head.method == "POST" && head.path == QLatin1String("/readerserver/userinfo.asp")) {
        if (length <= kMaxFormBytes)
            return std::nullopt;
        HttpReply reply = accountReply(QStringLiteral("0"), QStringLiteral("提交的数据太长，请重新提交！"));
        reply.status = 413;
        return reply;
    }
    if (head.method == "POST" && head.path == QLatin1String("/readerserver/uploadbook.asp")) {
        // Over the limit the answer comes at once: 413 naming the limit, which the upload page
        // shows to the user.
        if (length > m_config.maxUploadBytes)
            return uploadTooLarge(m_config);
        // Only a logged-in user's upload is worth receiving.
        if (!sessionUser(head))
            return HttpReply::gbText(QStringLiteral("0|你还没有登录或登录已过期，请先登录后再上传！"));
        return std::nullopt;
    }
    return HttpReply::badRequest(QStringLiteral("该地址不接收提交的数据！"));
}
