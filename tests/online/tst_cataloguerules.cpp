// The catalogue's rules without a network: paging and "Go", reading replies into rows, the
// list's texts, what a double-click hands to the queue, and the page's layout.
#include "online/CatalogueController.h"
#include "online/CatalogueLayout.h"
#include "online/CataloguePaging.h"
#include "online/CatalogueReply.h"
#include "online/ReplyDocument.h"
#include "online/ServiceNotice.h"
#include "online/ServiceUrl.h"

#include <QTest>

namespace {

CataloguePaging::Info pages(const QString& pageinfo)
{
    return CataloguePageInfo::parse(pageinfo);
}

QByteArray record(int id, const QString& skip = QString())
{
    const QList<QPair<QString, QString>> fields = {
        {"id", QString::number(id)},           {"name", QStringLiteral("书%1").arg(id)},
        {"class", QStringLiteral("武侠仙侠")}, {"author", QStringLiteral("作者")},
        {"statue", QStringLiteral("连载")},    {"ftime", QStringLiteral("2026-03-07 08:05:00")},
        {"size", QStringLiteral("2048")},      {"downurl", QStringLiteral("/files/%1/书%1.txt").arg(id)}};
    QString xml = QStringLiteral("<bookinfo>");
    for (const auto& f : fields)
        if (f.first != skip)
            xml += QStringLiteral("<%1>%2</%1>").arg(f.first, f.second);
    return (xml + QStringLiteral("</bookinfo>")).toUtf8();
}

} // namespace

class TestCatalogueRules : public QObject {
    Q_OBJECT

private slots:
    void pagingLabels_data();
    void pagingLabels();
    void go_data();
    void go();
    void readingReplies_data();
    void readingReplies();
    void listTexts();
    void dates_data();
    void dates();
    void downloadOrder_data();
    void downloadOrder();
    void queryValues_data();
    void queryValues();
    void layout();
    void noticeWhenNoAnswerCame_data();
    void noticeWhenNoAnswerCame();
};

void TestCatalogueRules::pagingLabels_data()
{
    QTest::addColumn<QString>("pageinfo");     // empty: no page information yet
    QTest::addColumn<QStringList>("outcomes"); // 首页, 上一页, 下一页, 最后页: "page N", a message or "-"

    QTest::newRow("before any reply") << "" << QStringList{"-", "-", "-", "-"};
    QTest::newRow("only page") << "1,5,1,1,1"
                               << QStringList{"当前已是第一页!", "前面没有了，当前已是第一页!",
                                              "后面没有了，当前已是最后一页!", "当前已是最后一页!"};
    QTest::newRow("first of three") << "3,50,1,1,2"
                                    << QStringList{"当前已是第一页!", "前面没有了，当前已是第一页!", "page 2",
                                                   "page 3"};
    QTest::newRow("middle") << "3,50,2,1,3" << QStringList{"page 1", "page 1", "page 3", "page 3"};
    QTest::newRow("last of three") << "3,50,3,2,3"
                                   << QStringList{"page 1", "page 2", "后面没有了，当前已是最后一页!",
                                                  "当前已是最后一页!"};
}

void TestCatalogueRules::pagingLabels()
{
    QFETCH(QString, pageinfo);
    QFETCH(QStringList, outcomes);
    const CataloguePaging::Info info = pages(pageinfo);
    const PagingStep steps[] = {CataloguePaging::first(info), CataloguePaging::previous(info),
                                CataloguePaging::next(info), CataloguePaging::last(info)};
    for (int i = 0; i < 4; ++i) {
        const PagingStep& s = steps[i];
        const QString got = s.kind == PagingStep::Kind::Request  ? QStringLiteral("page ") + s.page
                            : s.kind == PagingStep::Kind::Refuse ? s.message
                                                                 : QStringLiteral("-");
        QCOMPARE(got, outcomes[i]);
    }
}

