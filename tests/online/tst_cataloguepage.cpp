// The online page as the user meets it: the category toolbar, the list with its colours,
// tool tip and arrow keys, the paging bar, the download pane's toggle, the double-click and,
// in the main window, the first visit and the search panel.
#include "../reader/ReadingFixture.h"
#include "RecordingHttpServer.h"
#include "desktop/MainWindow.h"
#include "online/CataloguePage.h"
#include "online/CatalogueReply.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolBar>
#include <QToolTip>
#include <QTreeWidget>
#include <QtTest>

namespace {

const QByteArray kAll = "%E5%85%A8%E9%83%A8%E8%B5%84%E6%BA%90"; // 全部资源
const QByteArray kRnt = "&rnt=2009/3/7%208:05:00";

QByteArray listXml(int firstId, int count, const QString& pageinfo)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><booklist>";
    for (int id = firstId; id < firstId + count; ++id)
        xml += QStringLiteral("<bookinfo><id>%1</id><name>书%1</name><class>都市言情</class><author>林</author>"
                              "<statue>全集</statue><ftime>2026-01-02 03:04:05</ftime><size>100</size>"
                              "<downurl>/files/%1/书%1.txt</downurl></bookinfo>")
                   .arg(id)
                   .toUtf8();
    if (!pageinfo.isEmpty())
        xml += "<otherinfo><pageinfo>" + pageinfo.toUtf8() + "</pageinfo></otherinfo>";
    return xml + "</booklist>";
}

// Answers page n of a three-page list, twenty rows a page; the page comes from the address.
RecordingHttpServer::Answer threePages(const RecordingHttpServer::Request& request)
{
    int page = 1;
    const int at = request.target.indexOf("&page=");
    if (at >= 0)
        page = request.target.mid(at + 6).split('&').first().toInt();
    RecordingHttpServer::Answer a;
    a.body = listXml(page * 100, 20,
                     QStringLiteral("3,60,%1,%2,%3").arg(page).arg(std::max(1, page - 1)).arg(std::min(3, page + 1)));
    return a;
}

} // namespace

class TestCataloguePage : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controls();
    void categoryFillsTheList();
    void pagingBarAndArrowKeys();
    void goBox_data();
    void goBox();
    void downloadPaneToggle();
    void doubleClickHandsTheBookToTheQueue();
    void doubleClickOnABookOnTheShelf_data();
    void doubleClickOnABookOnTheShelf();
    void uploadButton();
    void deadServiceIsToldInThePage();
    void hostilePageIsBounded();

    void firstVisitToTheOnlinePage();
    void searchBeforeTheFirstVisit();
    void searchPanelPlaceholder();

private:
    CataloguePage* page() const { return m_page.get(); }
    template <typename T> T* child(const char* name) const { return m_page->findChild<T*>(QLatin1String(name)); }
    void loadFirstPage();
    QTreeWidget* list() const { return child<QTreeWidget>("ListView3"); }
    QPoint rowCentre(int row) const;

    std::unique_ptr<ReadingFixture> m_fx;
    std::unique_ptr<RecordingHttpServer> m_server;
    RecordingNavigator m_navigator;
    std::unique_ptr<CataloguePage> m_page;
};

void TestCataloguePage::init()
{
    m_fx = std::make_unique<ReadingFixture>();
    m_server = std::make_unique<RecordingHttpServer>();
    QVERIFY(m_server->listen());
    m_server->setResponder(threePages);
    m_fx->state.serviceBase = m_server->base();
    m_navigator.calls.clear();
    m_page = std::make_unique<CataloguePage>(m_fx->services, m_navigator);
    m_page->resize(900, 600);
    m_page->show();
}

void TestCataloguePage::cleanup()
{
    m_page.reset();
    m_server.reset();
    m_fx.reset();
}

void TestCataloguePage::loadFirstPage()
{
    page()->categoryButton(1)->trigger();
    QTRY_COMPARE(list()->topLevelItemCount(), 20);
}

QPoint TestCataloguePage::rowCentre(int row) const
{
    return list()->visualItemRect(list()->topLevelItem(row)).center();
}

