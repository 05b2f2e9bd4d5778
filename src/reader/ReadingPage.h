#pragma once

#include <QList>
#include <QWidget>

#include <memory>

class BookOpener;
class BookSearchController;
class BookSearchPane;
class BookmarkController;
class ChapterRulesDialog;
class ChapterListModel;
class FindBar;
class HelpWindow;
class PositionKeeper;
class QAction;
class QFrame;
class QLabel;
class QMenu;
class QToolBar;
class QToolButton;
class QTreeView;
class ReadAloudController;
class ReaderNavigator;
class ReadingController;
class ReadingView;
class VoicePanel;
class WebSpokenPage;
struct AppServices;

// Page 2 of the main window, "阅读窗口": the reading toolbar Toolbar2, the reading view
// WebBrowser1, the splitter with its two buttons, the chapter list ListView2, the find
// bar and the reading menu Menue_ReadPage.
class ReadingPage : public QWidget {
    Q_OBJECT
public:
    ReadingPage(AppServices& services, ReaderNavigator& navigator, QWidget* parent = nullptr);
    ~ReadingPage() override;

    ReadingController& controller() { return *m_controller; }
    ReadingView* view() const { return m_view; }
    QTreeView* chapterList() const { return m_list; }
    ChapterListModel& chapterModel() { return *m_model; }
    FindBar* findBar() const { return m_findBar; }
    QMenu* readMenu() const { return m_readMenu; }
    QMenu* bookmarkMenu() const { return m_bookmarkMenu; }
    // Toolbar2 button by its 1-based index (separators included), nullptr outside 1..14.
    QAction* toolbarButton(int index) const;
    BookmarkController& bookmarks() { return *m_bookmarks; }
    ReadAloudController& readAloud() { return *m_readAloud; }
    VoicePanel* voicePanel() const { return m_voicePanel; }
    // The voice-reading help when no browser could show it; null until then.
    HelpWindow* helpWindow() const { return m_helpWindow; }

    // Form1_Form_Resize, step 4, for this page. The main window is 150 twips wider than
    // its pages, so the page's own width tells where the chapter list starts.
    void relayout();
    bool isChapterListShown() const { return m_listShown; }

    // Toolbar2_ButtonClick by index; Form2's menu items by name.
    void toolbarButtonClick(int index);
    // Form1_spliter_button_Click: 0 hides the chapter list, 1 shows it.
    void spliterButtonClick(int index);
    void addBookmark();
    void gotoBookmark();
    // "回到上次阅读位置": the place the book was left at when it was last read.
    void gotoLastPlace();
    // "全书搜索" (Ctrl+Shift+F): the search pane, its query the text selected in the page.
    void openBookSearch();
    // The search pane; null until first opened.
    BookSearchPane* bookSearchPane() const { return m_searchPane; }
    void openFind();
    void openFile();
    // "章节规则…" for the book at `path` (the listed one by default); a choice applied to the
    // listed book scans it again. The dialog is shown without blocking and returned.
    ChapterRulesDialog* openChapterRules(const QString& path = QString());
    // "设为章节开头" / "取消此章节" on the line the page's menu was opened on.
    void markChapterStart();
    void dropChapterHeading();
    // Opens Menue_ReadPage at a point of the reading view.
    void showReadMenu(const QPoint& viewPos);

    // Paging at the top or bottom of the text: on into the next chapter, or back into the
    // end of the previous one. Quiet at the first and the last chapter.
    void pageAtEdge(int input, bool atTop, bool atBottom);
    // Full-screen reading: only the reading view, without the toolbar and the chapter list.
    void setFocusMode(bool on);
    bool isFocusMode() const { return m_focusMode; }
    // A drop-down button in Toolbar2 and a submenu of Menue_ReadPage for `menu`.
    void addToolMenu(QMenu* menu);

signals:
    // Esc pressed in the reading view.
    void escapePressed();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildToolbar();
    void buildMenus();
    void buildConversionMenu();
    void buildList();
    void fitLabelColumn();
    int titlesWidth();
    void bindReadAloud();
    void placeVoicePanel();
    QStringList chapterLabels() const;
    // The reading view's progress line for the row just shown, stored for the shelf.
    void showProgress(int row);

    AppServices& m_services;
    ReaderNavigator& m_navigator;
    std::unique_ptr<ChapterListModel> m_model;
    ReadingView* m_view;
    std::unique_ptr<ReadingController> m_controller;
    std::unique_ptr<PositionKeeper> m_keeper; // after the controller: goes first, writing the place
    std::unique_ptr<BookmarkController> m_bookmarks;
    std::unique_ptr<BookOpener> m_opener;
    std::unique_ptr<WebSpokenPage> m_spoken;
    std::unique_ptr<ReadAloudController> m_readAloud;
    std::unique_ptr<BookSearchController> m_search;
    BookSearchPane* m_searchPane = nullptr;
    VoicePanel* m_voicePanel = nullptr;
    HelpWindow* m_helpWindow = nullptr;
    QToolBar* m_toolbar = nullptr;
    QList<QAction*> m_buttons; // Toolbar2's fourteen, 0-based here
    QMenu* m_bookmarkMenu = nullptr;
    QMenu* m_readMenu = nullptr;
    QTreeView* m_list = nullptr;
    QFrame* m_spliter = nullptr;
    QToolButton* m_spliterButtons[2] = {nullptr, nullptr};
    FindBar* m_findBar = nullptr;
    QAction* m_loading = nullptr; // the "正在打开电子书…" label in Toolbar2
    QAction* m_spacer = nullptr;  // tool menus go before it
    bool m_focusMode = false;
    bool m_listShown = true;
    // The label column's fitted width, kept until the labels change; -1: to be measured.
    int m_titlesWidth = -1;
};
