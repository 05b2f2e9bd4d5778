#include "app/AppServices.h"
#include "app/AppState.h"
#include "app/BookDialog.h"
#include "app/BookDialogs.h"
#include "app/LibraryDatabase.h"
#include "app/ReaderNavigator.h"

#include "FakeClock.h"
#include "FakeDesktopLauncher.h"
#include "FakeDialogs.h"
#include "FakePickers.h"
#include "FakeSpeechEngine.h"

#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include "RecordingNavigator.h"

#include <memory>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

} // namespace

// The book dialog (Form3) driven through its boxes and buttons.
class TestBookDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void getTxtName_data();
    void getTxtName();
    void modesAndTitles_data();
    void modesAndTitles();
    void validations_data();
    void validations();
    void addRefusesDuplicatePath();
    void addSavesTrimmedValues();
    void typedCategory_data();
    void typedCategory();
    void valuesWithQuotesAreStoredExactly();
    void editOwnPathAccepted();
    void editToAnotherBooksPathRefused();
    void editOfRemovedBook();
    void openNewSaveAndCancel_data();
    void openNewSaveAndCancel();
    void closingWindowOpensNothing();
    void failingStatementIsReported_data();
    void failingStatementIsReported();
    void secondRequestBringsDialogForward();
    void browse();

private:
    BookDialog* open(const QString& mode, const QString& bookPath = QString());
    void setFields(const QString& name, int category, const QString& author, const QString& path);
    void press(const char* button);
    QLineEdit* box(const char* name) const { return m_dialogs->current()->findChild<QLineEdit*>(QLatin1String(name)); }
    QComboBox* combo() const { return m_dialogs->current()->findChild<QComboBox*>(QStringLiteral("ImageCombo1")); }
    qint64 addBook(const QString& name, const QString& type, const QString& path);
    int bookCount() { return m_db->countBooks(ShelfQuery::all()); }
    void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<LibraryDatabase> m_db;
    FakeDialogs m_boxes;
    FakePickers m_pickers;
    FakeDesktopLauncher m_desktop;
    FakeClock m_clock;
    QNetworkAccessManager m_network;
    FakeSpeechEngine m_speech;
    AppState m_state;
    std::unique_ptr<AppServices> m_services;
    RecordingNavigator m_navigator;
    std::unique_ptr<BookDialogs> m_dialogs;
};

void TestBookDialog::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_db = std::make_unique<LibraryDatabase>();
    QCOMPARE(m_db->open(m_dir->filePath(QStringLiteral("Data.db"))), LibraryDatabase::OpenResult::Created);
    m_state = AppState();
    m_state.library = m_db.get();
    m_boxes = FakeDialogs();
    m_pickers = FakePickers();
    m_navigator = RecordingNavigator();
    m_services.reset(new AppServices{m_state, m_boxes, m_pickers, m_desktop, m_clock, m_network, m_speech});
    m_dialogs = std::make_unique<BookDialogs>(*m_services, m_navigator);
}

void TestBookDialog::cleanup()
{
    if (m_dialogs && m_dialogs->current())
        delete m_dialogs->current();
    settle();
    m_dialogs.reset();
    m_db.reset();
    m_dir.reset();
}

BookDialog* TestBookDialog::open(const QString& mode, const QString& bookPath)
{
    m_dialogs->show(mode, bookPath);
    return m_dialogs->current();
}

void TestBookDialog::setFields(const QString& name, int category, const QString& author, const QString& path)
{
    box("Text1")->setText(name);
    combo()->setCurrentIndex(category);
    box("Text2")->setText(author);
    box("Text3")->setText(path);
}

void TestBookDialog::press(const char* button)
{
    QTest::mouseClick(m_dialogs->current()->findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
}

qint64 TestBookDialog::addBook(const QString& name, const QString& type, const QString& path)
{
    const auto id = m_db->insertBook(type, name, QStringLiteral("某人"), path);
    return id.value_or(-1);
}

void TestBookDialog::getTxtName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("backslash path") << QStringLiteral("D:\\Books\\ABC.TXT") << QStringLiteral("abc");
    QTest::newRow("slash path") << QStringLiteral("/home/u/Books/ABC.TXT") << QStringLiteral("abc");
    QTest::newRow("mixed separators") << QStringLiteral("C:/x\\y/Zed.txt") << QStringLiteral("zed");
    QTest::newRow("double extension") << QStringLiteral("/b/a.txt.txt") << QStringLiteral("a");
    QTest::newRow("no separator") << QStringLiteral("Book.Txt") << QStringLiteral("book");
    QTest::newRow("chinese") << QStringLiteral("/书/三国演义.txt") << QStringLiteral("三国演义");
}

