#pragma once

#include "update/UpdateStaging.h"
#include "update/updater/UpdatePlan.h"

#include <QFutureWatcher>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class Clock;
class Dialogs;
class Downloader;
class QNetworkAccessManager;
class RequestSlot;
struct ServiceReply;

// What the updater window `Form1` does, without the widgets: it asks the service for its
// information block, compares the version with its command line, downloads every listed
// file into its staging folder and, once all have arrived, moves them into place together;
// then it reports the end. The window shows log(), rows() and the state of Command1, and
// ends the program on finished(). A few files are fetched at a time, and every step costs
// the same however long the list is, so a long list keeps the window answering.
class UpdaterController : public QObject {
    Q_OBJECT
public:
    struct Row {
        enum class Look { Normal, Done, Failed };
        QString number;
        QString fileName;
        QString state;
        Look look = Look::Normal;
    };

    // `commandLine` is the whole argument text; the reader passes "-v1.3".
    UpdaterController(QNetworkAccessManager& network, Dialogs& dialogs, Clock& clock, QString programFolder,
                      QString serviceBase, const QString& commandLine, QObject* parent = nullptr);
    ~UpdaterController() override;

    // Form_Load: the first log line and the request for the information block.
    void start();
    // Command1_Click: "取消更新" cancels every download; "开始更新" checks again.
    void command1Click();

    // Whether this user may change a folder; UpdatePlan::folderWritable unless a test says otherwise.
    void setWritableCheck(std::function<bool(const QString&)> check) { m_writable = std::move(check); }

    QString commandCaption() const { return m_caption; }
    bool commandEnabled() const { return m_enabled; }
    const QStringList& log() const { return m_log; }
    const QList<Row>& rows() const { return m_rows; }

    static QString cancelCaption() { return QStringLiteral("取消更新"); }
    static QString startCaption() { return QStringLiteral("开始更新"); }
    // Transfers running at once; the rest wait their turn.
    static constexpr int ParallelDownloads = 6;

signals:
    // Lines appended to log() together.
    void logAppended(const QStringList& lines);
    void rowsCleared();
    // Rows first .. first + count - 1 were appended to rows().
    void rowsAdded(int first, int count);
    void rowChanged(int index);
    void commandChanged();
    // The program is to end (the window hides): 0 after an update or when there is none.
    void finished(int exitCode);

private:
    struct Swapped {
        bool ok = false;
        QString failedTarget;
    };
    struct Queued {
        QString url;
        UpdateStaging::Move move;
        QString staged;
        int row = -1;
    };

    void requestInfo();
    void getNetInfo(const ServiceReply& reply);
    void downloadaFile(const QString& url, const QString& target, int number, QStringList* lines);
    void startNext();
    void onProgress(qint64 cur, qint64 max, const QString& saveFile);
    void onComplete(const QString& saveFile);
    void onError(const QString& saveFile);
    void onAllComplete(const QStringList& fileNotDownload);
    void onSwapped();
    void finishWithUpdate();
    void finishIncomplete(const QString& why);
    void stopped();
    void dropBatch();
    int queuedIndex(const QString& saveFile) const;
    void setRow(int row, const QString& state, Row::Look look);
    void append(const QString& line);
    void append(const QStringList& lines);
    void setCommand(const QString& caption, bool enabled);

    QNetworkAccessManager& m_network;
    Dialogs& m_dialogs;
    Clock& m_clock;
    QString m_programFolder;
    QString m_serviceBase;
    QString m_commandLine;
    std::function<bool(const QString&)> m_writable = UpdatePlan::folderWritable;
    RequestSlot* m_request = nullptr;
    Downloader* m_downloader = nullptr;
    UpdateStaging m_staging;
    QList<Queued> m_queued;            // the downloads of this update, in order
    QHash<QString, int> m_queuedIndex; // staged file → its place in m_queued
    int m_nextToStart = 0;
    QFutureWatcher<Swapped> m_swap;
    QStringList m_log;
    QList<Row> m_rows;
    QString m_caption = cancelCaption();
    bool m_enabled = false;
};
