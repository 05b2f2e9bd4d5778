#include "online/CatalogueController.h"

#include "app/LibraryDatabase.h"
#include "common/SharedRoutines.h"
#include "online/CatalogueReply.h"
#include "online/ReplyDocument.h"
#include "online/ServiceNotice.h"
#include "online/ServiceUrl.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

CatalogueController::CatalogueController(const QString& serviceBase, QNetworkAccessManager& network, Dialogs& dialogs,
                                         Clock& clock, LibraryDatabase* library, QObject* parent)
    : QObject(parent), m_serviceBase(serviceBase),
      m_address(serviceBase + QStringLiteral("/readerserver/listbook.asp")), m_dialogs(dialogs), m_clock(clock),
      m_library(library), m_slot(network)
{
    connect(&m_slot, &RequestSlot::answered, this, &CatalogueController::GetBookList);
}

QStringList CatalogueController::toolbarCaptions()
{
    return {QStringLiteral("全部资源 "), QStringLiteral("武侠仙侠 "), QStringLiteral("玄幻修真 "),
            QStringLiteral("都市言情 "), QStringLiteral("游戏动漫 "), QStringLiteral("历史军事 "),
            QStringLiteral("推理灵异 "), QStringLiteral("纪实文学 "), QStringLiteral("学习资料 "),
            QStringLiteral("管理哲学 "), QStringLiteral("其他分类 "), QStringLiteral("上传共享 ")};
}

QString CatalogueController::categoryUrl(const QString& caption) const
{
    return withRnt(m_address + QStringLiteral("?action=list&type=") + queryValue(caption.trimmed()), m_clock.now());
}

QString CatalogueController::searchUrl() const
{
    return withRnt(m_address + QStringLiteral("?action=search") + m_keyPart, m_clock.now());
}

QString CatalogueController::pageUrl(const QString& page) const
{
    return withRnt(m_address + m_actionPart + m_typePart + m_keyPart + QStringLiteral("&page=") + queryValue(page),
                   m_clock.now());
}

void CatalogueController::categoryClick(const QString& caption)
{
    const QString category = caption.trimmed();
    if (category == uploadCaption())
        return;
    m_actionPart = QStringLiteral("?action=list");
    m_typePart = QStringLiteral("&type=") + queryValue(category);
    request([this, category] { return categoryUrl(category); });
    m_firstVisit = false;
}

bool CatalogueController::firstVisit()
{
    if (!m_firstVisit)
        return false;
    m_firstVisit = false;
    categoryClick(toolbarCaptions().first());
    return true;
}

bool CatalogueController::acceptSearch(const QString& text1)
{
    const QString words = text1.trimmed();
    // Characters, not UTF-16 units: one rare character is still one character.
    if (words.toUcs4().size() < 2) {
        m_dialogs.message(QStringLiteral("请输入至少2位的关键字进行搜索！"), Dialogs::programTitle(),
                          Dialogs::Exclamation);
        return false;
    }
    if (text1 == searchPlaceholder()) {
        m_dialogs.message(QStringLiteral("请输入一个正确的关键字！"), Dialogs::programTitle(), Dialogs::Exclamation);
        return false;
    }
    m_actionPart = QStringLiteral("?action=search");
    m_keyPart = QStringLiteral("&key=") + queryValue(words);
    m_firstVisit = false;
    return true;
}

void CatalogueController::requestSearch()
{
    request([this] { return searchUrl(); });
}

PagingStep CatalogueController::firstPage()
{
    return act(CataloguePaging::first(m_page));
}

PagingStep CatalogueController::previousPage()
{
    return act(CataloguePaging::previous(m_page));
}

PagingStep CatalogueController::nextPage()
{
    return act(CataloguePaging::next(m_page));
}

PagingStep CatalogueController::lastPage()
{
    return act(CataloguePaging::last(m_page));
}

PagingStep CatalogueController::go(const QString& text2)
{
    return act(CataloguePaging::go(m_page, text2));
}

PagingStep CatalogueController::act(const PagingStep& step)
{
    if (step.kind == PagingStep::Kind::Request)
        request([this, page = step.page] { return pageUrl(page); });
    else if (step.kind == PagingStep::Kind::Refuse)
        m_dialogs.message(step.message, Dialogs::programTitle(), Dialogs::Exclamation);
    return step;
}

void CatalogueController::request(std::function<QString()> url)
{
    // A reading still under way belongs to an older request: its rows never arrive.
    m_reading.drop();
    setNotice({});
    setLoading(true);
    m_lastUrl = std::move(url);
    m_slot.get(m_lastUrl());
}

void CatalogueController::retry()
{
    if (m_lastUrl && !isRequestPending())
        request(m_lastUrl);
}

void CatalogueController::setNotice(const QString& notice, const QString& reason)
{
    if (m_notice == notice && m_noticeReason == reason)
        return;
    m_notice = notice;
    m_noticeReason = reason;
    emit noticeChanged(notice);
}

void CatalogueController::setLoading(bool shown)
{
    if (m_loading == shown)
        return;
    m_loading = shown;
    emit loadingChanged(shown);
}

void CatalogueController::GetBookList(const ServiceReply& reply)
{
    // A failed wait ends without a message box; the list keeps its rows and the loading notice
    // goes, so the page never looks busy after the service stopped answering. When no answer
    // came at all the page says so in place of the list.
    if (!reply.accepted()) {
        setLoading(false);
        setNotice(ServiceNotice::text(reply, m_serviceBase), ServiceNotice::reason(reply));
        return;
    }
    m_reading.start(this, reply, &CatalogueReply::read,
                    [this](const ReplyReading::Read<CatalogueReply>& read) { takeReading(read); });
}

void CatalogueController::takeReading(const ReplyReading::Read<CatalogueReply>& reading)
{
    if (!reading.result) {
        setLoading(false);
        showReadingFailure(m_dialogs, reading.readyState);
        return;
    }
    const CatalogueReply& read = *reading.result;
    // Everything is settled before a message box can let other events in.
    m_rows = read.rows;
    switch (read.outcome) {
    case CatalogueReply::Outcome::Read:
        m_page = read.page;
        setLoading(false);
        emit listRead(true);
        break;
    case CatalogueReply::Outcome::NoData:
        // No page to move within: the paging controls rest until the next list arrives.
        m_page.reset();
        setLoading(false);
        emit listRead(false);
        m_dialogs.message(noDataMessage(), Dialogs::programTitle(), Dialogs::Exclamation);
        break;
    case CatalogueReply::Outcome::Fault:
        setLoading(false);
        emit listRead(false);
        break;
    }
}

std::optional<DownloadOrder> CatalogueController::confirmDownload(const CatalogueRow& row)
{
    if (m_library && m_library->isOpen() && m_library->bookByName(row.name)) {
        const Answer answer = m_dialogs.message(
            QStringLiteral("《") + row.name + QStringLiteral("》已经存在你的书架中！ 是否重新下载并更新本书TXT文件？"),
            QStringLiteral("确认下载"), Dialogs::YesNo);
        if (answer != Answer::Yes)
            return std::nullopt;
    }
    return downloadOrder(m_serviceBase, row.downurl);
}

DownloadOrder CatalogueController::downloadOrder(const QString& serviceBase, const QString& downurl)
{
    DownloadOrder order;
    const QString name = getPathFileName(downurl);
    order.caption = name;
    if (!name.isEmpty())
        order.caption.remove(name.right(4));
    order.url = serviceFileUrl(serviceBase, downurl);
    order.fileName = getUrlFileName(order.url);
    return order;
}