void TestCatalogueRules::go_data()
{
    QTest::addColumn<QString>("pageinfo");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("outcome");
    const QString wrong = QStringLiteral("输入的页码有误,请重新输入!");
    const QString outside = QStringLiteral("输入的页码有误,一共才3页,请重新输入!");
    QTest::newRow("nothing yet") << ""
                                 << "2"
                                 << "-";
    QTest::newRow("empty") << "3,50,1,1,2"
                           << "" << wrong;
    QTest::newRow("blanks") << "3,50,1,1,2"
                            << "   " << wrong;
    QTest::newRow("a word") << "3,50,1,1,2"
                            << "二" << wrong;
    QTest::newRow("digits and letters") << "3,50,1,1,2"
                                        << "2a" << wrong;
    QTest::newRow("zero") << "3,50,1,1,2"
                          << "0" << outside;
    QTest::newRow("negative") << "3,50,1,1,2"
                              << "-3" << outside;
    QTest::newRow("above the count") << "3,50,1,1,2"
                                     << "4" << outside;
    QTest::newRow("fraction under one") << "3,50,1,1,2"
                                        << "0.9" << outside;
    QTest::newRow("fraction") << "3,50,1,1,2"
                              << "2.7"
                              << "page 2";
    QTest::newRow("blanks around") << "3,50,1,1,2"
                                   << " 3 "
                                   << "page 3";
    QTest::newRow("the current page") << "3,50,1,1,2"
                                      << "1"
                                      << "page 1";
    // A service may claim any page count; no page beyond a whole number's range is asked for.
    QTest::newRow("a page past 2^63") << "1e300,50,1,1,2"
                                      << "1e300" << wrong;
    QTest::newRow("2^63") << "1e300,50,1,1,2"
                          << "9223372036854775808" << wrong;
    QTest::newRow("the last page below 2^63") << "1e300,50,1,1,2"
                                              << "9223372036854774784"
                                              << "page 9223372036854774784";
}

void TestCatalogueRules::go()
{
    QFETCH(QString, pageinfo);
    QFETCH(QString, typed);
    QFETCH(QString, outcome);
    const PagingStep s = CataloguePaging::go(pages(pageinfo), typed);
    const QString got = s.kind == PagingStep::Kind::Request  ? QStringLiteral("page ") + s.page
                        : s.kind == PagingStep::Kind::Refuse ? s.message
                                                             : QStringLiteral("-");
    QCOMPARE(got, outcome);
}

void TestCatalogueRules::readingReplies_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QString>("label");
    const QByteArray other = "<otherinfo><pageinfo>2,30,1,1,2</pageinfo></otherinfo>";
    using O = CatalogueReply::Outcome;
    QTest::newRow("two records") << "<booklist>" + record(1) + record(2) + other + "</booklist>" << int(O::Read)
                                 << QStringList{"1", "2"} << "1/2";
    QTest::newRow("page information only")
        << "<booklist>" + other + "</booklist>" << int(O::Read) << QStringList{} << "1/2";
    QTest::newRow("no otherinfo") << "<booklist>" + record(1) + "</booklist>" << int(O::NoData) << QStringList{"1"}
                                  << "";
    QTest::newRow("empty list") << QByteArray("<booklist/>") << int(O::NoData) << QStringList{} << "";
    for (const char* field : {"id", "name", "class", "author", "statue", "ftime", "size", "downurl"})
        QTest::newRow(qPrintable(QStringLiteral("second record without %1").arg(field)))
            << "<booklist>" + record(1) + record(2, field) + record(3) + other + "</booklist>" << int(O::Fault)
            << QStringList{"1"} << "";
    QTest::newRow("pageinfo of four values")
        << "<booklist>" + record(1) + "<otherinfo><pageinfo>2,30,1,1</pageinfo></otherinfo></booklist>" << int(O::Fault)
        << QStringList{"1"} << "";
    QTest::newRow("otherinfo without pageinfo")
        << "<booklist>" + record(1) + "<otherinfo/></booklist>" << int(O::Fault) << QStringList{"1"} << "";
    QTest::newRow("blanks around page values")
        << "<booklist>" + record(1) + "<otherinfo><pageinfo> 4 , 70 , 2 , 1 , 3 </pageinfo></otherinfo></booklist>"
        << int(O::Read) << QStringList{"1"} << "2/4";
    QTest::newRow("only the first otherinfo counts")
        << "<booklist>" + record(1) + "<otherinfo><pageinfo>9,1,4,3,5</pageinfo></otherinfo>" + other + "</booklist>"
        << int(O::Read) << QStringList{"1"} << "4/9";
}

