#include "online/DownloadPaneModel.h"

#include <QColor>

QColor DownloadPaneModel::blue()
{
    return QColor(0, 0, 255);
}

QColor DownloadPaneModel::red()
{
    return QColor(255, 0, 0);
}

int DownloadPaneModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int DownloadPaneModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant DownloadPaneModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const DownloadPaneRow& r = m_rows[index.row()];
    const int column = index.column();
    if (role == Qt::DisplayRole) {
        switch (column) {
        case TaskColumn:
            return r.text;
        case ProgressColumn:
            return r.progress;
        case StateColumn:
            return r.state;
        }
    }
    if (role == Qt::ForegroundRole) {
        if (column == StateColumn) {
            if (r.stateTone == DownloadPaneRow::Tone::Done)
                return blue();
            if (r.stateTone == DownloadPaneRow::Tone::Failed)
                return red();
            return {};
        }
        return r.failed ? QVariant(red()) : QVariant();
    }
    if (role == PercentRole && column == ProgressColumn)
        return r.percent;
    if (role == Qt::ToolTipRole)
        return r.reason.isEmpty() ? r.key : r.key + QLatin1Char('\n') + r.reason;
    return {};
}

QVariant DownloadPaneModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case TaskColumn:
        return QStringLiteral("下载任务");
    case ProgressColumn:
        return QStringLiteral("下载进度");
    case StateColumn:
        return QStringLiteral("状态");
    }
    return {};
}

int DownloadPaneModel::rowOf(const QString& key) const
{
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].key == key)
            return i;
    return -1;
}

int DownloadPaneModel::add(const QString& key, const QString& text)
{
    const int index = int(m_rows.size());
    beginInsertRows({}, index, index);
    DownloadPaneRow row;
    row.key = key;
    row.text = text;
    m_rows.append(row);
    endInsertRows();
    return index;
}

void DownloadPaneModel::setProgress(int index, const QString& text, int percent)
{
    if (index < 0 || index >= m_rows.size())
        return;
    m_rows[index].progress = text;
    m_rows[index].percent = percent;
    changed(index, ProgressColumn, ProgressColumn);
}

void DownloadPaneModel::setState(int index, const QString& text, DownloadPaneRow::Tone tone)
{
    if (index < 0 || index >= m_rows.size())
        return;
    m_rows[index].state = text;
    m_rows[index].stateTone = tone;
    changed(index, StateColumn, StateColumn);
}

void DownloadPaneModel::setFailed(int index)
{
    if (index < 0 || index >= m_rows.size())
        return;
    m_rows[index].failed = true;
    changed(index, TaskColumn, ProgressColumn);
}

void DownloadPaneModel::setReason(int index, const QString& reason)
{
    if (index < 0 || index >= m_rows.size())
        return;
    m_rows[index].reason = reason;
    changed(index, TaskColumn, StateColumn);
}

void DownloadPaneModel::changed(int index, int firstColumn, int lastColumn)
{
    emit dataChanged(this->index(index, firstColumn), this->index(index, lastColumn));
}
