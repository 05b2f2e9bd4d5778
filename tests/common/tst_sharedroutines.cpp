#include "common/SharedRoutines.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestSharedRoutines : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void formatFileSize_data();
    void formatFileSize();
    void urlEncode_data();
    void urlEncode();
    void checkEmail_data();
    void checkEmail();
    void checkUserName_data();
    void checkUserName();
    void pathPieces_data();
    void pathPieces();
    void createFolderPathMakesEveryLevel();
    void searchFilesWalksDepthFirst();
    void colourText_data();
    void colourText();
    void rntStampHasOneBlank();
};

void TestSharedRoutines::formatFileSize_data()
{
    QTest::addColumn<double>("kb");
    QTest::addColumn<QString>("text");
    QTest::newRow("half a kilobyte") << 0.5 << "0.5 Bytes";
    QTest::newRow("zero") << 0.0 << "0 Bytes";
    QTest::newRow("5") << 5.0 << "5.00 KB";
    QTest::newRow("9.999 rounds to two decimals") << 9.999 << "10.00 KB";
    QTest::newRow("10 has one decimal") << 10.0 << "10.0 KB";
    QTest::newRow("512") << 512.0 << "512 KB";
    QTest::newRow("1000 is megabytes") << 1000.0 << "0.98 MB";
    QTest::newRow("2048") << 2048.0 << "2.00 MB";
    QTest::newRow("50000") << 50000.0 << "48.8 MB";
    QTest::newRow("3000000") << 3000000.0 << "2.86 GB";
    QTest::newRow("grouping") << 2e12 << "1,907,348.6 GB";
}

void TestSharedRoutines::formatFileSize()
{
    QFETCH(double, kb);
    QFETCH(QString, text);
    QCOMPARE(FormatFileSize(kb), text);
}

void TestSharedRoutines::urlEncode_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("encoded");
    QTest::newRow("letter blank digit") << "a 1"
                                        << "a%20%31";
    QTest::newRow("underscore and digit") << "ab_1"
                                          << "ab%5F%31";
    QTest::newRow("chinese") << "男"
                             << "%C4%D0";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("line feed has no padding") << "\n"
                                              << "%A";
    QTest::newRow("at sign and hyphen") << "@-."
                                        << "%40%2D%2E";
    QTest::newRow("full-width punctuation is two bytes") << "，"
                                                         << "%A3%AC";
    QTest::newRow("outside GBK becomes ?") << QString::fromUcs4(U"\U00020000") << "%3F";
    QTest::newRow("mixed") << "保密"
                           << "%B1%A3%C3%DC";
}

void TestSharedRoutines::urlEncode()
{
    QFETCH(QString, value);
    QFETCH(QString, encoded);
    QCOMPARE(URLEncode(value), encoded);
}

void TestSharedRoutines::checkEmail_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("valid");
    QTest::newRow("five characters") << "a@b.c" << true;
    QTest::newRow("dot before at, ends with at") << "ab.c@" << true;
    QTest::newRow("begins with at") << "@ab.c" << false;
    QTest::newRow("ends with dot") << "a@b.c." << false;
    QTest::newRow("no dot") << "a@bc" << false;
    QTest::newRow("dot only in second place") << "a.@bc" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("no at") << "abc.d" << false;
}

void TestSharedRoutines::checkEmail()
{
    QFETCH(QString, value);
    QFETCH(bool, valid);
    QCOMPARE(CheckEmail(value), valid);
}

void TestSharedRoutines::checkUserName_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("valid");
    QTest::newRow("letters digits underscore") << "ab_C9" << true;
    QTest::newRow("chinese") << "读书人" << true;
    QTest::newRow("full-width punctuation") << "读，书" << true;
    QTest::newRow("empty") << "" << true;
    QTest::newRow("blank") << "ab c" << false;
    QTest::newRow("hyphen") << "ab-c" << false;
    QTest::newRow("outside GBK") << QString::fromUcs4(U"a\U00020000") << false;
}

void TestSharedRoutines::checkUserName()
{
    QFETCH(QString, value);
    QFETCH(bool, valid);
    QCOMPARE(CheckUserName(value), valid);
}

void TestSharedRoutines::pathPieces_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("pathFileName");
    QTest::addColumn<QString>("urlFileName");
    QTest::newRow("windows path") << "C:\\书\\a.txt"
                                  << "a.txt"
                                  << "C:\\书\\a.txt";
    QTest::newRow("no separator") << "a.txt"
                                  << ""
                                  << "a.txt";
    QTest::newRow("unix path") << "/home/u/书/b.txt"
                               << "b.txt"
                               << "b.txt";
    QTest::newRow("url") << "http://h/down/abc.rar"
                         << "abc.rar"
                         << "abc.rar";
    QTest::newRow("mixed, last wins") << "a/b\\c.txt"
                                      << "c.txt"
                                      << "b\\c.txt";
}

void TestSharedRoutines::pathPieces()
{
    QFETCH(QString, path);
    QFETCH(QString, pathFileName);
    QFETCH(QString, urlFileName);
    QCOMPARE(getPathFileName(path), pathFileName);
    QCOMPARE(getUrlFileName(path), urlFileName);
}

void TestSharedRoutines::createFolderPathMakesEveryLevel()
{
    QTemporaryDir tmp;
    const QString nested = tmp.path() + QStringLiteral("/下载/a b/c/");
    bool ok = false;
    QCOMPARE(CreateFolderPath(nested, &ok), nested);
    QVERIFY(ok);
    QVERIFY(QFileInfo(nested).isDir());
    // The empty path is returned unchanged and creates nothing.
    QCOMPARE(CreateFolderPath(QString()), QString());
}

void TestSharedRoutines::searchFilesWalksDepthFirst()
{
    QTemporaryDir tmp;
    const QString root = tmp.path();
    for (const char* rel :
         {"b.txt", "a.TXT", "x.rar", "sub1/c.txt", "sub1/deep/d.txt", "sub2/e.txt", ".hidden/f.txt"}) {
        const QString path = root + QLatin1Char('/') + QString::fromUtf8(rel);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QStringList found;
    int counter = 0;
    QCOMPARE(SearchFiles(root, QStringLiteral("*.txt"), found, counter), 5);
    const QString base = root + QLatin1Char('/');
    QCOMPARE(found, QStringList({base + "a.TXT", base + "b.txt", base + "sub1/c.txt", base + "sub1/deep/d.txt",
                                 base + "sub2/e.txt"}));
}

void TestSharedRoutines::colourText_data()
{
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("hex");
    QTest::newRow("white") << QColor(255, 255, 255) << "FFFFFF";
    QTest::newRow("1,2,3") << QColor(1, 2, 3) << "010203";
    QTest::newRow("blue keeps leading zeros") << QColor(0, 0, 255) << "0000FF";
    QTest::newRow("red") << QColor(255, 0, 0) << "FF0000";
    QTest::newRow("stripe") << QColor(236, 246, 255) << "ECF6FF";
}

void TestSharedRoutines::colourText()
{
    QFETCH(QColor, colour);
    QFETCH(QString, hex);
    QCOMPARE(colorToHex(colour), hex);
    QCOMPARE(hexToColor(hex), colour);
    QCOMPARE(hexToColor(hex.toLower()), colour);
}

void TestSharedRoutines::rntStampHasOneBlank()
{
    const QString stamp = RntStamp(QDateTime(QDate(2009, 3, 7), QTime(8, 5, 9)));
    QCOMPARE(stamp, QStringLiteral("2009/3/7 8:05:09"));
}

QTEST_GUILESS_MAIN(TestSharedRoutines)
#include "tst_sharedroutines.moc"
