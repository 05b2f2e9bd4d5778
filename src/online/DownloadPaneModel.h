#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>

// One row of the download pane: a queued download, kept for the life of the window.
struct DownloadPaneRow {
    enum class Tone { Normal, Done, Failed };

    QString key;                                   // the target file
    QString text;                                  // " " + caption
    QString progress = QStringLiteral(" ");        // "25%", "完成"
    QString state = QStringLiteral("正在连接..."); // "正在下载(512.0KB)", ...
    int percent = -1;                              // the progress bar's value; -1 shows no bar
    bool failed = false;                           // the task and progress columns in red
    Tone stateTone = Tone::Normal;                 // Done: blue state, Failed: red state
    QString reason;                                // why it failed, shown in the tool tip
};

// The rows of ListView4, the download pane: "下载任务", "下载进度", "状态". The pane widget
// shows them; the download queue fills them.
class DownloadPaneModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TaskColumn = 0, ProgressColumn = 1, StateColumn = 2 };
    // The progress column's bar value (int, -1 for none).
    static constexpr int PercentRole = Qt::UserRole + 1;

    static QColor blue();
    static QColor red();

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The row whose key is `key`, or -1.
    int rowOf(const QString& key) const;
    const DownloadPaneRow& row(int index) const { return m_rows.at(index); }
    // Appends a row with the key and text and the initial progress and state; returns its index.
    int add(const QString& key, const QString& text);

    void setProgress(int index, const QString& text, int percent);
    void setState(int index, const QString& text, DownloadPaneRow::Tone tone);
    void setFailed(int index);
    void setReason(int index, const QString& reason);

private:
    void changed(int index, int firstColumn, int lastColumn);

    QList<DownloadPaneRow> m_rows;
};
