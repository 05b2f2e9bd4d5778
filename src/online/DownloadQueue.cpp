#include "online/DownloadQueue.h"

#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/LibraryDatabase.h"
#include "app/ReaderNavigator.h"
#include "common/SharedRoutines.h"
#include "platform/Dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

namespace {

const QString kFinished = QStringLiteral("完成");
const QString kAdded = QStringLiteral("下载完成，已为你添加到书架！");
const QString kUnpacking = QStringLiteral("正在解压...");
const QString kNoTxtFile = QStringLiteral("下载完成，但没有找到TXT文件");
const QString kNotInCatalogue = QStringLiteral("下载完成，但书库列表中没有这本书，未添加到书架");
const QString kShelfFault = QStringLiteral("添加到书架时出错");
const QString kEncrypted = QStringLiteral("压缩包有密码，无法解压");
const QString kOverLimit = QStringLiteral("压缩包过大，已停止解压");
const QString kUnpackFailed = QStringLiteral("解压失败，未添加到书架");
const QString kCannotDownload = QStringLiteral("无法下载");
const QString kCannotUnpack = QStringLiteral("无法解压");

// "#0%": a whole percentage.
int percentOf(qint64 cur, qint64 max)
{
    return max > 0 ? qRound(100.0 * double(cur) / double(max)) : 0;
}

} // namespace

DownloadQueue::DownloadQueue(AppServices& services, ReaderNavigator& navigator, QObject* parent)
    : QObject(parent), m_services(services), m_navigator(navigator), m_downloader(services.network)
{
    // One archive at a time: unpacking is disk and processor work, and the machine is shared
    // with the window.
    m_unpackThreads.setMaxThreadCount(1);
    connect(&m_downloader, &Downloader::DownloadProgress, this, &DownloadQueue::DownloadProgress);
    connect(&m_downloader, &Downloader::DownloadError, this, &DownloadQueue::DownloadError);
    connect(&m_downloader, &Downloader::DownloadFailed, this, &DownloadQueue::DownloadFailed);
    connect(&m_downloader, &Downloader::DownloadComplete, this, &DownloadQueue::DownloadComplete);
    connect(&m_downloader, &Downloader::DownloadAllComplete, this, &DownloadQueue::DownloadAllComplete);
}

DownloadQueue::~DownloadQueue()
{
    // An archive still being unpacked stops at its next block and leaves nothing behind.
    for (const Unpacking& job : m_unpacking) {
        job.watcher->disconnect(this);
        job.cancelled->store(true);
    }
    for (const Unpacking& job : m_unpacking)
        job.watcher->waitForFinished();
}

bool DownloadQueue::isSafeName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    return true;
}

void DownloadQueue::DownloadaFile(const QString& vCaption, const QString& vURL, const QString& vFileName)
{
    Dialogs& dialogs = m_services.dialogs;
    // The names come from the network; one with a separator or "..", or an empty one, would
    // put the book outside its own folder or the download folder.
    if (!isSafeName(vCaption) || !isSafeName(vFileName)) {
        dialogs.message(QStringLiteral("这本书的下载地址中的文件名无效或不安全，为保护你的文件，已拒绝下载：\n%1")
                            .arg(isSafeName(vFileName) ? vCaption : vFileName),
                        kCannotDownload, Dialogs::Exclamation);
        return;
    }
    queueInFolder(vCaption, vURL, vFileName, rowsNaming(vFileName), {}, {});
}

void DownloadQueue::queueCatalogueBook(const QString& caption, const QString& url, const QString& fileName,
                                       const CatalogueRow& row, const QByteArray& authorization,
                                       const QString& encoding)
{
    Dialogs& dialogs = m_services.dialogs;
    if (!isSafeName(caption) || !isSafeName(fileName)) {
        dialogs.message(QStringLiteral("这本书的名称无效或不安全，为保护你的文件，已拒绝下载：\n%1").arg(caption),
                        kCannotDownload, Dialogs::Exclamation);
        return;
    }
    CatalogueRow named = row;
    named.downurl = fileName; // the finished download finds its row by the file's name
    queueInFolder(caption, url, fileName, {named}, authorization, encoding);
}

void DownloadQueue::queueInFolder(const QString& vCaption, const QString& vURL, const QString& vFileName,
                                  const QList<CatalogueRow>& rows, const QByteArray& authorization,
                                  const QString& encoding)
{
    Dialogs& dialogs = m_services.dialogs;
    const QString downloadFolder = m_services.state.downloadFolder;
    const QString folder = QDir::cleanPath(downloadFolder + QLatin1Char('/') + vCaption) + QLatin1Char('/');
    const bool existed = QFileInfo(folder).isDir();
    bool created = false;
    if (!downloadFolder.isEmpty())
        CreateFolderPath(folder, &created);
    if (!created) {
        dialogs.message(QStringLiteral("无法创建下载文件夹：\n%1\n\n请在“系统设置”中检查下载目录。").arg(folder),
                        kCannotDownload, Dialogs::Exclamation);
        return;
    }
    const QString saveFile = folder + vFileName;
    if (QueueDownload(vURL, saveFile, QLatin1Char(' ') + vCaption, authorization)) {
        m_queuedRows.insert(saveFile, rows);
        if (!encoding.isEmpty())
            m_encodings.insert(saveFile, encoding);
        if (!existed)
            m_madeFolders.insert(saveFile, folder);
    } else if (!existed) {
        QDir().rmdir(folder);
    }
}

