// Chapter rules: the built-in patterns on heading and in-prose lines, Chinese numerals, the
// JSON rule files, and the automatic choice on real novels and on small books made here.
#include "reader/rules/AutoRuleChoice.h"
#include "reader/rules/ChineseNumerals.h"
#include "reader/rules/RuleLibrary.h"
#include "reader/text/ChapterListing.h"
#include "reader/text/ChapterScan.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString novel(const char* name)
{
    return QStringLiteral(QUILLMERE_TESTDATA_DIR "/novels/") + QLatin1String(name);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Prose for one chapter: lines that open with what headings open with, as novels have them.
QString prose(int chapter)
{
    static const QStringList lines = {
        QStringLiteral("第二天他起得很早。"),
        QStringLiteral("第三个人走了进来"),
        QStringLiteral("第一次见面时，她什么也没说"),
        QStringLiteral("一、二、三，他数着台阶往上走。"),
        QStringLiteral("1、2、3，孩子们齐声喊道。"),
        QStringLiteral("序齿排坐，众人举杯。"),
        QStringLiteral("他翻开书，看到第%1章的批注，心里一动，又合上了。"),
        QStringLiteral("雨一直下到傍晚，街上的行人渐渐少了，只有卖馄饨的老汉还守着摊子。"),
    };
    QString text;
    for (int i = 0; i < 24; ++i) {
        const QString& line = lines[(i + chapter) % lines.size()];
        text += (line.contains(QLatin1String("%1")) ? line.arg(chapter) : line) + QLatin1Char('\n');
    }
    return text;
}

QString chineseNumber(int n)
{
    static const QString digits = QStringLiteral("零一二三四五六七八九");
    if (n < 10)
        return digits[n];
    if (n < 20)
        return QStringLiteral("十") + (n % 10 ? QString(digits[n % 10]) : QString());
    return QString(digits[n / 10]) + QStringLiteral("十") + (n % 10 ? QString(digits[n % 10]) : QString());
}

QStringList labels(const ChapterScan& scan)
{
    QStringList out;
    for (const ChapterRow& row : scan.rows)
        out << row.label;
    return out;
}

} // namespace

class TestHeadingRules : public QObject {
    Q_OBJECT

private slots:
    void numerals_data();
    void numerals();
    void builtInRules_data();
    void builtInRules();
    void inProseLinesMatchNoStrictRule_data();
    void inProseLinesMatchNoStrictRule();
    void jsonRoundTrip();
    void jsonImport();
    void defaultRuleGivesTodaysRows();
    void autoOnNovels_data();
    void autoOnNovels();
    void autoOnMadeBooks_data();
    void autoOnMadeBooks();
    void tableOfContentsJoinsFirstRow();
    void tool();
};

void TestHeadingRules::numerals_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value");
    const QList<QPair<const char*, qint64>> rows = {
        {"一", 1},
        {"十", 10},
        {"十二", 12},
        {"二十", 20},
        {"二十一", 21},
        {"一百零三", 103},
        {"两百", 200},
        {"三百五", 350},
        {"一百十", 110},
        {"一千零一", 1001},
        {"一万二", 12000},
        {"一○○", 100},
        {"一〇〇", 100},
        {"一一", 11},
        {"八三", 83},
        {"〇", 0},
        {"零", 0},
        {"１２", 12},
        {"123", 123},
        {"廿一", 21},
        {"壹佰贰拾", 120},
        {"兩百零八", 208},
        {"一千二百三十四", 1234},
        {"十十", -1},
        {"百", -1},
        {"二二十", -1},
        {"三千二千", -1},
        {"第一", -1},
        {"", -1},
    };
    for (const auto& row : rows)
        QTest::newRow(*row.first ? row.first : "empty") << QString::fromUtf8(row.first) << row.second;
}

void TestHeadingRules::numerals()
{
    QFETCH(QString, text);
    QFETCH(qint64, value);
    QCOMPARE(parseChineseNumber(text), value);
    if (value > 0) {
        QCOMPARE(headingNumber(QStringLiteral("《三国演义》第%1回 宴桃园").arg(text)), value);
        QCOMPARE(headingNumber(QStringLiteral("第二卷 第%1章").arg(text)), value);
    }
}