void TestCataloguePage::controls()
{
    const QStringList captions = {"全部资源 ", "武侠仙侠 ", "玄幻修真 ", "都市言情 ", "游戏动漫 ", "历史军事 ",
                                  "推理灵异 ", "纪实文学 ", "学习资料 ", "管理哲学 ", "其他分类 ", "上传共享 "};
    auto* toolbar = child<QToolBar>("Toolbar3");
    QVERIFY(toolbar);
    QCOMPARE(toolbar->actions().size(), 12);
    for (int i = 1; i <= 12; ++i) {
        QCOMPARE(page()->categoryButton(i)->text(), captions[i - 1]);
        QVERIFY(!page()->categoryButton(i)->isChecked());
    }
    QStringList headers;
    for (int c = 0; c < list()->columnCount(); ++c)
        headers << list()->headerItem()->text(c);
    QCOMPARE(headers, QStringList({"书号", "分类", "书名", "作者", "状态", "更新时间", "大小", "操作", "下载地址"}));
    QCOMPARE(child<QLabel>("Label2")->text(), QStringLiteral("首页"));
    QCOMPARE(child<QLabel>("Label3")->text(), QStringLiteral("上一页"));
    QCOMPARE(child<QLabel>("Label4")->text(), QStringLiteral("下一页"));
    QCOMPARE(child<QLabel>("Label5")->text(), QStringLiteral("最后页"));
    QCOMPARE(child<QPushButton>("Command3")->text(), QStringLiteral("Go"));
    QVERIFY(child<QLineEdit>("Text2"));
    QVERIFY(child<QWidget>("Picture3")->isVisible());
    QCOMPARE(child<QLabel>("Label6")->text(), QString());
    QCOMPARE(child<QLabel>("Image1")->toolTip(), QStringLiteral("显示下载面版"));
    QVERIFY(!child<QLabel>("LoadingDiv")->isVisible());
}

void TestCataloguePage::categoryFillsTheList()
{
    auto* loading = child<QLabel>("LoadingDiv");
    page()->categoryButton(1)->trigger();
    QVERIFY(loading->isVisible());
    QTRY_COMPARE(list()->topLevelItemCount(), 20);
    QVERIFY(!loading->isVisible());
    QCOMPARE(m_server->last().target, "/readerserver/listbook.asp?action=list&type=" + kAll + kRnt);
    QCOMPARE(child<QLabel>("Label6")->text(), QStringLiteral("1/3"));

    const QTreeWidgetItem* first = list()->topLevelItem(0);
    QStringList texts;
    for (int c = 0; c < 9; ++c)
        texts << first->text(c);
    QCOMPARE(texts, QStringList({"100", "都市言情", "书100", "林", "全集", "2026/1/2", "100 KB", "双击下载",
                                 "/files/100/书100.txt"}));
    QCOMPARE(first->foreground(2).color(), QColor(198, 79, 6));
    QCOMPARE(first->foreground(7).color(), QColor(0, 0, 255));
    QCOMPARE(page()->rows().size(), 20);
    QCOMPARE(page()->rows().at(3).name, QStringLiteral("书103"));

    // The pointer over a row sets the list's tool tip.
    QTest::mouseMove(list()->viewport(), rowCentre(3));
    QTRY_COMPARE(list()->toolTip(), QStringLiteral("《书103》  全集"));
    QHelpEvent help(QEvent::ToolTip, rowCentre(3), list()->viewport()->mapToGlobal(rowCentre(3)));
    QApplication::sendEvent(list()->viewport(), &help);
    QTRY_COMPARE(QToolTip::text(), QStringLiteral("《书103》  全集"));

    // Another category: its button stays pressed, the first one no longer.
    page()->categoryButton(4)->trigger();
    QVERIFY(page()->categoryButton(4)->isChecked());
    QVERIFY(!page()->categoryButton(1)->isChecked());
    QVERIFY(m_server->waitForRequests(2));
    QVERIFY(m_server->last().target.contains("type=%E9%83%BD%E5%B8%82%E8%A8%80%E6%83%85&rnt="));
}

