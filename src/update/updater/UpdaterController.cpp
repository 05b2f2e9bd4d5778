#include "update/updater/UpdaterController.h"

#include "online/Downloader.h"
#include "online/ReplyDocument.h"
#include "online/RequestSlot.h"
#include "online/ServiceUrl.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "update/UpdateInfo.h"
#include "update/updater/UpdatePlan.h"

#include <QDir>
#include <QtConcurrent/QtConcurrentRun>

UpdaterController::UpdaterController(QNetworkAccessManager& network, Dialogs& dialogs, Clock& clock,
                                     QString programFolder, QString serviceBase, const QString& commandLine,
                                     QObject* parent)
    : QObject(parent), m_network(network), m_dialogs(dialogs), m_clock(clock),
      m_programFolder(std::move(programFolder)), m_serviceBase(std::move(serviceBase)),
      m_commandLine(commandLine.trimmed()), m_staging(m_programFolder)
{
    m_request = new RequestSlot(m_network, this);
    connect(m_request, &RequestSlot::answered, this, &UpdaterController::getNetInfo);
    m_downloader = new Downloader(m_network, this);
    connect(m_downloader, &Downloader::DownloadProgress, this, &UpdaterController::onProgress);
    connect(m_downloader, &Downloader::DownloadComplete, this,
            [this](qint64, const QString& saveFile) { onComplete(saveFile); });
    connect(m_downloader, &Downloader::DownloadError, this, &UpdaterController::onError);
    connect(m_downloader, &Downloader::DownloadAllComplete, this, &UpdaterController::onAllComplete);
    connect(&m_swap, &QFutureWatcher<Swapped>::finished, this, &UpdaterController::onSwapped);
}

UpdaterController::~UpdaterController()
{
    m_swap.waitForFinished();
    // Closing the window mid-update leaves no staged files behind.
    dropBatch();
}

void UpdaterController::start()
{
    append(QStringLiteral("正在检查更新..."));
    switch (UpdateStaging::recover(m_programFolder)) {
    case UpdateStaging::Recovery::RolledForward:
        append(QStringLiteral("上次被中断的升级已经完成。"));
        break;
    case UpdateStaging::Recovery::RolledBack:
        append(QStringLiteral("上次被中断的升级已经撤销，原有文件已恢复。"));
        break;
    case UpdateStaging::Recovery::Failed:
        append(QStringLiteral("上次被中断的升级无法撤销，请检查软件目录中的 %1 文件夹。")
                   .arg(UpdateStaging::folderName()));
        break;
    case UpdateStaging::Recovery::Nothing:
    case UpdateStaging::Recovery::Cleared:
    case UpdateStaging::Recovery::Busy:
        break;
    }
    requestInfo();
}

void UpdaterController::requestInfo()
{
    // No machine identifier here, and the stamp keeps its blank.
    m_request->get(withRnt(m_serviceBase + QStringLiteral("/readerserver/getinfo.asp"), m_clock.now()));
}

void UpdaterController::command1Click()
{
    if (m_swap.isRunning())
        return;
    if (m_caption == cancelCaption()) {
        m_request->release();
        dropBatch();
        for (int i = 0; i < m_rows.size(); ++i)
            if (m_rows[i].look == Row::Look::Normal)
                setRow(i, QStringLiteral("已取消"), Row::Look::Normal);
        setCommand(startCaption(), true);
    } else {
        setCommand(cancelCaption(), true);
        requestInfo();
    }
}