void TestHeadingRules::builtInRules_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("matches");
    const auto add = [](const char* rule, const char* line, bool matches) {
        QTest::addRow("%s: %s", rule, line) << QString::fromUtf8(rule) << QString::fromUtf8(line) << matches;
    };
    const char* main = "第N章、卷与序章番外";
    for (const char* line :
         {"第一章", "第十二章 风起云涌", "　　第一百二十三章　决战", "第１２章 全角", "第12章：标题",
          "第两百零三章 归来", "第〇章", "第一回　灵根育孕源流出　心性修持大道生", "第三节", "第二卷 云涌", "卷三 风雨",
          "第一部 少年", "楔子", "序章 开始", "番外一 后日谈", "完本感言", "后记", "尾声", "序"})
        add(main, line, true);
    for (const char* line : {"第二章节里写着什么。", "第一章的开头，", "前言戏之耳，岂知弄假成真，",
                             "第十二章风起云涌这一章写得最好看也最长的一章了真的写得很好很好很好的一章呀"})
        add(main, line, false);
    add("第N章/回/节/集", "第八十七回 七绝山", true);
    add("第N章/回/节/集", "《三国演义》第一回 宴桃园豪杰三结义", true);
    add("第N章/回/节/集", "《》目录 第一回　灵根育孕源流出", true);
    add("第N章/回/节/集", "第二卷 云涌", false);
    add("第N卷/部", "第二卷 云涌", true);
    add("第N卷/部", "第二章 云涌", false);
    add("序章、楔子、后记、番外", "楔子　张天师祈禳瘟疫", true);
    add("序章、楔子、后记、番外", "序齿排坐", false);
    add("数字、标题", "1、初见", true);
    add("数字、标题", "12. 重逢", true);
    add("数字、标题", "３、标题", true);
    add("数字、标题", "1.5倍的速度", false);
    add("中文数字、标题", "十二、重逢", true);
    add("中文数字、标题", "一、初见", true);
    add("Chapter N", "Chapter 1", true);
    add("Chapter N", "CHAPTER 12 The End", true);
    add("Chapter N", "Chapter IV", true);
    add("Chapter N", "Prologue", true);
    add("Chapter N", "Chapters are long", false);
    add("Chapter N", "Chapter and verse", false);
    add("【第N章】", "【第一章】初到京城", true);
    add("【第N章】", "【第12章 风起】", true);
    add("【第N章】", "【第一次】", false);
    add("纯数字行", "12", true);
    add("纯数字行", "　一百零三", true);
    add("纯数字行", "12个人", false);
}

void TestHeadingRules::builtInRules()
{
    QFETCH(QString, rule);
    QFETCH(QString, line);
    QFETCH(bool, matches);
    const RuleLibrary library;
    const HeadingRule* found = library.find(rule);
    QVERIFY(found);
    const RuleMatcher matcher(*found);
    QVERIFY2(matcher.isValid(), qPrintable(matcher.errorString()));
    QCOMPARE(matcher.matches(line), matches);
    QVERIFY(matcher.matches(found->example));
}

void TestHeadingRules::inProseLinesMatchNoStrictRule_data()
{
    QTest::addColumn<QString>("line");
    for (const char* line :
         {"第二天他起得很早。", "第三个人走了进来", "第一次见面时", "第一次见面时，她什么也没说", "他是第一章里的人。",
          "此開卷第一回也．作者自云：因曾歷過一番夢幻之後", "古今第一淫人也”", "十分钟后他到了", "2019年的冬天",
          "一、二、三，他数着台阶往上走。", "1、2、3，孩子们齐声喊道。", "序齒，禮拜猴王。安排酒果，接風賀喜，啟問",
          "楔子是什么？他问。", "第二回合开始了，", "第二回合开始了", "第三节课我们去操场", "第一部手机是他送的",
          "卷起袖子就干", "后记得他说过"})
        QTest::newRow(line) << QString::fromUtf8(line);
}

void TestHeadingRules::inProseLinesMatchNoStrictRule()
{
    QFETCH(QString, line);
    for (const HeadingRule& rule : RuleLibrary::builtInRules()) {
        const RuleMatcher matcher(rule);
        if (!matcher.isDefault())
            QVERIFY2(!matcher.matches(line), qPrintable(rule.name));
    }
}

void TestHeadingRules::jsonRoundTrip()
{
    RuleLibrary library;
    HeadingRule own;
    own.name = QStringLiteral("我的规则");
    own.pattern = QStringLiteral("^卷[0-9]+");
    own.example = QStringLiteral("卷1");
    own.enabled = false;
    library.add(own);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rules.json"));
    QVERIFY(library.exportFile(path));
    QStringList errors;
    RuleLibrary again(QList<HeadingRule>{});
    QVERIFY(again.importFile(path, &errors));
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    QCOMPARE(again.rules(), library.rules());
}

