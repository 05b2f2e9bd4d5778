#pragma once

#include "app/BookRow.h"
#include "app/ReaderNavigator.h"

#include <QWidget>

#include <memory>

class AccountWindows;
class BookDialogs;
class BookshelfPage;
class CataloguePage;
class DownloadPane;
class DownloadQueue;
class OnlineLibraryPage;
class DroppedArchives;
class QAction;
class QLineEdit;
class QPushButton;
class QToolBar;
class ReadingPage;
class QtClipboard;
class SearchBoxPlaceholder;
class SettingsModule;
struct AppServices;

// Form1, the main window: the page toolbar Toolbar1 along the top, the search panel at
// the top right and five pages (Panels), one visible at a time. It is the navigator the
// pages and dialogs call to switch pages, open books, re-read the shelf and show the
// book dialog.
class MainWindow : public QWidget, public ReaderNavigator {
    Q_OBJECT
public:
    explicit MainWindow(AppServices& services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Form_Load: centres the window, fills the first views, applies the settings, shows
    // the window and selects the reading page. Every step is guarded on its own.
    void formLoad();
    // Start-up's last step: the notice page, when start-up named one.
    void showNotice(const QString& url);

    // ReaderNavigator
    void selectToolBar(int index) override;
    void getChapter(const QString& path, const QString& bookmark) override;
    void getChapterFromStart(const QString& path) override;
    void readList() override;
    void showBookDialog(const QString& mode, const QString& bookPath = QString()) override;

    // Page 5's content (the settings page), placed to fill the page.
    void setSettingsPage(QWidget* page);
    // The settings page with the boss key: its page becomes page 5, it restyles the reading
    // view on save, and formLoad() has it show the stored values and start the boss key.
    void setSettings(SettingsModule* settings);

    // The download queue (DownloadaFile for the catalogue) and its pane ListView4, which the
    // online page places beside the catalogue.
    DownloadQueue& downloads() { return *m_downloads; }
    DroppedArchives& droppedArchives() { return *m_droppedArchives; }
    DownloadPane* downloadPane() const { return m_downloadPane; }

    // Form1_Form_Resize.
    void relayout();

    // F11: the reading page alone on the whole screen, without the toolbars; Esc or F11 leaves.
    void setFullScreenReading(bool on);
    bool isFullScreenReading() const { return m_fullScreenReading; }

    int currentPage() const { return m_current; }
    QWidget* page(int index) const;
    ReadingPage* readingPage() const { return m_reading; }
    BookshelfPage* bookshelfPage() const { return m_shelf; }
    // Page 3, the online library: the download queue plugs its pane and handler in here.
    CataloguePage* onlinePage() const { return m_online; }
    // The chooser of catalogues around it.
    OnlineLibraryPage* onlineLibrary() const { return m_onlineLibrary; }
    BookDialogs& bookDialogs() { return *m_bookDialogs; }
    // The login and registration dialogs and the user panel (toolbar button 4, the share
    // items of the bookshelf and reading menus, and the online library's "上传共享").
    AccountWindows& accountWindows() { return *m_accounts; }
    QAction* toolbarButton(int index) const;
    QLineEdit* searchBox() const { return m_searchBox; }
    // The settings as read at load (step 9); empty fields where a value could not be read.
    const SettingsRow& loadedSettings() const { return m_settings; }

    static QString windowTitleText() { return QStringLiteral("Quillmerev1.3 - 最好的TXT电子书阅读及管理工具"); }

signals:
    // The window was closed: the program ends.
    void closed();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildToolbar();
    void buildSearchPan();
    void Command1_Click();
    void buildPages();
    void wireSharing();
    void fillPage(int index, QWidget* content);
    QString readerHtmlFile() const;

    AppServices& m_services;
    QToolBar* m_toolbar = nullptr;
    QList<QAction*> m_buttons;
    QWidget* m_searchPan = nullptr;
    QLineEdit* m_searchBox = nullptr;
    QPushButton* m_searchButton = nullptr;
    SearchBoxPlaceholder* m_placeholder = nullptr;
    QList<QWidget*> m_pages; // Panels 1..5, 0-based here
    BookshelfPage* m_shelf = nullptr;
    ReadingPage* m_reading = nullptr;
    CataloguePage* m_online = nullptr;
    OnlineLibraryPage* m_onlineLibrary = nullptr;
    std::unique_ptr<BookDialogs> m_bookDialogs;
    std::unique_ptr<QtClipboard> m_clipboard;
    std::unique_ptr<AccountWindows> m_accounts;
    SettingsRow m_settings;
    SettingsModule* m_settingsModule = nullptr;
    std::unique_ptr<DownloadQueue> m_downloads;
    DownloadPane* m_downloadPane = nullptr;
    std::unique_ptr<DroppedArchives> m_droppedArchives;
    int m_current = 0;
    QAction* m_leaveFullScreen = nullptr;
    bool m_fullScreenReading = false;
    bool m_wasMaximized = false;
};
