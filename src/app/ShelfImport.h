#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QStringList>

#include <atomic>
#include <memory>

class LibraryDatabase;

// Puts many TXT files on the shelf at once: files and whole folders (every TXT under them,
// at any depth) dropped on the shelf or chosen with "导入文件夹". The folders are walked on a
// worker thread; the rows are written on the GUI thread in batches of one transaction each,
// so the window answers between batches and a cancel keeps the batches already written.
// A path already on the shelf is skipped. Titles and authors come from the file names.
class ShelfImport : public QObject {
    Q_OBJECT
public:
    struct Outcome {
        int found = 0;   // TXT files found
        int added = 0;   // of them put on the shelf
        int skipped = 0; // already on the shelf
        bool cancelled = false;
        bool failed = false; // a batch could not be written
        QString failure;     // then why, for the user
    };

    explicit ShelfImport(LibraryDatabase& library, QObject* parent = nullptr);
    // Stops a walk under way and waits for it.
    ~ShelfImport() override;

    // Starts importing into the category `category`; false when an import is already running.
    bool start(const QStringList& paths, const QString& category);
    // The walk stops at its next file, the writing before its next batch; finished() follows.
    void cancel();
    bool isRunning() const { return m_running; }
    void setBatchSize(int rows) { m_batchSize = rows > 0 ? rows : 1; }

    // Every TXT file (any case of ".txt") among `paths` and under the folders among them,
    // each once, as clean absolute paths in the order of a sorted walk. Hidden folders and
    // links to folders are not entered, so a link loop cannot trap the walk.
    static QStringList findTxtFiles(const QStringList& paths, const std::atomic<bool>* cancelled = nullptr);
    // The message the user sees after an import.
    static QString summary(const Outcome& outcome);

signals:
    // `done` of `total` files handled (the walk itself shows as 0 of 0).
    void progress(int done, int total);
    void finished(const ShelfImport::Outcome& outcome);

private:
    void walked();
    void writeNextBatch();
    void finish();

    LibraryDatabase& m_library;
    QFutureWatcher<QStringList> m_walk;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    QStringList m_files;
    QString m_category;
    int m_next = 0;
    int m_batchSize = 500;
    bool m_running = false;
    Outcome m_outcome;
};
