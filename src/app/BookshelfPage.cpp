#include "app/BookshelfPage.h"

#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/BookDialogController.h"
#include "app/LibraryDatabase.h"
#include "app/PagingLink.h"
#include "app/ReaderNavigator.h"
#include "app/StripedBackground.h"
#include "platform/Dialogs.h"
#include "platform/Pickers.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QToolTip>
#include <QTreeWidget>
#include <QUrl>

namespace {

// Layout figures are the window's design in twips; 15 twips make a pixel.
constexpr int px(int twips)
{
    return twips / 15;
}

constexpr int kListLeft = 1920;
constexpr int kBarGap = 150;
constexpr int kTypeColumnWidth = 1500;
constexpr int kReadColumnWidth = 2000;
constexpr int kNoticeTop = 3960;
constexpr int kNoticeLeft = 60;
constexpr int kNoticeWidth = 1720;
constexpr int kPagingBarHeight = 28; // pixels

const QColor kNameColor(198, 79, 6);
constexpr int kKeyRole = Qt::UserRole;

enum Column { IdColumn, TypeColumn, NameColumn, MarkColumn, ReadColumn, PathColumn };

const QString kImportTitle = QStringLiteral("导入文件夹");

bool isArchive(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("zip") || suffix == QLatin1String("rar") || suffix == QLatin1String("7z");
}

// The local files and folders a drag carries.
QStringList localPaths(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

} // namespace

BookshelfPage::BookshelfPage(AppServices& services, ReaderNavigator& navigator, QWidget* parent)
    : QWidget(parent), m_controller(*services.state.library, services.dialogs),
      m_actions(*services.state.library, services.dialogs, services.desktop, navigator), m_navigator(navigator),
      m_dialogs(services.dialogs), m_pickers(services.pickers), m_import(*services.state.library)
{
    setObjectName(QStringLiteral("BookshelfPage"));
    setAcceptDrops(true);
    buildTree();
    buildList();
    buildPagingBar();
    buildMenu();
    relayout();
}

void BookshelfPage::buildTree()
{
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("TreeView1"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setIndentation(14);
    // The chosen node keeps its highlight when the focus moves to the list.
    QPalette palette = m_tree->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    m_tree->setPalette(palette);

    auto* root = new QTreeWidgetItem(m_tree, {QStringLiteral("我的书架")});
    root->setData(0, kKeyRole, QStringLiteral("sj"));
    root->setIcon(0, style()->standardIcon(QStyle::SP_DirHomeIcon));
    const QStringList names = BookDialogController::categoryNames();
    const QIcon folder = style()->standardIcon(QStyle::SP_DirIcon);
    for (int i = 0; i < names.size(); ++i) {
        auto* node = new QTreeWidgetItem(root, {names.at(i)});
        node->setData(0, kKeyRole, QStringLiteral("Key%1").arg(i + 1));
        node->setIcon(0, folder);
    }
    root->setExpanded(true);
    m_tree->setCurrentItem(root);
    paintTreeSelection();
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { TreeView1_Click(current); });
    // A click on the node that is already chosen changes no current item, yet it re-reads the
    // shelf too (books added from outside show up) and re-expands a collapsed root. A press
    // on a node's expand arrow is no click on the node.
    m_tree->viewport()->installEventFilter(this);
    connect(m_tree, &QTreeWidget::itemPressed, this, [this](QTreeWidgetItem* node) {
        if (node == m_nodeBeforePress)
            TreeView1_Click(node);
    });
}

void BookshelfPage::buildList()
{
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("ListView1"));
    m_list->setColumnCount(6);
    m_list->setHeaderLabels({QStringLiteral("ID"), QStringLiteral("类别"), QStringLiteral("书名"),
                             QStringLiteral("书签"), QStringLiteral("最近阅读"), QStringLiteral("文件地址")});
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setContextMenuPolicy(Qt::PreventContextMenu);
    m_list->header()->setStretchLastSection(true);
    m_list->setColumnWidth(IdColumn, 56);
    m_list->setColumnWidth(PathColumn, 320);
    SetStripedBackground(m_list, stripeFirstColor(), stripeSecondColor());
    m_list->viewport()->installEventFilter(this);

