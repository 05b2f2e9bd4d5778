#include "online/CataloguePage.h"

#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/PagingLink.h"
#include "app/ReaderNavigator.h"
#include "app/StripedBackground.h"
#include "online/CatalogueLayout.h"
#include "online/CatalogueReply.h"
#include "online/ServiceNotice.h"

#include <QAction>
#include <QActionGroup>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>

namespace {

const QColor kNameColor(198, 79, 6);
const QColor kActionColor(0, 0, 255);
constexpr int kRowRole = Qt::UserRole;

enum Column {
    IdColumn,
    ClassColumn,
    NameColumn,
    AuthorColumn,
    StateColumn,
    TimeColumn,
    SizeColumn,
    ActionColumn,
    UrlColumn
};

QString paneToolTip(bool shown)
{
    return shown ? QStringLiteral("隐藏下载面版") : QStringLiteral("显示下载面版");
}

} // namespace

CataloguePage::CataloguePage(AppServices& services, ReaderNavigator& navigator, QWidget* parent)
    : QWidget(parent), m_navigator(navigator), m_controller(services.state.serviceBase, services.network,
                                                            services.dialogs, services.clock, services.state.library)
{
    setObjectName(QStringLiteral("CataloguePage"));
    buildToolbar();
    buildList();
    buildPagingBar();

    connect(&m_controller, &CatalogueController::loadingChanged, this, [this](bool shown) {
        m_loadingDiv->setVisible(shown);
        if (shown)
            m_loadingDiv->raise();
    });
    connect(&m_controller, &CatalogueController::noticeChanged, this, [this](const QString& notice) {
        m_notice->setText(notice.isEmpty() ? QString() : ServiceNotice::labelHtml(notice));
        m_notice->setToolTip(m_controller.noticeReason());
        m_notice->setVisible(!notice.isEmpty());
        relayout();
        if (!notice.isEmpty())
            m_notice->raise();
    });
    connect(&m_controller, &CatalogueController::listRead, this, [this](bool complete) {
        fillList();
        if (complete)
            m_list->setFocus();
    });
    applyPaneState();
}

void CataloguePage::buildToolbar()
{
    m_toolbar = new QToolBar(this);
    m_toolbar->setObjectName(QStringLiteral("Toolbar3"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_toolbar->setStyleSheet(QStringLiteral(
        "QToolBar#Toolbar3 { border: none; border-bottom: 1px solid #C9D6E3; spacing: 2px; padding: 1px 4px;"
        " background: #F4F8FC; }"
        "QToolBar#Toolbar3 QToolButton { padding: 3px 8px; border-radius: 3px; }"
        "QToolBar#Toolbar3 QToolButton:hover { background: #DCE8F4; }"
        "QToolBar#Toolbar3 QToolButton:checked { background: #C8DCF0; color: #C64F06; font-weight: bold; }"));

    // The category buttons stay pressed like one set of option buttons; "上传共享" never stays pressed.
    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    const QStringList captions = CatalogueController::toolbarCaptions();
    for (int i = 0; i < captions.size(); ++i) {
        QAction* action = m_toolbar->addAction(captions[i]);
        action->setObjectName(QStringLiteral("Toolbar3_%1").arg(i + 1));
        if (i + 1 < captions.size()) {
            action->setCheckable(true);
            group->addAction(action);
        }
        connect(action, &QAction::triggered, this, [this, action] { Toolbar3_ButtonClick(action); });
        m_buttons.append(action);
    }
}

void CataloguePage::buildList()
{
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("ListView3"));
    m_list->setColumnCount(9);
    m_list->setHeaderLabels({QStringLiteral("书号"), QStringLiteral("分类"), QStringLiteral("书名"),
                             QStringLiteral("作者"), QStringLiteral("状态"), QStringLiteral("更新时间"),
                             QStringLiteral("大小"), QStringLiteral("操作"), QStringLiteral("下载地址")});
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setContextMenuPolicy(Qt::PreventContextMenu);
    m_list->setMouseTracking(true);
    m_list->header()->setStretchLastSection(true);
    const int widths[] = {56, 76, 190, 96, 56, 84, 76, 70};
    for (int c = 0; c < 8; ++c)
        m_list->setColumnWidth(c, widths[c]);
    SetStripedBackground(m_list, stripeFirstColor(), stripeSecondColor());
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);

    m_loadingDiv = new QLabel(QStringLiteral("正在读取数据，请稍候……"), this);
    m_loadingDiv->setObjectName(QStringLiteral("LoadingDiv"));
    m_loadingDiv->setAlignment(Qt::AlignCenter);
    m_loadingDiv->setStyleSheet(
        QStringLiteral("QLabel#LoadingDiv { background: #FFFBE6; border: 1px solid #E0C060; color: #705000;"
                       " padding: 6px 14px; }"));
    // It tells, it never stands in the way of a click on the list under it.
    m_loadingDiv->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_loadingDiv->adjustSize();
    m_loadingDiv->hide();

    // Where the list would be when the service gave no answer; its link sends the request again.
    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("ServiceNotice"));
    m_notice->setAlignment(Qt::AlignCenter);
    m_notice->setTextFormat(Qt::RichText);
    m_notice->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_notice->setStyleSheet(
        QStringLiteral("QLabel#ServiceNotice { background: #FFF1F0; border: 1px solid #E0A0A0; color: #8A1F11;"
                       " padding: 6px 14px; }"));
    connect(m_notice, &QLabel::linkActivated, this, [this](const QString& link) {
        if (link == ServiceNotice::linkTarget())
            m_controller.retry();
    });
    m_notice->hide();
}

