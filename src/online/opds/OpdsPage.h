#pragma once

#include "app/OpdsCatalogueRow.h"
#include "online/opds/OpdsBrowser.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;
class OpdsCatalogues;

// The page of one added catalogue: the way back and the breadcrumb, the search box when the
// feed has a search, the navigation entries and books (cover, title, author, summary), the
// paging buttons, and the notice with "重试" in place of the list when a feed fails.
class OpdsPage : public QWidget {
    Q_OBJECT
public:
    struct Login {
        QString user;
        QString password;
    };
    // Asks for the name and password after a refused login; nothing when the user cancels.
    using LoginPrompt = std::function<std::optional<Login>(const QString& message, const QString& user)>;
    using DownloadHandler = std::function<void(const OpdsDownload&)>;

    OpdsPage(QNetworkAccessManager& network, OpdsCatalogues& catalogues, QWidget* parent = nullptr);

    void open(const OpdsCatalogueRow& row);
    OpdsBrowser& browser() { return m_browser; }
    void setLoginPrompt(LoginPrompt prompt) { m_prompt = std::move(prompt); }
    void setDownloadHandler(DownloadHandler handler) { m_download = std::move(handler); }
    // Where the main window's download pane sits while this page is shown.
    QVBoxLayout* paneArea() const { return m_paneArea; }

    // A double-click on the list's row `row`: walks in or downloads.
    void activateRow(int row);

private:
    void fill();
    void showNotice(const QString& notice);
    void askLogin(const QString& message, const QString& user);
    void onDoubleClick(QTreeWidgetItem* item);
    void updateControls();

    OpdsBrowser m_browser;
    OpdsCatalogues& m_catalogues;
    OpdsCatalogueRow m_row;
    LoginPrompt m_prompt;
    DownloadHandler m_download;
    QString m_keyringNotice;

    QPushButton* m_back = nullptr;
    QLabel* m_breadcrumb = nullptr;
    QLineEdit* m_search = nullptr;
    QPushButton* m_searchButton = nullptr;
    QLabel* m_note = nullptr;
    QTreeWidget* m_list = nullptr;
    QWidget* m_noticeBox = nullptr;
    QLabel* m_notice = nullptr;
    QPushButton* m_retry = nullptr;
    QLabel* m_loading = nullptr;
    QPushButton* m_first = nullptr;
    QPushButton* m_previous = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_last = nullptr;
    QVBoxLayout* m_paneArea = nullptr;
};
