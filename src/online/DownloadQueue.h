#pragma once

#include "online/ArchiveUnpacker.h"
#include "online/CatalogueRow.h"
#include "online/DownloadPaneModel.h"
#include "online/Downloader.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>

class ReaderNavigator;
template <typename T> class QFutureWatcher;
struct AppServices;

// The main window's download queue: a double-clicked catalogue book is fetched into a folder
// of its own under the download folder, followed in the download pane, unpacked when it is an
// archive, and put on the bookshelf with the catalogue's category, title and author. When the
// whole batch has ended (and every archive is unpacked) the shelf is read again.
//
// Archives are unpacked on a worker thread; their result comes back to the GUI thread, where
// the shelf row is written. The window never waits for an archive.
class DownloadQueue : public QObject {
    Q_OBJECT
public:
    using CatalogueRows = std::function<QList<CatalogueRow>()>;

    // What FindTxtAndSave did.
    enum class Import { Added, AlreadyOnShelf, NoTxtFile, NotInCatalogue, DatabaseFault };

    DownloadQueue(AppServices& services, ReaderNavigator& navigator, QObject* parent = nullptr);
    ~DownloadQueue() override;

    // The catalogue's rows (ListView3), read when a download is queued and when it ends.
    void setCatalogueRows(CatalogueRows rows) { m_rows = std::move(rows); }
    void setUnpackLimits(const UnpackLimits& limits) { m_limits = limits; }

    DownloadPaneModel& pane() { return m_pane; }

    // Called by the catalogue with the caption, the URL and the target file name taken from
    // the book's download path. Names that could leave the download folder are refused.
    void DownloadaFile(const QString& vCaption, const QString& vURL, const QString& vFileName);
    // A book of a catalogue the user added: fetched from `url` into the folder `caption` as
    // `fileName` and put on the shelf with `row`'s category, title and author; a TXT file's
    // `encoding`, when given, is kept for the book. `authorization` goes with the request.
    void queueCatalogueBook(const QString& caption, const QString& url, const QString& fileName,
                            const CatalogueRow& row, const QByteArray& authorization, const QString& encoding);
    // Adds the pane row and starts the download; a target file already in the pane (queued
    // at any time while the window lives) is refused. Returns whether it was queued.
    bool QueueDownload(const QString& url, const QString& saveFile, const QString& rowText,
                       const QByteArray& authorization = {});
    // Finds the first TXT file under `savePath` (depth first) and puts it on the shelf with the
    // fields of the catalogue rows whose download path names the same file as `saveFile`.
    Import FindTxtAndSave(const QString& savePath, const QString& saveFile);

    // The handlers of Downloader1's events.
    void DownloadProgress(qint64 curBytes, qint64 maxBytes, const QString& saveFile);
    void DownloadError(const QString& saveFile);
    void DownloadFailed(const QString& saveFile, const QString& reason);
    void DownloadComplete(qint64 maxBytes, const QString& saveFile);
    void DownloadAllComplete(const QStringList& fileNotDownload);

    // A file name or caption that can be used inside the download folder: not empty, not "."
    // or "..", without "/", "\" or control characters.
    static bool isSafeName(const QString& name);

signals:
    // A finished download was put on the shelf or could not be: the result of unpacking
    // (an Unpack::Result; 0 for a TXT file), emitted after the pane row shows the outcome.
    void imported(const QString& saveFile, int result);

private:
    struct Unpacking {
        QFutureWatcher<int>* watcher = nullptr; // a child of the queue
        std::shared_ptr<std::atomic<bool>> cancelled;
    };

    void queueInFolder(const QString& caption, const QString& url, const QString& fileName,
                       const QList<CatalogueRow>& rows, const QByteArray& authorization, const QString& encoding);
    void startUnpacking(const QString& saveFile, const QString& folder);
    void unpacked(QFutureWatcher<int>* watcher, const QString& saveFile, const QString& folder);
    void showImport(const QString& saveFile, Import outcome);
    void showUnpackFailure(const QString& saveFile, int result);
    QList<CatalogueRow> rowsNaming(const QString& fileName) const;
    void readListWhenIdle();
    QString captionOf(const QString& saveFile) const;
    void removeMadeFolder(const QString& saveFile);

    AppServices& m_services;
    ReaderNavigator& m_navigator;
    DownloadPaneModel m_pane;
    CatalogueRows m_rows;
    // The catalogue rows of each download as they were when it was queued: the user may
    // have moved to another catalogue page by the time it ends.
    QHash<QString, QList<CatalogueRow>> m_queuedRows;
    // The book folder a download made (it did not exist before), by target file, until the
    // download ends: a failed one takes the folder away again when nothing is in it.
    QHash<QString, QString> m_madeFolders;
    QHash<QString, QString> m_encodings; // a TXT file's encoding named by its catalogue, by target file
    QSet<QString> m_transferring;        // target files whose download has not ended
    UnpackLimits m_limits;
    QThreadPool m_unpackThreads;
    QList<Unpacking> m_unpacking;
    bool m_shelfStale = false; // the batch ended while archives were still being unpacked
    Downloader m_downloader;   // last, so it goes first: no event reaches a half-destroyed queue
};
