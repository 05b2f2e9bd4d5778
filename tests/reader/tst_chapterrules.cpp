#include "app/LibraryDatabase.h"
#include "reader/chapters/BookChapters.h"
#include "reader/chapters/ChapterChoices.h"
#include "reader/chapters/ChapterMarkEditor.h"
#include "reader/chapters/ChapterMarks.h"
#include "reader/chapters/EncodingCandidates.h"
#include "reader/chapters/RulePreview.h"
#include "reader/rules/RuleLibrary.h"
#include "reader/text/TextDecoder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// What a rule's preview reports, and the user's chapter marks on a book's rows.
class TestChapterRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void suspiciousHeadings_data();
    void suspiciousHeadings();
    void previewFigures();
    void patternProblems_data();
    void patternProblems();
    void marksSurviveRuleChangeAndEdit_data();
    void marksSurviveRuleChangeAndEdit();
    void markEditorOnShownLines();
    void encodingCandidatesSideBySide();
    void newBooksChooseTheirRuleOnce();

private:
    QString write(const QString& name, const QByteArray& bytes);
    QTemporaryDir m_dir;
};

namespace {

QList<ChapterRow> rowsOf(const QStringList& labels, const QList<qint64>& sizes = {})
{
    QList<ChapterRow> rows;
    qint64 at = 0;
    for (int i = 0; i < labels.size(); ++i) {
        ChapterRow row;
        row.number = i + 1;
        row.label = labels[i];
        row.byteBegin = at;
        at += i < sizes.size() ? sizes[i] : 100;
        row.byteEnd = at;
        rows << row;
    }
    return rows;
}

QStringList labelsOf(const ChapterScan& scan)
{
    QStringList labels;
    for (const ChapterRow& row : scan.rows)
        labels << row.label;
    return labels;
}

} // namespace

QString TestChapterRules::write(const QString& name, const QByteArray& bytes)
{
    const QString path = m_dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

void TestChapterRules::suspiciousHeadings_data()
{
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QStringList>("found"); // "row:reason"

    QTest::newRow("numbering runs on") << QStringList{"书名", "第一章 起", "第二章 承", "第三章 转"} << QStringList{};
    QTest::newRow("sentence in prose") << QStringList{"书名", "第一章 起", "第二天他起得很早。", "第二章 承"}
                                       << QStringList{"2:像是正文句子"};
    QTest::newRow("jumps back") << QStringList{"书名", "第一章", "第五章", "第三章", "第四章"}
                                << QStringList{"3:编号倒退"};
    QTest::newRow("repeats") << QStringList{"书名", "第1章 甲", "第2章 乙", "第2章 乙"} << QStringList{"3:编号重复"};
    QTest::newRow("volume restarts numbering")
        << QStringList{"书名", "第一卷 风起", "第一章", "第二章", "第二卷 云涌", "第一章", "第二章"} << QStringList{};
    QTest::newRow("ends in a comma") << QStringList{"书名", "第一次见面时，", "第一章"}
                                     << QStringList{"1:像是正文句子"};
}

void TestChapterRules::suspiciousHeadings()
{
    QFETCH(QStringList, labels);
    QFETCH(QStringList, found);
    QStringList got;
    for (const SuspiciousHeading& line : findSuspiciousHeadings(rowsOf(labels)))
        got << QStringLiteral("%1:%2").arg(line.row).arg(line.reason);
    QCOMPARE(got, found);
}

void TestChapterRules::previewFigures()
{
    // Row 1 (the title before the first heading) is no chapter to compare; a chapter listed in
    // parts counts once, with the size of all its parts.
    QList<ChapterRow> rows = rowsOf({"书名", "第一章 短", "第二章 长（第1部分）", "第二章 长（第2部分）", "第三章 中"},
                                    {5, 40, 300, 300, 120});
    rows[2].part = 1;
    rows[3].part = 2;
    rows[3].first = rows[2].first = 7;
    rows[3].last = rows[2].last = 9;
    const RulePreview preview = RulePreview::ofRows(rows);
    QCOMPARE(preview.chapters, 4);
    QCOMPARE(preview.shortest.label, QStringLiteral("第一章 短"));
    QCOMPARE(preview.shortest.bytes, 40);
    QCOMPARE(preview.longest.label, QStringLiteral("第二章 长"));
    QCOMPARE(preview.longest.bytes, 600);
    QCOMPARE(preview.firstHeadings, (QStringList{"第一章 短", "第二章 长", "第三章 中"}));
}

void TestChapterRules::patternProblems_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("problem");
    QTest::newRow("fine") << "^第.{1,5}章"
                          << "";
    QTest::newRow("empty") << "  "
                           << "请输入章节标题的正则表达式。";
    QTest::newRow("open group") << "^第("
                                << "正则表达式有误（第 4 个字符处）：missing closing parenthesis";
    QTest::newRow("matches every line") << ".*"
                                        << "这个正则表达式连空行也能匹配，每一行都会成为章节，请写得更具体些。";
}

