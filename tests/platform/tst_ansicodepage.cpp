#include "platform/AnsiCodePage.h"

#include <QtTest>

class TestAnsiCodePage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void invalidBytesBecomeReplacement();
    void twoByteCodePage_data();
    void twoByteCodePage();
};

void TestAnsiCodePage::roundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << "abc 1" << QByteArray("abc 1");
    QTest::newRow("gbk") << "男" << QByteArray("\xC4\xD0");
    QTest::newRow("four-byte CJK extension A") << QString::fromUcs4(U"\u4398") << QByteArray("\x82\x33\x84\x34");
    QTest::newRow("outside the BMP") << QString::fromUcs4(U"\U00020000") << QByteArray("\x95\x32\x82\x36");
}

void TestAnsiCodePage::roundTrip()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(AnsiCodePage::encode(text), bytes);
    QCOMPARE(AnsiCodePage::decode(bytes), text);
}

void TestAnsiCodePage::invalidBytesBecomeReplacement()
{
    // A lone lead byte at the end and an invalid pair in the middle do not stop the rest.
    QCOMPARE(AnsiCodePage::decode(QByteArray("a\xC4\x7F"
                                             "b\xC4")),
             QStringLiteral("a\uFFFD\u007Fb\uFFFD"));
}

void TestAnsiCodePage::twoByteCodePage_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii and gbk") << QStringLiteral("a 男\r\n") << QByteArray("a \xC4\xD0\r\n");
    QTest::newRow("gbk beyond gb2312") << QStringLiteral("們") << QByteArray("\x82\x83");
    QTest::newRow("four-byte forms become ?")
        << QString::fromUcs4(U"\u4398x\U00020000\u00E9") << QByteArray("?x?\xA8\xA6");
    QTest::newRow("empty") << QString() << QByteArray();
}

void TestAnsiCodePage::twoByteCodePage()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(AnsiCodePage::encodeGbk(text), bytes);
}

QTEST_GUILESS_MAIN(TestAnsiCodePage)
#include "tst_ansicodepage.moc"