    m_loadingDiv = new QLabel(QStringLiteral("正在读取书架……"), this);
    m_loadingDiv->setObjectName(QStringLiteral("LoadingDiv"));
    m_loadingDiv->setAlignment(Qt::AlignCenter);
    m_loadingDiv->hide();
}

void BookshelfPage::buildPagingBar()
{
    m_pagingBar = new QWidget(this);
    m_pagingBar->setObjectName(QStringLiteral("PagingBar"));
    m_pagingBar->setFixedHeight(kPagingBarHeight);
    auto* row = new QHBoxLayout(m_pagingBar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);

    auto makeLink = [this, row](const char* name, const QString& text) {
        return addPagingLink(m_pagingBar, row, name, text, this);
    };
    m_label11 = makeLink("Label11", QStringLiteral("首页"));
    m_label10 = makeLink("Label10", QStringLiteral("上一页"));
    m_label9 = makeLink("Label9", QStringLiteral("下一页"));
    m_label8 = makeLink("Label8", QStringLiteral("最后页"));

    m_label7 = new QLabel(m_controller.pageLabel(), m_pagingBar);
    m_label7->setObjectName(QStringLiteral("Label7"));
    m_label7->setMinimumWidth(60);
    row->addWidget(m_label7);

    const PageBoxControls pageBox = addPageBox(m_pagingBar, row, "Text3", "Command4", [this] { Command4_Click(); });
    m_text3 = pageBox.box;
    m_command4 = pageBox.go;
    row->addStretch(1);

    m_filterBox = new QLineEdit(m_pagingBar);
    m_filterBox->setObjectName(QStringLiteral("ShelfFilter"));
    m_filterBox->setPlaceholderText(QStringLiteral("筛选书名或作者"));
    m_filterBox->setClearButtonEnabled(true);
    m_filterBox->setMinimumWidth(70);
    m_filterBox->setMaximumWidth(150);
    row->addWidget(m_filterBox);
    connect(m_filterBox, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_controller.setFilter(text);
        fillList();
    });

    m_importProgress = new QProgressBar(m_pagingBar);
    m_importProgress->setObjectName(QStringLiteral("ImportProgress"));
    m_importProgress->setMinimumWidth(50);
    m_importProgress->setMaximumWidth(110);
    m_importProgress->hide();
    row->addWidget(m_importProgress);
    m_importCancel = new QPushButton(QStringLiteral("取消"), m_pagingBar);
    m_importCancel->setObjectName(QStringLiteral("ImportCancel"));
    m_importCancel->hide();
    row->addWidget(m_importCancel);
    connect(m_importCancel, &QPushButton::clicked, &m_import, &ShelfImport::cancel);
    connect(&m_import, &ShelfImport::progress, this, [this](int done, int total) {
        // A walk under way has no total yet: the bar then just shows that work goes on.
        m_importProgress->setRange(0, total);
        m_importProgress->setValue(done);
    });
    connect(&m_import, &ShelfImport::finished, this,
            [this](const ShelfImport::Outcome& outcome) { importFinished(outcome, m_reportImport); });

    m_importButton = new QPushButton(kImportTitle, m_pagingBar);
    m_importButton->setObjectName(QStringLiteral("ImportFolder"));
    row->addWidget(m_importButton);
    connect(m_importButton, &QPushButton::clicked, this, [this] { importFolder(); });

    m_command2 = new QPushButton(QStringLiteral("添加本地电子书"), m_pagingBar);
    m_command2->setObjectName(QStringLiteral("Command2"));
    row->addWidget(m_command2);

    connect(m_command2, &QPushButton::clicked, this, [this] { m_navigator.showBookDialog(QStringLiteral("addnew")); });
}

