#include "online/DownloadPane.h"

#include "online/DownloadPaneModel.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// Draws the progress column as a progress bar with the column's text on it, once a
// download has reported its progress; before that the plain text shows.
class ProgressBarDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const int percent = index.data(DownloadPaneModel::PercentRole).toInt();
        if (index.column() != DownloadPaneModel::ProgressColumn || percent < 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem background = option;
        initStyleOption(&background, index);
        background.text.clear();
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

        QStyleOptionProgressBar bar;
        bar.rect = option.rect.adjusted(2, 2, -2, -2);
        bar.state = option.state | QStyle::State_Horizontal;
        bar.direction = option.direction;
        bar.fontMetrics = option.fontMetrics;
        bar.palette = option.palette;
        bar.minimum = 0;
        bar.maximum = 100;
        bar.progress = qBound(0, percent, 100);
        bar.text = index.data(Qt::DisplayRole).toString();
        bar.textVisible = true;
        bar.textAlignment = Qt::AlignCenter;
        const QVariant colour = index.data(Qt::ForegroundRole);
        if (colour.isValid()) {
            bar.palette.setColor(QPalette::Text, colour.value<QColor>());
            bar.palette.setColor(QPalette::WindowText, colour.value<QColor>());
            bar.palette.setColor(QPalette::HighlightedText, colour.value<QColor>());
        }
        style->drawControl(QStyle::CE_ProgressBar, &bar, painter, widget);
    }
};

} // namespace

DownloadPane::DownloadPane(DownloadPaneModel& model, QWidget* parent) : QTreeView(parent)
{
    setObjectName(QStringLiteral("ListView4"));
    setModel(&model);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideRight);
    setItemDelegateForColumn(DownloadPaneModel::ProgressColumn, new ProgressBarDelegate(this));
    header()->setStretchLastSection(true);
    header()->resizeSection(DownloadPaneModel::TaskColumn, 150);
    header()->resizeSection(DownloadPaneModel::ProgressColumn, 90);
    connect(&model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int, int last) { scrollTo(this->model()->index(last, 0)); });
}