void UpdaterController::getNetInfo(const ServiceReply& reply)
{
    const ReplyDocument document =
        reply.accepted() ? ReplyDocument::load(reply.body, reply.contentType) : ReplyDocument();
    if (!document.usable()) {
        append(QStringLiteral("无法连接升级服务器，请稍后再试。"));
        stopped();
        return;
    }
    UpdateInfo info;
    try {
        info.readFrom(document, UpdateInfo::Fields::UpdateOnly);
    } catch (const MissingReplyElement& missing) {
        append(QStringLiteral("升级信息不完整（缺少 %1），无法升级。").arg(missing.tag()));
        stopped();
        return;
    }

    // The reader passes its version with a leading dash, so a start by the reader never
    // matches; a start without arguments always ends here.
    if (info.version == m_commandLine || m_commandLine.isEmpty()) {
        m_dialogs.message(QStringLiteral("你当前的版本是最新版本，无需更新！"), QStringLiteral("自动更新"),
                          Dialogs::Information);
        emit finished(0);
        return;
    }
    setCommand(cancelCaption(), true);

    // A new answer starts the list and the downloads afresh.
    dropBatch();
    const UpdatePlan plan = UpdatePlan::make(m_programFolder, info.downloadlist, info.savepathlist);
    append(QStringLiteral("共检查到：%1个更新!").arg(plan.urlCount));
    m_rows.clear();
    emit rowsCleared();
    if (plan.tooLong()) {
        append(QStringLiteral("升级信息有误：列出了 %1 个文件，一次最多只能更新 %2 个，没有下载任何文件。")
                   .arg(plan.urlCount)
                   .arg(UpdatePlan::MaxFiles));
        stopped();
        return;
    }
    if (!plan.listsMatch()) {
        append(QStringLiteral("升级信息有误：列出 %1 个文件，却有 %2 个保存位置，没有下载任何文件。")
                   .arg(plan.urlCount)
                   .arg(plan.folderCount));
        stopped();
        return;
    }
    if (!plan.refused.isEmpty()) {
        for (const QString& line : plan.refused)
            append(line);
        append(QStringLiteral("升级信息有误，没有下载任何文件。"));
        stopped();
        return;
    }
    if (plan.files.isEmpty()) {
        onAllComplete({QString()});
        return;
    }
    const QStringList locked = UpdatePlan::unwritableFolders(m_programFolder, plan.files, m_writable);
    if (!locked.isEmpty()) {
        for (const QString& folder : locked)
            append(QStringLiteral("没有写入权限：%1").arg(QDir::toNativeSeparators(folder)));
        append(QStringLiteral("当前用户不能修改软件所在的目录，无法自动更新，没有下载任何文件。"
                              "请通过系统的软件包管理器更新，或由有权限的用户运行升级程序。"));
        stopped();
        return;
    }
    if (!m_staging.open()) {
        append(QStringLiteral("无法使用软件目录中的 %1 文件夹（另一个升级程序正在使用它，或目录不能写入），"
                              "没有下载任何文件。")
                   .arg(UpdateStaging::folderName()));
        stopped();
        return;
    }
    QStringList lines;
    m_queued.reserve(plan.files.size());
    m_rows.reserve(plan.files.size());
    for (int i = 0; i < plan.files.size(); ++i)
        downloadaFile(plan.files[i].url, plan.files[i].target, i + 1, &lines);
    emit rowsAdded(0, m_rows.size());
    append(lines);
    for (int i = 0; i < ParallelDownloads; ++i)
        startNext();
}

void UpdaterController::downloadaFile(const QString& url, const QString& target, int number, QStringList* lines)
{
    const QString fileName = UpdatePlan::fileNameOf(url);
    m_rows.append({QString::number(number), fileName, QStringLiteral("正在连接..."), Row::Look::Normal});
    lines->append(QStringLiteral("开始下载：%1...").arg(fileName));

    // Downloads go into the staging folder; the targets' folders are made by the swap.
    Queued queued;
    queued.url = url;
    queued.move = {number, target};
    queued.staged = m_staging.stagedFile(number);
    queued.row = m_rows.size() - 1;
    m_queuedIndex.insert(queued.staged, m_queued.size());
    m_queued.append(queued);
}

void UpdaterController::startNext()
{
    if (m_nextToStart >= m_queued.size())
        return;
    const Queued& next = m_queued[m_nextToStart++];
    m_downloader->BeginDownload(next.url, next.staged);
}

int UpdaterController::queuedIndex(const QString& saveFile) const
{
    return m_queuedIndex.value(saveFile, -1);
}

