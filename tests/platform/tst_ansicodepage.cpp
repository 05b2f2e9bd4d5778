#include "platform/AnsiCodePage.h"

#include <QtTest>

class TestAnsiCodePage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void invalidBytesBecomeReplacement();
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

QTEST_GUILESS_MAIN(TestAnsiCodePage)
#include "tst_ansicodepage.moc"