bool DownloadQueue::QueueDownload(const QString& url, const QString& saveFile, const QString& rowText,
                                  const QByteArray& authorization)
{
    if (m_pane.rowOf(saveFile) >= 0) {
        m_services.dialogs.message(QStringLiteral("不要重复下载，该书已在下载列表中！"), QStringLiteral("重复下载"),
                                   Dialogs::Exclamation);
        return false;
    }
    m_pane.add(saveFile, rowText);
    m_transferring.insert(saveFile);
    m_downloader.BeginDownload(url, saveFile, authorization);
    return true;
}

void DownloadQueue::DownloadProgress(qint64 curBytes, qint64 maxBytes, const QString& saveFile)
{
    const int row = m_pane.rowOf(saveFile);
    if (row < 0)
        return;
    if (curBytes < maxBytes) {
        const int percent = percentOf(curBytes, maxBytes);
        m_pane.setProgress(row, QStringLiteral("%1%").arg(percent), percent);
        m_pane.setState(row, QStringLiteral("正在下载(%1KB)").arg(QString::number(double(curBytes) / 1024.0, 'f', 1)),
                        DownloadPaneRow::Tone::Normal);
    } else {
        m_pane.setProgress(row, kFinished, 100);
        m_pane.setState(row, kAdded, DownloadPaneRow::Tone::Done);
    }
}

void DownloadQueue::DownloadError(const QString& saveFile)
{
    // The texts stay as they were; the task and its progress turn red.
    m_pane.setFailed(m_pane.rowOf(saveFile));
    m_transferring.remove(saveFile);
    removeMadeFolder(saveFile);
}

void DownloadQueue::DownloadFailed(const QString& saveFile, const QString& reason)
{
    m_pane.setReason(m_pane.rowOf(saveFile), reason);
}

void DownloadQueue::removeMadeFolder(const QString& saveFile)
{
    const QString folder = m_madeFolders.take(saveFile);
    if (folder.isEmpty())
        return;
    // Another book of the same caption may still be on its way into the folder: the folder
    // is its to take away then.
    for (const QString& other : std::as_const(m_transferring)) {
        if (other.startsWith(folder)) {
            if (!m_madeFolders.contains(other))
                m_madeFolders.insert(other, folder);
            return;
        }
    }
    // rmdir takes only an empty folder: whatever was saved in it meanwhile keeps it.
    QDir().rmdir(folder);
}

void DownloadQueue::DownloadComplete(qint64 /*maxBytes*/, const QString& saveFile)
{
    m_transferring.remove(saveFile);
    m_madeFolders.remove(saveFile);
    const int row = m_pane.rowOf(saveFile);
    // A body of unknown size reported no progress: the row still says "正在连接...".
    m_pane.setProgress(row, kFinished, 100);
    // The book's folder is where the file was saved (the download folder may have been
    // changed in the settings meanwhile).
    const QString folder = QFileInfo(saveFile).absolutePath();
    if (getPathFileName(saveFile).right(4).toLower() == QLatin1String(".txt")) {
        showImport(saveFile, FindTxtAndSave(folder, saveFile));
        emit imported(saveFile, Unpack::Success);
        return;
    }
    m_pane.setState(row, kUnpacking, DownloadPaneRow::Tone::Normal);
    startUnpacking(saveFile, folder);
}

void DownloadQueue::DownloadAllComplete(const QStringList& /*fileNotDownload*/)
{
    if (m_unpacking.isEmpty())
        m_navigator.readList();
    else
        m_shelfStale = true; // read once the last archive is on the shelf
}

void DownloadQueue::startUnpacking(const QString& saveFile, const QString& folder)
{
    Unpacking job;
    job.watcher = new QFutureWatcher<int>(this);
    job.cancelled = std::make_shared<std::atomic<bool>>(false);
    m_unpacking.append(job);
    connect(job.watcher, &QFutureWatcherBase::finished, this,
            [this, watcher = job.watcher, saveFile, folder] { unpacked(watcher, saveFile, folder); });
    UnpackOptions options;
    options.limits = m_limits;
    options.cancelled = job.cancelled.get();
    // The job holds the cancel flag as long as it runs.
    job.watcher->setFuture(QtConcurrent::run(&m_unpackThreads, [saveFile, folder, options, flag = job.cancelled] {
        return UnpackArchive(Unpack::Extract, saveFile, folder, QString(), options);
    }));
}

