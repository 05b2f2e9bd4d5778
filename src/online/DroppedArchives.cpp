#include "online/DroppedArchives.h"

#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/BookDialogController.h"
#include "app/BookFileName.h"
#include "app/LibraryDatabase.h"
#include "app/ReaderNavigator.h"
#include "common/SharedRoutines.h"
#include "online/ArchiveUnpacker.h"
#include "platform/Dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QtConcurrent>

namespace {
const QString kTitle = QStringLiteral("添加压缩包");
} // namespace

DroppedArchives::DroppedArchives(AppServices& services, ReaderNavigator& navigator, QObject* parent)
    : QObject(parent), m_services(services), m_navigator(navigator)
{
    // One archive at a time, as downloads are unpacked: the machine's disk and cores are shared.
    m_threads.setMaxThreadCount(1);
}

DroppedArchives::~DroppedArchives()
{
    for (const Job& job : m_jobs)
        job.cancelled->store(true);
    m_threads.waitForDone();
}

QString DroppedArchives::folderFor(const QString& downloadFolder, const QString& archive)
{
    return QDir::cleanPath(downloadFolder + QLatin1Char('/') + QFileInfo(archive).completeBaseName());
}

void DroppedArchives::add(const QString& archive, const QString& category)
{
    const QString folder = folderFor(m_services.state.downloadFolder, archive);
    Job job;
    job.watcher = new QFutureWatcher<int>(this);
    job.cancelled = std::make_shared<std::atomic<bool>>(false);
    m_jobs.append(job);
    connect(job.watcher, &QFutureWatcher<int>::finished, this,
            [this, watcher = job.watcher, archive, folder, category] { unpacked(watcher, archive, folder, category); });
    job.watcher->setFuture(QtConcurrent::run(&m_threads, [archive, folder, flag = job.cancelled] {
        UnpackOptions options;
        options.cancelled = flag.get();
        return UnpackArchive(Unpack::Extract, archive, folder, QString(), options);
    }));
}

void DroppedArchives::unpacked(QFutureWatcher<int>* watcher, const QString& archive, const QString& folder,
                               const QString& category)
{
    const int result = watcher->result();
    m_jobs.removeIf([watcher](const Job& job) { return job.watcher == watcher; });
    watcher->deleteLater();
    const QString name = QFileInfo(archive).fileName();
    QString book;
    if (result == Unpack::Success) {
        book = shelve(archive, folder, category);
    } else if (Unpack::isEncrypted(result)) {
        m_services.dialogs.message(QStringLiteral("压缩包“%1”设有密码，无法解压，没有添加到书架。").arg(name), kTitle,
                                   Dialogs::Exclamation);
    } else if (Unpack::isOverLimit(result)) {
        m_services.dialogs.message(
            QStringLiteral("压缩包“%1”解压后过大或文件过多，可能是恶意文件，已停止解压，没有添加到书架。").arg(name),
            kTitle, Dialogs::Exclamation);
    } else if (result != Unpack::Cancelled) {
        m_services.dialogs.message(
            QStringLiteral("压缩包“%1”已损坏或不是 ZIP、RAR、7z 压缩包，无法解压，没有添加到书架。").arg(name), kTitle,
            Dialogs::Exclamation);
    }
    emit done(archive, result, book);
}

QString DroppedArchives::shelve(const QString& archive, const QString& folder, const QString& category)
{
    QStringList files;
    int counter = 0;
    SearchFiles(folder, QStringLiteral("*.txt"), files, counter);
    if (files.isEmpty()) {
        m_services.dialogs.message(
            QStringLiteral("压缩包“%1”里没有 TXT 电子书，没有添加到书架。").arg(QFileInfo(archive).fileName()), kTitle,
            Dialogs::Exclamation);
        return QString();
    }
    const QString path = files.first();
    LibraryDatabase* library = m_services.state.library;
    if (!library)
        return QString();
    if (library->bookByPath(path))
        return path;
    // The TXT file's name, or the archive's when only that one names the author.
    BookFileName named = BookFileName::parse(path);
    if (named.author.isEmpty()) {
        const BookFileName ofArchive = BookFileName::parse(archive);
        if (!ofArchive.author.isEmpty())
            named = ofArchive;
    }
    const QString author = named.author.isEmpty() ? BookDialogController::defaultAuthor() : named.author;
    if (!library->insertBook(category, named.title, author, path)) {
        m_services.dialogs.message(QStringLiteral("压缩包里的电子书没能添加到书架。\n\n") + library->failureText(),
                                   QStringLiteral("书库写入失败"), Dialogs::Stop);
        return QString();
    }
    m_navigator.readList();
    return path;
}
