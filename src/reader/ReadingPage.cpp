#include "reader/ReadingPage.h"

#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/LibraryDatabase.h"
#include "app/ReaderNavigator.h"
#include "app/ReadingProgress.h"
#include "app/StripedBackground.h"
#include "platform/Dialogs.h"
#include "reader/BookOpener.h"
#include "reader/BookmarkController.h"
#include "reader/ChapterListModel.h"
#include "reader/ChapterRulesDialog.h"
#include "reader/FindBar.h"
#include "reader/HelpWindow.h"
#include "reader/PagingRule.h"
#include "reader/ReadAloudController.h"
#include "reader/ReaderBridge.h"
#include "reader/ReaderIcons.h"
#include "reader/ReadingController.h"
#include "reader/ReadingLayout.h"
#include "reader/ReadingView.h"
#include "reader/VoicePanel.h"
#include "reader/WebSpokenPage.h"
#include "reader/chapters/ChapterMarkEditor.h"
#include "reader/chapters/ChapterRulesController.h"
#include "reader/position/PositionKeeper.h"
#include "reader/position/ReadingPlace.h"
#include "reader/search/BookSearchController.h"
#include "reader/search/BookSearchPane.h"

#include <QAction>
#include <QActionGroup>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>
#include <exception>
#include <functional>
#include <vector>

namespace {

constexpr int kSpliterButtonHeightTw = 900; // 60 pixels

} // namespace

ReadingPage::ReadingPage(AppServices& services, ReaderNavigator& navigator, QWidget* parent)
    : QWidget(parent), m_services(services), m_navigator(navigator), m_model(std::make_unique<ChapterListModel>()),
      m_view(new ReadingView(&services.desktop, this))
{
    setObjectName(QStringLiteral("ReadingPage"));
    m_controller = std::make_unique<ReadingController>(services.state, services.dialogs, *m_model, *m_view);
    m_keeper = std::make_unique<PositionKeeper>(services.state, *m_controller);
    m_bookmarks = std::make_unique<BookmarkController>(services.state.library, services.dialogs,
                                                       [this] { m_navigator.readList(); });
    m_opener = std::make_unique<BookOpener>(services, navigator);
    m_spoken = std::make_unique<WebSpokenPage>(m_view);
    m_readAloud = std::make_unique<ReadAloudController>(services.speech, *m_spoken, services.desktop,
                                                        ReadAloudController::helpFileIn(services.state.programFolder),
                                                        services.state.library);

    buildMenus();
    buildToolbar();
    buildList();

    m_spliter = new QFrame(this);
    m_spliter->setObjectName(QStringLiteral("spliter"));
    m_spliter->setAutoFillBackground(true);
    const QString arrows[2] = {QStringLiteral("▶"), QStringLiteral("◀")};
    const QString tips[2] = {QStringLiteral("隐藏章节列表"), QStringLiteral("显示章节列表")};
    for (int i = 0; i < 2; ++i) {
        auto* button = new QToolButton(m_spliter);
        button->setObjectName(QStringLiteral("spliter_button_%1").arg(i));
        button->setText(arrows[i]);
        button->setToolTip(tips[i]);
        button->setAutoRaise(true);
        button->setStyleSheet(QStringLiteral("QToolButton { font-size: 7px; padding: 0; border: none; color: #6B7B8C; }"
                                             "QToolButton:hover { background: #D6E6F5; }"));
        connect(button, &QToolButton::clicked, this, [this, i] { spliterButtonClick(i); });
        m_spliterButtons[i] = button;
    }
    m_spliterButtons[1]->hide();

    bindReadAloud();

    m_findBar = new FindBar(m_view, this);
    // Ctrl+F anywhere on the page opens the find bar, as in a browser.
    auto* findKey = new QAction(this);
    findKey->setShortcut(QKeySequence::Find);
    findKey->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(findKey);
    connect(findKey, &QAction::triggered, this, &ReadingPage::openFind);
    auto* searchKey = new QAction(this);
    searchKey->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    searchKey->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(searchKey);
    connect(searchKey, &QAction::triggered, this, &ReadingPage::openBookSearch);

    m_view->setKeyHandler([this](int keyCode) {
        if (keyCode == 27)
            emit escapePressed();
        m_controller->changeChapter(keyCode);
    });
    m_view->setPagingHandler([this](int input, bool atTop, bool atBottom) { pageAtEdge(input, atTop, atBottom); });
    connect(m_view, &QWidget::customContextMenuRequested, this, &ReadingPage::showReadMenu);

    connect(m_controller.get(), &ReadingController::chapterListFilled, this, [this] {
        if (!m_listShown)
            spliterButtonClick(1);
        if (m_searchPane) { // results of the book before are of no use
            m_searchPane->clearResults();
            m_searchPane->setChapterLabels(chapterLabels());
        }
    });
    connect(m_controller.get(), &ReadingController::selectedRowChanged, this, [this](int row) {
        if (m_model->isHiddenRow(row))
            m_model->setCollapsed(m_model->volumeOf(row), false);
        const QModelIndex index = m_model->index(row, ChapterListModel::IdColumn);
        if (m_list->currentIndex().row() != row)
            m_list->setCurrentIndex(index);
        m_list->scrollTo(index);
    });
    connect(m_controller.get(), &ReadingController::chapterShown, this, &ReadingPage::showProgress);
    connect(m_controller.get(), &ReadingController::chapterShown, m_keeper.get(),
            [this](int row) { m_keeper->noteShown(row); });
    connect(m_controller.get(), &ReadingController::placeShown, m_keeper.get(), &PositionKeeper::noteShown);
    connect(m_view, &ReadingView::topParagraphShown, m_keeper.get(), &PositionKeeper::noteTopParagraph);
    connect(m_controller.get(), &ReadingController::scanningChanged, this,
            [this](bool scanning, const QString&) { m_loading->setVisible(scanning); });
    relayout();
}

