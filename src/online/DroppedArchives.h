#pragma once

#include <QList>
#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <memory>

class ReaderNavigator;
template <typename T> class QFutureWatcher;
struct AppServices;

// Archives (ZIP, RAR, 7z) dropped on the shelf are treated as downloaded ones are: each is
// unpacked on a worker thread into a folder of its own under the download folder, named
// after the archive, and the first TXT file found there (depth first) goes on the shelf.
// The dropped archive itself stays where it was.
class DroppedArchives : public QObject {
    Q_OBJECT
public:
    DroppedArchives(AppServices& services, ReaderNavigator& navigator, QObject* parent = nullptr);
    // Archives still being unpacked stop at their next block and leave nothing behind.
    ~DroppedArchives() override;

    void add(const QString& archive, const QString& category);
    // download folder + "/" + the archive's name without its extension.
    static QString folderFor(const QString& downloadFolder, const QString& archive);

signals:
    // `archive` was handled: an Unpack::Result, and the TXT file put on (or found on) the
    // shelf, empty when none was.
    void done(const QString& archive, int result, const QString& book);

private:
    struct Job {
        QFutureWatcher<int>* watcher = nullptr; // a child of this object
        std::shared_ptr<std::atomic<bool>> cancelled;
    };

    void unpacked(QFutureWatcher<int>* watcher, const QString& archive, const QString& folder, const QString& category);
    QString shelve(const QString& archive, const QString& folder, const QString& category);

    AppServices& m_services;
    ReaderNavigator& m_navigator;
    QThreadPool m_threads;
    QList<Job> m_jobs;
};
