#include "ReadingFixture.h"

#include "reader/ChapterListModel.h"
#include "reader/ChapterRulesDialog.h"
#include "reader/ReaderBridge.h"
#include "reader/ReadingController.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"
#include "reader/chapters/ChapterRulesController.h"
#include "reader/rules/RuleLibrary.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>

// "章节规则…" on a real novel, driven through its controls: a rule tried, a broken pattern
// told in the dialog, the rule applied and the book listed by it.
class TestChapterRulesDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void appliesARuleToTheOpenBook();
    void volumesFoldAndMarksComeFromThePage();

private:
    ReadingController& controller() { return m_page->controller(); }
    void open(const QString& path);
    void showRow(int row);
    // A contextmenu event in the page on the first line holding `word`, as a right click
    // makes it; waits until the page has reported the line.
    void rightClickOn(const QString& word, const QString& line);

    std::unique_ptr<ReadingFixture> m_fx;
    std::unique_ptr<RecordingNavigator> m_nav;
    std::unique_ptr<ReadingPage> m_page;
};

void TestChapterRulesDialog::init()
{
    m_fx = std::make_unique<ReadingFixture>();
    m_nav = std::make_unique<RecordingNavigator>();
    m_page = std::make_unique<ReadingPage>(m_fx->services, *m_nav);
    m_page->resize(900, 600);
    m_page->show();
    m_page->view()->loadPage(m_fx->state.programFolder + QStringLiteral("/Reader.html"));
    QTRY_VERIFY_WITH_TIMEOUT(m_page->view()->isPageLoaded(), 20000);
}

void TestChapterRulesDialog::cleanup()
{
    m_page.reset();
    m_nav.reset();
    m_fx.reset();
}

