#include "online/Downloader.h"

#include "common/SharedRoutines.h"
#include "online/ServiceUrl.h"

#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSaveFile>
#include <QStorageInfo>
#include <QTimer>

namespace {

// The free space of the disk is looked at again after this many bytes.
constexpr qint64 kSpaceCheckBytes = 16 * 1024 * 1024;

bool isWebAddress(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool sameOrigin(const QUrl& a, const QUrl& b)
{
    const QString scheme = a.scheme().toLower();
    const int defaultPort = scheme == QLatin1String("https") ? 443 : 80;
    return scheme == b.scheme().toLower() && a.host().toLower() == b.host().toLower() &&
           a.port(defaultPort) == b.port(defaultPort);
}

QString sizeText(qint64 bytes)
{
    return FormatFileSize(double(bytes) / 1024.0);
}

QString noSpace()
{
    return QStringLiteral("磁盘空间不足，已停止下载");
}

QString reasonOf(const QNetworkReply& reply, int httpStatus)
{
    switch (reply.error()) {
    case QNetworkReply::NoError:
        break;
    case QNetworkReply::OperationCanceledError: // the stall timer gave up
    case QNetworkReply::TimeoutError:
        return QStringLiteral("连接超时：服务器 %1 秒没有传来数据").arg(Downloader::StallTimeoutMs / 1000);
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("无法连接到服务器");
    case QNetworkReply::TooManyRedirectsError:
        return QStringLiteral("服务器转向的次数太多，已停止下载");
    default:
        if (httpStatus == 0)
            return QStringLiteral("网络连接中断");
        break;
    }
    if (httpStatus != 200)
        return QStringLiteral("服务器没有给出文件（HTTP 状态 %1）").arg(httpStatus);
    return QStringLiteral("下载不完整：连接提前断开");
}

} // namespace

struct Downloader::Entry {
    QString saveFile;
    QUrl origin; // the address asked for; redirects stay within its origin
    DownloadLimits limits;
    int status = Running;
    QPointer<QNetworkReply> reply;
    std::unique_ptr<QSaveFile> file;
    qint64 received = 0;
    qint64 nextSpaceCheck = 0;
    bool failed = false; // refused status, address or size, or a write that did not succeed
    QString reason;      // why, once failed
};

Downloader::Downloader(QNetworkAccessManager& network, QObject* parent) : QObject(parent), m_network(network) {}

Downloader::~Downloader()
{
    CancelAllDownload();
}

void Downloader::BeginDownload(const QString& url, const QString& saveFile, int /*asyncReadOptions*/)
{
    BeginDownload(url, saveFile, QByteArray());
}

void Downloader::BeginDownload(const QString& url, const QString& saveFile, const QByteArray& authorization)
{
    auto entry = std::make_shared<Entry>();
    entry->saveFile = saveFile;
    entry->origin = toRequestUrl(url);
    entry->limits = m_limits;
    m_entries.push_back(entry);
    Entry* e = entry.get();

    if (!isWebAddress(entry->origin)) {
        // A file:, data: or other address would copy whatever it names; it ends as a failure,
        // as a transfer would, after the caller has returned.
        entry->failed = true;
        entry->reason = QStringLiteral("下载地址不是 http 或 https 网址，已拒绝");
        QTimer::singleShot(0, this, [this, weak = std::weak_ptr<Entry>(entry)] {
            if (const std::shared_ptr<Entry> refused = weak.lock(); refused && owns(refused.get()))
                end(refused.get(), false, 0);
        });
        return;
    }

    QNetworkRequest request(entry->origin);
    // Always ask the service itself, never a cached copy.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setTransferTimeout(StallTimeoutMs);
    if (!authorization.isEmpty())
        request.setRawHeader("Authorization", authorization);
    QNetworkReply* reply = m_network.get(request);
    // The network thread stops reading the socket while this much waits for the GUI thread,
    // so a fast service cannot fill memory with a book the disk has not taken yet.
    reply->setReadBufferSize(ReadBufferBytes);
    entry->reply = reply;

    connect(reply, &QNetworkReply::readyRead, this, [this, e] { onReadyRead(e); });
    connect(reply, &QNetworkReply::redirected, this, [this, e](const QUrl& to) { onRedirected(e, to); });
    connect(reply, &QNetworkReply::downloadProgress, this, [this, e](qint64 received, qint64 total) {
        // Qt reports a last (n, n) for a body of unknown size; only a declared size counts.
        if (total > 0 && !e->failed && e->reply && e->reply->header(QNetworkRequest::ContentLengthHeader).isValid())
            emit DownloadProgress(received, total, e->saveFile);
    });
    connect(reply, &QNetworkReply::finished, this, [this, e] { onFinished(e); });
}

bool Downloader::CancelAllDownload()
{
    std::vector<std::shared_ptr<Entry>> entries;
    entries.swap(m_entries);
    for (const auto& entry : entries) {
        if (QNetworkReply* reply = entry->reply.data()) {
            reply->disconnect(this);
            reply->abort();
            reply->deleteLater();
        }
        if (entry->file)
            entry->file->cancelWriting(); // the temporary file goes, the target stays as it was
    }
    return true;
}

int Downloader::runningCount() const
{
    int n = 0;
    for (const auto& entry : m_entries)
        n += entry->status == Running ? 1 : 0;
    return n;
}

bool Downloader::owns(const Entry* entry) const
{
    for (const auto& e : m_entries)
        if (e.get() == entry)
            return true;
    return false;
}

void Downloader::onRedirected(Entry* entry, const QUrl& to)
{
    QNetworkReply* reply = entry->reply.data();
    if (!reply || entry->failed)
        return;
    if (isWebAddress(to) && sameOrigin(entry->origin, to)) {
        emit reply->redirectAllowed();
        return;
    }
    failWhileReceiving(entry, QStringLiteral("服务器把下载转到了别处（%1），已拒绝")
                                  .arg(to.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment)));
}

