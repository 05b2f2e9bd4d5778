#pragma once

#include "online/CataloguePaging.h"
#include "online/CatalogueReply.h"
#include "online/CatalogueRow.h"
#include "online/ReplyReading.h"
#include "online/RequestSlot.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class Clock;
class Dialogs;
class LibraryDatabase;
class QNetworkAccessManager;

// What a double-click on a catalogue book hands to the download queue.
struct DownloadOrder {
    QString caption;  // the file name without its last four characters: pane caption and book folder
    QString url;      // service base address + downurl, always on the service's host
    QString fileName; // name of the target file: the last piece of the URL
};

// The online catalogue without its widgets: the query state kept between requests, the
// page information of the last reply, the first-visit flag, the rules of the search and
// paging controls with their messages, and the reading of the catalogue's replies into
// rows. Requests go out through the main window's one request slot; only the newest reply
// is read (GetBookList).
class CatalogueController : public QObject {
    Q_OBJECT
public:
    CatalogueController(const QString& serviceBase, QNetworkAccessManager& network, Dialogs& dialogs, Clock& clock,
                        LibraryDatabase* library, QObject* parent = nullptr);

    // Toolbar3's captions in order, each ending in one blank: "全部资源 ", the ten categories, "上传共享 ".
    static QStringList toolbarCaptions();
    static QString uploadCaption() { return QStringLiteral("上传共享"); }
    // The grey text the search box Text1 shows while empty.
    static QString searchPlaceholder() { return QStringLiteral("输入书名或作者"); }
    static QString noDataMessage() { return QStringLiteral("没有获取到任何数据！"); }

    // Service base address + "/readerserver/listbook.asp".
    QString catalogueAddress() const { return m_address; }

    // The query state: "?action=list" or "?action=search", "&type=" + category, "&key=" + words.
    QString actionPart() const { return m_actionPart; }
    QString typePart() const { return m_typePart; }
    QString keyPart() const { return m_keyPart; }
    bool firstVisitPending() const { return m_firstVisit; }
    // Empty until a reply brought page information, and again after a reply without data.
    const CataloguePaging::Info& pageInfo() const { return m_page; }
    // Label6: current page "/" page count; empty without page information.
    QString pageLabel() const { return m_page ? m_page->label() : QString(); }
    // The rows now in ListView3, in order.
    const QList<CatalogueRow>& rows() const { return m_rows; }
    bool isLoading() const { return m_loading; }
    bool isRequestPending() const { return m_slot.isPending() || m_reading.isBusy(); }
    // What the page says in place of the list when the service gave no answer ("无法连接到网络书库服务器（…）"),
    // with its reason; empty once a request goes out again.
    QString notice() const { return m_notice; }
    QString noticeReason() const { return m_noticeReason; }
    // The notice's "重试": the request that went unanswered, sent again.
    void retry();

    // A category button (caption as on the button; "上传共享" is not a category).
    void categoryClick(const QString& caption);
    // The first showing of the online page loads the first category, once; a category click
    // or a search before it prevents that. Returns whether it loaded.
    bool firstVisit();

    // The search's two refusals (each shows its message; the caller empties Text1 and stops).
    // An accepted search sets the action and key parts and clears the first-visit flag; the
    // caller shows the online page, then sends it with requestSearch().
    bool acceptSearch(const QString& text1);
    void requestSearch();

    // The paging labels and "Go": each requests its page, shows its message, or does nothing
    // while no page information exists. The caller empties Text2 unless nothing happened.
    PagingStep firstPage();
    PagingStep previousPage();
    PagingStep nextPage();
    PagingStep lastPage();
    PagingStep go(const QString& text2);

    // The addresses the requests go to, with the rnt stamp of now.
    QString categoryUrl(const QString& caption) const;
    QString searchUrl() const;
    QString pageUrl(const QString& page) const;

    // Double-click on a row: a title already on the shelf is downloaded again only when the
    // user says so. Returns nothing when the user declined.
    std::optional<DownloadOrder> confirmDownload(const CatalogueRow& row);
    static DownloadOrder downloadOrder(const QString& serviceBase, const QString& downurl);

    // The reply reader of the request slot; the document is read off the GUI thread.
    void GetBookList(const ServiceReply& reply);

signals:
    // LoadingDiv: shown while a request is out.
    void loadingChanged(bool shown);
    // rows() and pageLabel() changed; `complete` when the whole reply was read (the list takes
    // the focus then).
    void listRead(bool complete);
    void noticeChanged(const QString& notice);

private:
    // `url` builds the address with the stamp of the moment, so a retry is stamped anew.
    void request(std::function<QString()> url);
    PagingStep act(const PagingStep& step);
    void setLoading(bool shown);
    void setNotice(const QString& notice, const QString& reason = {});
    void takeReading(const ReplyReading::Read<CatalogueReply>& read);

    QString m_serviceBase;
    QString m_address;
    Dialogs& m_dialogs;
    Clock& m_clock;
    LibraryDatabase* m_library;
    RequestSlot m_slot;
    ReplyReading m_reading;
    std::function<QString()> m_lastUrl;
    QString m_notice;
    QString m_noticeReason;

    QString m_actionPart;
    QString m_typePart;
    QString m_keyPart;
    bool m_firstVisit = true;
    CataloguePaging::Info m_page;
    QList<CatalogueRow> m_rows;
    bool m_loading = false;
};