void TestCataloguePage::pagingBarAndArrowKeys()
{
    // Before any list the controls do nothing.
    QTest::mouseClick(child<QLabel>("Label4"), Qt::LeftButton);
    QTest::keyClick(list(), Qt::Key_Right);
    QTest::qWait(50);
    QCOMPARE(m_server->requests().size(), 0);
    QCOMPARE(m_fx->dialogs.count(), 0);

    loadFirstPage();
    QTest::keyClick(list(), Qt::Key_Right);
    QTRY_COMPARE(child<QLabel>("Label6")->text(), QStringLiteral("2/3"));
    QVERIFY(m_server->last().target.contains("&page=2&rnt="));
    QTest::mouseClick(child<QLabel>("Label5"), Qt::LeftButton);
    QTRY_COMPARE(child<QLabel>("Label6")->text(), QStringLiteral("3/3"));
    QTest::keyClick(list(), Qt::Key_Right);
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("后面没有了，当前已是最后一页!"));
    QTest::keyClick(list(), Qt::Key_Left);
    QTRY_COMPARE(child<QLabel>("Label6")->text(), QStringLiteral("2/3"));
    QTest::mouseClick(child<QLabel>("Label2"), Qt::LeftButton);
    QTRY_COMPARE(child<QLabel>("Label6")->text(), QStringLiteral("1/3"));
    QCOMPARE(list()->topLevelItem(0)->text(0), QStringLiteral("100"));
    QTest::mouseClick(child<QLabel>("Label3"), Qt::LeftButton);
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("前面没有了，当前已是第一页!"));
    QCOMPARE(m_fx->dialogs.count(), 2);
    QCOMPARE(m_server->requests().size(), 5);
}

void TestCataloguePage::goBox_data()
{
    QTest::addColumn<bool>("listed");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message"); // empty: no message
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("boxAfter");
    QTest::newRow("before any list") << false << "2"
                                     << ""
                                     << ""
                                     << "2";
    QTest::newRow("a word") << true << "abc"
                            << "输入的页码有误,请重新输入!"
                            << "1/3"
                            << "";
    QTest::newRow("beyond the last page") << true << "9"
                                          << "输入的页码有误,一共才3页,请重新输入!"
                                          << "1/3"
                                          << "";
    QTest::newRow("fraction") << true << "2.7"
                              << ""
                              << "2/3"
                              << "";
}

void TestCataloguePage::goBox()
{
    QFETCH(bool, listed);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, label);
    QFETCH(QString, boxAfter);
    if (listed)
        loadFirstPage();
    auto* box = child<QLineEdit>("Text2");
    box->setText(typed);
    QTest::mouseClick(child<QPushButton>("Command3"), Qt::LeftButton);
    QCOMPARE(box->text(), boxAfter);
    QCOMPARE(m_fx->dialogs.count(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(m_fx->dialogs.last().text, message);
    QTRY_COMPARE(child<QLabel>("Label6")->text(), label);
}

void TestCataloguePage::downloadPaneToggle()
{
    auto* pane = new QWidget;
    pane->setObjectName(QStringLiteral("ListView4"));
    page()->setDownloadPane(pane);
    auto* image = child<QLabel>("Image1");
    QVERIFY(!pane->isVisible());
    const int heightAlone = list()->height();

    QTest::mouseClick(image, Qt::LeftButton);
    QVERIFY(pane->isVisible());
    QVERIFY(page()->isDownloadPaneShown());
    QCOMPARE(image->toolTip(), QStringLiteral("隐藏下载面版"));
    QCOMPARE(heightAlone - list()->height(), 120); // 1800 twips
    QCOMPARE(pane->geometry(), QRect(0, page()->height() - 120, page()->width(), 120));
    QVERIFY(child<QWidget>("Picture3")->geometry().bottom() <= pane->y());
    QVERIFY(image->y() > list()->geometry().bottom());

    QTest::mouseClick(image, Qt::LeftButton);
    QVERIFY(!pane->isVisible());
    QCOMPARE(image->toolTip(), QStringLiteral("显示下载面版"));
    QCOMPARE(list()->height(), heightAlone);
}

void TestCataloguePage::doubleClickHandsTheBookToTheQueue()
{
    QStringList handed;
    page()->setDownloadHandler([&](const QString& caption, const QString& url, const QString& fileName) {
        handed << caption << url << fileName;
    });
    // An empty list: nothing happens.
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    QVERIFY(handed.isEmpty());
    QVERIFY(!page()->isDownloadPaneShown());

    loadFirstPage();
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, rowCentre(2));
    QCOMPARE(handed, QStringList({"书102", m_server->base() + "/files/102/书102.txt", "书102.txt"}));
    QVERIFY(page()->isDownloadPaneShown());
    QCOMPARE(child<QLabel>("Image1")->toolTip(), QStringLiteral("隐藏下载面版"));
    QCOMPARE(m_fx->dialogs.count(), 0);
}

