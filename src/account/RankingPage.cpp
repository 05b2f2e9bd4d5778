#include "account/RankingPage.h"

#include "account/PanelLists.h"

#include <QTreeWidget>

RankingPage::RankingPage(const QString& figureCaption, const QString& listName, QWidget* parent) : QWidget(parent)
{
    m_list = makePanelList({QStringLiteral("排行"), QStringLiteral("用户名"), figureCaption}, listName, this);
    m_list->setColumnWidth(0, 60);
    m_list->setColumnWidth(1, 200);
}

void RankingPage::showRows(const QList<RankingRow>& rows)
{
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    for (const RankingRow& row : rows) {
        auto* item = new QTreeWidgetItem(QStringList{row.place, row.name, row.figure});
        item->setForeground(1, Ranking::nameColor());
        item->setForeground(2, Ranking::figureColor());
        items.append(item);
    }
    m_list->addTopLevelItems(items);
}

void RankingPage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int w = width() - twipsToPixels(60);
    const int h = height() - twipsToPixels(160);
    if (w > 0 && h > 0)
        m_list->setGeometry(twipsToPixels(20), twipsToPixels(100), w, h);
}
