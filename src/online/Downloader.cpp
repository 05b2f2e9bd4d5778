#include "online/Downloader.h"

#include "online/ServiceUrl.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSaveFile>

struct Downloader::Entry {
    QString saveFile;
    int status = Running;
    QPointer<QNetworkReply> reply;
    std::unique_ptr<QSaveFile> file;
    qint64 received = 0;
    qint64 total = -1;
    bool failed = false; // refused status or a write that did not succeed
};

Downloader::Downloader(QNetworkAccessManager& network, QObject* parent) : QObject(parent), m_network(network) {}

Downloader::~Downloader()
{
    CancelAllDownload();
}

void Downloader::BeginDownload(const QString& url, const QString& saveFile, int /*asyncReadOptions*/)
{
    auto entry = std::make_shared<Entry>();
    entry->saveFile = saveFile;
    QNetworkRequest request(toRequestUrl(url));
    // Always ask the service itself, never a cached copy.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(StallTimeoutMs);
    QNetworkReply* reply = m_network.get(request);
    // The network thread stops reading the socket while this much waits for the GUI thread,
    // so a fast service cannot fill memory with a book the disk has not taken yet.
    reply->setReadBufferSize(ReadBufferBytes);
    entry->reply = reply;
    m_entries.push_back(entry);

    Entry* e = entry.get();
    connect(reply, &QNetworkReply::readyRead, this, [this, e] { onReadyRead(e); });
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

void Downloader::onReadyRead(Entry* entry)
{
    QNetworkReply* reply = entry->reply.data();
    if (!reply || entry->failed)
        return;
    if (!entry->file) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status != 200) {
            failWhileReceiving(entry);
            return;
        }
        entry->file = std::make_unique<QSaveFile>(entry->saveFile);
        if (!entry->file->open(QIODevice::WriteOnly)) {
            failWhileReceiving(entry);
            return;
        }
    }
    // Straight from the reply's buffer to the file, a block at a time, without a copy of
    // everything that is waiting.
    char block[64 * 1024];
    qint64 n = 0;
    while ((n = reply->read(block, sizeof block)) > 0) {
        entry->received += n;
        if (entry->file->write(block, n) != n) {
            failWhileReceiving(entry);
            return;
        }
    }
}

void Downloader::failWhileReceiving(Entry* entry)
{
    entry->failed = true;
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
    if (ok && !entry->file) { // an empty body: still an empty file
        entry->file = std::make_unique<QSaveFile>(entry->saveFile);
        ok = entry->file->open(QIODevice::WriteOnly);
    }
    if (ok)
        ok = entry->file->commit();
    else if (entry->file)
        entry->file->cancelWriting();
    entry->file.reset();
    const qint64 total = declared.toLongLong();
    entry->reply = nullptr;
    reply->deleteLater();

    // The entry still counts as running while its handler runs, so downloads started from the
    // handler join this batch.
    if (ok)
        emit DownloadComplete(total > 0 ? total : entry->received, entry->saveFile);
    else
        emit DownloadError(entry->saveFile);
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
