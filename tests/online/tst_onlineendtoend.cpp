// A new user's first visit to the online library, through the main window against the
// reference service with its demo catalogue: the list arrives, a search and a page turn, then
// a TXT, a ZIP and a RAR book double-clicked land on the shelf and read.
#include "../reader/ReadingFixture.h"
#include "../server/ServerFixture.h"

#include "account/UserPanel.h"
#include "app/BookshelfPage.h"
#include "desktop/MainWindow.h"
#include "online/CataloguePage.h"
#include "reader/ChapterListModel.h"
#include "reader/ReadingController.h"
#include "reader/ReadingPage.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

class TestOnlineEndToEnd : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void browseSearchDownloadAndRead();
};

namespace {

QTreeWidget* catalogueList(MainWindow& window)
{
    return window.findChild<QTreeWidget*>(QStringLiteral("ListView3"));
}

// The row of the first book whose download path ends in `extension`.
int rowEndingIn(QTreeWidget* list, const QString& extension)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(8).endsWith(extension))
            return i;
    return -1;
}

void doubleClickRow(QTreeWidget* list, int row)
{
    QTreeWidgetItem* item = list->topLevelItem(row);
    list->scrollToItem(item);
    const QRect rect = list->visualItemRect(item);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

} // namespace

void TestOnlineEndToEnd::browseSearchDownloadAndRead()
{
    ServerFixture service;
    QVERIFY(service.start());
    auto admin = service.admin();
    QVERIFY(admin);
    QCOMPARE(admin->run(QStringLiteral("seed-demo"), {}), 0);

    ReadingFixture fx;
    fx.state.serviceBase = service.base();
    fx.state.downloadFolder = fx.dir.filePath(QStringLiteral("TxtBook"));
    QVERIFY(QDir().mkpath(fx.state.downloadFolder));
    MainWindow window(fx.services);
    window.formLoad();

    // The first visit loads "全部资源".
    window.selectToolBar(3);
    QTreeWidget* list = catalogueList(window);
    QVERIFY(list);
    QTRY_VERIFY_WITH_TIMEOUT(list->topLevelItemCount() > 0, 10000);
    auto* pageLabel = window.findChild<QLabel*>(QStringLiteral("Label6"));
    QVERIFY(pageLabel->text().startsWith(QStringLiteral("1/")));

    // The next page, then a search from the search panel.
    QTest::mouseClick(window.findChild<QLabel*>(QStringLiteral("Label4")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(pageLabel->text().startsWith(QStringLiteral("2/")), 10000);
    const QString wanted = list->topLevelItem(0)->text(2);
    window.searchBox()->setFocus();
    window.searchBox()->setText(wanted.left(2));
    window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(list->topLevelItemCount() > 0 && list->topLevelItem(0)->text(2).contains(wanted.left(2)),
                             10000);

    // Back to everything; a TXT, a ZIP and a RAR book are double-clicked.
    window.onlinePage()->categoryButton(1)->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(pageLabel->text().startsWith(QStringLiteral("1/")), 10000);
    QStringList titles;
    for (const QString& extension : {QStringLiteral(".txt"), QStringLiteral(".zip"), QStringLiteral(".rar")}) {
        const int row = rowEndingIn(list, extension);
        QVERIFY2(row >= 0, qPrintable(extension));
        titles << list->topLevelItem(row)->text(2);
        doubleClickRow(list, row);
    }
    QCOMPARE(fx.dialogs.count(), 0);
    QVERIFY(window.onlinePage()->isDownloadPaneShown());

    // Each lands on the shelf with the catalogue's fields, and the shelf is read again.
    for (const QString& title : titles) {
        QTRY_VERIFY_WITH_TIMEOUT(fx.library.bookByName(title).has_value(), 20000);
        const BookRow book = *fx.library.bookByName(title);
        QCOMPARE(book.marke, QStringLiteral("Null"));
        QVERIFY2(book.path.startsWith(fx.state.downloadFolder + QLatin1Char('/')), qPrintable(book.path));
        QVERIFY2(book.path.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive), qPrintable(book.path));
        QVERIFY(QFileInfo::exists(book.path));
    }
    auto* shelf = window.findChild<QTreeWidget*>(QStringLiteral("ListView1"));
    QTRY_COMPARE_WITH_TIMEOUT(shelf->topLevelItemCount(), 3, 10000);
    QCOMPARE(fx.dialogs.count(), 0);

    // "上传共享" opens the user panel on its upload page.
    window.onlinePage()->categoryButton(12)->trigger();
    UserPanel* panel = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* candidate = qobject_cast<UserPanel*>(top))
            panel = candidate;
    QVERIFY(panel);
    QTRY_VERIFY(panel->isVisible());
    QCOMPARE(panel->shownNode(), int(UserPanel::UploadNode));
    panel->close();

    // And each reads.
    for (const QString& title : titles) {
        const BookRow book = *fx.library.bookByName(title);
        QSignalSpy shown(&window.readingPage()->controller(), &ReadingController::chapterShown);
        window.getChapter(book.path, QString());
        QVERIFY2(shown.wait(20000), qPrintable(title));
        QVERIFY(window.readingPage()->chapterModel().count() >= 1);
    }
}

QTEST_MAIN(TestOnlineEndToEnd)
#include "tst_onlineendtoend.moc"