void CataloguePage::buildPagingBar()
{
    m_pagingBar = new QWidget(this);
    m_pagingBar->setObjectName(QStringLiteral("Picture3"));
    auto* row = new QHBoxLayout(m_pagingBar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);

    auto makeLink = [this, row](const char* name, const QString& text) {
        return addPagingLink(m_pagingBar, row, name, text, this);
    };
    m_label2 = makeLink("Label2", QStringLiteral("首页"));
    m_label3 = makeLink("Label3", QStringLiteral("上一页"));
    m_label4 = makeLink("Label4", QStringLiteral("下一页"));
    m_label5 = makeLink("Label5", QStringLiteral("最后页"));

    m_label6 = new QLabel(m_pagingBar);
    m_label6->setObjectName(QStringLiteral("Label6"));
    m_label6->setMinimumWidth(60);
    row->addWidget(m_label6);

    const PageBoxControls pageBox = addPageBox(m_pagingBar, row, "Text2", "Command3", [this] { Command3_Click(); });
    m_text2 = pageBox.box;
    m_command3 = pageBox.go;
    row->addStretch(1);

    m_image1 = new QLabel(this);
    m_image1->setObjectName(QStringLiteral("Image1"));
    m_image1->setCursor(Qt::PointingHandCursor);
    m_image1->setAlignment(Qt::AlignCenter);
    m_image1->installEventFilter(this);
}

QAction* CataloguePage::categoryButton(int index) const
{
    return index >= 1 && index <= m_buttons.size() ? m_buttons[index - 1] : nullptr;
}

void CataloguePage::Toolbar3_ButtonClick(QAction* button)
{
    if (button->text().trimmed() == CatalogueController::uploadCaption()) {
        button->setChecked(false);
        emit uploadRequested();
        return;
    }
    m_controller.categoryClick(button->text());
}

void CataloguePage::showFirstVisit()
{
    if (!m_controller.firstVisitPending())
        return;
    m_buttons.first()->setChecked(true);
    m_controller.firstVisit();
}

bool CataloguePage::Command1_Click(const QString& text1)
{
    if (!m_controller.acceptSearch(text1))
        return false;
    m_navigator.selectToolBar(3);
    m_controller.requestSearch();
    return true;
}

// The rows of one reply are placed in one go, so rows of two replies never meet in the list.
void CataloguePage::fillList()
{
    const QList<CatalogueRow>& rows = m_controller.rows();
    m_list->setUpdatesEnabled(false);
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        auto* item = new QTreeWidgetItem(catalogueColumns(rows[i]));
        item->setData(IdColumn, kRowRole, i);
        item->setForeground(NameColumn, kNameColor);
        item->setForeground(ActionColumn, kActionColor);
        items.append(item);
    }
    m_list->addTopLevelItems(items);
    m_list->setUpdatesEnabled(true);
    m_label6->setText(m_controller.pageLabel());
}