void TestBookDialog::getTxtName()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(BookDialogController::getTxtName(path), name);
}

void TestBookDialog::modesAndTitles_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("fields"); // name, category text, author, path
    const QString path = QStringLiteral("/home/u/Books/My Book.TXT");
    QTest::newRow("addnew") << QStringLiteral("addnew") << QStringLiteral("添加电子书")
                            << QStringList{QString(), QStringLiteral("其他分类"), QString(), QString()};
    QTest::newRow("opennew keeps the path's case")
        << QStringLiteral("opennew") << QStringLiteral("保存电子书 - Quillmere")
        << QStringList{QStringLiteral("my book"), QStringLiteral("其他分类"), QStringLiteral("佚名"), path};
    QTest::newRow("edit") << QStringLiteral("edit>||<{history}") << QStringLiteral("修改电子书-《三国》")
                          << QStringList{QStringLiteral("三国"), QStringLiteral("历史军事"), QStringLiteral("某人"),
                                         QStringLiteral("/b/三国.txt")};
    QTest::newRow("edit, type none of the ten")
        << QStringLiteral("edit>||<{odd}") << QStringLiteral("修改电子书-《杂》")
        << QStringList{QStringLiteral("杂"), QStringLiteral("杂类"), QStringLiteral("某人"),
                       QStringLiteral("/b/杂.txt")};
    QTest::newRow("unknown mode word") << QStringLiteral("browse") << QStringLiteral("保存电子书 - Quillmere")
                                       << QStringList{QString(), QString(), QString(), QString()};
}

void TestBookDialog::modesAndTitles()
{
    QFETCH(QString, mode);
    QFETCH(QString, title);
    QFETCH(QStringList, fields);
    const qint64 history = addBook(QStringLiteral("三国"), QStringLiteral("历史军事"), QStringLiteral("/b/三国.txt"));
    const qint64 odd = addBook(QStringLiteral("杂"), QStringLiteral("杂类"), QStringLiteral("/b/杂.txt"));
    m_state.currentBookPath = QStringLiteral("/b/being read.txt");
    mode.replace(QStringLiteral("{history}"), QString::number(history));
    mode.replace(QStringLiteral("{odd}"), QString::number(odd));
    BookDialog* dialog = open(mode, QStringLiteral("/home/u/Books/My Book.TXT"));
    QVERIFY(dialog);
    QCOMPARE(dialog->objectName(), QStringLiteral("Form3"));
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    QCOMPARE(dialog->windowTitle(), title);
    QCOMPARE(box("Text1")->text(), fields.at(0));
    QCOMPARE(combo()->currentText(), fields.at(1));
    QCOMPARE(box("Text2")->text(), fields.at(2));
    QCOMPARE(box("Text3")->text(), fields.at(3));
    QCOMPARE(combo()->count(), 10);
    QCOMPARE(combo()->itemText(0), QStringLiteral("武侠仙侠"));
    QCOMPARE(combo()->itemText(9), QStringLiteral("其他分类"));
    // The book being read stays the current one while the dialog is open.
    QCOMPARE(m_state.currentBookPath, QStringLiteral("/b/being read.txt"));
    QCOMPARE(m_boxes.count(), 0);
}

void TestBookDialog::validations_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("category");
    QTest::addColumn<QString>("author");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("authorAfter");
    const QString noName = QStringLiteral("添加失败：书名不能为空！");
    const QString noType = QStringLiteral("添加失败：电子类别不能为空！");
    const QString noPath = QStringLiteral("添加失败：电子书路径不能为空！");
    for (const QString& mode : {QStringLiteral("addnew"), QStringLiteral("edit")}) {
        const QByteArray m = mode.toLatin1() + ": ";
        QTest::newRow(m + "empty name") << mode << QString() << 2 << QString() << QStringLiteral("/b/x.txt") << noName
                                        << QString();
        QTest::newRow(m + "blank name") << mode << QStringLiteral("   ") << 2 << QStringLiteral("甲")
                                        << QStringLiteral("/b/x.txt") << noName << QStringLiteral("甲");
        QTest::newRow(m + "no category") << mode << QStringLiteral("书") << -1 << QString()
                                         << QStringLiteral("/b/x.txt") << noType << QString();
        QTest::newRow(m + "blank path, author defaults") << mode << QStringLiteral("书") << 2 << QStringLiteral("  ")
                                                         << QStringLiteral(" \t ") << noPath << QStringLiteral("佚名");
        QTest::newRow(m + "empty path") << mode << QStringLiteral("书") << 2 << QStringLiteral("乙") << QString()
                                        << noPath << QStringLiteral("乙");
    }
}