void BookshelfPage::buildMenu()
{
    m_bookMenu = new QMenu(QStringLiteral("电子书操作"), this);
    m_bookMenu->setObjectName(QStringLiteral("BookContrl"));
    const struct {
        const char* name;
        const char* caption;
    } items[] = {
        {"Menue_TopRead", "开始阅读"},       {"Menue_SQRead", "从书签处阅读"},  {"Menue_ModBookInfo", "修改本书信息"},
        {"GotoForlder", "跳转到所在目录"},   {"SendShare", "共享到网络服务器"}, {"Menue_DelBook", "从列表中删除"},
        {"Menue_ChapterRules", "章节规则…"}, // after the menu's own items
    };
    bool first = true;
    for (const auto& item : items) {
        if (!first)
            m_bookMenu->addSeparator();
        first = false;
        QAction* action = m_bookMenu->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QLatin1String(item.name));
    }
    auto on = [this](const char* name, auto handler) {
        QAction* action = m_bookMenu->findChild<QAction*>(QLatin1String(name));
        connect(action, &QAction::triggered, this, [this, handler] {
            if (const auto book = selectedBook())
                handler(*book);
        });
    };
    on("Menue_TopRead", [this](const ShelfBook& b) { m_actions.readFromStart(b.path); });
    on("Menue_SQRead", [this](const ShelfBook& b) { m_actions.readFromBookmark(b.path, b.marke); });
    on("Menue_ModBookInfo", [this](const ShelfBook& b) { m_actions.editBook(b.id); });
    on("GotoForlder", [this](const ShelfBook& b) { m_actions.openFolder(b.path); });
    on("Menue_DelBook", [this](const ShelfBook& b) {
        if (m_actions.removeBook(b.id, b.name))
            readList();
    });
    // "共享到网络服务器" is wired by the sharing side through bookMenu(), "章节规则…" by the
    // main window (the reading page owns the dialog).
}

void BookshelfPage::readList()
{
    m_controller.readList();
    fillList();
}

// Only ever one page is placed, in one go and without letting other events in between,
// so rows of two pages never meet in the list.
void BookshelfPage::fillList()
{
    const QList<BookRow>& rows = m_controller.rows();
    if (!rows.isEmpty())
        m_loadingDiv->show();
    m_list->setUpdatesEnabled(false);
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const BookRow& book : rows) {
        auto* item = new QTreeWidgetItem(QStringList{QString::number(book.id), book.type, book.name, book.marke,
                                                     LibraryDatabase::shelfTimeText(book.lastread), book.path});
        item->setForeground(NameColumn, kNameColor);
        items.append(item);
    }
    m_list->addTopLevelItems(items);
    m_list->setUpdatesEnabled(true);
    m_label7->setText(m_controller.pageLabel());
    m_loadingDiv->hide();
}

std::optional<BookshelfPage::ShelfBook> BookshelfPage::selectedBook() const
{
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    const QTreeWidgetItem* row = selected.first();
    return ShelfBook{row->text(IdColumn), row->text(NameColumn), row->text(MarkColumn), row->text(PathColumn)};
}

void BookshelfPage::TreeView1_Click(QTreeWidgetItem* node)
{
    if (!node)
        return;
    paintTreeSelection();
    if (node->parent() == nullptr) {
        node->setExpanded(true);
        m_controller.setQuery(ShelfQuery::all());
    } else {
        m_controller.setQuery(ShelfQuery::ofCategory(node->text(0)));
    }
    fillList();
}

void BookshelfPage::paintTreeSelection()
{
    const QPalette& palette = m_tree->palette();
    QTreeWidgetItem* current = m_tree->currentItem();
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        QTreeWidgetItem* node = *it;
        const bool chosen = node == current;
        node->setBackground(0, chosen ? palette.color(QPalette::Highlight) : palette.color(QPalette::Base));
        node->setForeground(0, chosen ? palette.color(QPalette::HighlightedText) : palette.color(QPalette::WindowText));
    }
}