void TestHeadingRules::jsonImport()
{
    // The layout other readers write: an array, fields in any order, some left out.
    const QByteArray json = R"json([
        {"serialNumber": 5, "enable": false, "name": "目录(去空白)", "rule": "^[ 　\\t]{0,4}第.{1,7}章.{0,30}$", "example": "第一章 x"},
        {"name": "坏规则", "rule": "第(", "enable": true},
        {"rule": "^无名"},
        {"name": "Chapter 大写", "rule": "^CHAPTER \\d+"}
    ])json";
    QStringList errors;
    const QList<HeadingRule> rules = RuleLibrary::fromJson(json, &errors);
    QCOMPARE(rules.size(), 2);
    QCOMPARE(errors.size(), 2);
    QCOMPARE(rules[0].name, QStringLiteral("Chapter 大写")); // serial 3, its place in the file
    QVERIFY(rules[0].enabled);
    QCOMPARE(rules[1].name, QStringLiteral("目录(去空白)"));
    QVERIFY(!rules[1].enabled);
    QCOMPARE(rules[1].serialNumber, 5);
    QVERIFY(RuleMatcher(rules[1]).matches(QStringLiteral("　第十章 归来")));
    QVERIFY(RuleLibrary::fromJson("not json", &errors).isEmpty());
    const QByteArray out = RuleLibrary::toJson(rules);
    for (const char* key : {"\"name\"", "\"rule\"", "\"example\"", "\"enable\"", "\"serialNumber\""})
        QVERIFY(out.contains(key));
}

void TestHeadingRules::defaultRuleGivesTodaysRows()
{
    const QString path = novel("nahan-luxun-pg-gb18030.txt");
    if (!QFile::exists(path))
        QSKIP("the shared test novels are not here");
    const QByteArray today = chapterListing(getChapterRows(path));
    QCOMPARE(chapterListing(scanWithRule(path, defaultRule())), today);
    // Tried among other rules, it still gives the same rows when chosen.
    AutoRuleChoice choice({defaultRule(), *RuleLibrary().find(QStringLiteral("Chapter N"))});
    QCOMPARE(chapterListing(choice.scan(path)), today);
    QCOMPARE(choice.chosen().name, defaultRuleName());
}

void TestHeadingRules::autoOnNovels_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("headings");
    QTest::addColumn<QString>("truth"); // every heading row's label matches it
    const QString hui = QStringLiteral("^(第[一二三四五六七八九十百○〇]{1,4}回|楔子)");
    QTest::newRow("xiyouji-pg") << novel("xiyouji-pg-utf8.txt") << 100 << hui;
    QTest::newRow("xiyouji-pg gb18030") << novel("xiyouji-pg-gb18030.txt") << 100 << hui;
    QTest::newRow("xiyouji-web-simp") << novel("xiyouji-web-simp-gbk.txt") << 100
                                      << QStringLiteral("^《》目录 第.{1,4}回");
    QTest::newRow("shuihuzhuan (楔子 + 70)") << novel("shuihuzhuan-pg-utf8.txt") << 71 << hui;
    QTest::newRow("shuihuzhuan crlf") << novel("shuihuzhuan-pg-utf8-crlf.txt") << 71 << hui;
    // Two headings run on into their first paragraph there; no heading rule takes such a line.
    QTest::newRow("rulinwaishi utf16") << novel("rulinwaishi-pg-utf16le-bom.txt") << 39 << hui;
    // 吶喊: only 阿Q正傳 has numbered headings; its 第二日 lines and section numbers are not.
    QTest::newRow("nahan") << novel("nahan-luxun-pg-utf8.txt") << 9 << QStringLiteral("^第[一二三四五六七八九]章");
}

void TestHeadingRules::autoOnNovels()
{
    QFETCH(QString, file);
    QFETCH(int, headings);
    QFETCH(QString, truth);
    if (!QFile::exists(file))
        QSKIP(qPrintable(QStringLiteral("not in the shared test data: %1").arg(file)));
    AutoRuleChoice choice(RuleLibrary().enabledRules());
    const ChapterScan scan = choice.scan(file);
    QVERIFY(scan.readable);
    const QRegularExpression re(truth);
    QStringList wrong;
    for (int i = 1; i < scan.rows.size(); ++i)
        if (!re.match(scan.rows[i].label).hasMatch())
            wrong << scan.rows[i].label;
    QVERIFY2(wrong.isEmpty(), qPrintable(choice.chosen().name + QLatin1Char(' ') + wrong.join(QLatin1Char('|'))));
    QCOMPARE(scan.rows.size() - 1, headings);
}