void TestChapterRulesDialog::appliesARuleToTheOpenBook()
{
    const QString book = QStringLiteral(QUILLMERE_TESTDATA_DIR "/novels/shuihuzhuan-pg-utf8.txt");
    if (!QFile::exists(book))
        QSKIP("the shared test novel shuihuzhuan-pg-utf8.txt is not here");
    // Read from a copy: the library keys its choices by path.
    const QString path = m_fx->dir.filePath(QStringLiteral("水浒传.txt"));
    QVERIFY(QFile::copy(book, path));

    QSignalSpy shown(&controller(), &ReadingController::chapterShown);
    controller().getChapter(path, QString());
    QVERIFY(shown.wait(10000));
    // The reader's own test takes the book's 第二日-style lines for headings too.
    QCOMPARE(m_page->chapterModel().count(), 81);
    controller().setSelectedRow(40);
    controller().showSelected();
    const qint64 reading = controller().scan().rows[40].byteBegin;

    ChapterRulesDialog* dialog = m_page->openChapterRules();
    QVERIFY(dialog);
    ChapterRulesController& rules = dialog->controller();
    auto* list = dialog->findChild<QListWidget*>(QStringLiteral("RuleList"));
    auto* pattern = dialog->findChild<QLineEdit*>(QStringLiteral("RulePattern"));
    auto* error = dialog->findChild<QLabel*>(QStringLiteral("PreviewError"));
    auto* summary = dialog->findChild<QLabel*>(QStringLiteral("PreviewSummary"));
    auto* headings = dialog->findChild<QListWidget*>(QStringLiteral("PreviewHeadings"));
    auto* apply = dialog->findChild<QPushButton*>(QStringLiteral("ApplyRule"));
    QVERIFY(list && pattern && error && summary && headings && apply);
    QCOMPARE(list->item(0)->text(), QStringLiteral("自动识别"));
    QCOMPARE(list->currentItem()->text(), QStringLiteral("默认规则"));
    QTRY_VERIFY_WITH_TIMEOUT(!rules.isPreviewing(), 10000);
    QVERIFY(summary->text().contains(QStringLiteral("章节数：81")));

    const QList<QListWidgetItem*> strict = list->findItems(QStringLiteral("第N章/回/节/集"), Qt::MatchExactly);
    QCOMPARE(strict.size(), 1);
    list->setCurrentItem(strict.first());
    QTRY_VERIFY_WITH_TIMEOUT(!rules.isPreviewing(), 10000);
    QVERIFY2(summary->text().contains(QStringLiteral("章节数：71")), qPrintable(summary->text()));
    QVERIFY(summary->text().contains(QStringLiteral("最短章节：")));
    QCOMPARE(headings->item(0)->text().left(3), QStringLiteral("第一回"));
    QCOMPARE(pattern->text(), rules.rules().find(QStringLiteral("第N章/回/节/集"))->pattern);

    // A broken pattern is told in the dialog, once the typing pauses, and cannot be applied.
    pattern->setFocus();
    pattern->selectAll();
    QTest::keyClicks(pattern, QStringLiteral("^("));
    QTRY_COMPARE_WITH_TIMEOUT(error->text(),
                              QStringLiteral("正则表达式有误（第 3 个字符处）：missing closing parenthesis"), 5000);
    QVERIFY(!apply->isEnabled());

    list->setCurrentItem(strict.first());
    QTRY_VERIFY_WITH_TIMEOUT(!rules.isPreviewing() && apply->isEnabled(), 10000);
    QVERIFY(error->text().isEmpty());
    QSignalSpy filled(&controller(), &ReadingController::chapterListFilled);
    QTest::mouseClick(apply, Qt::LeftButton);
    QVERIFY(filled.wait(10000));
    QTRY_VERIFY(!dialog->isVisible());

    const std::optional<BookRuleRow> stored = m_fx->library.bookRule(path);
    QVERIFY(stored);
    QCOMPARE(stored->ruleName, QStringLiteral("第N章/回/节/集"));
    QCOMPARE(m_page->chapterModel().count(), 71);
    QCOMPARE(controller().rule().name, QStringLiteral("第N章/回/节/集"));
    // The reader stays in the chapter it was reading.
    const ChapterRow& now = controller().scan().rows[controller().selectedRow()];
    QVERIFY(now.byteBegin <= reading && reading < now.byteEnd);
    QCOMPARE(m_fx->dialogs.count(), 0);

    // Reopened later, the book is listed by its rule.
    controller().getChapter(path, QString());
    QVERIFY(filled.wait(10000));
    QCOMPARE(m_page->chapterModel().count(), 71);

    // 文本编码: the detected encoding is marked; another one chosen is kept and read in.
    ChapterRulesDialog* again = m_page->openChapterRules();
    QCOMPARE(again->controller().storedChoice(), QStringLiteral("第N章/回/节/集"));
    auto* utf8 = again->findChild<QRadioButton*>(QStringLiteral("Encoding_UTF-8"));
    auto* gb = again->findChild<QRadioButton*>(QStringLiteral("Encoding_GB18030"));
    QVERIFY(utf8 && gb);
    QCOMPARE(utf8->text(), QStringLiteral("UTF-8（检测结果）"));
    QVERIFY(utf8->isChecked());
    gb->setChecked(true);
    QTest::mouseClick(again->findChild<QPushButton*>(QStringLiteral("ApplyEncoding")), Qt::LeftButton);
    QVERIFY(filled.wait(10000));
    QCOMPARE(m_fx->library.bookEncoding(path), QStringLiteral("GB18030"));
    QCOMPARE(controller().scan().encoding, TextEncoding::Gb18030);
}

void TestChapterRulesDialog::open(const QString& path)
{
    QSignalSpy shown(&controller(), &ReadingController::chapterShown);
    controller().getChapter(path, QString());
    QVERIFY(shown.wait(10000));
}

void TestChapterRulesDialog::showRow(int row)
{
    controller().setSelectedRow(row);
    controller().showSelected();
    const QString first = readChapterLines(controller().scan(), row).value(0);
    QTRY_VERIFY_WITH_TIMEOUT(txtHtml(m_page->view()).contains(first), 5000);
}