bool BookshelfPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_tree->viewport()) {
        if (event->type() == QEvent::MouseButtonPress)
            m_nodeBeforePress = m_tree->currentItem();
        return false;
    }
    if (watched == m_list->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            ListView1_MouseDown(mouse->button(), mouse->position().toPoint(), mouse->globalPosition().toPoint());
            // The right button is fully handled here; the left one goes on to the list.
            return mouse->button() == Qt::RightButton;
        }
        if (event->type() == QEvent::MouseButtonDblClick) {
            // Qt delivers the second press of a double-click as this event: it is the press
            // whose position the double-click hit-tests.
            auto* mouse = static_cast<QMouseEvent*>(event);
            m_pressPos = mouse->position().toPoint();
            if (mouse->button() == Qt::LeftButton)
                ListView1_DblClick();
            return true;
        }
        if (event->type() == QEvent::ToolTip) {
            // The six columns stay as they are; how far the book was read shows over its row,
            // looked up as the pointer rests there, so it is current after reading on.
            auto* help = static_cast<QHelpEvent*>(event);
            const QTreeWidgetItem* hit = m_list->itemAt(help->pos());
            const QString progress = hit ? m_controller.progressText(hit->text(PathColumn)) : QString();
            if (progress.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(help->globalPos(), progress, m_list->viewport());
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        (watched == m_label8 || watched == m_label9 || watched == m_label10 || watched == m_label11)) {
        onPagingLabel(watched);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void BookshelfPage::ListView1_MouseDown(Qt::MouseButton button, const QPoint& pos, const QPoint& globalPos)
{
    m_pressPos = pos;
    QTreeWidgetItem* hit = m_list->itemAt(pos);
    if (!hit) {
        // A press on empty space selects nothing, so no menu item can act on a stale row.
        m_list->clearSelection();
        m_list->setCurrentItem(nullptr);
        return;
    }
    m_list->setCurrentItem(hit);
    hit->setSelected(true);
    if (button == Qt::RightButton)
        m_bookMenu->popup(globalPos);
}

void BookshelfPage::ListView1_DblClick()
{
    QTreeWidgetItem* hit = m_list->itemAt(m_pressPos);
    if (!hit)
        return;
    if (m_actions.openFromShelf(hit->text(PathColumn)))
        readList();
}

void BookshelfPage::onPagingLabel(QObject* label)
{
    bool moved = false;
    if (label == m_label11)
        moved = m_controller.firstPage();
    else if (label == m_label10)
        moved = m_controller.previousPage();
    else if (label == m_label9)
        moved = m_controller.nextPage();
    else if (label == m_label8)
        moved = m_controller.lastPage();
    if (moved)
        fillList();
}

void BookshelfPage::Command4_Click()
{
    const QString text = m_text3->text();
    // The box is emptied whatever the outcome, before any message shows.
    m_text3->clear();
    if (m_controller.go(text))
        fillList();
}

QString BookshelfPage::importCategory() const
{
    const QTreeWidgetItem* node = m_tree->currentItem();
    if (!node || !node->parent())
        return BookDialogController::categoryNames().constLast();
    return node->text(0);
}

void BookshelfPage::importFolder()
{
    if (m_import.isRunning())
        return;
    const QString folder = m_pickers.folder(this, QStringLiteral("选择要导入的文件夹"));
    if (folder.isEmpty())
        return;
    m_reportImport = true;
    m_import.start({folder}, importCategory());
    m_importProgress->show();
    m_importCancel->show();
    m_importButton->setEnabled(false);
}

void BookshelfPage::addPaths(const QStringList& paths)
{
    QStringList books;
    bool folders = false;
    bool unusable = false;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isFile() && isArchive(path)) {
            if (m_archiveHandler)
                m_archiveHandler(info.absoluteFilePath(), importCategory());
            continue;
        }
        if (info.isDir()) {
            folders = true;
        } else if (info.suffix().compare(QLatin1String("txt"), Qt::CaseInsensitive) != 0) {
            unusable = true;
            continue;
        }
        books << path;
    }
    if (unusable && books.isEmpty()) {
        m_dialogs.message(QStringLiteral("书架只收 TXT 电子书、文件夹和 ZIP、RAR、7z 压缩包。"), kImportTitle,
                          Dialogs::Exclamation);
    }
    if (books.isEmpty())
        return;
    if (m_import.isRunning()) {
        m_dialogs.message(QStringLiteral("正在导入电子书，请等导入完成后再添加。"), kImportTitle, Dialogs::Exclamation);
        return;
    }
    // A folder's import ends with its summary; dropped files show up on the shelf and that says enough.
    m_reportImport = folders;
    m_import.start(books, importCategory());
    m_importProgress->show();
    m_importCancel->show();
    m_importButton->setEnabled(false);
}