void TestHeadingRules::autoOnMadeBooks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QStringList>("headings");

    const auto book = [](const std::function<QString(int)>& heading, int chapters, const QString& front = {}) {
        QString text = QStringLiteral("书名\n") + front;
        for (int i = 1; i <= chapters; ++i)
            text += heading(i) + QLatin1Char('\n') + prose(i);
        return text;
    };
    const auto heads = [](const std::function<QString(int)>& heading, int chapters, QStringList first = {}) {
        for (int i = 1; i <= chapters; ++i)
            first << heading(i);
        return first;
    };
    const auto chapter = [](int i) { return QStringLiteral("第%1章 风雨%1").arg(chineseNumber(i)); };
    const auto english = [](int i) { return QStringLiteral("Chapter %1").arg(i); };
    const auto numbered = [](int i) { return QStringLiteral("%1、归途%1").arg(i); };
    const auto chineseListed = [](int i) { return QStringLiteral("%1、归途").arg(chineseNumber(i)); };
    const auto bare = [](int i) { return QString::number(i); };
    const auto bracket = [](int i) { return QStringLiteral("【第%1章】").arg(i); };

    QTest::newRow("第N章 with in-prose 第二天 lines")
        << book(chapter, 12) << QStringLiteral("第N章、卷与序章番外") << heads(chapter, 12);
    QTest::newRow("楔子 + 第N章") << book(chapter, 10, QStringLiteral("楔子\n") + prose(0))
                                  << QStringLiteral("第N章、卷与序章番外")
                                  << heads(chapter, 10, {QStringLiteral("楔子")});
    QTest::newRow("Chapter N") << book(english, 15) << QStringLiteral("Chapter N") << heads(english, 15);
    QTest::newRow("1、标题") << book(numbered, 14) << QStringLiteral("数字、标题") << heads(numbered, 14);
    QTest::newRow("一、标题") << book(chineseListed, 14) << QStringLiteral("中文数字、标题")
                              << heads(chineseListed, 14);
    QTest::newRow("number lines") << book(bare, 20) << QStringLiteral("纯数字行") << heads(bare, 20);
    QTest::newRow("【第N章】") << book(bracket, 11) << QStringLiteral("【第N章】") << heads(bracket, 11);

    // Volumes: chapter numbers start again in each.
    QString volumes = QStringLiteral("书名\n");
    QStringList volumeHeads;
    for (int v = 1; v <= 3; ++v) {
        volumes += QStringLiteral("第%1卷 卷名\n").arg(chineseNumber(v));
        volumeHeads << QStringLiteral("第%1卷 卷名").arg(chineseNumber(v));
        for (int i = 1; i <= 6; ++i) {
            volumes += chapter(i) + QLatin1Char('\n') + prose(i);
            volumeHeads << chapter(i);
        }
    }
    QTest::newRow("volumes") << volumes << QStringLiteral("第N章、卷与序章番外") << volumeHeads;

    // The volume named on each chapter's line, numbers starting again in each volume, a web
    // copy's "正文" before each heading.
    QString inLine = QStringLiteral("书名\n");
    QStringList inLineHeads;
    for (int v = 1; v <= 3; ++v) {
        for (int i = 1; i <= 5; ++i) {
            const QString heading = QStringLiteral("正文 第%1卷 第%2章 归来").arg(v).arg(i);
            inLine += heading + QLatin1Char('\n') + prose(i);
            inLineHeads << heading;
        }
    }
    QTest::newRow("volume on the chapter's line") << inLine << QStringLiteral("第N章、卷与序章番外") << inLineHeads;

    // Hard-wrapped text: every 30 characters a line end, so 第一回 inside prose comes to a line
    // start now and then; the headings stand on lines of their own.
    QString wrapped = QStringLiteral("红楼梦\n");
    QStringList wrappedHeads;
    for (int i = 1; i <= 12; ++i) {
        const QString heading = QStringLiteral("第%1回　甄士隱夢幻識通靈　賈雨村風塵懷閨秀").arg(chineseNumber(i));
        wrappedHeads << heading;
        QString paragraph;
        for (int k = 0; k < 10; ++k)
            paragraph +=
                QStringLiteral("此開卷第%1回也．作者自云：因曾歷過一番夢幻之後，故將真事隱去，古今第一淫人也”。")
                    .arg(chineseNumber(i));
        wrapped += heading + QLatin1Char('\n');
        for (qsizetype at = 0; at < paragraph.size(); at += 30)
            wrapped += paragraph.mid(at, 30) + QLatin1Char('\n');
    }
    QString repeated = QStringLiteral("书名\n");
    QStringList repeatedHeads;
    for (int i = 1; i <= 10; ++i) {
        repeated += QStringLiteral("第%1回\n第%1回　宴桃园豪杰三结义\n").arg(chineseNumber(i)) + prose(i);
        repeatedHeads << QStringLiteral("第%1回").arg(chineseNumber(i));
    }
    QTest::newRow("heading alone, then with its title")
        << repeated << QStringLiteral("第N章、卷与序章番外") << repeatedHeads;

    QTest::newRow("hard-wrapped 回") << wrapped << QStringLiteral("第N章、卷与序章番外") << wrappedHeads;
}