void TestChapterRules::patternProblems()
{
    QFETCH(QString, pattern);
    QFETCH(QString, problem);
    QCOMPARE(patternProblem(pattern), problem);
}

void TestChapterRules::marksSurviveRuleChangeAndEdit_data()
{
    QTest::addColumn<int>("encoding");
    QTest::newRow("UTF-8") << int(TextEncoding::Utf8);
    QTest::newRow("GB18030") << int(TextEncoding::Gb18030);
    QTest::newRow("UTF-16LE") << int(TextEncoding::Utf16LE);
}

// A start set on a line and a heading dropped give the same rows under the default rule and
// under a built-in one, and are found again by their text after lines were added above them.
void TestChapterRules::marksSurviveRuleChangeAndEdit()
{
    QFETCH(int, encoding);
    const auto enc = TextEncoding(encoding);
    const QString body =
        QStringLiteral("书名\n第1章 甲\n内容一\n插曲 开始\n内容二\n第2章 乙\n内容三\r\n第3章 丙\n内容四\n");
    QByteArray bytes = encodeText(body, enc);
    const QString path = write(QStringLiteral("marks.txt"), bytes);

    const QByteArray interlude = encodeText(QStringLiteral("插曲 开始"), enc);
    const QByteArray second = encodeText(QStringLiteral("第2章 乙"), enc);
    const QList<ChapterMarkRow> marks = {{bytes.indexOf(interlude), QStringLiteral("插曲 开始"), true},
                                         {bytes.indexOf(second), QStringLiteral("第2章 乙"), false}};
    const QStringList expected = {"书名", "第1章 甲", "插曲 开始", "第3章 丙"};

    BookChapterRequest request;
    request.path = path;
    request.limits.encoding = enc;
    request.marks = marks;
    const BookChapters plain = scanBookChapters(request);
    QCOMPARE(labelsOf(plain.scan), expected);
    QCOMPARE(plain.marks.size(), 2);
    // The joined chapter holds the dropped heading's text, and the lines still add up.
    QCOMPARE(readChapterLines(plain.scan, 2), (QStringList{"插曲 开始", "内容二", "第2章 乙", "内容三"}));
    QCOMPARE(plain.scan.rows[2].range(), QStringLiteral("2,6"));
    QCOMPARE(readChapterLines(plain.scan, 1), (QStringList{"第1章 甲", "内容一"}));

    request.rule = *RuleLibrary().find(QStringLiteral("第N章/回/节/集"));
    QCOMPARE(labelsOf(scanBookChapters(request).scan), expected);

    // Lines added at the top move every offset; the marks are found by their text.
    write(QStringLiteral("marks.txt"), encodeText(QStringLiteral("前言\n又一行\n"), enc) + bytes);
    const BookChapters edited = scanBookChapters(request);
    QCOMPARE(labelsOf(edited.scan), (QStringList{"前言", "第1章 甲", "插曲 开始", "第3章 丙"}));
    QCOMPARE(edited.scan.rows[2].range(), QStringLiteral("4,8"));
    QCOMPARE(edited.storedOffsets, (QList<qint64>{marks[0].offset, marks[1].offset}));
    QCOMPARE(edited.marks[0].offset, marks[0].offset + encodeText(QStringLiteral("前言\n又一行\n"), enc).size());

    // A mark whose line is gone is left out; the rule's rows stay.
    write(QStringLiteral("marks.txt"),
          encodeText(QString(body).replace(QStringLiteral("插曲 开始"), QStringLiteral("别的")), enc));
    const BookChapters gone = scanBookChapters(request);
    QCOMPARE(labelsOf(gone.scan), (QStringList{"书名", "第1章 甲", "第3章 丙"}));
    QCOMPARE(gone.marks.size(), 1);
}

