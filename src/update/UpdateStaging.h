#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <memory>

class QLockFile;

// The update's own folder inside the program folder (".qmupdate"). Downloads arrive there
// under numbered names no service list can produce; the swap sets the replaced files aside
// there and keeps a journal of itself there, written and synced before the first rename, so
// that a swap cut short (a kill, a power cut) is finished or undone at the next start of the
// updater or of the reader: the program is left with either every old file or every new
// one, and nothing of the update stays behind. Being inside the program folder keeps every
// rename on one file system, hence atomic.
class UpdateStaging {
public:
    enum class Recovery {
        Nothing,       // no staging folder
        Cleared,       // an update that had not begun its swap: its downloads were removed
        RolledForward, // a swap that had begun with every new file at hand was finished
        RolledBack,    // a swap that could not be finished was undone
        Busy,          // another updater is working in the folder; nothing was touched
        Failed,        // something could not be put back; the folder stays for a later try
    };

    struct Move {
        int number = 0; // the staged file stagedFile(number)
        QString target; // absolute path inside the program folder
    };

    static QString folderName() { return QStringLiteral(".qmupdate"); }

    // Finishes or undoes what an update that ended early left in `programFolder`. Cheap when
    // there is nothing: one look for the staging folder.
    static Recovery recover(const QString& programFolder);

    explicit UpdateStaging(QString programFolder);
    // Lets go of the folder and leaves it as it is (discard() removes it).
    ~UpdateStaging();
    UpdateStaging(const UpdateStaging&) = delete;
    UpdateStaging& operator=(const UpdateStaging&) = delete;

    // Makes the staging folder and holds it for this process, after finishing or undoing
    // whatever an earlier update left in it. False when another updater holds it.
    bool open();
    bool isOpen() const;
    QString folder() const { return m_folder; }
    // Where the download of the update's file `number` goes.
    QString stagedFile(int number) const;

    // Moves every staged file onto its target, all or nothing: missing folders are made, an
    // existing target is set aside until every file is in place and the new file takes over
    // its permissions (a replaced program stays executable; a running program's own file can
    // be replaced). Either way the staging folder is gone afterwards. On failure
    // `failedTarget` names the file that could not be placed and the old files are back.
    bool commit(const QList<Move>& moves, QString* failedTarget);

    // Removes the staging folder with every download in it and lets go of it.
    void discard();

    // For tests: called after each step of a swap or its undoing that changes the disk, with
    // the step's number from 1; returning true stops the swap right there, as a kill would.
    void setStepHook(std::function<bool(int step)> hook) { m_stepHook = std::move(hook); }

private:
    QString m_programFolder;
    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    std::function<bool(int)> m_stepHook;
};