bool Downloader::roomFor(Entry* entry, qint64 bytes)
{
    if (bytes > entry->limits.maxBytes) {
        failWhileReceiving(entry,
                           QStringLiteral("文件超过 %1 的上限，已停止下载").arg(sizeText(entry->limits.maxBytes)));
        return false;
    }
    if (entry->received < entry->nextSpaceCheck && bytes <= entry->nextSpaceCheck)
        return true;
    entry->nextSpaceCheck = entry->received + kSpaceCheckBytes;
    const QStorageInfo disk(QFileInfo(entry->saveFile).absolutePath());
    // A disk whose free space cannot be told is left to the writes to fail.
    if (disk.isValid() && disk.bytesAvailable() >= 0 &&
        disk.bytesAvailable() - qMax<qint64>(0, bytes - entry->received) < entry->limits.keepFreeBytes) {
        failWhileReceiving(entry, noSpace());
        return false;
    }
    return true;
}

void Downloader::onReadyRead(Entry* entry)
{
    QNetworkReply* reply = entry->reply.data();
    if (!reply || entry->failed)
        return;
    if (!entry->file) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status != 200) {
            failWhileReceiving(entry, reasonOf(*reply, status));
            return;
        }
        // A declared size beyond the limit or the free space is refused before any byte lands.
        const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
        if (!roomFor(entry, declared.isValid() ? declared.toLongLong() : 0))
            return;
        entry->file = std::make_unique<QSaveFile>(entry->saveFile);
        if (!entry->file->open(QIODevice::WriteOnly)) {
            failWhileReceiving(entry, QStringLiteral("无法写入文件：%1").arg(entry->file->errorString()));
            return;
        }
    }
    // Straight from the reply's buffer to the file, a block at a time, without a copy of
    // everything that is waiting.
    char block[64 * 1024];
    qint64 n = 0;
    while ((n = reply->read(block, sizeof block)) > 0) {
        if (!roomFor(entry, entry->received + n))
            return;
        entry->received += n;
        if (entry->file->write(block, n) != n) {
            const QStorageInfo disk(QFileInfo(entry->saveFile).absolutePath());
            failWhileReceiving(entry, disk.bytesAvailable() < n
                                          ? noSpace()
                                          : QStringLiteral("无法写入文件：%1").arg(entry->file->errorString()));
            return;
        }
    }
}

void Downloader::failWhileReceiving(Entry* entry, const QString& reason)
{
    entry->failed = true;
    entry->reason = reason;
    if (entry->file)
        entry->file->cancelWriting();
    // Aborting from inside the reply's own signal would finish it re-entrantly.
    if (QNetworkReply* reply = entry->reply.data())
        QMetaObject::invokeMethod(reply, &QNetworkReply::abort, Qt::QueuedConnection);
}

void Downloader::onFinished(Entry* entry)
{
    QNetworkReply* reply = entry->reply.data();
    if (!reply)
        return;
    // Keep the entry alive while the handlers run, whatever they do to the batch.
    std::shared_ptr<Entry> keep;
    for (const auto& e : m_entries)
        if (e.get() == entry)
            keep = e;
    if (!keep)
        return;

    const int httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    bool ok = !entry->failed && reply->error() == QNetworkReply::NoError && httpStatus == 200;
    const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
    if (ok) {
        onReadyRead(entry); // whatever is still buffered
        // A connection closed early can end without an error: the size decides.
        ok = !entry->failed && (!declared.isValid() || declared.toLongLong() == entry->received);
    }
    if (ok && !entry->file) // an empty body: still an empty file
        entry->file = std::make_unique<QSaveFile>(entry->saveFile);
    if (ok && (!(entry->file->isOpen() || entry->file->open(QIODevice::WriteOnly)) || !entry->file->commit())) {
        ok = false;
        entry->reason = QStringLiteral("无法写入文件：%1").arg(entry->file->errorString());
    } else if (!ok && entry->file) {
        entry->file->cancelWriting();
    }
    if (!ok && entry->reason.isEmpty())
        entry->reason = reasonOf(*reply, httpStatus);
    entry->file.reset();
    const qint64 total = declared.toLongLong();
    entry->reply = nullptr;
    reply->deleteLater();
    end(entry, ok, total);
}

void Downloader::end(Entry* entry, bool ok, qint64 total)
{
    // The entry still counts as running while its handler runs, so downloads started from the
    // handler join this batch.
    if (ok) {
        emit DownloadComplete(total > 0 ? total : entry->received, entry->saveFile);
    } else {
        emit DownloadFailed(entry->saveFile, entry->reason);
        emit DownloadError(entry->saveFile);
    }
    if (owns(entry))
        entry->status = ok ? Completed : Failed;
    checkBatchEnd();
}

void Downloader::checkBatchEnd()
{
    QStringList failures{QString()};
    for (const auto& entry : m_entries) {
        if (entry->status == Failed)
            failures.append(entry->saveFile);
        else if (entry->status != Completed)
            return;
    }
    CancelAllDownload();
    emit DownloadAllComplete(failures);
}
