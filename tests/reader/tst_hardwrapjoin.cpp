// Joining the lines of a hard-wrapped chapter into the paragraphs the author wrote.
#include "reader/text/HardWrapJoin.h"

#include <QTest>

namespace {

// Lines of a book wrapped at twelve full-width characters.
const QString A = QStringLiteral("　　天色渐渐暗了下来他走");
const QString B = QStringLiteral("在回家的路上心里想着今天");
const QString C = QStringLiteral("发生的事情。");
const QString D = QStringLiteral("　　第二段的开头也很长很");
const QString E = QStringLiteral("长一直写到这一行的最后面");
const QString F = QStringLiteral("才结束。");
const QString G = QStringLiteral("　　“我等了你很久了。”");
const QString H = QStringLiteral("他点点头走进屋里去看了看");
const QString I = QStringLiteral("桌上的饭菜。");

} // namespace

class TestHardWrapJoin : public QObject {
    Q_OBJECT
private slots:
    void joins_data();
    void joins();
};

void TestHardWrapJoin::joins_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("paragraphs");
    QTest::newRow("hard-wrapped paragraphs joined")
        << QStringList{A, B, C, D, E, F} << QStringList{A + B + C, D + E + F};
    QTest::newRow("dialogue ending with a closing quote kept")
        << QStringList{A, B, C, G, H, I} << QStringList{A + B + C, G, H + I};
    QTest::newRow("indented next line starts a paragraph") << QStringList{A, D, E, F} << QStringList{A, D + E + F};
    QTest::newRow("blank line kept as a break")
        << QStringList{A, QString(), B, C, D, E, F} << QStringList{A, QString(), B + C, D + E + F};
    const QStringList verse = {QStringLiteral("床前明月光"), QStringLiteral("疑是地上霜"), QStringLiteral("举头望明月"),
                               QStringLiteral("低头思故乡")};
    QTest::newRow("chapter of short lines left as is") << verse << verse;
    QTest::newRow("mixed: heading, trailing blanks, break, dialogue")
        << QStringList{QStringLiteral("第一章 开始"), A, B + QStringLiteral("  "), C, QString(), G, H, I}
        << QStringList{QStringLiteral("第一章 开始"), A + B + C, QString(), G, H + I};
    QTest::newRow("half-width words keep their blank")
        << QStringList{QStringLiteral("The rain had not stopped for"), QStringLiteral("three days and the river was"),
                       QStringLiteral("rising fast under the bridge"), QStringLiteral("at night.")}
        << QStringList{QStringLiteral(
               "The rain had not stopped for three days and the river was rising fast under the bridge at night.")};
}

void TestHardWrapJoin::joins()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, paragraphs);
    QList<JoinedLine> where;
    QCOMPARE(joinHardWrappedLines(lines, &where), paragraphs);
    // Each line is found where the map says it went (the reading place follows it there).
    QCOMPARE(where.size(), lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        while (!line.isEmpty() && line.back().isSpace())
            line.chop(1);
        QVERIFY2(paragraphs.value(where[i].paragraph).mid(where[i].column).startsWith(line), qPrintable(lines[i]));
        QVERIFY(i == 0 || where[i].paragraph >= where[i - 1].paragraph);
    }
}

QTEST_GUILESS_MAIN(TestHardWrapJoin)
#include "tst_hardwrapjoin.moc"