void TestCatalogueRules::readingReplies()
{
    QFETCH(QByteArray, body);
    QFETCH(int, outcome);
    QFETCH(QStringList, ids);
    QFETCH(QString, label);
    const ReplyDocument document = ReplyDocument::load(body);
    QVERIFY(document.usable());
    const CatalogueReply reply = CatalogueReply::read(document);
    QCOMPARE(int(reply.outcome), outcome);
    QStringList got;
    for (const CatalogueRow& row : reply.rows)
        got << row.id;
    QCOMPARE(got, ids);
    QCOMPARE(reply.page ? reply.page->label() : QString(), label);
}

void TestCatalogueRules::listTexts()
{
    const ReplyDocument document = ReplyDocument::load("<booklist>" + record(7) + "</booklist>");
    const CatalogueRow row = CatalogueReply::read(document).rows.value(0);
    QCOMPARE(row.category, QStringLiteral("武侠仙侠"));
    QCOMPARE(catalogueColumns(row), QStringList({"7", "武侠仙侠", "书7", "作者", "连载", "2026/3/7", "2.00 MB",
                                                 "双击下载", "/files/7/书7.txt"}));
    QCOMPARE(catalogueToolTip(row), QStringLiteral("《书7》  连载"));
    QCOMPARE(catalogueSize(QStringLiteral("512")), QStringLiteral("512 KB"));
    QCOMPARE(catalogueSize(QStringLiteral("未知")), QStringLiteral("未知"));
}

void TestCatalogueRules::dates_data()
{
    QTest::addColumn<QString>("ftime");
    QTest::addColumn<QString>("shown");
    QTest::newRow("service form") << "2026-12-08 10:00:00"
                                  << "2026/12/8";
    QTest::newRow("general date form") << "2009/3/7 8:05:00"
                                       << "2009/3/7";
    QTest::newRow("date only") << "2010-01-31"
                               << "2010/1/31";
    QTest::newRow("no date") << "昨天"
                             << "昨天";
    QTest::newRow("impossible date") << "2010-02-31 00:00:00"
                                     << "2010-02-31 00:00:00";
}

void TestCatalogueRules::dates()
{
    QFETCH(QString, ftime);
    QFETCH(QString, shown);
    QCOMPARE(catalogueDate(ftime), shown);
}

void TestCatalogueRules::downloadOrder_data()
{
    QTest::addColumn<QString>("downurl");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("plain") << "/down/abc.txt"
                           << "abc"
                           << "http://h:1/down/abc.txt"
                           << "abc.txt";
    QTest::newRow("chinese title") << "/files/123/剑影江湖.txt"
                                   << "剑影江湖"
                                   << "http://h:1/files/123/剑影江湖.txt"
                                   << "剑影江湖.txt";
    QTest::newRow("archive") << "/files/9/云海仙踪.rar"
                             << "云海仙踪"
                             << "http://h:1/files/9/云海仙踪.rar"
                             << "云海仙踪.rar";
    // Every occurrence of the last four characters goes.
    QTest::newRow("extension twice") << "/f/a.txtb.txt"
                                     << "ab"
                                     << "http://h:1/f/a.txtb.txt"
                                     << "a.txtb.txt";
    QTest::newRow("name of three characters") << "/f/a.z"
                                              << ""
                                              << "http://h:1/f/a.z"
                                              << "a.z";
    // The address keeps the service's host and port: a path without its slash gets one.
    QTest::newRow("no separator: no caption") << "abc.txt"
                                              << ""
                                              << "http://h:1/abc.txt"
                                              << "abc.txt";
}

void TestCatalogueRules::downloadOrder()
{
    QFETCH(QString, downurl);
    QFETCH(QString, caption);
    QFETCH(QString, url);
    QFETCH(QString, fileName);
    const DownloadOrder order = CatalogueController::downloadOrder(QStringLiteral("http://h:1"), downurl);
    QCOMPARE(order.caption, caption);
    QCOMPARE(order.url, url);
    QCOMPARE(order.fileName, fileName);
}

