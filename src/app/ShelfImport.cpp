#include "app/ShelfImport.h"

#include "app/BookDialogController.h"
#include "app/BookFileName.h"
#include "app/LibraryDatabase.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>
#include <QTimer>
#include <QtConcurrent>

ShelfImport::ShelfImport(LibraryDatabase& library, QObject* parent)
    : QObject(parent), m_library(library), m_cancelled(std::make_shared<std::atomic<bool>>(false))
{
    connect(&m_walk, &QFutureWatcher<QStringList>::finished, this, &ShelfImport::walked);
}

ShelfImport::~ShelfImport()
{
    m_cancelled->store(true);
    m_walk.waitForFinished();
}

namespace {

bool isTxt(const QFileInfo& info)
{
    return info.suffix().compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0;
}

void walkFolder(const QString& folder, QStringList& found, QSet<QString>& seen, const std::atomic<bool>* cancelled)
{
    QDir dir(folder);
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo& info : files) {
        if (cancelled && cancelled->load())
            return;
        const QString path = QDir::cleanPath(info.absoluteFilePath());
        if (isTxt(info) && !seen.contains(path)) {
            seen.insert(path);
            found << path;
        }
    }
    const QFileInfoList folders = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& info : folders) {
        if (cancelled && cancelled->load())
            return;
        if (!info.isSymLink())
            walkFolder(info.absoluteFilePath(), found, seen, cancelled);
    }
}

} // namespace

QStringList ShelfImport::findTxtFiles(const QStringList& paths, const std::atomic<bool>* cancelled)
{
    QStringList found;
    QSet<QString> seen;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            walkFolder(info.absoluteFilePath(), found, seen, cancelled);
        } else if (info.isFile() && isTxt(info)) {
            const QString clean = QDir::cleanPath(info.absoluteFilePath());
            if (!seen.contains(clean)) {
                seen.insert(clean);
                found << clean;
            }
        }
    }
    return found;
}

bool ShelfImport::start(const QStringList& paths, const QString& category)
{
    if (m_running)
        return false;
    m_running = true;
    m_outcome = Outcome();
    m_category = category;
    m_files.clear();
    m_next = 0;
    m_cancelled->store(false);
    emit progress(0, 0);
    m_walk.setFuture(QtConcurrent::run([paths, flag = m_cancelled] { return findTxtFiles(paths, flag.get()); }));
    return true;
}

void ShelfImport::cancel()
{
    if (m_running)
        m_cancelled->store(true);
}

void ShelfImport::walked()
{
    m_files = m_walk.result();
    m_outcome.found = int(m_files.size());
    if (m_cancelled->load()) {
        finish();
        return;
    }
    emit progress(0, int(m_files.size()));
    writeNextBatch();
}

void ShelfImport::writeNextBatch()
{
    if (m_cancelled->load() || m_next >= m_files.size()) {
        finish();
        return;
    }
    const int end = std::min<int>(m_next + m_batchSize, int(m_files.size()));
    QList<NewBook> batch;
    batch.reserve(end - m_next);
    for (int i = m_next; i < end; ++i) {
        const QString& path = m_files.at(i);
        const BookFileName name = BookFileName::parse(path);
        batch.append({m_category, name.title,
                      name.author.isEmpty() ? BookDialogController::defaultAuthor() : name.author, path});
    }
    const std::optional<int> added = m_library.insertBooksNotOnShelf(batch);
    if (!added) {
        m_outcome.failed = true;
        m_outcome.failure = m_library.failureText();
        finish();
        return;
    }
    m_outcome.added += *added;
    m_outcome.skipped += int(batch.size()) - *added;
    m_next = end;
    emit progress(m_next, int(m_files.size()));
    // The next batch waits for the events that came in meanwhile (a click on 取消 among them).
    QTimer::singleShot(0, this, &ShelfImport::writeNextBatch);
}

void ShelfImport::finish()
{
    m_outcome.cancelled = m_cancelled->load();
    m_running = false;
    m_files.clear();
    emit finished(m_outcome);
}

QString ShelfImport::summary(const Outcome& outcome)
{
    QString text;
    if (outcome.found == 0 && !outcome.cancelled)
        return QStringLiteral("没有找到 TXT 电子书，书架未作改动。");
    text = QStringLiteral("共找到 %1 个 TXT 文件：新添加 %2 本，已在书架上跳过 %3 本。")
               .arg(outcome.found)
               .arg(outcome.added)
               .arg(outcome.skipped);
    if (outcome.cancelled)
        text = QStringLiteral("导入已取消。") + text;
    if (outcome.failed)
        text += QStringLiteral("\r\n其余文件未能写入书库。\r\n\r\n") + outcome.failure;
    return text;
}