void TestBookDialog::validations()
{
    QFETCH(QString, mode);
    QFETCH(QString, name);
    QFETCH(int, category);
    QFETCH(QString, author);
    QFETCH(QString, path);
    QFETCH(QString, message);
    QFETCH(QString, authorAfter);
    const qint64 id = addBook(QStringLiteral("原书"), QStringLiteral("武侠仙侠"), QStringLiteral("/b/原书.txt"));
    const bool edit = mode == QLatin1String("edit");
    BookDialog* dialog = open(edit ? QStringLiteral("edit>||<%1").arg(id) : mode);
    setFields(name, category, author, path);
    press("Command2");
    QCOMPARE(m_boxes.count(), 1);
    // The texts begin "添加失败：" in both modes; only the title tells an edit.
    QCOMPARE(m_boxes.last().text, message);
    QCOMPARE(m_boxes.last().title, edit ? QStringLiteral("修改失败") : QStringLiteral("添加失败"));
    QCOMPARE(m_boxes.last().style, 16);
    QCOMPARE(box("Text2")->text(), authorAfter);
    QCOMPARE(box("Text1")->text(), name);
    QCOMPARE(box("Text3")->text(), path);
    QVERIFY(dialog->isVisible());
    QCOMPARE(m_dialogs->current(), dialog);
    QCOMPARE(bookCount(), 1);
    QCOMPARE(m_db->bookById(id)->name, QStringLiteral("原书"));
    QVERIFY(m_navigator.calls.isEmpty());
}

void TestBookDialog::addRefusesDuplicatePath()
{
    addBook(QStringLiteral("三国演义"), QStringLiteral("历史军事"), QStringLiteral("/b/三国.txt"));
    BookDialog* dialog = open(QStringLiteral("addnew"));
    setFields(QStringLiteral("另一本"), 0, QString(), QStringLiteral(" /b/三国.txt "));
    press("Command2");
    QCOMPARE(m_boxes.last().text, QStringLiteral("添加失败：") + kCrLf + kCrLf + QStringLiteral("文件：/b/三国.txt") +
                                      kCrLf + kCrLf + QStringLiteral("已经存在！-《三国演义》"));
    QCOMPARE(m_boxes.last().title, QStringLiteral("添加失败"));
    QCOMPARE(m_boxes.last().style, 16);
    QCOMPARE(m_boxes.count(), 1);
    QCOMPARE(box("Text2")->text(), QStringLiteral("佚名"));
    QVERIFY(dialog->isVisible());
    QCOMPARE(bookCount(), 1);
    QVERIFY(m_navigator.calls.isEmpty());
}

void TestBookDialog::addSavesTrimmedValues()
{
    BookDialog* dialog = open(QStringLiteral("addnew"));
    QVERIFY(dialog);
    setFields(QStringLiteral("  水浒传 "), 4, QString(), QStringLiteral(" /home/u/Books/Water Margin.TXT "));
    press("Command2");
    QCOMPARE(m_boxes.count(), 1);
    QCOMPARE(m_boxes.last().text, QStringLiteral("恭喜你：电子书添加成功！"));
    QCOMPARE(m_boxes.last().title, QStringLiteral("添加成功"));
    QCOMPARE(m_boxes.last().style, 64);
    const auto book = m_db->bookByPath(QStringLiteral("/home/u/Books/Water Margin.TXT"));
    QVERIFY(book);
    QCOMPARE(book->name, QStringLiteral("水浒传"));
    QCOMPARE(book->type, QStringLiteral("历史军事"));
    QCOMPARE(book->author, QStringLiteral("佚名"));
    QCOMPARE(book->marke, QStringLiteral("Null"));
    QCOMPARE(m_navigator.calls, QStringList({"readList", "selectToolBar(1)"}));
    QVERIFY(!dialog->isVisible());
    settle();
    QVERIFY(!m_dialogs->current());
}