ReadingPage::~ReadingPage() = default;

void ReadingPage::buildMenus()
{
    m_bookmarkMenu = new QMenu(this);
    m_bookmarkMenu->setObjectName(QStringLiteral("Toolbar2_BookmarkMenu"));
    QAction* add = m_bookmarkMenu->addAction(QStringLiteral("添加书签"));
    add->setObjectName(QStringLiteral("AddShuQian"));
    m_bookmarkMenu->addSeparator();
    QAction* go = m_bookmarkMenu->addAction(QStringLiteral("跳转到书签"));
    go->setObjectName(QStringLiteral("GotoShuQian"));
    connect(add, &QAction::triggered, this, &ReadingPage::addBookmark);
    connect(go, &QAction::triggered, this, &ReadingPage::gotoBookmark);

    m_readMenu = new QMenu(QStringLiteral("阅读操作"), this);
    m_readMenu->setObjectName(QStringLiteral("Menue_ReadPage"));
    const struct {
        const char* name;
        const char* caption;
    } items[] = {{"Menue_VoiceRead", "语音朗读"},
                 {"Menue_InsertSQ", "添加书签"},
                 {"Menue_GotoSQ", "跳转到书签"},
                 {"Menue_Find", "查找内容"},
                 {"ShareThisBook", "共享本书到网络"}};
    for (const auto& item : items) {
        QAction* action = m_readMenu->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QString::fromLatin1(item.name));
    }
    buildConversionMenu();
    QAction* unwrap = m_readMenu->addAction(QStringLiteral("合并硬换行"));
    unwrap->setObjectName(QStringLiteral("Menue_Unwrap"));
    unwrap->setCheckable(true);
    connect(unwrap, &QAction::triggered, this, [this](bool on) { m_controller->setJoinWrappedLines(on); });
    connect(m_controller.get(), &ReadingController::joinWrappedLinesChanged, unwrap, &QAction::setChecked);
    // Beside the bookmark, which opens its chapter at the top: the very place reading stopped.
    QAction* lastPlace = m_readMenu->addAction(QStringLiteral("回到上次阅读位置"));
    lastPlace->setObjectName(QStringLiteral("Menue_LastPlace"));
    connect(lastPlace, &QAction::triggered, this, &ReadingPage::gotoLastPlace);
    QAction* search = m_readMenu->addAction(QStringLiteral("全书搜索"));
    search->setObjectName(QStringLiteral("Menue_SearchBook"));
    connect(search, &QAction::triggered, this, &ReadingPage::openBookSearch);
    // The book's chapters: its rule and the user's own marks.
    m_readMenu->addSeparator();
    const struct {
        const char* name;
        const char* caption;
        void (ReadingPage::*handler)();
    } chapterItems[] = {{"Menue_ChapterRules", "章节规则…", nullptr},
                        {"Menue_MarkChapterStart", "设为章节开头", &ReadingPage::markChapterStart},
                        {"Menue_DropChapter", "取消此章节", &ReadingPage::dropChapterHeading}};
    for (const auto& item : chapterItems) {
        QAction* action = m_readMenu->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QString::fromLatin1(item.name));
        if (item.handler)
            connect(action, &QAction::triggered, this, item.handler);
        else
            connect(action, &QAction::triggered, this, [this] { openChapterRules(); });
    }
    // "共享本书到网络" is wired by sharing.
    connect(m_readMenu->findChild<QAction*>(QStringLiteral("Menue_VoiceRead")), &QAction::triggered, this,
            [this] { toolbarButtonClick(11); });
    connect(m_readMenu->findChild<QAction*>(QStringLiteral("Menue_InsertSQ")), &QAction::triggered, this,
            &ReadingPage::addBookmark);
    connect(m_readMenu->findChild<QAction*>(QStringLiteral("Menue_GotoSQ")), &QAction::triggered, this,
            &ReadingPage::gotoBookmark);
    connect(m_readMenu->findChild<QAction*>(QStringLiteral("Menue_Find")), &QAction::triggered, this,
            &ReadingPage::openFind);
}

