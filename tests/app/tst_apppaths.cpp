#include "app/AppPaths.h"

#include <QtTest>

// Where the library lives: beside a copy the user may write, in the user's data folder for a
// read-only or installed reader, wherever QUILLMERE_HOME says when it is set.
class TestAppPaths : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dataFolder_data();
    void dataFolder();
};

void TestAppPaths::dataFolder_data()
{
    QTest::addColumn<QString>("homeVariable");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("xdgDataHome");
    QTest::addColumn<QString>("expected");

    QTest::newRow("unpacked copy keeps its data beside it") << "" << true << false << "/x/data"
                                                            << "/opt/q";
    QTest::newRow("read-only copy, no XDG_DATA_HOME") << "" << false << false << ""
                                                      << "/home/u/.local/share/Quillmere";
    QTest::newRow("read-only copy, XDG_DATA_HOME") << "" << false << false << "/x/data/"
                                                   << "/x/data/Quillmere";
    QTest::newRow("install root may write") << "" << true << true << ""
                                            << "/home/u/.local/share/Quillmere";
    QTest::newRow("relative XDG_DATA_HOME is ignored") << "" << false << true << "data"
                                                       << "/home/u/.local/share/Quillmere";
    QTest::newRow("QUILLMERE_HOME over a writable copy") << "/srv/books/" << true << false << ""
                                                         << "/srv/books";
    QTest::newRow("QUILLMERE_HOME over an install") << "/srv/books" << false << true << "/x/data"
                                                    << "/srv/books";
    QTest::newRow("blank QUILLMERE_HOME counts as unset") << "  " << false << false << ""
                                                          << "/home/u/.local/share/Quillmere";
}

void TestAppPaths::dataFolder()
{
    QFETCH(QString, homeVariable);
    QFETCH(bool, writable);
    QFETCH(bool, installed);
    QFETCH(QString, xdgDataHome);
    QFETCH(QString, expected);
    QCOMPARE(AppPaths::chooseDataFolder(homeVariable, QStringLiteral("/opt/q"), writable, installed, xdgDataHome,
                                        QStringLiteral("/home/u")),
             expected);
}

QTEST_GUILESS_MAIN(TestAppPaths)
#include "tst_apppaths.moc"