void TestCataloguePage::doubleClickOnABookOnTheShelf_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("handed");
    QTest::newRow("download again") << int(Answer::Yes) << true;
    QTest::newRow("keep the shelf's copy") << int(Answer::No) << false;
}

void TestCataloguePage::doubleClickOnABookOnTheShelf()
{
    QFETCH(int, answer);
    QFETCH(bool, handed);
    int calls = 0;
    page()->setDownloadHandler([&](const QString&, const QString&, const QString&) { ++calls; });
    m_fx->library.insertBook(QStringLiteral("都市言情"), QStringLiteral("书101"), QStringLiteral("林"),
                             m_fx->dir.filePath(QStringLiteral("书101.txt")));
    loadFirstPage();
    m_fx->dialogs.answerNext(static_cast<Answer>(answer));
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, rowCentre(1));
    QCOMPARE(m_fx->dialogs.count(), 1);
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("确认下载"));
    QCOMPARE(calls, handed ? 1 : 0);
    QCOMPARE(page()->isDownloadPaneShown(), handed);
}

void TestCataloguePage::uploadButton()
{
    QSignalSpy upload(page(), &CataloguePage::uploadRequested);
    page()->categoryButton(12)->trigger();
    QCOMPARE(upload.count(), 1);
    QVERIFY(!page()->categoryButton(12)->isChecked());
    QTest::qWait(50);
    QCOMPARE(m_server->requests().size(), 0);
    QVERIFY(page()->controller().firstVisitPending());
}

void TestCataloguePage::deadServiceIsToldInThePage()
{
    loadFirstPage();
    auto* notice = child<QLabel>("ServiceNotice");
    QVERIFY(notice && !notice->isVisible());
    m_server->setResponder([](const RecordingHttpServer::Request&) {
        RecordingHttpServer::Answer a;
        a.hangUp = true;
        return a;
    });
    QTest::mouseClick(child<QLabel>("Label4"), Qt::LeftButton);
    QTRY_VERIFY(notice->isVisible());
    QVERIFY(notice->text().contains(QStringLiteral("无法连接到网络书库服务器（") + m_server->base() +
                                    QStringLiteral("）")));
    QVERIFY(notice->text().contains(QStringLiteral(">重试</a>")));
    QVERIFY(!child<QLabel>("LoadingDiv")->isVisible());
    QCOMPARE(m_fx->dialogs.count(), 0);
    QCOMPARE(list()->topLevelItemCount(), 20); // the rows of the last answer stay

    // The service is back: "重试" asks for the same page again.
    m_server->setResponder(threePages);
    emit notice->linkActivated(QStringLiteral("retry"));
    QTRY_COMPARE(child<QLabel>("Label6")->text(), QStringLiteral("2/3"));
    QVERIFY(m_server->last().target.contains("&page=2&"));
    QVERIFY(!notice->isVisible());
}

void TestCataloguePage::hostilePageIsBounded()
{
    m_server->setResponder([](const RecordingHttpServer::Request&) {
        RecordingHttpServer::Answer a;
        a.body = listXml(1, 600, QStringLiteral("1,1,1,1,1"));
        a.body.replace("<name>书1</name>", "<name>" + QByteArray("长").repeated(1'000'000) + "</name>");
        return a;
    });
    page()->categoryButton(1)->trigger();
    QTRY_COMPARE(child<QLabel>("Label6")->text(), QStringLiteral("1/1"));
    QCOMPARE(list()->topLevelItemCount(), CatalogueReply::MaxRows);
    const QString name = list()->topLevelItem(0)->text(2);
    QCOMPARE(name.size(), kMaxShownChars);
    QVERIFY(name.endsWith(QChar(0x2026)));
    QCOMPARE(page()->rows().at(0).downurl, "/files/1/书1.txt");
}

