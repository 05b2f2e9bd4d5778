#pragma once

// A service on 127.0.0.1 (a free port) in a temporary data folder, with a client that keeps
// cookies as the reader's HTTP stack does. Used by the server tests only.
//
// QUILLMERE_TEST_STORE chooses the store of every fixture that was not given one:
//   unset or "sqlite"  service.db in the data folder
//   "pgsql"            a fresh database of a throwaway PostgreSQL cluster (PgCluster)
//   "haproxy"          that, served by two instances sharing the data folder, behind HAProxy,
//                      where base() points; port() and http() stay the first instance's
// In both PostgreSQL modes the instances look for catalogue changes at every request rather
// than once a second, as the suites expect an administration command's change at once.
#include "Admin.h"
#include "HttpService.h"
#include "PgCluster.h"
#include "Service.h"
#include "TextCodec.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QXmlStreamReader>

#include <memory>

struct HttpResult {
    int status = 0;
    QByteArray body;
    QHash<QByteArray, QByteArray> headers; // names lower-cased
    QString text() const { return TextCodec::decodeGbk(body).value_or(QStringLiteral("<not GBK>")); }
};

class ServerFixture {
public:
    ~ServerFixture()
    {
        if (m_proxy) {
            m_proxy->kill();
            m_proxy->waitForFinished(5000);
        }
    }

    bool start(qint64 maxUploadBytes = 64LL * 1024 * 1024, const HttpLimits& limits = HttpLimits())
    {
        if (!m_dir.isValid())
            return false;
        const QByteArray mode = qgetenv("QUILLMERE_TEST_STORE");
        if (!m_storeChosen && (mode == "pgsql" || mode == "haproxy")) {
            QString whyNot;
            PgCluster* cluster = PgCluster::instance(&whyNot);
            if (!cluster) {
                qWarning("QUILLMERE_TEST_STORE=%s: %s", mode.constData(), qPrintable(whyNot));
                return false;
            }
            m_config.databaseUrl = cluster->freshDatabase();
            if (m_config.databaseUrl.isEmpty())
                return false;
        }
        m_config.dataDir = m_sharedDataDir.isEmpty() ? m_dir.path() : m_sharedDataDir;
        m_config.pwhashOps = 1; // the cheapest hashes keep the tests fast
        m_config.pwhashMemBytes = 8192;
        m_config.maxUploadBytes = maxUploadBytes;
        m_config.http = limits;
        if (!m_storeChosen && mode == "haproxy")
            m_config.trustedProxies = {QHostAddress(QHostAddress::LocalHost)};
        // The suites check the catalogue right after an administration command changed it;
        // a service on SQLite sees that at once, so here the instances ask at every request.
        if (!m_storeChosen && !m_config.databaseUrl.isEmpty())
            m_config.catalogueRecheckMs = 0;
        m_service = std::make_unique<Service>(m_config);
        if (!m_service->open())
            return false;
        m_http = std::make_unique<HttpService>(*m_service);
        m_port = m_http->listen(QHostAddress::LocalHost, 0);
        m_config.port = m_port;
        m_basePort = m_port;
        if (m_port == 0)
            return false;
        return m_storeChosen || mode != "haproxy" || startBehindProxy();
    }

    // Before start(): a PostgreSQL store, and the data folder another fixture uses (empty:
    // a folder of this fixture's own), as a second instance of one service has.
    void useStore(const QString& databaseUrl, const QString& dataDir = QString())
    {
        m_storeChosen = true;
        m_config.databaseUrl = databaseUrl;
        m_sharedDataDir = dataDir;
    }
    // Before start(): the load balancers whose X-Forwarded-For the service believes.
    void setTrustedProxies(const QList<QHostAddress>& proxies) { m_config.trustedProxies = proxies; }

