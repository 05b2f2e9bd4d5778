#pragma once

#include "app/BookshelfActions.h"
#include "app/BookshelfController.h"
#include "app/ShelfImport.h"

#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class Dialogs;
class Pickers;
struct AppServices;

// The bookshelf page: category tree (TreeView1) on the left, the books of the chosen
// category (ListView1) 40 to a page on the right, the paging bar under the list, and the
// notice pane (WebBrowser2) under the tree once start-up names a notice page.
class BookshelfPage : public QWidget {
    Q_OBJECT

public:
    // What a list row shows of its book; the menu items and the double-click act on these.
    struct ShelfBook {
        QString id;
        QString name;
        QString marke;
        QString path;
    };

    BookshelfPage(AppServices& services, ReaderNavigator& navigator, QWidget* parent = nullptr);

    // ReadList with the shelf query at the page the user is on. The tree is built by the
    // constructor, the list is read only from here.
    void readList();
    // The page's part of the main window's layout; sizes in twips are divided by 15.
    void relayout();
    // Adopts the notice browser (a web view, made by the caller) as WebBrowser2, hidden.
    void setNoticeView(QWidget* view);
    // Shows the notice page, only when `url` holds more than blanks.
    void showNotice(const QString& url);

    // Archives dropped on the shelf (ZIP, RAR, 7z) go here with the category they are for;
    // without a handler they are ignored.
    using ArchiveHandler = std::function<void(const QString& archive, const QString& category)>;
    void setArchiveHandler(ArchiveHandler handler) { m_archiveHandler = std::move(handler); }
    // The category books added here go into: the chosen node's, "其他分类" for the root.
    QString importCategory() const;
    // Adds dropped or chosen files and folders; archives go to the archive handler.
    void addPaths(const QStringList& paths);
    // "导入文件夹".
    void importFolder();
    ShelfImport& shelfImport() { return m_import; }

    BookshelfController& controller() { return m_controller; }
    QMenu* bookMenu() const { return m_bookMenu; }
    std::optional<ShelfBook> selectedBook() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildTree();
    void buildList();
    void buildPagingBar();
    void buildMenu();
    void fillList();
    void importFinished(const ShelfImport::Outcome& outcome, bool report);

    void TreeView1_Click(QTreeWidgetItem* node);
    void paintTreeSelection();
    void ListView1_MouseDown(Qt::MouseButton button, const QPoint& pos, const QPoint& globalPos);
    void ListView1_DblClick();
    void Command4_Click();
    void onPagingLabel(QObject* label);

    BookshelfController m_controller;
    BookshelfActions m_actions;
    ReaderNavigator& m_navigator;
    Dialogs& m_dialogs;
    Pickers& m_pickers;
    ShelfImport m_import;
    ArchiveHandler m_archiveHandler;
    bool m_reportImport = false;

    QTreeWidget* m_tree = nullptr;
    QTreeWidgetItem* m_nodeBeforePress = nullptr; // the chosen node when the last press began
    QTreeWidget* m_list = nullptr;
    QWidget* m_pagingBar = nullptr;
    QLabel* m_label7 = nullptr;
    QLabel* m_label8 = nullptr;
    QLabel* m_label9 = nullptr;
    QLabel* m_label10 = nullptr;
    QLabel* m_label11 = nullptr;
    QLineEdit* m_text3 = nullptr;
    QPushButton* m_command4 = nullptr;
    QPushButton* m_command2 = nullptr;
    QLabel* m_loadingDiv = nullptr;
    QLineEdit* m_filterBox = nullptr;
    QPushButton* m_importButton = nullptr;
    QProgressBar* m_importProgress = nullptr;
    QPushButton* m_importCancel = nullptr;
    QPointer<QWidget> m_notice;
    QMenu* m_bookMenu = nullptr;
    QPoint m_pressPos{-1, -1};
};