bool CataloguePage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Left || key == Qt::Key_Right) {
            onPagingLabel(key == Qt::Key_Left ? m_label3 : m_label4);
            return true;
        }
        return false;
    }
    if (watched == m_list->viewport()) {
        if (event->type() == QEvent::MouseMove)
            ListView3_MouseMove(static_cast<QMouseEvent*>(event)->position().toPoint());
        if (event->type() == QEvent::MouseButtonDblClick) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton) {
                ListView3_DblClick(mouse->position().toPoint());
                return true;
            }
        }
        return false;
    }
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == m_label2 || watched == m_label3 || watched == m_label4 || watched == m_label5) {
            onPagingLabel(watched);
            return true;
        }
        if (watched == m_image1) {
            Image1_Click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CataloguePage::ListView3_MouseMove(const QPoint& pos)
{
    const QTreeWidgetItem* hit = m_list->itemAt(pos);
    if (!hit)
        return;
    const int row = hit->data(IdColumn, kRowRole).toInt();
    if (row >= 0 && row < rows().size())
        m_list->setToolTip(catalogueToolTip(rows().at(row)));
}

void CataloguePage::ListView3_DblClick(const QPoint& pos)
{
    QTreeWidgetItem* hit = m_list->itemAt(pos);
    if (!hit)
        return;
    m_list->setCurrentItem(hit);
    const int index = hit->data(IdColumn, kRowRole).toInt();
    if (index < 0 || index >= rows().size())
        return;
    // A copy: a reply read while the question is open may replace the rows.
    const CatalogueRow row = rows().at(index);
    const std::optional<DownloadOrder> order = m_controller.confirmDownload(row);
    if (!order)
        return;
    showDownloadPane();
    if (m_downloadHandler)
        m_downloadHandler(order->caption, order->url, order->fileName);
}

void CataloguePage::onPagingLabel(QObject* label)
{
    if (label == m_label2)
        m_controller.firstPage();
    else if (label == m_label3)
        m_controller.previousPage();
    else if (label == m_label4)
        m_controller.nextPage();
    else if (label == m_label5)
        m_controller.lastPage();
}

void CataloguePage::Command3_Click()
{
    const QString text = m_text2->text();
    if (m_controller.go(text).kind != PagingStep::Kind::Nothing)
        m_text2->clear();
}

void CataloguePage::Image1_Click()
{
    m_paneShown = !m_paneShown;
    applyPaneState();
}

void CataloguePage::setDownloadPane(QWidget* pane)
{
    if (m_pane && m_pane != pane)
        m_pane->hide();
    m_pane = pane;
    if (pane)
        pane->setParent(this);
    applyPaneState();
}

void CataloguePage::showDownloadPane()
{
    m_paneShown = true;
    applyPaneState();
}

void CataloguePage::applyPaneState()
{
    if (m_pane)
        m_pane->setVisible(m_paneShown);
    m_image1->setToolTip(paneToolTip(m_paneShown));
    // The arrow points where the pane goes on a click.
    const QIcon icon = style()->standardIcon(m_paneShown ? QStyle::SP_ArrowDown : QStyle::SP_ArrowUp);
    m_image1->setPixmap(icon.pixmap(14, 14));
    relayout();
}

void CataloguePage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void CataloguePage::relayout()
{
    const CatalogueLayout layout =
        CatalogueLayout::compute(CatalogueLayout::toTwips(width()), CatalogueLayout::toTwips(height()), m_paneShown);
    if (layout.toolbar)
        m_toolbar->setGeometry(*layout.toolbar);
    if (layout.list) {
        m_list->setGeometry(*layout.list);
        const QSize hint = m_loadingDiv->sizeHint();
        m_loadingDiv->setGeometry(layout.list->center().x() - hint.width() / 2,
                                  layout.list->center().y() - hint.height() / 2, hint.width(), hint.height());
        const QSize noticeHint = m_notice->sizeHint();
        const int noticeWidth = std::min(noticeHint.width(), layout.list->width());
        m_notice->setGeometry(layout.list->center().x() - noticeWidth / 2,
                              layout.list->center().y() - noticeHint.height() / 2, noticeWidth, noticeHint.height());
    }
    if (layout.pane && m_pane)
        m_pane->setGeometry(*layout.pane);
    if (layout.pagingBar)
        m_pagingBar->setGeometry(*layout.pagingBar);
    if (layout.toggle)
        m_image1->setGeometry(*layout.toggle);
}
