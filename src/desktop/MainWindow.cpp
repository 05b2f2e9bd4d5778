#include "desktop/MainWindow.h"

#include "account/AccountWindows.h"
#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/BookDialogs.h"
#include "app/BookshelfPage.h"
#include "app/LibraryDatabase.h"
#include "app/StripedBackground.h"
#include "desktop/MainWindowLayout.h"
#include "desktop/SearchBoxPlaceholder.h"
#include "desktop/SettingsModule.h"
#include "desktop/SettingsPage.h"
#include "online/CatalogueController.h"
#include "online/CataloguePage.h"
#include "online/DownloadPane.h"
#include "online/DownloadQueue.h"
#include "online/DroppedArchives.h"
#include "online/opds/OnlineLibraryPage.h"
#include "platform/qt/QtClipboard.h"
#include "reader/ReadAloudController.h"
#include "reader/ReadingController.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"
#include "web/GuardedWebPage.h"
#include "web/WebGuard.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWebEngineView>

#include <exception>

namespace {

// A step of the load handler or of the layout that fails is skipped; the next one runs.
template <typename Step> void guarded(Step&& step)
{
    try {
        step();
    } catch (const std::exception&) {
    } catch (...) {
    }
}

QWidget* placeholder(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("color: #8A96A3; font-size: 15px;"));
    return label;
}

} // namespace

MainWindow::MainWindow(AppServices& services, QWidget* parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(windowTitleText());
    resize(1100, 720);
    setMinimumSize(320, 240);

    buildPages();
    buildToolbar();
    buildSearchPan();
    m_bookDialogs = std::make_unique<BookDialogs>(services, *this, this);
    // The download pane ListView4 sits beside the catalogue: a double-click there queues the book
    // here, and a finished download finds its catalogue row among the list's rows.
    m_downloads = std::make_unique<DownloadQueue>(services, *this);
    m_downloadPane = new DownloadPane(m_downloads->pane(), this);
    m_online->setDownloadPane(m_downloadPane);
    m_online->setDownloadHandler([this](const QString& caption, const QString& url, const QString& fileName) {
        m_downloads->DownloadaFile(caption, url, fileName);
    });
    m_downloads->setCatalogueRows([this] { return m_online->rows(); });
    m_onlineLibrary->setDownloads(*m_downloads, m_downloadPane);
    m_droppedArchives = std::make_unique<DroppedArchives>(services, *this);
    m_shelf->setArchiveHandler(
        [this](const QString& archive, const QString& category) { m_droppedArchives->add(archive, category); });
    m_clipboard = std::make_unique<QtClipboard>();
    m_accounts = std::make_unique<AccountWindows>(services, *m_clipboard);
    wireSharing();
    // "上传共享" of the catalogue opens the user panel on its upload page.
    connect(m_online, &CataloguePage::uploadRequested, this, [this] { m_accounts->openUploadPage(); });

    auto* fullScreen = new QAction(QStringLiteral("全屏阅读"), this);
    fullScreen->setObjectName(QStringLiteral("FullScreenReading"));
    fullScreen->setShortcut(QKeySequence(Qt::Key_F11));
    fullScreen->setShortcutContext(Qt::WindowShortcut);
    addAction(fullScreen);
    m_reading->readMenu()->addAction(fullScreen);
    connect(fullScreen, &QAction::triggered, this, [this] { setFullScreenReading(!m_fullScreenReading); });
    // Esc belongs to the find bar and the dialogs except while reading full-screen.
    m_leaveFullScreen = new QAction(this);
    m_leaveFullScreen->setShortcut(QKeySequence(Qt::Key_Escape));
    m_leaveFullScreen->setShortcutContext(Qt::WindowShortcut);
    m_leaveFullScreen->setEnabled(false);
    addAction(m_leaveFullScreen);
    connect(m_leaveFullScreen, &QAction::triggered, this, [this] { setFullScreenReading(false); });
    connect(m_reading, &ReadingPage::escapePressed, this, [this] { setFullScreenReading(false); });
}