// The editor finds the right-clicked line in the chapter shown and stores the mark; taking a
// start back removes it instead of stacking a drop on it.
void TestChapterRules::markEditorOnShownLines()
{
    const QByteArray bytes = QStringLiteral("书名\n第1章 甲\n同一行\n插曲\n同一行\n第2章 乙\n内容\n").toUtf8();
    const QString path = write(QStringLiteral("editor.txt"), bytes);
    LibraryDatabase library(QStringLiteral("marks"));
    QVERIFY(library.open(m_dir.filePath(QStringLiteral("Data.db"))) == LibraryDatabase::OpenResult::Created);
    ChapterScan scan = getChapterRows(path);
    QCOMPARE(scan.rows.size(), 3);

    ChapterMarkEditor editor(&library, scan, 1);
    // Of two lines reading the same, the one at the page's place is taken.
    QCOMPARE(editor.markStart(QStringLiteral("同一行"), 3), QString());
    QCOMPARE(library.chapterMarks(path).size(), 1);
    QCOMPARE(library.chapterMarks(path).first().offset, qint64(bytes.lastIndexOf("同一行")));
    QCOMPARE(editor.markStart(QStringLiteral("第1章 甲"), 0), QStringLiteral("这一行已经是章节开头了。"));
    QCOMPARE(editor.dropHeading(QStringLiteral("插曲"), 2),
             QStringLiteral("这一行不是章节标题，只能取消章节标题所在的行。"));
    QCOMPARE(editor.markStart(QStringLiteral("不在书里"), 1),
             QStringLiteral("没有找到鼠标所指的这一行，请在正文的文字上点右键再试。"));

    BookChapterRequest request;
    request.path = path;
    request.marks = library.chapterMarks(path);
    scan = scanBookChapters(request).scan;
    QCOMPARE(labelsOf(scan), (QStringList{"书名", "第1章 甲", "同一行", "第2章 乙"}));
    ChapterMarkEditor again(&library, scan, 2);
    QCOMPARE(again.dropHeading(QStringLiteral("同一行"), 0), QString());
    QVERIFY(library.chapterMarks(path).isEmpty());
}

void TestChapterRules::encodingCandidatesSideBySide()
{
    const QString text = QStringLiteral("西遊記\n第一回　靈根育孕源流出\n詩曰：混沌未分天地亂\n");
    const QList<EncodingCandidate> big5 =
        EncodingCandidates::ofSample(encodeText(text, TextEncoding::Big5), TextEncoding::Big5);
    QStringList names;
    for (const EncodingCandidate& c : big5)
        names << c.name;
    QCOMPARE(names, (QStringList{"UTF-8", "GB18030", "BIG5", "UTF-16LE", "UTF-16BE"}));
    QVERIFY(big5[2].detected && big5[2].clean);
    QCOMPARE(big5[2].lines, (QStringList{"西遊記", "第一回　靈根育孕源流出", "詩曰：混沌未分天地亂"}));
    QVERIFY(!big5[0].clean); // Big5 bytes are no UTF-8

    // A UTF-16 book's byte-order mark is no character of its first line.
    const QByteArray utf16 = QByteArray("\xFF\xFE", 2) + encodeText(text, TextEncoding::Utf16LE);
    const QList<EncodingCandidate> le = EncodingCandidates::ofSample(utf16, TextEncoding::Utf16LE);
    QCOMPARE(le[3].lines.first(), QStringLiteral("西遊記"));
}

// Without a choice a book is scanned by the reader's own test; with "新书自动识别章节规则" on, a
// new book gets the best rule once and keeps it. The user's rule list keeps its on/off choices.
void TestChapterRules::newBooksChooseTheirRuleOnce()
{
    QString text = QStringLiteral("书名\n");
    for (int i = 1; i <= 12; ++i)
        text += QStringLiteral("第%1章 标题\n第二天他起得很早。\n正文%1\n").arg(i);
    const QString path = write(QStringLiteral("new.txt"), text.toUtf8());
    LibraryDatabase library(QStringLiteral("choices"));
    QVERIFY(library.open(m_dir.filePath(QStringLiteral("Choices.db"))) == LibraryDatabase::OpenResult::Created);
    ChapterChoices choices(&library);

    BookChapterRequest request = choices.request(path);
    QVERIFY(!request.rule && request.chooseAmong.isEmpty() && !request.limits.encoding);
    const BookChapters plain = scanBookChapters(request);
    QCOMPARE(plain.scan.rows.size(), getChapterRows(path).rows.size());
    QVERIFY(!plain.volumes);
    choices.remember(plain);
    QVERIFY(!library.bookRule(path));

    choices.setChoosesForNewBooks(true);
    const BookChapters chosen = scanBookChapters(choices.request(path));
    QVERIFY(chosen.chosenNow);
    QCOMPARE(chosen.scan.rows.size(), 13);
    choices.remember(chosen);
    QCOMPARE(library.bookRule(path)->ruleName, chosen.rule.name);
    request = choices.request(path);
    QVERIFY(request.rule && request.chooseAmong.isEmpty());
    QCOMPARE(scanBookChapters(request).scan.rows.size(), 13);

    RuleLibrary rules = choices.rules();
    rules.setEnabled(QStringLiteral("纯数字行"), false);
    HeadingRule own;
    own.name = QStringLiteral("我的规则");
    own.pattern = QStringLiteral("^卷.+");
    rules.add(own);
    QVERIFY(choices.saveRules(rules));
    const RuleLibrary again = choices.rules();
    QVERIFY(!again.find(QStringLiteral("纯数字行"))->enabled);
    QCOMPARE(again.find(QStringLiteral("我的规则"))->pattern, own.pattern);
    QCOMPARE(again.rules().size(), RuleLibrary::builtInRules().size() + 1);
}

QTEST_GUILESS_MAIN(TestChapterRules)
#include "tst_chapterrules.moc"