void TestCataloguePage::firstVisitToTheOnlinePage()
{
    m_page.reset();
    MainWindow window(m_fx->services);
    window.show();
    CataloguePage* online = window.onlinePage();
    // The built-in catalogue sits in page 3 below the chooser of catalogues.
    QVERIFY(window.page(3)->isAncestorOf(online));
    window.selectToolBar(1);
    QCOMPARE(m_server->requests().size(), 0);

    window.toolbarButton(3)->trigger();
    QCOMPARE(window.currentPage(), 3);
    QVERIFY(online->categoryButton(1)->isChecked());
    QVERIFY(m_server->waitForRequests(1));
    QCOMPARE(m_server->last().target, "/readerserver/listbook.asp?action=list&type=" + kAll + kRnt);
    QTRY_COMPARE(online->rows().size(), 20);

    // Later visits show the list as it was.
    online->categoryButton(2)->trigger();
    QVERIFY(m_server->waitForRequests(2));
    window.selectToolBar(2);
    window.selectToolBar(3);
    QTest::qWait(100);
    QCOMPARE(m_server->requests().size(), 2);
    QVERIFY(online->categoryButton(2)->isChecked());

    // The page fills page 3 (under the chooser's bar) and follows the window's size.
    QTRY_COMPARE(online->width(), window.page(3)->width());
    QVERIFY(online->height() >= window.page(3)->height() - 40);
    const int before = online->findChild<QTreeWidget*>(QStringLiteral("ListView3"))->height();
    window.resize(window.width(), window.height() + 60);
    QTRY_COMPARE(online->findChild<QTreeWidget*>(QStringLiteral("ListView3"))->height(), before + 60);
}

void TestCataloguePage::searchBeforeTheFirstVisit()
{
    m_page.reset();
    MainWindow window(m_fx->services);
    window.show();
    window.selectToolBar(2);
    auto* box = window.findChild<QLineEdit*>(QStringLiteral("Text1"));
    auto* button = window.findChild<QPushButton*>(QStringLiteral("Command1"));

    // The grey words themselves, then one character: refused, the box emptied, nothing sent.
    QCOMPARE(box->text(), QStringLiteral("输入书名或作者"));
    button->click();
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("请输入一个正确的关键字！"));
    QCOMPARE(box->text(), QString());
    box->setText(QStringLiteral(" 剑 "));
    button->click();
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("请输入至少2位的关键字进行搜索！"));
    QCOMPARE(box->text(), QString());
    QCOMPARE(window.currentPage(), 2);

    // A search moves to the online page and takes the first visit's place.
    box->setText(QStringLiteral("三国 演义"));
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(window.currentPage(), 3);
    QVERIFY(m_server->waitForRequests(1));
    QCOMPARE(m_server->last().target,
             "/readerserver/listbook.asp?action=search&key=%E4%B8%89%E5%9B%BD%20%E6%BC%94%E4%B9%89" + kRnt);
    QTest::qWait(100);
    QCOMPARE(m_server->requests().size(), 1);
    QVERIFY(!window.onlinePage()->categoryButton(1)->isChecked());
    QCOMPARE(box->text(), QStringLiteral("三国 演义"));
    QCOMPARE(m_fx->dialogs.count(), 2);
}

void TestCataloguePage::searchPanelPlaceholder()
{
    m_page.reset();
    MainWindow window(m_fx->services);
    auto* box = window.findChild<QLineEdit*>(QStringLiteral("Text1"));
    const QColor grey(128, 128, 128);
    QCOMPARE(box->palette().color(QPalette::Text), grey);

    QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
    QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
    QApplication::sendEvent(box, &in);
    QCOMPARE(box->text(), QString());
    QCOMPARE(box->palette().color(QPalette::Text), QColor(Qt::black));
    QApplication::sendEvent(box, &out);
    QCOMPARE(box->text(), QStringLiteral("输入书名或作者"));
    QCOMPARE(box->palette().color(QPalette::Text), grey);

    // Typed words stay when the focus leaves.
    QApplication::sendEvent(box, &in);
    box->setText(QStringLiteral("江湖"));
    QApplication::sendEvent(box, &out);
    QCOMPARE(box->text(), QStringLiteral("江湖"));
    QCOMPARE(box->palette().color(QPalette::Text), QColor(Qt::black));

    // A refused search leaves the box empty; what is typed next shows in black.
    QApplication::sendEvent(box, &out);
    box->setText(QStringLiteral("输入书名或作者"));
    window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QCOMPARE(box->text(), QString());
    QApplication::sendEvent(box, &in);
    QCOMPARE(box->palette().color(QPalette::Text), QColor(Qt::black));
}

QTEST_MAIN(TestCataloguePage)
#include "tst_cataloguepage.moc"
