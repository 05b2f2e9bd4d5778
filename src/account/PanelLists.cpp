#include "account/PanelLists.h"

#include "app/StripedBackground.h"

#include <QHeaderView>
#include <QTreeWidget>

QTreeWidget* makePanelList(const QStringList& columns, const QString& objectName, QWidget* parent)
{
    auto* list = new QTreeWidget(parent);
    list->setObjectName(objectName);
    list->setHeaderLabels(columns);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->header()->setStretchLastSection(true);
    SetStripedBackground(list, stripeFirstColor(), stripeSecondColor());
    return list;
}