void TestBookDialog::typedCategory_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("typed"); // typed over the picker's text; "-" types nothing
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("refusal");

    QTest::newRow("add, own category") << "addnew" << QStringLiteral("网络小说") << QStringLiteral("网络小说")
                                       << QString();
    QTest::newRow("add, blanks around") << "addnew" << QStringLiteral("  轻小说 ") << QStringLiteral("轻小说")
                                        << QString();
    QTest::newRow("add, only blanks") << "addnew" << QStringLiteral("   ") << QString()
                                      << QStringLiteral("添加失败：电子类别不能为空！");
    QTest::newRow("edit keeps a typed category")
        << "edit" << QStringLiteral("-") << QStringLiteral("杂类") << QString();
    QTest::newRow("edit to another typed one")
        << "edit" << QStringLiteral("散文") << QStringLiteral("散文") << QString();
}

// The category picker takes typed text as well as the ten names; it is stored as it reads.
void TestBookDialog::typedCategory()
{
    QFETCH(QString, mode);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(QString, refusal);
    const QString path = QStringLiteral("/b/杂.txt");
    const bool edit = mode == QLatin1String("edit");
    const qint64 id = edit ? addBook(QStringLiteral("杂"), QStringLiteral("杂类"), path) : -1;
    open(edit ? QStringLiteral("edit>||<%1").arg(id) : mode);
    QVERIFY(combo()->isEditable());
    if (!edit) {
        box("Text1")->setText(QStringLiteral("杂"));
        box("Text3")->setText(path);
    }
    if (typed != QLatin1String("-")) {
        // Chinese is typed through the input method, which hands the finished text over.
        combo()->lineEdit()->selectAll();
        QInputMethodEvent typing;
        typing.setCommitString(typed);
        QCoreApplication::sendEvent(combo()->lineEdit(), &typing);
        QCOMPARE(combo()->currentText(), typed);
    }
    press("Command2");
    if (!refusal.isEmpty()) {
        QCOMPARE(m_boxes.last().text, refusal);
        QCOMPARE(bookCount(), 0);
        return;
    }
    QCOMPARE(m_boxes.last().style, 64);
    QCOMPARE(m_db->bookByPath(path)->type, stored);
    QCOMPARE(combo()->count(), 10); // typing adds nothing to the ten names
}

void TestBookDialog::valuesWithQuotesAreStoredExactly()
{
    open(QStringLiteral("addnew"));
    const QString name = QStringLiteral("O'Neil's \"书\" 100%");
    const QString path = QStringLiteral("/b/it's; DROP TABLE BookList;--.txt");
    setFields(name, 9, QStringLiteral("作者'"), path);
    press("Command2");
    QCOMPARE(m_boxes.last().text, QStringLiteral("恭喜你：电子书添加成功！"));
    QCOMPARE(m_db->bookByPath(path)->name, name);
    QCOMPARE(m_db->bookByPath(path)->author, QStringLiteral("作者'"));
}

void TestBookDialog::editOwnPathAccepted()
{
    const qint64 id = addBook(QStringLiteral("三国"), QStringLiteral("历史军事"), QStringLiteral("/b/三国.txt"));
    QVERIFY(m_db->setBookmark(QStringLiteral("/b/三国.txt"), QStringLiteral("第五回")) == 1);
    BookDialog* dialog = open(QStringLiteral("edit>||<%1").arg(id));
    box("Text1")->setText(QStringLiteral("三国演义"));
    combo()->setCurrentIndex(6);
    press("Command2");
    QCOMPARE(m_boxes.count(), 1);
    QCOMPARE(m_boxes.last().text, QStringLiteral("恭喜你：电子书信息修改成功！"));
    QCOMPARE(m_boxes.last().title, QStringLiteral("修改成功"));
    QCOMPARE(m_boxes.last().style, 64);
    const auto book = m_db->bookById(id);
    QCOMPARE(book->name, QStringLiteral("三国演义"));
    QCOMPARE(book->type, QStringLiteral("纪实文学"));
    QCOMPARE(book->path, QStringLiteral("/b/三国.txt"));
    QCOMPARE(book->marke, QStringLiteral("第五回"));
    // The page is not switched after an edit.
    QCOMPARE(m_navigator.calls, QStringList{"readList"});
    QVERIFY(!dialog->isVisible());
}