void ReadingPage::buildConversionMenu()
{
    QMenu* menu = m_readMenu->addMenu(QStringLiteral("繁简转换"));
    menu->setObjectName(QStringLiteral("Menue_Convert"));
    menu->menuAction()->setObjectName(QStringLiteral("Menue_Convert"));
    auto* group = new QActionGroup(menu);
    const struct {
        const char* name;
        const char* caption;
        ChineseConversion::Mode mode;
    } items[] = {{"Menue_ConvertNone", "不转换", ChineseConversion::Mode::None},
                 {"Menue_ConvertSimplified", "转为简体", ChineseConversion::Mode::ToSimplified},
                 {"Menue_ConvertTraditional", "转为繁体", ChineseConversion::Mode::ToTraditional}};
    for (const auto& item : items) {
        QAction* action = menu->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QString::fromLatin1(item.name));
        action->setCheckable(true);
        action->setChecked(item.mode == ChineseConversion::Mode::None);
        group->addAction(action);
        const ChineseConversion::Mode mode = item.mode;
        connect(action, &QAction::triggered, this, [this, mode] { m_controller->setConversionMode(mode); });
        connect(m_controller.get(), &ReadingController::conversionModeChanged, action,
                [action, mode](ChineseConversion::Mode now) { action->setChecked(now == mode); });
    }
}