    // Before start(): the address the service announces instead of its listen address.
    void setPublicUrl(const QString& url) { m_config.publicUrl = url; }

    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_basePort); }
    quint16 port() const { return m_port; }
    HttpService& http() { return *m_http; }
    const ServerConfig& config() const { return m_config; }
    QString dataDir() const { return m_config.dataDir; }
    Service& service() { return *m_service; }
    void forgetCookies() { m_nam.setCookieJar(new QNetworkCookieJar); }

    HttpResult get(const QString& pathAndQuery) { return finish(m_nam.get(request(pathAndQuery))); }

    HttpResult post(const QString& path, const QByteArray& body, const QByteArray& contentType)
    {
        QNetworkRequest r = request(path);
        r.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
        return finish(m_nam.post(r, body));
    }

    HttpResult postForm(const QByteArray& body)
    {
        return post(QStringLiteral("/readerserver/userinfo.asp"), body, "application/x-www-form-urlencoded");
    }

    // A second connection to the data folder, as an administrator's command has.
    std::unique_ptr<Admin> admin()
    {
        auto a = std::make_unique<Admin>(m_config, m_adminOut, m_adminErr);
        return a->open() ? std::move(a) : nullptr;
    }

    // Registers and logs in through HTTP; returns the login reply's code.
    QString signUpAndLogIn(const QByteArray& encodedName, const QString& utf8Name, bool remember = false)
    {
        postForm("action=reg&username=" + encodedName +
                 "&userpass=%61%62%63%31&email=a%40b%2Ecom&sex=%C4%D0&qq=%31&anwser=%61&question=%71");
        const HttpResult login = get(QStringLiteral("/readerserver/userinfo.asp?action=login&username=%1&password=abc1"
                                                    "&cookies=%2&rnt=2026-12-8 10:00:00")
                                         .arg(utf8Name, remember ? QStringLiteral("1") : QStringLiteral("0")));
        return code(login.body);
    }

    // The session id a login reply sets, as "QMSESSION=..." for a Cookie header.
    static QByteArray sessionCookie(const HttpResult& login)
    {
        return login.headers.value("set-cookie").split(';').value(0);
    }

    static QString code(const QByteArray& xml)
    {
        return texts(xml, QStringLiteral("logininfo")).value(0).section('|', 0, 0);
    }
    static QString message(const QByteArray& xml)
    {
        return texts(xml, QStringLiteral("logininfo")).value(0).section('|', 1);
    }

    // Every text of elements named `tag`, in document order; a malformed document gives
    // a list holding only "<malformed>".
    static QStringList texts(const QByteArray& xml, const QString& tag)
    {
        QXmlStreamReader reader(xml);
        QStringList found;
        while (!reader.atEnd()) {
            reader.readNext();
            if (reader.isStartElement() && reader.name() == tag)
                found.append(reader.readElementText(QXmlStreamReader::IncludeChildElements));
        }
        if (reader.hasError())
            return {QStringLiteral("<malformed>")};
        return found;
    }

    // Child element names of the first element named `record`.
    static QStringList childNames(const QByteArray& xml, const QString& record)
    {
        QXmlStreamReader reader(xml);
        QStringList names;
        int depth = -1;
        while (!reader.atEnd()) {
            reader.readNext();
            if (reader.isStartElement()) {
                if (depth < 0 && reader.name() == record)
                    depth = 0;
                else if (depth >= 0 && ++depth == 1)
                    names.append(reader.name().toString());
            } else if (reader.isEndElement() && depth >= 0) {
                if (depth == 0)
                    return names;
                --depth;
            }
        }
        return names;
    }

    // The upload body exactly as the reader's upload page lays it out: no boundary in the
    // header, text parts in the code page, file parts raw.
    static QByteArray uploadBody(const QList<QPair<QString, QString>>& text, const QByteArray& file,
                                 const QString& fileName = QStringLiteral("C:\\书\\book.txt"),
                                 const QByteArray& cover = QByteArray(),
                                 const QString& coverName = QStringLiteral("C:\\cover.jpg"))
    {
        QByteArray boundary = "__NextPart__";
        const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXZYabcdefghijklmnopqrstuvwxzy0123456789";
        for (int i = 0; i < 24; ++i)
            boundary += alphabet[QRandomGenerator::global()->bounded(62)];
        QByteArray body;
        auto filePart = [&](const char* name, const QString& path, const QByteArray& data) {
            body += "--" + boundary + "\r\nContent-Disposition:form-data;name=\"" + name + "\";filename=\"" +
                    TextCodec::encodeGbk(path) + "\"\r\nContent-Type:application/octet-stream\r\n\r\n" + data + "\r\n";
        };
        filePart("file1", fileName, file);
        if (!cover.isEmpty())
            filePart("file2", coverName, cover);
        for (const auto& pair : text) {
            body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + pair.first.toLatin1() +
                    "\"\r\n\r\n" + TextCodec::encodeGbk(pair.second) + "\r\n";
        }
        body += "--" + boundary + "--";
        return body;
    }

    static QList<QPair<QString, QString>> uploadFields(const QString& user, const QString& title,
                                                       const QString& memo = QStringLiteral("简介"))
    {
        return {{"stype", QStringLiteral("武侠仙侠")},
                {"sname", title},
                {"sauthor", QStringLiteral("作者")},
                {"username", user},
                {"smemo", memo},
                {"sstatue", QStringLiteral("连载")},
                {"snewchap", QStringLiteral("第十章")}};
    }

    HttpResult upload(const QByteArray& body)
    {
        return post(QStringLiteral("/readerserver/uploadbook.asp"), body, "multipart/form-data");
    }

