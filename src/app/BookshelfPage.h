#pragma once

#include "app/BookshelfActions.h"
#include "app/BookshelfController.h"

#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <optional>

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
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

    BookshelfController& controller() { return m_controller; }
    QMenu* bookMenu() const { return m_bookMenu; }
    std::optional<ShelfBook> selectedBook() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildTree();
    void buildList();
    void buildPagingBar();
    void buildMenu();
    void fillList();

    void TreeView1_Click(QTreeWidgetItem* node);
    void paintTreeSelection();
    void ListView1_MouseDown(Qt::MouseButton button, const QPoint& pos, const QPoint& globalPos);
    void ListView1_DblClick();
    void Command4_Click();
    void onPagingLabel(QObject* label);

    BookshelfController m_controller;
    BookshelfActions m_actions;
    ReaderNavigator& m_navigator;

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
    QPointer<QWidget> m_notice;
    QMenu* m_bookMenu = nullptr;
    QPoint m_pressPos{-1, -1};
};
