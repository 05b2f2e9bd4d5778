#include "update/UpdateStaging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>
#include <QSet>

#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace {

// One file of the swap: the staged file new/<number> goes to `target` (relative to the
// program folder); a file that stood there is set aside as old/<number> meanwhile.
struct Entry {
    int number = 0;
    QString target;
    bool hadOld = false;
};

struct Journal {
    bool undoing = false;
    QStringList folders; // made by the swap, parents first, relative to the program folder
    QList<Entry> entries;
};

bool present(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// A plain rename: atomic on one file system, and a link is moved as a link.
bool moveFile(const QString& from, const QString& to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

int openFolder(const QString& path)
{
    return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Names made, renamed or removed in the folder survive a power cut.
void syncFolder(const QString& path)
{
    const int fd = openFolder(path);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// One call makes every staged file and every rename durable, however many there are.
void syncFileSystem(const QString& path)
{
    const int fd = openFolder(path);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
}

// A path of the journal, which only the updater writes; anything else means the journal is damaged.
bool plainRelative(const QString& path)
{
    return !path.isEmpty() && !QDir::isAbsolutePath(path) &&
           !path.split(QLatin1Char('/')).contains(QStringLiteral(".."));
}

class Swap {
public:
    enum class Result { Done, Failed, Stopped };

    Swap(QString programFolder, QString folder, std::function<bool(int)> hook)
        : m_programFolder(std::move(programFolder)), m_folder(std::move(folder)), m_hook(std::move(hook))
    {
    }

    QString journalFile() const { return m_folder + QStringLiteral("/journal"); }
    QString newFile(int number) const { return m_folder + QStringLiteral("/new/") + QString::number(number); }
    QString oldFile(int number) const { return m_folder + QStringLiteral("/old/") + QString::number(number); }
    QString target(const QString& relative) const { return m_programFolder + QLatin1Char('/') + relative; }

    Result writeJournal(const Journal& journal)
    {
        QJsonArray folders;
        for (const QString& f : journal.folders)
            folders.append(f);
        QJsonArray entries;
        for (const Entry& e : journal.entries)
            entries.append(QJsonArray{e.number, e.target, e.hadOld});
        const QJsonObject root{{QStringLiteral("undoing"), journal.undoing},
                               {QStringLiteral("folders"), folders},
                               {QStringLiteral("files"), entries}};
        QSaveFile file(journalFile());
        if (!file.open(QIODevice::WriteOnly))
            return Result::Failed;
        file.write(QJsonDocument(root).toJson(QJsonDocument::Compact));
        if (!file.flush() || ::fsync(file.handle()) != 0 || !file.commit())
            return Result::Failed;
        syncFolder(m_folder);
        return step();
    }

    static std::optional<Journal> readJournal(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
        if (!root.contains(QStringLiteral("files")))
            return std::nullopt;
        Journal journal;
        journal.undoing = root.value(QStringLiteral("undoing")).toBool();
        for (const QJsonValue& f : root.value(QStringLiteral("folders")).toArray()) {
            if (!plainRelative(f.toString()))
                return std::nullopt;
            journal.folders.append(f.toString());
        }
        for (const QJsonValue& value : root.value(QStringLiteral("files")).toArray()) {
            const QJsonArray a = value.toArray();
            Entry e{a.at(0).toInt(), a.at(1).toString(), a.at(2).toBool()};
            if (e.number <= 0 || !plainRelative(e.target))
                return std::nullopt;
            journal.entries.append(e);
        }
        return journal;
    }

    // Every new file is still staged or already in place, so the swap can be finished.
    bool allAtHand(const Journal& journal) const
    {
        for (const Entry& e : journal.entries)
            if (!present(newFile(e.number)) && !present(target(e.target)))
                return false;
        return true;
    }

    // Puts the new files in place; entries a stopped swap had finished are passed over.
    Result forward(const Journal& journal, QString* failedTarget)
    {
        for (const Entry& e : journal.entries) {
            const QString staged = newFile(e.number);
            if (!present(staged))
                continue;
            const QString to = target(e.target);
            const QFileInfo standing(to);
            bool ok = QDir().mkpath(standing.absolutePath());
            if (ok && present(to)) {
                ok = e.hadOld && !present(oldFile(e.number)) && !standing.isDir() && moveFile(to, oldFile(e.number));
                if (ok && step() == Result::Stopped)
                    return Result::Stopped;
            }
            if (ok)
                ok = moveFile(staged, to);
            if (!ok) {
                if (failedTarget)
                    *failedTarget = to;
                return Result::Failed;
            }
            if (step() == Result::Stopped)
                return Result::Stopped;
        }
        return Result::Done;
    }

    // Puts every old file back and removes the new ones and the folders made for them.
    Result back(const Journal& journal)
    {
        bool ok = true;
        for (auto it = journal.entries.crbegin(); it != journal.entries.crend(); ++it) {
            const QString to = target(it->target);
            const QString old = oldFile(it->number);
            if (present(old)) {
                if (QFileInfo(to).isDir() || !moveFile(old, to)) {
                    ok = false;
                    continue;
                }
            } else if (!it->hadOld && !present(newFile(it->number)) && present(to)) {
                if (!QFile::remove(to)) {
                    ok = false;
                    continue;
                }
            } else {
                continue;
            }
            if (step() == Result::Stopped)
                return Result::Stopped;
        }
        const QDir root(m_programFolder);
        for (auto it = journal.folders.crbegin(); it != journal.folders.crend(); ++it)
            root.rmdir(*it); // only when empty: a folder that holds anything else stays
        return ok ? Result::Done : Result::Failed;
    }

    // The swap has ended either way: once it is on disk, the journal goes.
    Result dropJournal()
    {
        syncFileSystem(m_programFolder);
        QFile::remove(journalFile());
        syncFolder(m_folder);
        return step();
    }

private:
    Result step() { return m_hook && m_hook(++m_steps) ? Result::Stopped : Result::Done; }

    QString m_programFolder;
    QString m_folder;
    std::function<bool(int)> m_hook;
    int m_steps = 0;
};

std::unique_ptr<QLockFile> lockFolder(const QString& folder)
{
    auto lock = std::make_unique<QLockFile>(folder + QStringLiteral("/lock"));
    // Held for the whole update; only a lock whose process is gone is taken over.
    lock->setStaleLockTime(0);
    return lock->tryLock(0) ? std::move(lock) : nullptr;
}

// Removes the staging folder, letting go of its lock last.
void removeFolder(const QString& programFolder, const QString& folder, std::unique_ptr<QLockFile>& lock)
{
    QDir(folder + QStringLiteral("/new")).removeRecursively();
    QDir(folder + QStringLiteral("/old")).removeRecursively();
    QFile::remove(folder + QStringLiteral("/journal"));
    lock.reset();
    QDir(folder).removeRecursively();
    syncFolder(programFolder);
}

// The rest of a swap that was cut short, with the folder's lock held.
UpdateStaging::Recovery recoverHeld(const QString& programFolder, const QString& folder,
                                    std::unique_ptr<QLockFile>& lock)
{
    Swap swap(programFolder, folder, {});
    if (!present(swap.journalFile())) {
        removeFolder(programFolder, folder, lock);
        return UpdateStaging::Recovery::Cleared;
    }
    std::optional<Journal> journal = Swap::readJournal(swap.journalFile());
    if (!journal)
        return UpdateStaging::Recovery::Failed;
    if (!journal->undoing && swap.allAtHand(*journal)) {
        if (swap.forward(*journal, nullptr) == Swap::Result::Done) {
            swap.dropJournal();
            removeFolder(programFolder, folder, lock);
            return UpdateStaging::Recovery::RolledForward;
        }
    }
    if (!journal->undoing) {
        journal->undoing = true;
        swap.writeJournal(*journal);
    }
    if (swap.back(*journal) != Swap::Result::Done)
        return UpdateStaging::Recovery::Failed;
    swap.dropJournal();
    removeFolder(programFolder, folder, lock);
    return UpdateStaging::Recovery::RolledBack;
}

} // namespace

UpdateStaging::UpdateStaging(QString programFolder)
    : m_programFolder(QDir::cleanPath(programFolder)), m_folder(m_programFolder + QLatin1Char('/') + folderName())
{
}

UpdateStaging::~UpdateStaging() = default;

UpdateStaging::Recovery UpdateStaging::recover(const QString& programFolder)
{
    const QString root = QDir::cleanPath(programFolder);
    const QString folder = root + QLatin1Char('/') + folderName();
    if (!QFileInfo(folder).isDir())
        return Recovery::Nothing;
    std::unique_ptr<QLockFile> lock = lockFolder(folder);
    if (!lock)
        return Recovery::Busy;
    return recoverHeld(root, folder, lock);
}

bool UpdateStaging::open()
{
    if (isOpen())
        return true;
    const Recovery earlier = recover(m_programFolder);
    if (earlier == Recovery::Busy || earlier == Recovery::Failed)
        return false;
    if (!QDir().mkpath(m_folder + QStringLiteral("/new")))
        return false;
    m_lock = lockFolder(m_folder);
    return isOpen();
}

bool UpdateStaging::isOpen() const
{
    return m_lock != nullptr;
}

QString UpdateStaging::stagedFile(int number) const
{
    return m_folder + QStringLiteral("/new/") + QString::number(number);
}

void UpdateStaging::discard()
{
    if (!isOpen())
        return;
    // A journal means a swap that could not put everything back: its old files stay for
    // the next start to restore.
    if (present(m_folder + QStringLiteral("/journal"))) {
        m_lock.reset();
        return;
    }
    removeFolder(m_programFolder, m_folder, m_lock);
}

bool UpdateStaging::commit(const QList<Move>& moves, QString* failedTarget)
{
    auto fail = [&](const QString& target) {
        if (failedTarget)
            *failedTarget = target;
        discard();
        return false;
    };
    if (moves.isEmpty()) {
        discard();
        return true;
    }
    if (!isOpen())
        return fail(moves.first().target);

    // Everything the journal needs is found out before the first change.
    Swap swap(m_programFolder, m_folder, m_stepHook);
    const QDir root(m_programFolder);
    Journal journal;
    QSet<QString> folders{m_programFolder};
    for (const Move& move : moves) {
        const QString target = QDir::cleanPath(move.target);
        const QString relative = root.relativeFilePath(target);
        const QFileInfo standing(target);
        const QString staged = stagedFile(move.number);
        if (!plainRelative(relative) || standing.isDir() || !present(staged))
            return fail(move.target);
        Entry entry{move.number, relative, present(target)};
        if (entry.hadOld)
            QFile::setPermissions(staged, standing.permissions());
        journal.entries.append(entry);

        QStringList missing;
        for (QString dir = standing.absolutePath(); !folders.contains(dir); dir = QFileInfo(dir).absolutePath()) {
            folders.insert(dir);
            if (present(dir))
                break;
            missing.prepend(root.relativeFilePath(dir));
        }
        journal.folders += missing;
    }
    if (!QDir().mkpath(m_folder + QStringLiteral("/old")))
        return fail(moves.first().target);
    syncFileSystem(m_folder);

    switch (swap.writeJournal(journal)) {
    case Swap::Result::Stopped:
        m_lock.reset();
        return false;
    case Swap::Result::Failed:
        return fail(moves.first().target);
    case Swap::Result::Done:
        break;
    }
    Swap::Result result = swap.forward(journal, failedTarget);
    if (result == Swap::Result::Done)
        result = swap.dropJournal();
    if (result == Swap::Result::Done) {
        removeFolder(m_programFolder, m_folder, m_lock);
        return true;
    }
    if (result == Swap::Result::Failed) {
        journal.undoing = true;
        result = swap.writeJournal(journal);
        if (result != Swap::Result::Stopped)
            result = swap.back(journal);
        if (result == Swap::Result::Done)
            result = swap.dropJournal();
        if (result == Swap::Result::Done)
            removeFolder(m_programFolder, m_folder, m_lock);
    }
    // Stopped, or not everything could be put back: the next start finishes the job.
    m_lock.reset();
    return false;
}