void DownloadQueue::unpacked(QFutureWatcher<int>* watcher, const QString& saveFile, const QString& folder)
{
    const int result = watcher->result();
    m_unpacking.removeIf([watcher](const Unpacking& job) { return job.watcher == watcher; });
    watcher->deleteLater();
    const bool readShelf = m_unpacking.isEmpty() && m_shelfStale;

    Import outcome = Import::NoTxtFile;
    if (result == Unpack::Success) {
        outcome = FindTxtAndSave(folder, saveFile);
        QFile::remove(saveFile);
    }
    // Any other result leaves the archive in the book's folder and adds nothing.
    if (readShelf) {
        m_shelfStale = false;
        m_navigator.readList();
    }
    if (result == Unpack::Success)
        showImport(saveFile, outcome);
    else
        showUnpackFailure(saveFile, result);
    emit imported(saveFile, result);
}

QList<CatalogueRow> DownloadQueue::rowsNaming(const QString& fileName) const
{
    QList<CatalogueRow> found;
    if (!m_rows)
        return found;
    for (const CatalogueRow& row : m_rows()) {
        if (getPathFileName(row.downurl) == fileName)
            found.append(row);
    }
    return found;
}

DownloadQueue::Import DownloadQueue::FindTxtAndSave(const QString& savePath, const QString& saveFile)
{
    QStringList files;
    int counter = 0;
    SearchFiles(savePath, QStringLiteral("*.txt"), files, counter);
    if (files.isEmpty())
        return Import::NoTxtFile;
    const QString fileName = getPathFileName(saveFile);
    // The rows the catalogue shows now, then those it showed when the book was queued.
    const QList<CatalogueRow> rows = rowsNaming(fileName) + m_queuedRows.value(saveFile);
    LibraryDatabase* library = m_services.state.library;
    Import outcome = Import::NotInCatalogue;
    for (const CatalogueRow& row : rows) {
        if (!library)
            return Import::DatabaseFault;
        // A second matching row finds the path present and adds nothing.
        if (library->bookByPath(files.first())) {
            if (outcome == Import::NotInCatalogue)
                outcome = Import::AlreadyOnShelf;
            continue;
        }
        if (!library->insertBook(row.category, row.name, row.author, files.first()))
            return Import::DatabaseFault;
        // The catalogue named the TXT file's charset; it is the book's encoding from the start.
        if (const QString encoding = m_encodings.value(saveFile); !encoding.isEmpty())
            library->setBookEncoding(files.first(), encoding);
        outcome = Import::Added;
    }
    return outcome;
}

QString DownloadQueue::captionOf(const QString& saveFile) const
{
    const int row = m_pane.rowOf(saveFile);
    return row < 0 ? getPathFileName(saveFile) : m_pane.row(row).text.trimmed();
}

void DownloadQueue::showImport(const QString& saveFile, Import outcome)
{
    const int row = m_pane.rowOf(saveFile);
    switch (outcome) {
    case Import::Added:
    case Import::AlreadyOnShelf:
        m_pane.setState(row, kAdded, DownloadPaneRow::Tone::Done);
        return;
    case Import::NoTxtFile:
        m_pane.setFailed(row);
        m_pane.setState(row, kNoTxtFile, DownloadPaneRow::Tone::Failed);
        return;
    case Import::NotInCatalogue:
        m_pane.setFailed(row);
        m_pane.setState(row, kNotInCatalogue, DownloadPaneRow::Tone::Failed);
        return;
    case Import::DatabaseFault: {
        m_pane.setFailed(row);
        m_pane.setState(row, kShelfFault, DownloadPaneRow::Tone::Failed);
        LibraryDatabase* library = m_services.state.library;
        const QString fault =
            library && !library->lastError().isEmpty() ? library->lastError() : QStringLiteral("书库数据库没有打开。");
        m_services.dialogs.message(fault, QString(), Dialogs::Plain);
        return;
    }
    }
}

void DownloadQueue::showUnpackFailure(const QString& saveFile, int result)
{
    const int row = m_pane.rowOf(saveFile);
    m_pane.setFailed(row);
    if (Unpack::isEncrypted(result)) {
        m_pane.setState(row, kEncrypted, DownloadPaneRow::Tone::Failed);
        m_services.dialogs.message(
            QStringLiteral("《%1》的压缩包设有密码，无法解压，没有添加到书架。\n\n压缩包保留在：\n%2")
                .arg(captionOf(saveFile), QDir::toNativeSeparators(saveFile)),
            kCannotUnpack, Dialogs::Exclamation);
    } else if (Unpack::isOverLimit(result)) {
        m_pane.setState(row, kOverLimit, DownloadPaneRow::Tone::Failed);
        m_services.dialogs.message(
            QStringLiteral("《%1》的压缩包解压后超过 %2 或多于 %3 个文件，可能是恶意文件，已停止解压，没有添加到书架。"
                           "\n\n压缩包保留在：\n%4")
                .arg(captionOf(saveFile), FormatFileSize(double(m_limits.maxExpandedBytes) / 1024.0))
                .arg(m_limits.maxEntries)
                .arg(QDir::toNativeSeparators(saveFile)),
            kCannotUnpack, Dialogs::Exclamation);
    } else if (result != Unpack::Cancelled) {
        // Damaged or not an archive at all: the row tells, as it always has, without a box.
        m_pane.setState(row, kUnpackFailed, DownloadPaneRow::Tone::Failed);
    }
}