void TestBookDialog::editToAnotherBooksPathRefused()
{
    const qint64 id = addBook(QStringLiteral("三国"), QStringLiteral("历史军事"), QStringLiteral("/b/三国.txt"));
    addBook(QStringLiteral("水浒"), QStringLiteral("历史军事"), QStringLiteral("/b/水浒.txt"));
    BookDialog* dialog = open(QStringLiteral("edit>||<%1").arg(id));
    box("Text3")->setText(QStringLiteral("/b/水浒.txt"));
    press("Command2");
    QCOMPARE(m_boxes.last().text, QStringLiteral("修改失败：") + kCrLf + kCrLf + QStringLiteral("文件：/b/水浒.txt") +
                                      kCrLf + kCrLf + QStringLiteral("已经存在！-《水浒》"));
    QCOMPARE(m_boxes.last().title, QStringLiteral("修改失败"));
    QCOMPARE(m_boxes.last().style, 16);
    QCOMPARE(m_db->bookById(id)->path, QStringLiteral("/b/三国.txt"));
    QVERIFY(dialog->isVisible());
    QVERIFY(m_navigator.calls.isEmpty());
}

void TestBookDialog::editOfRemovedBook()
{
    QVERIFY(!open(QStringLiteral("edit>||<999")));
    QCOMPARE(m_boxes.last().title, QStringLiteral("修改失败"));
    QCOMPARE(m_boxes.last().style, 16);

    // Removed while its dialog was open: the save says so and never claims success.
    const qint64 id = addBook(QStringLiteral("三国"), QStringLiteral("历史军事"), QStringLiteral("/b/三国.txt"));
    BookDialog* dialog = open(QStringLiteral("edit>||<%1").arg(id));
    QVERIFY(m_db->deleteBook(id));
    m_boxes.clear();
    press("Command2");
    QCOMPARE(m_boxes.count(), 1);
    QCOMPARE(m_boxes.last().title, QStringLiteral("修改失败"));
    QVERIFY(m_boxes.last().text.startsWith(QStringLiteral("修改失败：")));
    QCOMPARE(bookCount(), 0);
    QVERIFY(dialog->isVisible());
    QVERIFY(m_navigator.calls.isEmpty());
}

void TestBookDialog::openNewSaveAndCancel_data()
{
    QTest::addColumn<bool>("save");
    QTest::newRow("确认保存") << true;
    QTest::newRow("取消") << false;
}

void TestBookDialog::openNewSaveAndCancel()
{
    QFETCH(bool, save);
    const QString path = QStringLiteral("/home/u/Books/Red Chamber.TXT");
    m_state.currentBookPath = QStringLiteral("/elsewhere/other.txt");
    // The dialog opens the book it was opened for, not the one being read.
    BookDialog* dialog = open(QStringLiteral("opennew"), path);
    press(save ? "Command2" : "Command3");
    const QString opened = QStringLiteral("getChapter(%1|)").arg(path);
    if (save) {
        QCOMPARE(m_boxes.last().text, QStringLiteral("恭喜你：电子书添加成功！"));
        QCOMPARE(m_navigator.calls, QStringList({"readList", "selectToolBar(2)", opened}));
        const auto book = m_db->bookByPath(path);
        QVERIFY(book);
        QCOMPARE(book->name, QStringLiteral("red chamber"));
        QCOMPARE(book->type, QStringLiteral("其他分类"));
        QCOMPARE(book->author, QStringLiteral("佚名"));
    } else {
        QCOMPARE(m_boxes.count(), 0);
        QCOMPARE(m_navigator.calls, QStringList({"selectToolBar(2)", opened}));
        QCOMPARE(bookCount(), 0);
    }
    QVERIFY(!dialog->isVisible());
}

void TestBookDialog::closingWindowOpensNothing()
{
    for (const QString& mode : {QStringLiteral("opennew"), QStringLiteral("addnew")}) {
        BookDialog* dialog = open(mode, QStringLiteral("/b/a.txt"));
        dialog->close();
        settle();
        QVERIFY(!m_dialogs->current());
    }
    BookDialog* cancelled = open(QStringLiteral("addnew"));
    press("Command3");
    QVERIFY(!cancelled->isVisible());
    QVERIFY(m_navigator.calls.isEmpty());
    QCOMPARE(m_boxes.count(), 0);
    QCOMPARE(bookCount(), 0);
}

