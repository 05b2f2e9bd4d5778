#include "reader/ChapterListModel.h"

#include "reader/rules/HeadingRule.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// A small orange pointer for the chapter being read; "Space" is the same size, empty,
// so the labels of all rows stay aligned.
QIcon nowChapterIcon()
{
    QPixmap pm(12, 12);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.moveTo(3, 2);
    path.lineTo(10, 6);
    path.lineTo(3, 10);
    path.closeSubpath();
    p.fillPath(path, QColor(198, 79, 6));
    return QIcon(pm);
}

QIcon spaceIcon()
{
    QPixmap pm(12, 12);
    pm.fill(Qt::transparent);
    return QIcon(pm);
}

} // namespace

ChapterListModel::ChapterListModel(QObject* parent)
    : QAbstractTableModel(parent), m_nowIcon(nowChapterIcon()), m_spaceIcon(spaceIcon())
{
}

void ChapterListModel::setRows(const QList<ChapterRow>& rows, bool volumes)
{
    beginResetModel();
    m_rows = rows;
    m_volumes = volumes;
    m_collapsed.clear();
    m_volumeOf.clear();
    if (volumes) {
        m_volumeOf.reserve(rows.size());
        int volume = -1;
        for (int i = 0; i < rows.size(); ++i) {
            if (i > 0 && rows[i].part <= 1 && isVolumeHeading(rows[i].label))
                volume = i;
            m_volumeOf.append(volume);
        }
    }
    m_shownLabels.clear();
    m_now = -1;
    endResetModel();
}

void ChapterListModel::clear()
{
    setRows({});
}

QString ChapterListModel::label(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows[row].label : QString();
}

void ChapterListModel::setShownLabels(const QStringList& labels)
{
    const QStringList shown = labels.size() == m_rows.size() ? labels : QStringList();
    // Nothing shown changes (a book opened without conversion): the list is not told, so a
    // long list does not fit its titles twice.
    if (shown.isEmpty() && m_shownLabels.isEmpty())
        return;
    m_shownLabels = shown;
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, LabelColumn), index(count() - 1, LabelColumn), {Qt::DisplayRole, Qt::ToolTipRole});
}

void ChapterListModel::markNowChapter(int row)
{
    const int before = m_now;
    m_now = (row >= 0 && row < m_rows.size()) ? row : -1;
    if (before == m_now)
        return;
    if (before >= 0 && before < m_rows.size())
        emit dataChanged(index(before, IdColumn), index(before, IdColumn), {Qt::DecorationRole, IconKeyRole});
    if (m_now >= 0)
        emit dataChanged(index(m_now, IdColumn), index(m_now, IdColumn), {Qt::DecorationRole, IconKeyRole});
}

void ChapterListModel::setCollapsed(int volumeRow, bool collapsed)
{
    if (!isVolume(volumeRow) || isCollapsed(volumeRow) == collapsed)
        return;
    if (collapsed)
        m_collapsed.insert(volumeRow);
    else
        m_collapsed.remove(volumeRow);
    int last = volumeRow;
    while (last + 1 < m_volumeOf.size() && m_volumeOf[last + 1] == volumeRow)
        ++last;
    emit dataChanged(index(volumeRow, LabelColumn), index(volumeRow, LabelColumn), {Qt::DisplayRole, FoldRole});
    emit volumeToggled(volumeRow + 1, last);
}

bool ChapterListModel::isHiddenRow(int row) const
{
    const int volume = volumeOf(row);
    return volume >= 0 && volume != row && m_collapsed.contains(volume);
}

int ChapterListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ChapterListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant ChapterListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const ChapterRow& row = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case IdColumn:
            return QString::number(row.number);
        case RangeColumn:
            return row.range();
        case LabelColumn: {
            const QString label = m_shownLabels.isEmpty() ? row.label : m_shownLabels[index.row()];
            if (!m_volumes)
                return label;
            if (isVolume(index.row()))
                return (isCollapsed(index.row()) ? QStringLiteral("▸ ") : QStringLiteral("▾ ")) + label;
            return volumeOf(index.row()) >= 0 ? QStringLiteral("　　") + label : label;
        }
        }
        return {};
    case Qt::FontRole:
        if (isVolume(index.row())) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::ToolTipRole:
        // The list's tool tip is the label of the row under the pointer.
        return m_shownLabels.isEmpty() ? row.label : m_shownLabels[index.row()];
    case Qt::DecorationRole:
        if (index.column() == IdColumn)
            return index.row() == m_now ? m_nowIcon : m_spaceIcon;
        return {};
    case IconKeyRole:
        return index.row() == m_now ? QStringLiteral("NowChapter") : QStringLiteral("Space");
    }
    return {};
}

QVariant ChapterListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case IdColumn:
        return QStringLiteral("ID");
    case RangeColumn:
        return QStringLiteral("书号");
    case LabelColumn:
        return QStringLiteral("章节列表");
    }
    return {};
}