void ReadingPage::buildToolbar()
{
    m_toolbar = new QToolBar(this);
    m_toolbar->setObjectName(QStringLiteral("Toolbar2"));
    m_toolbar->setIconSize(QSize(18, 18));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_toolbar->setStyleSheet(QStringLiteral("QToolBar#Toolbar2 { border: none; spacing: 2px; padding: 0 4px; }"));

    const struct {
        const char* tip; // nullptr: separator
        const char* icon;
    } buttons[] = {
        {"打开文件", "open"}, {nullptr, ""},          {"书签", "bookmark"},      {"查找内容", "find"}, {nullptr, ""},
        {"第一节", "first"},  {"上一节", "previous"}, {"下一节", "next"},        {"最后一节", "last"}, {nullptr, ""},
        {"开始朗读", "read"}, {"停止朗读", "stop"},   {"语音诵读设置", "voice"}, {"使用帮助", "help"},
    };
    for (int i = 0; i < 14; ++i) {
        QAction* action = nullptr;
        if (!buttons[i].tip) {
            action = m_toolbar->addSeparator();
        } else {
            action = m_toolbar->addAction(readerIcon(QString::fromLatin1(buttons[i].icon)),
                                          QString::fromUtf8(buttons[i].tip));
            action->setToolTip(QString::fromUtf8(buttons[i].tip));
            const int index = i + 1;
            if (index == 3) {
                // A click anywhere on "书签" opens its drop-down, not only on the arrow.
                action->setMenu(m_bookmarkMenu);
                if (auto* button = qobject_cast<QToolButton*>(m_toolbar->widgetForAction(action)))
                    button->setPopupMode(QToolButton::InstantPopup);
            } else {
                connect(action, &QAction::triggered, this, [this, index] { toolbarButtonClick(index); });
            }
        }
        action->setObjectName(QStringLiteral("Toolbar2_%1").arg(i + 1));
        m_buttons.append(action);
    }

    auto* spacer = new QWidget(m_toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_spacer = m_toolbar->addWidget(spacer);
    auto* loading = new QLabel(QStringLiteral("正在打开电子书…"), m_toolbar);
    loading->setObjectName(QStringLiteral("LoadingTip"));
    loading->setStyleSheet(QStringLiteral("color: #C64F06; padding-right: 8px;"));
    m_loading = m_toolbar->addWidget(loading);
    m_loading->setVisible(false);
}

void ReadingPage::buildList()
{
    m_list = new QTreeView(this);
    m_list->setObjectName(QStringLiteral("ListView2"));
    m_list->setModel(m_model.get());
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setItemsExpandable(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setAllColumnsShowFocus(true);
    m_list->setIconSize(QSize(12, 12));
    m_list->setColumnHidden(ChapterListModel::RangeColumn, true);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionsMovable(false);
    m_list->setColumnWidth(ChapterListModel::IdColumn, 56);
    SetStripedBackground(m_list, stripeFirstColor(), stripeSecondColor());
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
    connect(m_model.get(), &QAbstractItemModel::modelReset, this, [this] {
        m_titlesWidth = -1;
        fitLabelColumn();
    });
    connect(m_model.get(), &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& first, const QModelIndex& last, const QList<int>& roles) {
                if (roles.contains(ChapterListModel::FoldRole))
                    return; // the arrow of a volume: no title got wider
                if (first.column() <= ChapterListModel::LabelColumn && last.column() >= ChapterListModel::LabelColumn) {
                    m_titlesWidth = -1;
                    fitLabelColumn();
                }
            });

    connect(m_model.get(), &ChapterListModel::volumeToggled, this, [this](int first, int last) {
        for (int r = first; r <= last; ++r)
            m_list->setRowHidden(r, QModelIndex(), m_model->isHiddenRow(r));
    });
    connect(m_list, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        m_controller->setSelectedRow(index.row());
        m_controller->showSelected();
    });
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    m_controller->setSelectedRow(current.row());
            });
}

// Whole titles: the label column is as wide as its longest title, the list scrolling
// sideways when the pane is narrower, and never narrower than the pane.
void ReadingPage::fitLabelColumn()
{
    const int pane = m_list->viewport()->width() - m_list->header()->sectionPosition(ChapterListModel::LabelColumn);
    const int titles = titlesWidth();
    const int width = std::max(titles, pane);
    if (m_list->columnWidth(ChapterListModel::LabelColumn) != width)
        m_list->setColumnWidth(ChapterListModel::LabelColumn, width);
}

// The width of the longest title. Measuring every row of a 10,000-chapter book through the
// delegate stalls the window for tens of milliseconds, so only the rows with the most
// characters are measured (the titles are mostly of wide characters of one width; the
// handful of longest ones holds the widest), and the figure is kept until the labels change.
int ReadingPage::titlesWidth()
{
    if (m_titlesWidth >= 0)
        return m_titlesWidth;
    constexpr int kMeasured = 64;
    const int rows = m_model->count();
    std::vector<std::pair<int, int>> lengths; // (characters shown, row)
    lengths.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        if (!m_model->isHiddenRow(r))
            lengths.emplace_back(static_cast<int>(m_model->shownLabelLength(r)), r);
    }
    const auto middle = lengths.begin() + std::min<std::ptrdiff_t>(kMeasured, lengths.size());
    std::partial_sort(lengths.begin(), middle, lengths.end(), std::greater<>());
    int widest = m_list->header()->sectionSizeHint(ChapterListModel::LabelColumn);
    QStyleOptionViewItem option;
    option.initFrom(m_list);
    option.font = m_list->font();
    option.fontMetrics = QFontMetrics(option.font);
    option.decorationSize = m_list->iconSize();
    QAbstractItemDelegate* delegate = m_list->itemDelegateForColumn(ChapterListModel::LabelColumn);
    if (!delegate)
        delegate = m_list->itemDelegate();
    for (auto it = lengths.begin(); it != middle; ++it) {
        const QModelIndex index = m_model->index(it->second, ChapterListModel::LabelColumn);
        widest = std::max(widest, delegate->sizeHint(option, index).width());
    }
    // Every volume heading too: few, and bold type is wider than its characters say.
    if (m_model->hasVolumes())
        for (int r = 0; r < rows; ++r)
            if (m_model->isVolume(r))
                widest = std::max(widest,
                                  delegate->sizeHint(option, m_model->index(r, ChapterListModel::LabelColumn)).width());
    m_titlesWidth = widest;
    return m_titlesWidth;
}

