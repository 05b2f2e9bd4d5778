#include "online/opds/OpdsFetch.h"

#include "online/opds/OpdsJsonReader.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

constexpr qint64 kReadAheadBytes = 1024 * 1024;

bool isWeb(const QUrl& url)
{
    return url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

} // namespace

OpdsFetch::OpdsFetch(QNetworkAccessManager& network, Kind kind, QObject* parent)
    : QObject(parent), m_network(network), m_kind(kind)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(DefaultTimeoutMs);
    connect(&m_timer, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("书库服务器 %1 秒没有回应").arg(m_timer.interval() / 1000)); });
}

OpdsFetch::~OpdsFetch()
{
    m_ended = true;
    abort();
}

QByteArray OpdsFetch::basicAuthorization(const QString& user, const QString& password)
{
    return QByteArrayLiteral("Basic ") + (user + QLatin1Char(':') + password).toUtf8().toBase64();
}

void OpdsFetch::start(const QUrl& url, const QByteArray& authorization)
{
    m_url = url;
    if (!isWeb(url)) {
        // Reported after the caller has returned, as any other answer.
        QTimer::singleShot(0, this, [this] { fail(QStringLiteral("书库地址不是 http 或 https 网址")); });
        return;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(10);
    if (m_kind == Kind::Feed)
        request.setRawHeader("Accept",
                             "application/atom+xml, application/opds+json;q=0.9, application/json;q=0.8, */*;q=0.1");
    if (!authorization.isEmpty())
        request.setRawHeader("Authorization", authorization);
    QNetworkReply* reply = m_network.get(request);
    m_reply = reply;
    reply->setReadBufferSize(kReadAheadBytes);
    connect(reply, &QNetworkReply::readyRead, this, &OpdsFetch::take);
    connect(reply, &QNetworkReply::finished, this, &OpdsFetch::done);
    connect(reply, &QNetworkReply::downloadProgress, this, [this] { m_timer.start(); });
    connect(reply, &QNetworkReply::redirected, this, [this, reply](const QUrl& to) {
        if (!isWeb(to)) {
            fail(QStringLiteral("书库服务器把请求转到了不是 http 或 https 的地址，已拒绝"));
            return;
        }
        m_url = to;
        emit reply->redirectAllowed();
    });
    m_timer.start();
}

void OpdsFetch::abort()
{
    m_timer.stop();
    if (QNetworkReply* reply = m_reply.data()) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void OpdsFetch::take()
{
    QNetworkReply* reply = m_reply.data();
    if (!reply)
        return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 200) {
        reply->readAll(); // an error page is not kept
        return;
    }
    const QByteArray bytes = reply->readAll();
    m_read += bytes.size();
    if (m_kind == Kind::Feed && !m_typeKnown && !bytes.isEmpty()) {
        m_typeKnown = true;
        m_json = OpdsFeedReader::looksLikeJson(bytes, reply->header(QNetworkRequest::ContentTypeHeader).toByteArray());
        if (!m_json)
            m_atom = std::make_unique<OpdsAtomReader>(m_url);
    }
    if (m_atom) {
        m_atom->addData(bytes);
        if (m_atom->failed()) {
            fail(m_atom->error());
            return;
        }
        // A whole page's worth was read of a feed that goes on and on: what was read is shown.
        if (m_read > MaxScannedFeedBytes && m_atom->feed().totalEntries >= OpdsFeed::DefaultMaxEntries) {
            m_feed = m_atom->takeFeed();
            abort();
            end(Outcome::Ok);
        } else if (m_read > MaxScannedFeedBytes) {
            fail(QStringLiteral("书库目录过大，无法读取"));
        }
        return;
    }
    m_body += bytes;
    if (m_body.size() > m_maxBytes)
        fail(m_kind == Kind::Feed ? QStringLiteral("书库目录过大，无法读取") : QStringLiteral("文件过大"));
}

void OpdsFetch::done()
{
    QNetworkReply* reply = m_reply.data();
    if (!reply || sender() != reply)
        return;
    take();
    if (m_ended)
        return;
    m_reply = nullptr;
    m_timer.stop();
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 401) {
        m_error = QStringLiteral("登录失败，请重新输入用户名和密码");
        end(Outcome::NeedsLogin);
        return;
    }
    if (status != 200 || reply->error() != QNetworkReply::NoError) {
        QString why;
        switch (reply->error()) {
        case QNetworkReply::SslHandshakeFailedError:
            why = QStringLiteral("无法建立安全连接，服务器的证书无效或不受信任");
            break;
        case QNetworkReply::ConnectionRefusedError:
        case QNetworkReply::HostNotFoundError:
            why = QStringLiteral("无法连接到书库服务器（%1）").arg(m_url.host());
            break;
        case QNetworkReply::TooManyRedirectsError:
        case QNetworkReply::InsecureRedirectError:
            why = QStringLiteral("书库服务器转向次数过多或转向了不安全的地址");
            break;
        default:
            why = status ? QStringLiteral("书库服务器返回了错误（HTTP %1）").arg(status)
                         : QStringLiteral("无法连接到书库服务器（%1）").arg(reply->errorString());
        }
        fail(why);
        return;
    }
    if (m_kind == Kind::Document) {
        end(Outcome::Ok);
        return;
    }
    QString error;
    if (m_atom) {
        m_atom->finish();
        error = m_atom->error();
        m_feed = m_atom->takeFeed();
    } else {
        m_feed = OpdsFeedReader::parse(m_body, "json", m_url, &error);
        m_body.clear();
    }
    if (!error.isEmpty()) {
        fail(error);
        return;
    }
    end(Outcome::Ok);
}

void OpdsFetch::fail(const QString& error)
{
    if (m_ended)
        return;
    abort();
    m_error = error;
    m_atom.reset();
    m_body.clear();
    end(Outcome::Failed);
}

void OpdsFetch::end(Outcome outcome)
{
    if (m_ended)
        return;
    m_ended = true;
    m_outcome = outcome;
    m_atom.reset();
    emit finished();
}