void BookshelfPage::importFinished(const ShelfImport::Outcome& outcome, bool report)
{
    m_importProgress->hide();
    m_importCancel->hide();
    m_importButton->setEnabled(true);
    if (outcome.added > 0)
        readList();
    if (outcome.failed) {
        m_dialogs.message(ShelfImport::summary(outcome), kImportTitle, Dialogs::Stop);
        return;
    }
    if (report)
        m_dialogs.message(ShelfImport::summary(outcome), kImportTitle, Dialogs::Information);
}

void BookshelfPage::dragEnterEvent(QDragEnterEvent* event)
{
    if (!localPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void BookshelfPage::dragMoveEvent(QDragMoveEvent* event)
{
    if (!localPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void BookshelfPage::dropEvent(QDropEvent* event)
{
    const QStringList paths = localPaths(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    addPaths(paths);
}

void BookshelfPage::setNoticeView(QWidget* view)
{
    if (!view)
        return;
    view->setParent(this);
    view->setObjectName(QStringLiteral("WebBrowser2"));
    view->hide();
    m_notice = view;
    relayout();
}

void BookshelfPage::showNotice(const QString& url)
{
    const QString address = url.trimmed();
    if (address.isEmpty() || !m_notice)
        return;
    // A web view takes the address through its "url" property; this page does not link the
    // web engine itself.
    m_notice->setProperty("url", QUrl(address));
    m_notice->show();
    relayout();
}

void BookshelfPage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    relayout();
}

// Each step is skipped when its size would be negative, so a tiny window stays usable.
void BookshelfPage::relayout()
{
    const int pageWidth = width();
    const int pageHeight = height();

    const int listLeft = px(kListLeft);
    const int listWidth = pageWidth - listLeft;
    const int listHeight = pageHeight - (m_pagingBar->height() + px(kBarGap));
    if (listWidth >= 0 && listHeight >= 0) {
        m_list->setGeometry(listLeft, 0, listWidth, listHeight);
        m_loadingDiv->setGeometry(listLeft, 0, listWidth, listHeight);
    }
    if (listWidth >= 0) {
        m_list->setColumnWidth(TypeColumn, px(kTypeColumnWidth));
        m_list->setColumnWidth(NameColumn, listWidth * 24 / 100);
        m_list->setColumnWidth(MarkColumn, listWidth * 40 / 100);
        m_list->setColumnWidth(ReadColumn, px(kReadColumnWidth));
    }
    if (listHeight >= 0 && listWidth >= 0)
        m_pagingBar->setGeometry(listLeft, listHeight + px(kBarGap), listWidth, m_pagingBar->height());

    const bool noticeShown = m_notice && !m_notice->isHidden();
    const int treeHeight = noticeShown ? px(kNoticeTop) - 6 : pageHeight;
    if (treeHeight >= 0)
        m_tree->setGeometry(px(kNoticeLeft), 0, px(kNoticeWidth), treeHeight);
    const int noticeHeight = pageHeight - px(kNoticeTop);
    if (m_notice && noticeHeight >= 0)
        m_notice->setGeometry(px(kNoticeLeft), px(kNoticeTop), px(kNoticeWidth), noticeHeight);
}