void MainWindow::setFullScreenReading(bool on)
{
    if (on == m_fullScreenReading)
        return;
    m_fullScreenReading = on;
    m_leaveFullScreen->setEnabled(on);
    if (on) {
        m_wasMaximized = isMaximized();
        selectToolBar(2);
    }
    m_toolbar->setVisible(!on);
    m_searchPan->setVisible(!on);
    m_reading->setFocusMode(on);
    if (on)
        showFullScreen();
    else if (m_wasMaximized)
        showMaximized();
    else
        showNormal();
    relayout();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildToolbar()
{
    m_toolbar = new QToolBar(this);
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    m_toolbar->setIconSize(QSize(22, 22));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_toolbar->setStyleSheet(QStringLiteral(
        "QToolBar#Toolbar1 { border: none; border-bottom: 1px solid #C9D6E3; spacing: 4px; padding: 2px 6px;"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #F7FAFD, stop:1 #E6EEF6); }"
        "QToolBar#Toolbar1 QToolButton { padding: 4px 10px; border-radius: 4px; }"
        "QToolBar#Toolbar1 QToolButton:hover { background: #DCE8F4; }"
        "QToolBar#Toolbar1 QToolButton:checked { background: #C8DCF0; font-weight: bold; }"));

    const struct {
        const char* key;
        const char* caption;
        QStyle::StandardPixmap icon;
    } buttons[] = {
        {"T_ShuJia", "我的书架", QStyle::SP_DirHomeIcon},
        {"T_Reade", "阅读窗口", QStyle::SP_FileDialogContentsView},
        {"T_NetShu", "网络书库", QStyle::SP_DriveNetIcon},
        {"T_UCenter", "用户中心", QStyle::SP_ComputerIcon},
        {"T_SysSet", "系统设置", QStyle::SP_FileDialogDetailedView},
    };
    for (int i = 0; i < 5; ++i) {
        QAction* action =
            m_toolbar->addAction(style()->standardIcon(buttons[i].icon), QString::fromUtf8(buttons[i].caption));
        action->setObjectName(QString::fromLatin1(buttons[i].key));
        // "用户中心" opens a window of its own and is never shown pressed.
        action->setCheckable(i != 3);
        const int index = i + 1;
        connect(action, &QAction::triggered, this, [this, index] { selectToolBar(index); });
        m_buttons.append(action);
    }
}

void MainWindow::buildSearchPan()
{
    m_searchPan = new QWidget(this);
    m_searchPan->setObjectName(QStringLiteral("SearchPan"));
    m_searchBox = new QLineEdit(m_searchPan);
    m_searchBox->setObjectName(QStringLiteral("Text1"));
    m_placeholder = new SearchBoxPlaceholder(m_searchBox, CatalogueController::searchPlaceholder());
    m_searchButton = new QPushButton(QStringLiteral("搜书"), m_searchPan);
    m_searchButton->setObjectName(QStringLiteral("Command1"));
    auto* row = new QHBoxLayout(m_searchPan);
    row->setContentsMargins(0, 0, 8, 0);
    row->setSpacing(4);
    row->addWidget(m_searchBox, 1);
    row->addWidget(m_searchButton);
    connect(m_searchButton, &QPushButton::clicked, this, [this] { Command1_Click(); });
    // Enter moves the focus to "搜书" first, as a click would.
    connect(m_searchBox, &QLineEdit::returnPressed, this, [this] {
        m_searchButton->setFocus(Qt::OtherFocusReason);
        Command1_Click();
    });
}

void MainWindow::Command1_Click()
{
    // The online page checks the words, shows itself and sends the search; a refused search
    // leaves the box empty.
    if (!m_online->Command1_Click(m_searchBox->text()))
        m_searchBox->clear();
}

void MainWindow::buildPages()
{
    for (int i = 1; i <= 5; ++i) {
        auto* panel = new QWidget(this);
        panel->setObjectName(QStringLiteral("Panels_%1").arg(i));
        auto* layout = new QVBoxLayout(panel);
        layout->setContentsMargins(0, 0, 0, 0);
        panel->hide();
        m_pages.append(panel);
    }
    m_shelf = new BookshelfPage(m_services, *this);
    fillPage(1, m_shelf);
    m_reading = new ReadingPage(m_services, *this);
    fillPage(2, m_reading);
    m_online = new CataloguePage(m_services, *this);
    // The built-in catalogue shares the page with the catalogues the user added.
    m_onlineLibrary = new OnlineLibraryPage(m_services, m_online);
    fillPage(3, m_onlineLibrary);
    // Page 4 stays empty: "用户中心" opens the user panel window instead.
    fillPage(5, placeholder(QStringLiteral("系统设置"), m_pages[4]));

    // The notice pane under the category tree; start-up shows it when it names a page.
    auto* notice = new QWebEngineView;
    notice->setPage(GuardedWebPage::forService(m_services.state.serviceBase, notice));
    notice->setContextMenuPolicy(Qt::NoContextMenu);
    m_shelf->setNoticeView(notice);
}

void MainWindow::wireSharing()
{
    if (QAction* rules = m_shelf->bookMenu()->findChild<QAction*>(QStringLiteral("Menue_ChapterRules"))) {
        connect(rules, &QAction::triggered, this, [this] {
            if (const auto book = m_shelf->selectedBook())
                m_reading->openChapterRules(book->path);
        });
    }
    if (QAction* share = m_shelf->bookMenu()->findChild<QAction*>(QStringLiteral("SendShare"))) {
        connect(share, &QAction::triggered, this, [this] {
            if (const auto book = m_shelf->selectedBook())
                m_accounts->SendShare(book->id);
        });
    }
    if (QAction* share = m_reading->readMenu()->findChild<QAction*>(QStringLiteral("ShareThisBook"))) {
        connect(share, &QAction::triggered, this,
                [this] { m_accounts->ShareThisBook(m_services.state.currentBookPath); });
    }
}

void MainWindow::fillPage(int index, QWidget* content)
{
    QWidget* panel = m_pages[index - 1];
    QLayout* layout = panel->layout();
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* old = item->widget())
            old->deleteLater();
        delete item;
    }
    content->setParent(panel);
    layout->addWidget(content);
    content->show();
}

