#pragma once

#include "online/CatalogueController.h"

#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <functional>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolBar;
class QTreeWidget;
class ReaderNavigator;
struct AppServices;

// Page 3 of the main window, the online library: the category toolbar Toolbar3, the
// catalogue list ListView3, the paging bar Picture3 under it, the toggle Image1 and the
// download pane, which the download queue supplies. The page binds the catalogue controller
// to its widgets; the rules live in the controller.
class CataloguePage : public QWidget {
    Q_OBJECT
public:
    // DownloadaFile (caption, URL, target file name), run by the download queue.
    using DownloadHandler = std::function<void(const QString& caption, const QString& url, const QString& fileName)>;

    CataloguePage(AppServices& services, ReaderNavigator& navigator, QWidget* parent = nullptr);

    CatalogueController& controller() { return m_controller; }
    // The rows now in ListView3; the download queue finds a finished download's row among them.
    const QList<CatalogueRow>& rows() const { return m_controller.rows(); }

    // The download pane (ListView4) is placed and toggled here; the queue owns what is in it.
    void setDownloadPane(QWidget* pane);
    void showDownloadPane();
    bool isDownloadPaneShown() const { return m_paneShown; }
    void setDownloadHandler(DownloadHandler handler) { m_downloadHandler = std::move(handler); }

    // The main window shows the page: its first showing loads "全部资源".
    void showFirstVisit();
    // Command1 "搜书" with the text of the search box Text1. Returns false when the search was
    // refused (its message shown); the caller then empties the box.
    bool Command1_Click(const QString& text1);

    // The page's part of the main window's layout.
    void relayout();

    // Toolbar3's buttons, 1 to 12.
    QAction* categoryButton(int index) const;

signals:
    // "上传共享": the user panel's upload page.
    void uploadRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildToolbar();
    void buildList();
    void buildPagingBar();
    void fillList();
    void applyPaneState();

    void Toolbar3_ButtonClick(QAction* button);
    void ListView3_DblClick(const QPoint& pos);
    void ListView3_MouseMove(const QPoint& pos);
    void onPagingLabel(QObject* label);
    void Command3_Click();
    void Image1_Click();

    ReaderNavigator& m_navigator;
    CatalogueController m_controller;
    DownloadHandler m_downloadHandler;

    QToolBar* m_toolbar = nullptr;
    QList<QAction*> m_buttons;
    QTreeWidget* m_list = nullptr;
    QWidget* m_pagingBar = nullptr;
    QLabel* m_label2 = nullptr;
    QLabel* m_label3 = nullptr;
    QLabel* m_label4 = nullptr;
    QLabel* m_label5 = nullptr;
    QLabel* m_label6 = nullptr;
    QLineEdit* m_text2 = nullptr;
    QPushButton* m_command3 = nullptr;
    QLabel* m_image1 = nullptr;
    QLabel* m_loadingDiv = nullptr;
    QLabel* m_notice = nullptr;
    QPointer<QWidget> m_pane;
    bool m_paneShown = false;
};
