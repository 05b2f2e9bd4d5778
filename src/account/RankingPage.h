#pragma once

#include "account/Ranking.h"

#include <QWidget>

class QTreeWidget;

// The user panel's ranking pages (nodes 9 and 10): "排行", "用户名" and the figure column,
// "积分数量" or "金币数量".
class RankingPage : public QWidget {
    Q_OBJECT
public:
    RankingPage(const QString& figureCaption, const QString& listName, QWidget* parent = nullptr);

    void showRows(const QList<RankingRow>& rows);
    QTreeWidget* list() const { return m_list; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QTreeWidget* m_list = nullptr;
};