void MainWindow::setSettingsPage(QWidget* page)
{
    if (page)
        fillPage(5, page);
}

void MainWindow::setSettings(SettingsModule* settings)
{
    m_settingsModule = settings;
    if (!settings)
        return;
    settings->setReadingAppearance(m_reading->view());
    // Reading aloud holds its breath while the boss key keeps the windows hidden.
    connect(&settings->bossKey(), &BossKey::toggled, &m_reading->readAloud(), &ReadAloudController::setWindowsHidden);
    setSettingsPage(settings->page(m_pages[4]));
}

QWidget* MainWindow::page(int index) const
{
    return index >= 1 && index <= m_pages.size() ? m_pages[index - 1] : nullptr;
}

QAction* MainWindow::toolbarButton(int index) const
{
    return index >= 1 && index <= m_buttons.size() ? m_buttons[index - 1] : nullptr;
}

QString MainWindow::readerHtmlFile() const
{
    // The page lives beside the program; with QUILLMERE_HOME pointing elsewhere, the copy
    // beside the executable serves when the home folder has none.
    const QString beside = m_services.state.programFolder + QStringLiteral("/Reader.html");
    if (QFileInfo::exists(beside))
        return beside;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Reader.html");
}

void MainWindow::formLoad()
{
    // 1. Centre the window on the screen.
    guarded([this] {
        if (const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            resize(std::min(width(), area.width()), std::min(height(), area.height()));
            move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
        }
    });
    // 2. The category tree is built with the bookshelf page.
    // 3. The reading page.
    guarded([this] { m_reading->view()->loadPage(readerHtmlFile()); });
    // 4. The whole shelf, newest first.
    guarded([this] { m_shelf->readList(); });
    // 5. Splitter button 1 hidden: the chapter list starts shown.
    guarded([this] {
        if (auto* button = m_reading->findChild<QToolButton*>(QStringLiteral("spliter_button_1")))
            button->hide();
    });
    // 6. Striped lists (the bookshelf and the catalogue stripe their own lists).
    guarded([this] { SetStripedBackground(m_reading->chapterList(), stripeFirstColor(), stripeSecondColor()); });
    // 7. The voices in Combo1, Mandarin (or else the last entry) current.
    guarded([this] { m_reading->readAloud().load(); });
    // 8. The catalogue's start state (its address and the first-visit flag) came with the
    //    online page; its paging controls rest until the first list arrives.
    // 9. The settings, each by its own statement.
    LibraryDatabase* library = m_services.state.library;
    std::optional<QString> txtColor;
    std::optional<QString> txtSize;
    std::optional<QString> backColor;
    guarded([&] {
        if (!library)
            return;
        m_settings.downSavePath = m_services.state.downloadFolder;
        if (const auto key = library->bossKey())
            m_settings.bossKey = *key;
        if (const auto run = library->autoRun())
            m_settings.autoRun = *run;
        txtColor = library->txtColor();
        txtSize = library->txtSize();
        backColor = library->backColor();
        m_settings.txtColor = txtColor.value_or(m_settings.txtColor);
        m_settings.txtSize = txtSize.value_or(m_settings.txtSize);
        m_settings.backColor = backColor.value_or(m_settings.backColor);
    });
    // 10.-12. The settings page shows the stored values, styles the reading page with them and
    // starts the boss key. Without it, the reading page is styled here; values that could
    // not be read leave the page as designed.
    if (m_settingsModule) {
        guarded([this] { m_settingsModule->load(); });
    } else {
        guarded([&] {
            if (txtColor && txtSize && backColor)
                m_reading->view()->applyAppearance(*txtColor, *txtSize, *backColor);
        });
    }
    // 13. Show the window.
    guarded([this] { show(); });
    // 14. Open on the reading page.
    guarded([this] { selectToolBar(2); });
}

