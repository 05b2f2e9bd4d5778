#pragma once

#include <QPointer>
#include <QWidget>

class CataloguePage;
class DownloadQueue;
class OpdsCatalogues;
class OpdsPage;
class QComboBox;
class QPushButton;
class QStackedWidget;
struct AppServices;
struct OpdsDownload;

// "网络书库" with its catalogue chooser: "内置书库" (the built-in service's page, as it always
// was, and the default) and the catalogues the user added, each browsed on the OPDS page;
// "添加书库…", "编辑" and "删除" keep the list.
class OnlineLibraryPage : public QWidget {
    Q_OBJECT
public:
    OnlineLibraryPage(AppServices& services, CataloguePage* builtIn, QWidget* parent = nullptr);
    ~OnlineLibraryPage() override;

    // The main window's download queue and its pane, which moves to whichever page is shown.
    void setDownloads(DownloadQueue& queue, QWidget* pane);

    OpdsCatalogues& catalogues() { return *m_catalogues; }
    OpdsPage* opdsPage() const { return m_opds; }
    QComboBox* chooser() const { return m_chooser; }
    // Shows the chooser's entry `index` (0 is "内置书库").
    void choose(int index);

    void queueDownload(const OpdsDownload& download);

private:
    void fillChooser(qint64 selectId);
    void addCatalogue();
    void editCatalogue();
    void removeCatalogue();
    qint64 chosenId() const;

    AppServices& m_services;
    CataloguePage* m_builtIn;
    OpdsCatalogues* m_catalogues = nullptr;
    OpdsPage* m_opds = nullptr;
    QStackedWidget* m_stack = nullptr;
    QComboBox* m_chooser = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_edit = nullptr;
    QPushButton* m_remove = nullptr;
    DownloadQueue* m_queue = nullptr;
    QPointer<QWidget> m_pane;
};
