// The upload page as a widget: its boxes, the state box and the newest-chapter row, the
// cover preview and its remove icon, the pickers, and where a refused check puts the focus.
#include "AccountFixture.h"
#include "account/AccountSession.h"

#include <QToolButton>
#include <QtTest>

class TestUploadPage : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void boxesAtLoad();
    void stateBoxShowsAndEmptiesTheNewestChapter();
    void coverPreviewAndRemoveIcon();
    void pictureThatCannotBeOpened();
    void refusedChecksPutTheFocus_data();
    void refusedChecksPutTheFocus();

private:
    std::unique_ptr<AccountFixture> m_fx;
    AccountSession m_session;
    std::unique_ptr<UploadPage> m_page;
};

void TestUploadPage::init()
{
    m_fx = std::make_unique<AccountFixture>(QStringLiteral("http://127.0.0.1:9"));
    m_session = AccountSession{};
    m_page = std::make_unique<UploadPage>(m_fx->services, m_session, [] { return QStringLiteral("张三"); });
    m_page->fillBoxes();
    m_page->resize(640, 480);
    m_page->show();
    m_page->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_page.get()));
}

void TestUploadPage::cleanup()
{
    m_page.reset();
    m_fx.reset();
}

void TestUploadPage::boxesAtLoad()
{
    auto* category = control<QComboBox>(m_page.get(), "ImageCombo1");
    QStringList names;
    for (int i = 0; i < category->count(); ++i)
        names << category->itemText(i);
    QCOMPARE(names, QStringList({"武侠仙侠", "玄幻修真", "都市言情", "游戏动漫", "历史军事", "推理灵异", "纪实文学",
                                 "学习资料", "管理哲学", "其他分类"}));
    QCOMPARE(category->currentIndex(), -1);
    auto* state = control<QComboBox>(m_page.get(), "Combo1");
    QCOMPARE(state->count(), 2);
    QCOMPARE(state->itemText(0), QStringLiteral("连载"));
    QCOMPARE(state->itemText(1), QStringLiteral("全集"));
    QCOMPARE(state->currentIndex(), -1);
    QVERIFY(!control<QWidget>(m_page.get(), "Picture3")->isVisible());
    QCOMPARE(control<QLineEdit>(m_page.get(), "Text12")->maxLength(), 15);
    QCOMPARE(control<QLineEdit>(m_page.get(), "Text11")->maxLength(), 15);
    QCOMPARE(control<QLineEdit>(m_page.get(), "Text8")->maxLength(), 255);
    QVERIFY(control<QLineEdit>(m_page.get(), "Text10")->isReadOnly());
    QVERIFY(!control<QWidget>(m_page.get(), "Text13")->isVisible());

    const QString book = m_fx->write(QStringLiteral("a.txt"), "a");
    m_fx->pickers.nextFile(book);
    click(m_page.get(), "Command6");
    QCOMPARE(textOf(m_page.get(), "Text10"), book);
    QCOMPARE(m_fx->pickers.requests().last().title, QStringLiteral("添加电子书-Quillmere"));
    QCOMPARE(m_fx->pickers.requests().last().filter,
             QStringLiteral(
                 "电子书文件(*.txt;*.rar;*.zip)|*.txt;*.rar;*.zip|TXT文件(*.txt)|*.txt|打包文件(*.rar)|*.rar;*.zip"));
    m_fx->pickers.nextFile(QString()); // cancelled: the path stays
    click(m_page.get(), "Command6");
    QCOMPARE(textOf(m_page.get(), "Text10"), book);
}

void TestUploadPage::stateBoxShowsAndEmptiesTheNewestChapter()
{
    QWidget* row = control<QWidget>(m_page.get(), "Picture3");
    choose(m_page.get(), "Combo1", QStringLiteral("连载"));
    QVERIFY(row->isVisible());
    typeInto(m_page.get(), "Text8", QStringLiteral("第十章"));
    choose(m_page.get(), "Combo1", QStringLiteral("全集"));
    QVERIFY(!row->isVisible());
    QCOMPARE(textOf(m_page.get(), "Text8"), QString());
    QCOMPARE(m_page->fields().newestChapter, QString());
}

void TestUploadPage::coverPreviewAndRemoveIcon()
{
    QImage picture(300, 200, QImage::Format_RGB32);
    picture.fill(Qt::red);
    const QString path = m_fx->dir.filePath(QStringLiteral("cover.jpg"));
    QVERIFY(picture.save(path, "JPG"));
    m_fx->pickers.nextFile(path);
    click(m_page.get(), "Command4");
    auto* preview = control<QLabel>(m_page.get(), "Picture2");
    auto* remove = control<QToolButton>(m_page.get(), "Image2");
    QCOMPARE(textOf(m_page.get(), "Text13"), path);
    QCOMPARE(preview->pixmap().size(), QSize(120, 139));
    QVERIFY(remove->isVisible());
    QCOMPARE(remove->toolTip(), QStringLiteral("删除封面"));
    QCOMPARE(m_page->fields().coverPath, path);

    remove->click();
    QCOMPARE(textOf(m_page.get(), "Text13"), QString());
    QVERIFY(preview->pixmap().isNull());
    QVERIFY(!remove->isVisible());
    QCOMPARE(remove->toolTip(), QString());
    QVERIFY(!m_page->hasCover());
}

void TestUploadPage::pictureThatCannotBeOpened()
{
    const QString path = m_fx->write(QStringLiteral("broken.jpg"), "not a picture");
    m_fx->pickers.nextFile(path);
    click(m_page.get(), "Command4");
    QCOMPARE(m_fx->dialogs.count(), 1);
    QCOMPARE(m_fx->dialogs.last().style, 16);
    QVERIFY(!m_page->hasCover());
}

void TestUploadPage::refusedChecksPutTheFocus_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("withBook");
    QTest::addColumn<QString>("focused");
    QTest::newRow("category") << ""
                              << "" << false << "ImageCombo1";
    QTest::newRow("name") << ""
                          << "" << false << "Text12";
    QTest::newRow("book") << ""
                          << "书" << false << "Command6";
    QTest::newRow("state") << ""
                           << "书" << true << "Combo1";
    QTest::newRow("newest chapter") << "连载"
                                    << "书" << true << "Text8";
    QTest::newRow("bar in the name") << "全集"
                                     << "上|下" << true << "Text12";
}

void TestUploadPage::refusedChecksPutTheFocus()
{
    QFETCH(QString, state);
    QFETCH(QString, name);
    QFETCH(bool, withBook);
    QFETCH(QString, focused);
    if (focused != QLatin1String("ImageCombo1"))
        choose(m_page.get(), "ImageCombo1", QStringLiteral("其他分类"));
    typeInto(m_page.get(), "Text12", name);
    if (withBook) {
        m_fx->pickers.nextFile(m_fx->write(QStringLiteral("b.txt"), "b"));
        click(m_page.get(), "Command6");
    }
    if (!state.isEmpty()) {
        choose(m_page.get(), "Combo1", state);
        control<QWidget>(m_page.get(), "Picture3")->hide(); // the check shows it again
    }
    click(m_page.get(), "Command5");
    QCOMPARE(m_fx->dialogs.count(), 1);
    QCOMPARE(m_fx->dialogs.last().title, QStringLiteral("数据有误"));
    QCOMPARE(QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(), focused);
    if (focused == QLatin1String("Text8"))
        QVERIFY(control<QWidget>(m_page.get(), "Picture3")->isVisible());
    QVERIFY(!m_page->isPending());
}

QTEST_MAIN(TestUploadPage)
#include "tst_uploadpage.moc"