void TestChapterRulesDialog::rightClickOn(const QString& word, const QString& line)
{
    QTRY_VERIFY_WITH_TIMEOUT(runJs(m_page->view(), QStringLiteral("window.readerChannelReady === true")).toBool(),
                             10000);
    const QString script =
        QStringLiteral(
            "(function(word){var t=document.getElementById('TXT');var "
            "w=document.createTreeWalker(t,NodeFilter.SHOW_TEXT);"
            "var n;while((n=w.nextNode())){var i=n.nodeValue.indexOf(word);if(i<0)continue;var "
            "r=document.createRange();"
            "r.setStart(n,i);r.setEnd(n,i+1);var b=r.getBoundingClientRect();var x=b.left+b.width/2,y=b.top+b.height/2;"
            "var e=new MouseEvent('contextmenu',{bubbles:true,cancelable:true,clientX:x,clientY:y});"
            "(document.elementFromPoint(x,y)||t).dispatchEvent(e);return true;}return false;})('%1')")
            .arg(word);
    QVERIFY(runJs(m_page->view(), script).toBool());
    QTRY_COMPARE_WITH_TIMEOUT(m_page->view()->bridge()->contextLineText(), line, 5000);
}

// A rule that makes volumes a level folds them in the list while navigation still goes row by
// row; the page's menu sets a chapter start on the right-clicked line and drops a heading.
void TestChapterRulesDialog::volumesFoldAndMarksComeFromThePage()
{
    const QString path = m_fx->writeBook(
        QStringLiteral("卷.txt"), QStringLiteral("书名\n第一卷 风起\n第1章 甲\n内容一\n插曲 开始\n内容二\n第2章 乙\n"
                                                 "内容三\n第二卷 云涌\n第3章 丙\n内容四\n"));
    const HeadingRule rule = *RuleLibrary().find(QStringLiteral("第N章、卷与序章番外"));
    QVERIFY(m_fx->library.setBookRule(path, rule.name, rule.pattern));
    open(path);
    ChapterListModel& model = m_page->chapterModel();
    QCOMPARE(model.count(), 6);
    QVERIFY(model.hasVolumes());
    QVERIFY(model.isVolume(1) && model.isVolume(4) && !model.isVolume(2));
    QCOMPARE(model.data(model.index(1, ChapterListModel::LabelColumn), Qt::DisplayRole).toString(),
             QStringLiteral("▾ 第一卷 风起"));
    QCOMPARE(model.label(1), QStringLiteral("第一卷 风起")); // what a bookmark holds

    QTreeView* list = m_page->chapterList();
    model.setCollapsed(1, true);
    QVERIFY(list->isRowHidden(2, {}) && list->isRowHidden(3, {}) && !list->isRowHidden(4, {}));
    // The next chapter after the volume heading is its first chapter, folded or not.
    controller().setSelectedRow(1);
    controller().changeChapter(ReadingController::KeyRight);
    QCOMPARE(controller().selectedRow(), 2);
    QVERIFY(!list->isRowHidden(2, {}));

    showRow(2);
    rightClickOn(QStringLiteral("插曲"), QStringLiteral("插曲 开始"));
    QCOMPARE(m_page->view()->bridge()->contextLineIndex(), 2);
    QSignalSpy filled(&controller(), &ReadingController::chapterListFilled);
    m_page->markChapterStart();
    QVERIFY(filled.wait(10000));
    QCOMPARE(model.count(), 7);
    QCOMPARE(model.label(3), QStringLiteral("插曲 开始"));

    showRow(4);
    rightClickOn(QStringLiteral("第2章"), QStringLiteral("第2章 乙"));
    m_page->dropChapterHeading();
    QVERIFY(filled.wait(10000));
    QCOMPARE(model.count(), 6);
    QCOMPARE(model.label(4), QStringLiteral("第二卷 云涌"));
    QCOMPARE(m_fx->dialogs.count(), 0);
    QCOMPARE(m_fx->library.chapterMarks(path).size(), 2);
}

QTEST_MAIN(TestChapterRulesDialog)
#include "tst_chapterrulesdialog.moc"