private:
    // A second instance on the same store and folder, and HAProxy spreading requests over
    // both in turn, as deploy/haproxy.cfg does.
    bool startBehindProxy()
    {
        m_second = std::make_unique<Service>(m_config);
        if (!m_second->open())
            return false;
        m_secondHttp = std::make_unique<HttpService>(*m_second);
        const quint16 second = m_secondHttp->listen(QHostAddress::LocalHost, 0);
        QTcpServer probe;
        if (second == 0 || !probe.listen(QHostAddress::LocalHost, 0))
            return false;
        const quint16 front = probe.serverPort();
        probe.close();
        QFile config(m_dir.path() + QStringLiteral("/haproxy.cfg"));
        if (!config.open(QIODevice::WriteOnly))
            return false;
        // The instances run on this thread and answer only while a test waits for a reply:
        // long check timeouts keep HAProxy from taking them for dead in between.
        config.write(QStringLiteral("global\n  maxconn 4000\n"
                                    "defaults\n  mode http\n  timeout connect 5s\n  timeout client 120s\n"
                                    "  timeout server 120s\n  timeout check 60s\n  option forwardfor\n"
                                    "  option http-server-close\n"
                                    "frontend quillmere\n  bind 127.0.0.1:%1\n  default_backend instances\n"
                                    "backend instances\n  balance roundrobin\n  option httpchk GET /healthz\n"
                                    "  server a 127.0.0.1:%2 check inter 10s fall 6\n"
                                    "  server b 127.0.0.1:%3 check inter 10s fall 6\n")
                         .arg(front)
                         .arg(m_port)
                         .arg(second)
                         .toUtf8());
        config.close();
        m_proxy = std::make_unique<QProcess>();
        m_proxy->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_proxy->start(QStringLiteral("haproxy"), {QStringLiteral("-db"), QStringLiteral("-f"), config.fileName()});
        if (!m_proxy->waitForStarted(5000))
            return false;
        for (int i = 0; i < 100; ++i) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, front);
            if (socket.waitForConnected(100)) {
                m_basePort = front;
                return true;
            }
            QTest::qWait(50);
        }
        return false;
    }

    QNetworkRequest request(const QString& pathAndQuery) const
    {
        QNetworkRequest r(QUrl(base() + pathAndQuery, QUrl::TolerantMode));
        r.setTransferTimeout(20000);
        return r;
    }

    static HttpResult finish(QNetworkReply* reply)
    {
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec();
        HttpResult result;
        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        result.body = reply->readAll();
        for (const auto& pair : reply->rawHeaderPairs())
            result.headers.insert(pair.first.toLower(), pair.second);
        reply->deleteLater();
        return result;
    }

    QTemporaryDir m_dir;
    ServerConfig m_config;
    bool m_storeChosen = false;
    QString m_sharedDataDir;
    std::unique_ptr<Service> m_service;
    std::unique_ptr<HttpService> m_http;
    std::unique_ptr<Service> m_second;
    std::unique_ptr<HttpService> m_secondHttp;
    std::unique_ptr<QProcess> m_proxy;
    quint16 m_port = 0;
    quint16 m_basePort = 0;
    QNetworkAccessManager m_nam;
    QString m_adminText;
    QTextStream m_adminOut{&m_adminText};
    QTextStream m_adminErr{&m_adminText};
};