void TestHeadingRules::autoOnMadeBooks()
{
    QFETCH(QString, text);
    QFETCH(QString, rule);
    QFETCH(QStringList, headings);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.txt"));
    QVERIFY(writeFile(path, text.toUtf8()));
    AutoRuleChoice choice(RuleLibrary().enabledRules());
    const ChapterScan scan = choice.scan(path);
    QCOMPARE(labels(scan).mid(1), headings);
    QCOMPARE(choice.chosen().name, rule);
}

void TestHeadingRules::tableOfContentsJoinsFirstRow()
{
    QString text = QStringLiteral("书名\n目录\n");
    for (int i = 1; i <= 8; ++i)
        text += QStringLiteral("第%1章 风雨\n").arg(i);
    for (int i = 1; i <= 8; ++i)
        text += QStringLiteral("第%1章 风雨\n").arg(i) + prose(i);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.txt"));
    QVERIFY(writeFile(path, text.toUtf8()));
    AutoRuleChoice choice(RuleLibrary().enabledRules());
    const ChapterScan scan = choice.scan(path);
    QCOMPARE(scan.rows.size(), 9);
    QCOMPARE(scan.rows[0].last, 9); // the title, 目录 and the eight listed headings
    QCOMPARE(scan.rows[1].first, 9);
}

void TestHeadingRules::tool()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.txt"));
    QString text = QStringLiteral("书名\n");
    for (int v = 1; v <= 2; ++v) {
        text += QStringLiteral("第%1卷 卷名\n").arg(v);
        for (int i = 1; i <= 5; ++i)
            text += QStringLiteral("Chapter %1\n").arg(i) + prose(i);
    }
    QVERIFY(writeFile(path, text.toUtf8()));
    const auto run = [&](const QStringList& args, QByteArray* err = nullptr) {
        QProcess process;
        process.start(QStringLiteral(QUILLMERE_BIN_DIR "/quillmere-chapters"), args + QStringList{path});
        if (!process.waitForFinished(30000))
            return QByteArray("timeout");
        if (err)
            *err = process.readAllStandardError();
        return process.exitCode() == 0 ? process.readAllStandardOutput()
                                       : QByteArray("exit ") + QByteArray::number(process.exitCode());
    };
    QByteArray err;
    const QByteArray automatic = run({QStringLiteral("--rule"), QStringLiteral("auto")}, &err);
    QCOMPARE(err, QByteArray("Chapter N\n"));
    QCOMPARE(automatic.count('\n'), 11);
    QCOMPARE(run({}), chapterListing(getChapterRows(path)));
    QCOMPARE(run({QStringLiteral("--rule"), QStringLiteral("默认规则")}), run({}));
    const QByteArray own = run({QStringLiteral("--rule"), QStringLiteral("^(第.卷|Chapter \\d+)")});
    QCOMPARE(own.count('\n'), 13);
    const QByteArray levels =
        run({QStringLiteral("--rule"), QStringLiteral("^(第.卷|Chapter \\d+)"), QStringLiteral("--levels")});
    QVERIFY(levels.startsWith("2\t1\t0,0\t书名\n1\t2\t0,"));
    QCOMPARE(levels.count("\n1\t"), 2);
    QCOMPARE(run({QStringLiteral("--rule"), QStringLiteral("第(")}), QByteArray("exit 2"));
}

QTEST_GUILESS_MAIN(TestHeadingRules)
#include "tst_headingrules.moc"
