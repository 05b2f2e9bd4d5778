// The main window's ways into the account windows: toolbar button 4 and the share items
// of the bookshelf and reading menus.
#include "../reader/ReadingFixture.h"

#include "account/AccountWindows.h"
#include "account/UploadPage.h"
#include "account/UserPanel.h"
#include "app/BookshelfPage.h"
#include "desktop/MainWindow.h"
#include "reader/ReadingPage.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QTreeWidget>
#include <QtTest>

class TestMainWindowAccounts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void userCentreOpensThePanelAndKeepsThePage();
    void shareFromTheShelfMenu();
    void shareFromTheReadingMenuWithoutABook();

private:
    std::unique_ptr<ReadingFixture> m_fx;
    std::unique_ptr<MainWindow> m_window;
};

void TestMainWindowAccounts::init()
{
    m_fx = std::make_unique<ReadingFixture>();
    // Nothing listens here: the panel's requests fail quietly.
    m_fx->state.serviceBase = QStringLiteral("http://127.0.0.1:9");
    m_window = std::make_unique<MainWindow>(m_fx->services);
    m_window->show();
}

void TestMainWindowAccounts::cleanup()
{
    m_window.reset();
    m_fx.reset();
}

void TestMainWindowAccounts::userCentreOpensThePanelAndKeepsThePage()
{
    m_window->selectToolBar(1);
    m_window->toolbarButton(4)->trigger();
    QCOMPARE(m_window->currentPage(), 1);
    QVERIFY(m_window->page(1)->isVisible());
    QVERIFY(!m_window->toolbarButton(4)->isChecked());
    UserPanel* panel = m_window->accountWindows().userPanel();
    QVERIFY(panel);
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->shownNode(), int(UserPanel::AccountNode));
    // A second click brings the same panel back.
    m_window->toolbarButton(4)->trigger();
    QCOMPARE(m_window->accountWindows().userPanel(), panel);
}

void TestMainWindowAccounts::shareFromTheShelfMenu()
{
    const QString path = m_fx->writeBook(QStringLiteral("三国.txt"), QStringLiteral("第一回\n"));
    QVERIFY(
        m_fx->library.insertBook(QStringLiteral("历史军事"), QStringLiteral("三国"), QStringLiteral("罗贯中"), path));
    m_window->readList();
    auto* list = m_window->bookshelfPage()->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
    QVERIFY(list && list->topLevelItemCount() == 1);
    list->setCurrentItem(list->topLevelItem(0));
    list->topLevelItem(0)->setSelected(true);

    m_window->bookshelfPage()->bookMenu()->findChild<QAction*>(QStringLiteral("SendShare"))->trigger();
    UserPanel* panel = m_window->accountWindows().userPanel();
    QVERIFY(panel);
    QCOMPARE(panel->shownNode(), int(UserPanel::UploadNode));
    UploadPage* page = panel->uploadPage();
    QCOMPARE(page->findChild<QComboBox*>(QStringLiteral("ImageCombo1"))->currentText(), QStringLiteral("历史军事"));
    QCOMPARE(page->findChild<QLineEdit*>(QStringLiteral("Text12"))->text(), QStringLiteral("三国"));
    QCOMPARE(page->findChild<QLineEdit*>(QStringLiteral("Text11"))->text(), QStringLiteral("罗贯中"));
    QCOMPARE(page->findChild<QLineEdit*>(QStringLiteral("Text10"))->text(), path);
    QCOMPARE(m_fx->dialogs.count(), 0);
}

void TestMainWindowAccounts::shareFromTheReadingMenuWithoutABook()
{
    m_window->readingPage()->readMenu()->findChild<QAction*>(QStringLiteral("ShareThisBook"))->trigger();
    QCOMPARE(m_fx->dialogs.count(), 1);
    QCOMPARE(m_fx->dialogs.last().text, QStringLiteral("没有找到该书的信息"));
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("出错啦"));
    QVERIFY(!m_window->accountWindows().userPanel());
}

QTEST_MAIN(TestMainWindowAccounts)
#include "tst_mainwindow_accounts.moc"