void UpdaterController::onProgress(qint64 cur, qint64 max, const QString& saveFile)
{
    const int i = queuedIndex(saveFile);
    if (i < 0 || max <= 0)
        return;
    if (cur < max)
        setRow(m_queued[i].row, QStringLiteral("正在下载(%1%)").arg(qRound(100.0 * double(cur) / double(max))),
               Row::Look::Normal);
    else
        setRow(m_queued[i].row, QStringLiteral("下载完成！"), Row::Look::Done);
}

void UpdaterController::onComplete(const QString& saveFile)
{
    const int i = queuedIndex(saveFile);
    if (i < 0)
        return;
    setRow(m_queued[i].row, QStringLiteral("下载完成！"), Row::Look::Done);
    // Started from the handler, the next download joins the batch before it can end.
    startNext();
}

void UpdaterController::onError(const QString& saveFile)
{
    const int i = queuedIndex(saveFile);
    if (i < 0)
        return;
    setRow(m_queued[i].row, QStringLiteral("下载失败"), Row::Look::Failed);
    startNext();
}

void UpdaterController::onAllComplete(const QStringList& fileNotDownload)
{
    append(QStringLiteral("全部下载完毕!"));
    if (fileNotDownload.size() > 1) {
        QStringList lines;
        for (int k = 1; k < fileNotDownload.size(); ++k) {
            const int i = queuedIndex(fileNotDownload[k]);
            lines.append(QStringLiteral("下载失败：%1").arg(i < 0 ? fileNotDownload[k] : m_queued[i].move.target));
        }
        append(lines);
        finishIncomplete(QStringLiteral("有 %1 个文件下载失败").arg(fileNotDownload.size() - 1));
        return;
    }
    QList<UpdateStaging::Move> moves;
    moves.reserve(m_queued.size());
    for (const Queued& q : std::as_const(m_queued))
        moves.append(q.move);
    // The swap touches every file on disk, so it runs beside the window, which keeps
    // answering; it cannot be cancelled.
    setCommand(m_caption, false);
    m_swap.setFuture(QtConcurrent::run([this, moves] {
        Swapped swapped;
        swapped.ok = m_staging.commit(moves, &swapped.failedTarget);
        return swapped;
    }));
}

void UpdaterController::onSwapped()
{
    const Swapped swapped = m_swap.result();
    setCommand(m_caption, true);
    if (!swapped.ok) {
        append(QStringLiteral("无法替换文件：%1").arg(swapped.failedTarget));
        finishIncomplete(QStringLiteral("无法替换文件 %1").arg(swapped.failedTarget));
        return;
    }
    m_queued.clear();
    m_queuedIndex.clear();
    finishWithUpdate();
}

void UpdaterController::finishWithUpdate()
{
    m_dialogs.message(QStringLiteral("恭喜你，软件已升级完成了！ 请重新运行软件！"), QStringLiteral("升级完成"),
                      Dialogs::Information);
    emit finished(0);
}

void UpdaterController::finishIncomplete(const QString& why)
{
    dropBatch();
    m_dialogs.message(QStringLiteral("软件升级没有完成：%1，原有文件没有改动。请重新运行软件后再试。").arg(why),
                      QStringLiteral("升级未完成"), Dialogs::Exclamation);
    emit finished(1);
}

void UpdaterController::stopped()
{
    setCommand(startCaption(), true);
}

void UpdaterController::dropBatch()
{
    m_downloader->CancelAllDownload();
    m_staging.discard();
    m_queued.clear();
    m_queuedIndex.clear();
    m_nextToStart = 0;
}

void UpdaterController::setRow(int row, const QString& state, Row::Look look)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows[row].state = state;
    m_rows[row].look = look;
    emit rowChanged(row);
}

void UpdaterController::append(const QString& line)
{
    append(QStringList{line});
}

void UpdaterController::append(const QStringList& lines)
{
    if (lines.isEmpty())
        return;
    m_log += lines;
    emit logAppended(lines);
}

void UpdaterController::setCommand(const QString& caption, bool enabled)
{
    m_caption = caption;
    m_enabled = enabled;
    emit commandChanged();
}
