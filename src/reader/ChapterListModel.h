#pragma once

#include "reader/text/ChapterScan.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QSet>

// The chapter list ListView2: columns "ID", "书号" (the line range a,b) and "章节列表".
// The row being shown carries the icon "NowChapter", every other row "Space".
class ChapterListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { IdColumn = 0, RangeColumn = 1, LabelColumn = 2 };
    // The key of the row's small icon: "NowChapter" or "Space".
    static constexpr int IconKeyRole = Qt::UserRole + 1;
    // Named in dataChanged when only a volume's fold arrow changed (no label grew wider).
    static constexpr int FoldRole = Qt::UserRole + 2;

    explicit ChapterListModel(QObject* parent = nullptr);

    // With `volumes`, rows that are volume headings are a first level: shown with an arrow,
    // the chapters after them indented beneath and collapsible. The rows stay one flat list
    // (navigation and bookmarks go row by row); a collapsed volume only hides its chapters.
    void setRows(const QList<ChapterRow>& rows, bool volumes = false);
    void clear();
    const QList<ChapterRow>& rows() const { return m_rows; }
    int count() const { return static_cast<int>(m_rows.size()); }
    // The label as the file has it (what bookmarks hold), whatever the list shows.
    QString label(int row) const;
    // Labels shown instead, one a row (a book shown in other characters); empty: the
    // labels themselves. Dropped by setRows().
    void setShownLabels(const QStringList& labels);
    // How many characters the label column shows for `row` (its fold arrow or indent left out).
    qsizetype shownLabelLength(int row) const
    {
        if (row < 0 || row >= m_rows.size())
            return 0;
        return m_shownLabels.isEmpty() ? m_rows[row].label.size() : m_shownLabels[row].size();
    }

    // MarkNowChapter: `row` (0-based) becomes the one marked "NowChapter"; -1 marks none.
    void markNowChapter(int row);
    int nowChapter() const { return m_now; }

    bool hasVolumes() const { return m_volumes; }
    bool isVolume(int row) const { return m_volumes && row >= 0 && row < m_volumeOf.size() && m_volumeOf[row] == row; }
    // The volume row a row lies in, -1 before the first volume or without volumes.
    int volumeOf(int row) const { return row >= 0 && row < m_volumeOf.size() ? m_volumeOf[row] : -1; }
    bool isCollapsed(int volumeRow) const { return m_collapsed.contains(volumeRow); }
    void setCollapsed(int volumeRow, bool collapsed);
    // A chapter of a collapsed volume.
    bool isHiddenRow(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    // A volume was collapsed or expanded: the rows from `first` to `last` change visibility.
    void volumeToggled(int first, int last);

private:
    QList<ChapterRow> m_rows;
    bool m_volumes = false;
    QList<int> m_volumeOf;
    QSet<int> m_collapsed;
    QStringList m_shownLabels;
    int m_now = -1;
    QIcon m_nowIcon;
    QIcon m_spaceIcon;
};