bool ReadingPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list->viewport() && event->type() == QEvent::Resize)
        fitLabelColumn();
    // A click on a volume's arrow (or its number) folds or unfolds its chapters.
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonPress) {
        const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
        const QModelIndex index = m_list->indexAt(pos);
        const int intoLabel = pos.x() - m_list->header()->sectionViewportPosition(ChapterListModel::LabelColumn);
        if (index.isValid() && m_model->isVolume(index.row()) &&
            (index.column() == ChapterListModel::IdColumn || intoLabel < 24)) {
            m_model->setCollapsed(index.row(), !m_model->isCollapsed(index.row()));
            return true;
        }
    }
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (m_model->count() > 0)
                m_controller->showSelected();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QAction* ReadingPage::toolbarButton(int index) const
{
    return index >= 1 && index <= m_buttons.size() ? m_buttons[index - 1] : nullptr;
}

void ReadingPage::toolbarButtonClick(int index)
{
    // Whatever goes wrong in a toolbar action is dropped; the window carries on.
    try {
        switch (index) {
        case 1:
            openFile();
            break;
        case 3:
            if (auto* button = qobject_cast<QToolButton*>(m_toolbar->widgetForAction(m_buttons[2])))
                button->showMenu();
            break;
        case 4:
            openFind();
            break;
        case 6:
            m_controller->showFirst();
            break;
        case 7:
            m_controller->changeChapter(ReadingController::KeyLeft);
            break;
        case 8:
            m_controller->changeChapter(ReadingController::KeyRight);
            break;
        case 9:
            m_controller->showLast();
            break;
        case 11:
            m_readAloud->readButtonClick();
            break;
        case 12:
            m_readAloud->stopButtonClick();
            break;
        case 13:
            m_readAloud->voicePanelButtonClick();
            break;
        case 14:
            m_readAloud->helpButtonClick();
            break;
        default:
            break;
        }
    } catch (const std::exception&) {
    } catch (...) {
    }
}

void ReadingPage::bindReadAloud()
{
    m_voicePanel = new VoicePanel(*m_readAloud, this);
    // Button 11 shows the state of reading aloud: its tool tip, and image 8 or 9.
    connect(m_readAloud.get(), &ReadAloudController::stateChanged, this, [this] {
        QAction* read = m_buttons[10];
        const QString tip = m_readAloud->readToolTip();
        read->setText(tip);
        read->setToolTip(tip);
        read->setIcon(readerIcon(m_readAloud->readImage() == ReadAloudController::ImagePause ? QStringLiteral("pause")
                                                                                             : QStringLiteral("read")));
    });
    connect(m_readAloud.get(), &ReadAloudController::panelVisibleChanged, this, [this](bool visible) {
        if (visible)
            placeVoicePanel();
    });
    connect(m_readAloud.get(), &ReadAloudController::helpPageUnopened, this, [this](const QString& file) {
        if (!m_helpWindow)
            m_helpWindow = new HelpWindow(this);
        m_helpWindow->showPage(file);
    });
}

void ReadingPage::placeVoicePanel()
{
    // Just under button 13, over the reading view.
    QWidget* button = m_toolbar->widgetForAction(m_buttons[12]);
    const QSize size = m_voicePanel->sizeHint();
    int x = button ? m_toolbar->mapTo(this, button->geometry().bottomLeft()).x() : 0;
    const int y = m_toolbar->geometry().bottom() + 2;
    x = std::max(0, std::min(x, width() - size.width()));
    m_voicePanel->setGeometry(x, y, size.width(), size.height());
    m_voicePanel->raise();
}

