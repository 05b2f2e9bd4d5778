#include "account/UserBooksPage.h"

#include "account/PanelLists.h"
#include "app/PagingLink.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>

namespace {

constexpr int kPagerHeightPx = 26;

enum Column { IdColumn, ClassColumn, NameColumn, StateColumn, DateColumn, ReviewColumn };

} // namespace

UserBooksPage::UserBooksPage(QWidget* parent) : QWidget(parent)
{
    m_list = makePanelList({QStringLiteral("书号"), QStringLiteral("分类"), QStringLiteral("书名"),
                            QStringLiteral("状态"), QStringLiteral("更新时间"), QStringLiteral("审核状态")},
                           QStringLiteral("UserBookList"), this);
    m_list->setColumnWidth(IdColumn, 56);
    m_list->setColumnWidth(ClassColumn, 80);
    m_list->setColumnWidth(NameColumn, 160);
    m_list->setColumnWidth(StateColumn, 180);
    m_list->setColumnWidth(DateColumn, 90);

    m_pager = new QWidget(this);
    m_pager->setObjectName(QStringLiteral("PagerBar"));
    m_pager->setFixedHeight(kPagerHeightPx);
    auto* row = new QHBoxLayout(m_pager);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    const struct {
        const char* name;
        const char* text;
    } links[] = {{"FirstPage", "首页"}, {"PreviousPage", "上一页"}, {"NextPage", "下一页"}, {"LastPage", "最后页"}};
    for (const auto& l : links)
        m_links.append(addPagingLink(m_pager, row, l.name, QString::fromUtf8(l.text), this));
    const PageBoxControls pageBox =
        addPageBox(m_pager, row, "PageBox", "GoButton", [this] { emit linkClicked(Link::Go); });
    m_pageBox = pageBox.box;
    m_go = pageBox.go;
    m_status = new QLabel(QStringLiteral("1/1"), m_pager);
    m_status->setObjectName(QStringLiteral("PageStatus"));
    row->addWidget(m_status);
    row->addStretch(1);
}

void UserBooksPage::showRows(const QList<UserBookRow>& rows)
{
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    for (const UserBookRow& row : rows) {
        auto* item = new QTreeWidgetItem(QStringList{row.id, row.category, row.name, row.state, row.date, row.review});
        item->setForeground(NameColumn, UserBookList::nameColor());
        item->setForeground(ReviewColumn, row.reviewColor);
        items.append(item);
    }
    m_list->addTopLevelItems(items);
}

void UserBooksPage::setStatus(const QString& text)
{
    m_status->setText(text);
}

QString UserBooksPage::pageBoxText() const
{
    return m_pageBox->text();
}

void UserBooksPage::clearPageBox()
{
    m_pageBox->clear();
}

bool UserBooksPage::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        const qsizetype index = m_links.indexOf(qobject_cast<QLabel*>(watched));
        if (index >= 0) {
            emit linkClicked(static_cast<Link>(index));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UserBooksPage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The pager bar sits 100 twips above the bottom, the list fills the room above it.
    const int pagerTop = height() - (kPagerHeightPx + twipsToPixels(100));
    const int listWidth = width() - twipsToPixels(60);
    const int listHeight = height() - (kPagerHeightPx + twipsToPixels(350));
    if (listWidth > 0 && listHeight > 0)
        m_list->setGeometry(twipsToPixels(20), twipsToPixels(100), listWidth, listHeight);
    if (pagerTop > 0)
        m_pager->setGeometry(twipsToPixels(20), pagerTop, std::max(0, listWidth), kPagerHeightPx);
}
