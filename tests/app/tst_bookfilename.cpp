#include "app/BookFileName.h"

#include <QtTest>

// Titles and authors read from the names novels come under.
class TestBookFileName : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
};

void TestBookFileName::parse_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("author");

    QTest::newRow("book title marks") << QStringLiteral("《斗破苍穹》天蚕土豆.txt") << QStringLiteral("斗破苍穹")
                                      << QStringLiteral("天蚕土豆");
    QTest::newRow("marks and author label") << QStringLiteral("/home/u/书/《凡人修仙传》作者：忘语.TXT")
                                            << QStringLiteral("凡人修仙传") << QStringLiteral("忘语");
    QTest::newRow("author before marks") << QStringLiteral("萧鼎《诛仙》.txt") << QStringLiteral("诛仙")
                                         << QStringLiteral("萧鼎");
    QTest::newRow("marks only") << QStringLiteral("《三体》.txt") << QStringLiteral("三体") << QString();
    QTest::newRow("full-width colon") << QStringLiteral("雪中悍刀行 作者：烽火戏诸侯.txt")
                                      << QStringLiteral("雪中悍刀行") << QStringLiteral("烽火戏诸侯");
    QTest::newRow("ascii colon, Windows path")
        << QStringLiteral("C:\\小说\\庆余年 作者:猫腻.txt") << QStringLiteral("庆余年") << QStringLiteral("猫腻");
    QTest::newRow("dash") << QStringLiteral("遮天-辰东.txt") << QStringLiteral("遮天") << QStringLiteral("辰东");
    QTest::newRow("spaced dash") << QStringLiteral("盗墓笔记 - 南派三叔.txt") << QStringLiteral("盗墓笔记")
                                 << QStringLiteral("南派三叔");
    QTest::newRow("two dashes stay title")
        << QStringLiteral("三体-地球往事-刘慈欣.txt") << QStringLiteral("三体-地球往事-刘慈欣") << QString();
    QTest::newRow("long part after dash is title")
        << QStringLiteral("回到明朝当王爷-第一卷至第三卷精校全本完结版.txt")
        << QStringLiteral("回到明朝当王爷-第一卷至第三卷精校全本完结版") << QString();
    QTest::newRow("plain name") << QStringLiteral("/书/鬼吹灯.txt") << QStringLiteral("鬼吹灯") << QString();
    QTest::newRow("dots inside") << QStringLiteral("第1.5部.txt") << QStringLiteral("第1.5部") << QString();
    QTest::newRow("extension only") << QStringLiteral(".txt") << QStringLiteral(".txt") << QString();
}

void TestBookFileName::parse()
{
    QFETCH(QString, path);
    QFETCH(QString, title);
    QFETCH(QString, author);
    const BookFileName parsed = BookFileName::parse(path);
    QCOMPARE(parsed.title, title);
    QCOMPARE(parsed.author, author);
}

QTEST_GUILESS_MAIN(TestBookFileName)
#include "tst_bookfilename.moc"