void TestBookDialog::failingStatementIsReported_data()
{
    QTest::addColumn<bool>("edit");
    QTest::newRow("insert") << false;
    QTest::newRow("update") << true;
}

void TestBookDialog::failingStatementIsReported()
{
    QFETCH(bool, edit);
    const qint64 id = addBook(QStringLiteral("三国"), QStringLiteral("历史军事"), QStringLiteral("/b/三国.txt"));
    QSqlQuery q(m_db->connection());
    QVERIFY(q.exec(QStringLiteral("CREATE TRIGGER refuse_%1 BEFORE %1 ON BookList BEGIN SELECT RAISE(ABORT, 'disk "
                                  "full'); END")
                       .arg(edit ? QStringLiteral("UPDATE") : QStringLiteral("INSERT"))));
    BookDialog* dialog = open(edit ? QStringLiteral("edit>||<%1").arg(id) : QStringLiteral("addnew"));
    setFields(QStringLiteral("新书名"), 1, QStringLiteral("甲"), QStringLiteral("/b/新.txt"));
    press("Command2");
    QCOMPARE(m_boxes.count(), 1);
    const QString prefix = edit ? QStringLiteral("修改失败：") : QStringLiteral("添加失败：");
    QVERIFY2(m_boxes.last().text.startsWith(prefix), qPrintable(m_boxes.last().text));
    QVERIFY(m_boxes.last().text.contains(QStringLiteral("书库数据库")));
    QCOMPARE(m_boxes.last().title, edit ? QStringLiteral("修改失败") : QStringLiteral("添加失败"));
    QCOMPARE(m_boxes.last().style, 16);
    QVERIFY(dialog->isVisible());
    QVERIFY(m_navigator.calls.isEmpty());
    QCOMPARE(m_db->bookById(id)->name, QStringLiteral("三国"));
    QCOMPARE(bookCount(), 1);
}

void TestBookDialog::secondRequestBringsDialogForward()
{
    const qint64 id = addBook(QStringLiteral("三国"), QStringLiteral("历史军事"), QStringLiteral("/b/三国.txt"));
    BookDialog* first = open(QStringLiteral("addnew"));
    box("Text1")->setText(QStringLiteral("正在输入"));
    BookDialog* second = open(QStringLiteral("edit>||<%1").arg(id));
    QCOMPARE(second, first);
    QCOMPARE(first->windowTitle(), QStringLiteral("添加电子书"));
    QCOMPARE(box("Text1")->text(), QStringLiteral("正在输入"));
    press("Command3");
    settle();
    // Once closed, the next request loads afresh.
    BookDialog* third = open(QStringLiteral("edit>||<%1").arg(id));
    QVERIFY(third);
    QCOMPARE(third->windowTitle(), QStringLiteral("修改电子书-《三国》"));
}

void TestBookDialog::browse()
{
    open(QStringLiteral("addnew"));
    box("Text3")->setText(QStringLiteral("/before.txt"));
    m_pickers.nextFile(QString());
    press("Command1");
    QCOMPARE(box("Text3")->text(), QStringLiteral("/before.txt"));
    m_pickers.nextFile(QStringLiteral("/home/u/Books/New.TXT"));
    press("Command1");
    QCOMPARE(box("Text3")->text(), QStringLiteral("/home/u/Books/New.TXT"));
    // An empty title box takes the file's title; a typed one is kept, an empty author box
    // takes the author the name gives.
    QCOMPARE(box("Text1")->text(), QStringLiteral("New"));
    box("Text1")->setText(QStringLiteral("我的标题"));
    box("Text2")->clear();
    m_pickers.nextFile(QStringLiteral("/b/《诛仙》萧鼎.txt"));
    press("Command1");
    QCOMPARE(box("Text1")->text(), QStringLiteral("我的标题"));
    QCOMPARE(box("Text2")->text(), QStringLiteral("萧鼎"));
    QCOMPARE(m_pickers.requests().size(), 3);
    QCOMPARE(m_pickers.requests().last().kind, QStringLiteral("file"));
    QCOMPARE(m_pickers.requests().last().title, QStringLiteral("添加电子书-Quillmere"));
    QCOMPARE(m_pickers.requests().last().filter, QStringLiteral("文本文件(*.txt)|*.txt"));
}

QTEST_MAIN(TestBookDialog)
#include "tst_bookdialog.moc"
