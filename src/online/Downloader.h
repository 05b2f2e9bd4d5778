#pragma once

#include <QObject>
#include <QStringList>

#include <memory>
#include <vector>

class QNetworkAccessManager;

// Downloader1: fetches files in the background and writes each to its SaveFile, which is
// also the download's name in every event. Downloads started since the last reset form a
// batch; when none of them is running any more the batch ends with DownloadAllComplete.
//
// Each body streams into a temporary file beside the target, which replaces the target
// only once the whole body has arrived and was written: a failed or cancelled download
// never leaves a half-written file, and an older, longer file keeps no stale bytes. An HTTP
// status other than 200, a stalled transfer and a file that cannot be written are failures
// (DownloadError), never a completion.
//
// Addresses come from the network. Only http and https are fetched; a redirect is followed
// only to http(s) within the origin (scheme, host and port) of the download's own address,
// so a service cannot send a download elsewhere. A body stops at DownloadLimits: past the
// size limit, or when the disk would keep less free space than asked.
struct DownloadLimits {
    qint64 maxBytes = 4LL * 1024 * 1024 * 1024;
    qint64 keepFreeBytes = 256LL * 1024 * 1024;
};

class Downloader : public QObject {
    Q_OBJECT
public:
    // Status codes of the batch's entries.
    static constexpr int Running = 255;
    static constexpr int Completed = 6;
    static constexpr int Failed = 0;
    // A transfer that receives nothing for this long is given up.
    static constexpr int StallTimeoutMs = 30000;
    // Bytes a transfer may hold in memory before they are written.
    static constexpr qint64 ReadBufferBytes = 1024 * 1024;

    explicit Downloader(QNetworkAccessManager& network, QObject* parent = nullptr);
    ~Downloader() override;

    // Starts one download of `url` into `saveFile` (its folder must exist). The options
    // argument is accepted for callers' sake and has no effect.
    void BeginDownload(const QString& url, const QString& saveFile, int asyncReadOptions = 0);
    // As above, sending `authorization` as the request's Authorization header (a catalogue
    // with a login); redirects stay within the address's origin, so it goes nowhere else.
    void BeginDownload(const QString& url, const QString& saveFile, const QByteArray& authorization);
    // Cancels every download of the batch, without events, and starts a new batch. Returns true.
    bool CancelAllDownload();

    // Downloads of the current batch that have not ended.
    int runningCount() const;

    // Applies to downloads started afterwards.
    void setLimits(const DownloadLimits& limits) { m_limits = limits; }
    const DownloadLimits& limits() const { return m_limits; }

signals:
    // Only while the total size is known.
    void DownloadProgress(qint64 curBytes, qint64 maxBytes, const QString& saveFile);
    void DownloadError(const QString& saveFile);
    // Why a download failed, for the user (Chinese); raised just before its DownloadError.
    void DownloadFailed(const QString& saveFile, const QString& reason);
    // The file is in place.
    void DownloadComplete(qint64 maxBytes, const QString& saveFile);
    // Entry 0 is an empty placeholder; entries 1.. are the batch's failed downloads in the order
    // they were started.
    void DownloadAllComplete(const QStringList& fileNotDownload);

private:
    struct Entry;
    void onReadyRead(Entry* entry);
    void onFinished(Entry* entry);
    void onRedirected(Entry* entry, const QUrl& to);
    bool roomFor(Entry* entry, qint64 bytes);
    void failWhileReceiving(Entry* entry, const QString& reason);
    void end(Entry* entry, bool ok, qint64 total);
    bool owns(const Entry* entry) const;
    void checkBatchEnd();

    QNetworkAccessManager& m_network;
    DownloadLimits m_limits;
    std::vector<std::shared_ptr<Entry>> m_entries; // the batch, in BeginDownload order
};
