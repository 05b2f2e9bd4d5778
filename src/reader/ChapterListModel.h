#pragma once

#include "reader/text/ChapterScan.h"

#include <QAbstractTableModel>
#include <QIcon>

// The chapter list ListView2: columns "ID", "书号" (the line range a,b) and "章节列表".
// The row being shown carries the icon "NowChapter", every other row "Space".
class ChapterListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { IdColumn = 0, RangeColumn = 1, LabelColumn = 2 };
    // The key of the row's small icon: "NowChapter" or "Space".
    static constexpr int IconKeyRole = Qt::UserRole + 1;

    explicit ChapterListModel(QObject* parent = nullptr);

    void setRows(const QList<ChapterRow>& rows);
    void clear();
    const QList<ChapterRow>& rows() const { return m_rows; }
    int count() const { return static_cast<int>(m_rows.size()); }
    // The label as the file has it (what bookmarks hold), whatever the list shows.
    QString label(int row) const;
    // Labels shown instead, one a row (a book shown in other characters); empty: the
    // labels themselves. Dropped by setRows().
    void setShownLabels(const QStringList& labels);

    // MarkNowChapter: `row` (0-based) becomes the one marked "NowChapter"; -1 marks none.
    void markNowChapter(int row);
    int nowChapter() const { return m_now; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<ChapterRow> m_rows;
    QStringList m_shownLabels;
    int m_now = -1;
    QIcon m_nowIcon;
    QIcon m_spaceIcon;
};