void MainWindow::showNotice(const QString& url)
{
    // The address comes from the network: only a page of the service itself is shown.
    if (!isServicePage(QUrl(url.trimmed()), m_services.state.serviceBase))
        return;
    m_shelf->showNotice(url);
}

void MainWindow::selectToolBar(int index)
{
    if (index < 1 || index > m_pages.size())
        return;
    if (index == 4) {
        m_buttons[3]->setChecked(false);
        m_accounts->showUserPanel(2);
        return;
    }
    for (int i = 1; i <= m_pages.size(); ++i) {
        if (i == index) {
            m_buttons[i - 1]->setChecked(true);
            m_pages[i - 1]->show();
            m_current = i;
            relayout();
            // The first visit to the online page loads "全部资源".
            if (i == 3)
                m_online->showFirstVisit();
        } else {
            m_buttons[i - 1]->setChecked(false);
            m_pages[i - 1]->hide();
        }
    }
    m_toolbar->update();
}

void MainWindow::getChapter(const QString& path, const QString& bookmark)
{
    m_reading->controller().getChapter(path, bookmark);
}

void MainWindow::getChapterFromStart(const QString& path)
{
    m_reading->controller().getChapter(path, QString(), false);
}

void MainWindow::readList()
{
    m_shelf->readList();
}

void MainWindow::showBookDialog(const QString& mode, const QString& bookPath)
{
    m_bookDialogs->show(mode, bookPath);
}

void MainWindow::relayout()
{
    if (m_fullScreenReading) {
        m_pages[1]->setGeometry(rect());
        m_reading->relayout();
        return;
    }
    const QSize windowTw = MainWindowLayout::windowTwips(size());
    guarded([this] { m_toolbar->setGeometry(0, 0, width(), MainWindowLayout::kToolbarHeightPx); });
    // 1. The search panel at the top right.
    guarded([&] {
        if (const auto left = MainWindowLayout::searchPanLeft(windowTw)) {
            const int h = 26;
            m_searchPan->setGeometry(*left, (MainWindowLayout::kToolbarHeightPx - h) / 2, width() - *left, h);
            m_searchPan->raise();
        }
    });
    // 2. Every page.
    guarded([&] {
        if (const auto rect = MainWindowLayout::pageRect(windowTw))
            for (QWidget* page : m_pages)
                page->setGeometry(*rect);
    });
    // 3. The bookshelf page, 4. the reading page (each follows its page's size as well).
    guarded([this] { m_shelf->relayout(); });
    guarded([this] { m_reading->relayout(); });
    // 5. The online page: Toolbar3, ListView3, the download pane, Picture3 and Image1.
    guarded([this] { m_online->relayout(); });
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Closing the main window ends the program at once; every change is already stored.
    event->accept();
    emit closed();
}