void TestCatalogueRules::queryValues_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("value");
    QTest::newRow("chinese and blanks stay") << "三国 演义"
                                             << "三国 演义";
    QTest::newRow("quotes and plus stay") << "a'b\"c+d=e"
                                          << "a'b\"c+d=e";
    QTest::newRow("ampersand") << "A&B"
                               << "A%26B";
    QTest::newRow("hash") << "C#"
                          << "C%23";
    QTest::newRow("percent") << "100%E4"
                             << "100%25E4";
}

void TestCatalogueRules::queryValues()
{
    QFETCH(QString, typed);
    QFETCH(QString, value);
    QCOMPARE(queryValue(typed), value);
}

void TestCatalogueRules::layout()
{
    // A page of 900 x 600 pixels: 13500 x 9000 twips.
    const CatalogueLayout alone = CatalogueLayout::compute(13500, 9000, false);
    const CatalogueLayout withPane = CatalogueLayout::compute(13500, 9000, true);
    QCOMPARE(*alone.toolbar, QRect(0, 0, 900, 30));
    QCOMPARE(*alone.list, QRect(0, 32, 900, (9000 - 480 - 500) / 15));
    QCOMPARE(withPane.list->height(), (9000 - 480 - 2300) / 15);
    QCOMPARE(alone.list->height() - withPane.list->height(), 120); // 1800 twips
    QCOMPARE(*withPane.pane, QRect(0, (9000 - 1800) / 15, 900, 120));
    // The paging bar and the toggle follow the list's height.
    const int listTw = 9000 - 480 - 2300;
    QCOMPARE(withPane.pagingBar->topLeft(), QPoint(160 / 15, (listTw + 520) / 15));
    QCOMPARE(withPane.toggle->topLeft(), QPoint((13500 - 300) / 15, (listTw + 550) / 15));
    QVERIFY(withPane.pagingBar->right() < withPane.toggle->left());
    QVERIFY(withPane.pagingBar->bottom() <= withPane.pane->top());
    QVERIFY(alone.pagingBar->bottom() < 600);

    // Too small for the list: the list, the bar and the toggle keep their places.
    const CatalogueLayout tiny = CatalogueLayout::compute(1200, 1500, true);
    QVERIFY(tiny.toolbar);
    QVERIFY(!tiny.list);
    QVERIFY(!tiny.pagingBar);
    QVERIFY(!tiny.toggle);
    QVERIFY(!tiny.pane);
}

void TestCatalogueRules::noticeWhenNoAnswerCame_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("failure");
    QTest::addColumn<QString>("text");
    const QString dead = QStringLiteral("无法连接到网络书库服务器（http://127.0.0.1:8086）");
    QTest::newRow("refused") << 0 << int(ServiceReply::Failure::NoConnection) << dead;
    QTest::newRow("timed out") << 0 << int(ServiceReply::Failure::TimedOut) << dead;
    QTest::newRow("too large") << 0 << int(ServiceReply::Failure::TooLarge)
                               << QStringLiteral("网络书库服务器（http://127.0.0.1:8086）的答复过长，已停止读取");
    // An answer of another status stays as silent as before.
    QTest::newRow("404") << 404 << int(ServiceReply::Failure::None) << QString();
}

void TestCatalogueRules::noticeWhenNoAnswerCame()
{
    QFETCH(int, status);
    QFETCH(int, failure);
    QFETCH(QString, text);
    ServiceReply reply;
    reply.status = status;
    reply.failure = static_cast<ServiceReply::Failure>(failure);
    QCOMPARE(ServiceNotice::text(reply, QStringLiteral("http://127.0.0.1:8086")), text);
    if (!text.isEmpty())
        QCOMPARE(ServiceNotice::labelHtml(text), text + QStringLiteral("&nbsp;&nbsp;<a href=\"retry\">重试</a>"));
}

QTEST_GUILESS_MAIN(TestCatalogueRules)
#include "tst_cataloguerules.moc"