void ReadingPage::spliterButtonClick(int index)
{
    m_listShown = index == 1;
    // Full-screen reading keeps the list hidden; it comes back as chosen when that ends.
    m_list->setVisible(m_listShown && !m_focusMode);
    m_spliterButtons[0]->setVisible(m_listShown);
    m_spliterButtons[1]->setVisible(!m_listShown);
    relayout();
}

QStringList ReadingPage::chapterLabels() const
{
    QStringList labels;
    labels.reserve(m_model->count());
    for (const ChapterRow& row : m_model->rows())
        labels.append(row.label);
    return labels;
}

void ReadingPage::addBookmark()
{
    m_bookmarks->addBookmark(m_services.state.currentBookPath, m_controller->selectedLabel(), m_model->count() > 0);
}

void ReadingPage::gotoBookmark()
{
    if (m_model->count() == 0)
        return;
    const int row = m_bookmarks->bookmarkRow(m_services.state.currentBookPath, chapterLabels());
    if (row >= 0)
        m_controller->setSelectedRow(row);
    // No match shows the selected chapter again.
    m_controller->showSelected();
}

void ReadingPage::gotoLastPlace()
{
    if (m_model->count() == 0)
        return;
    const ReadingPlace& place = m_controller->placeAtOpening();
    if (!place.isValid()) {
        m_services.dialogs.message(QStringLiteral("这本书还没有保存过阅读位置。"), Dialogs::programTitle(),
                                   Dialogs::Information);
        return;
    }
    const PlaceInBook found = locatePlace(m_controller->scan(), place);
    m_controller->showPlace(std::max(found.row, 0), found.line);
}

void ReadingPage::openBookSearch()
{
    if (!m_searchPane) {
        m_search = std::make_unique<BookSearchController>();
        m_searchPane = new BookSearchPane(*m_search, this);
        m_searchPane->setChapterLabels(chapterLabels());
        connect(m_searchPane, &BookSearchPane::startRequested, this, [this](const QString& query) {
            if (m_model->count() == 0) {
                m_searchPane->summary()->setText(QStringLiteral("请先打开一本书。"));
                return;
            }
            m_search->search(m_controller->scan(), query);
        });
        connect(m_searchPane, &BookSearchPane::hitChosen, this, [this](const SearchHit& hit) {
            const ChapterScan& searched = m_search->searchedBook();
            if (searched.path != m_controller->bookPath())
                return; // the pane was cleared when the book changed
            const HitPlace place = BookSearch::placeOf(searched, hit);
            m_controller->showPlace(place.row, place.line, place.column, hit.length);
        });
    }
    m_searchPane->openWith(m_view->selectedText());
}

void ReadingPage::showProgress(int row)
{
    const ChapterScan& scan = m_controller->scan();
    if (row < 0 || row >= scan.rows.size())
        return;
    const ReadingProgress progress = ReadingProgress::ofRow(scanIsCurrent(scan) ? scan.rows[row].byteBegin : -1,
                                                            scan.fileSize, row, static_cast<int>(scan.rows.size()));
    m_view->showProgress(progress.viewText());
    // The shelf shows how far each book was read; a book read without being added is kept
    // too, so adding it later shows its progress at once.
    if (m_services.state.library)
        m_services.state.library->setOption(ReadingProgress::optionName(scan.path), progress.entry());
}

void ReadingPage::openFind()
{
    m_findBar->open();
    relayout();
}

void ReadingPage::openFile()
{
    m_opener->openFile(window());
}

void ReadingPage::showReadMenu(const QPoint& viewPos)
{
    m_readMenu->popup(m_view->mapToGlobal(viewPos));
}

ChapterRulesDialog* ReadingPage::openChapterRules(const QString& path)
{
    const QString book = path.isEmpty() ? m_controller->bookPath() : path;
    if (book.isEmpty()) {
        m_services.dialogs.message(QStringLiteral("请先打开一本电子书。"), Dialogs::programTitle(),
                                   Dialogs::Information);
        return nullptr;
    }
    auto* rules = new ChapterRulesController(m_services.state.library, m_services.dialogs, m_services.pickers, book,
                                             [this](const QString& applied) {
                                                 if (applied == m_controller->bookPath())
                                                     m_controller->rescan();
                                             });
    auto* dialog = new ChapterRulesDialog(*rules, window());
    rules->setParent(dialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}

void ReadingPage::markChapterStart()
{
    ChapterMarkEditor editor(m_services.state.library, m_controller->scan(), m_controller->selectedRow(),
                             [this](const QString& text) { return m_controller->shownText(text); });
    const QString problem = editor.markStart(m_view->bridge()->contextLineText(), m_view->bridge()->contextLineIndex());
    if (!problem.isEmpty())
        m_services.dialogs.message(problem, Dialogs::programTitle(), Dialogs::Information);
    else
        m_controller->rescan();
}

void ReadingPage::dropChapterHeading()
{
    ChapterMarkEditor editor(m_services.state.library, m_controller->scan(), m_controller->selectedRow(),
                             [this](const QString& text) { return m_controller->shownText(text); });
    const QString problem =
        editor.dropHeading(m_view->bridge()->contextLineText(), m_view->bridge()->contextLineIndex());
    if (!problem.isEmpty())
        m_services.dialogs.message(problem, Dialogs::programTitle(), Dialogs::Information);
    else
        m_controller->rescan();
}

void ReadingPage::pageAtEdge(int input, bool atTop, bool atBottom)
{
    if (!PagingRule::isInput(input) || m_model->count() == 0)
        return;
    const int row = m_controller->selectedRow();
    switch (PagingRule::decide(static_cast<PagingRule::Input>(input), atTop, atBottom)) {
    case PagingRule::Action::Scroll:
        break;
    case PagingRule::Action::NextChapter:
        if (row >= 0 && row < m_model->count() - 1)
            m_controller->changeChapter(ReadingController::KeyRight);
        break;
    case PagingRule::Action::PreviousChapterAtEnd:
        if (row > 0) {
            m_view->showNextChapterAtEnd();
            m_controller->changeChapter(ReadingController::KeyLeft);
        }
        break;
    }
}

void ReadingPage::setFocusMode(bool on)
{
    m_focusMode = on;
    m_toolbar->setVisible(!on);
    m_list->setVisible(!on && m_listShown);
    m_spliter->setVisible(!on);
    relayout();
    if (on)
        m_view->setFocus(Qt::OtherFocusReason);
}

void ReadingPage::addToolMenu(QMenu* menu)
{
    m_readMenu->addMenu(menu);
    QAction* action = menu->menuAction();
    m_toolbar->insertAction(m_spacer, action);
    if (auto* button = qobject_cast<QToolButton*>(m_toolbar->widgetForAction(action))) {
        button->setPopupMode(QToolButton::InstantPopup);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setObjectName(menu->objectName() + QStringLiteral("_Button"));
    }
}

void ReadingPage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void ReadingPage::relayout()
{
    if (m_focusMode) {
        m_view->setGeometry(rect());
        return;
    }
    const int pageWidthTw = ReadingLayout::toTwips(width());
    const int pageHeightTw = ReadingLayout::toTwips(height());
    const ReadingLayout layout =
        ReadingLayout::compute(pageWidthTw, pageHeightTw, pageWidthTw + 150, m_listShown, kSpliterButtonHeightTw);
    if (layout.toolbar)
        m_toolbar->setGeometry(*layout.toolbar);
    if (layout.view)
        m_view->setGeometry(*layout.view);
    if (layout.spliter)
        m_spliter->setGeometry(*layout.spliter);
    if (layout.spliterButton) {
        m_spliterButtons[0]->setGeometry(*layout.spliterButton);
        m_spliterButtons[1]->setGeometry(*layout.spliterButton);
    }
    if (layout.list)
        m_list->setGeometry(*layout.list);
    if (m_voicePanel->isVisible())
        placeVoicePanel();
    if (m_findBar->isVisible()) {
        const QRect view = m_view->geometry();
        const int w = std::min(420, view.width() - 24);
        const int h = m_findBar->sizeHint().height();
        if (w > 0)
            m_findBar->setGeometry(view.right() - w - 18, view.top() + 6, w, h);
    }
}
