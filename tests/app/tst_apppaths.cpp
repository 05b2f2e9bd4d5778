#include "app/AppPaths.h"

#include <QtTest>

// Where the library lives: beside a copy the user may write, in the user's data folder for an
// installed reader, wherever QUILLMERE_HOME says when it is set.
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
    QTest::addColumn<QString>("xdgDataHome");
    QTest::addColumn<QString>("expected");

    QTest::newRow("unpacked copy keeps its data beside it") << "" << true << "/x/data"
                                                            << "/opt/q";
    QTest::newRow("installed, no XDG_DATA_HOME") << "" << false << ""
                                                 << "/home/u/.local/share/Quillmere";
    QTest::newRow("installed, XDG_DATA_HOME") << "" << false << "/x/data/"
                                              << "/x/data/Quillmere";
    QTest::newRow("relative XDG_DATA_HOME is ignored") << "" << false << "data"
                                                       << "/home/u/.local/share/Quillmere";
    QTest::newRow("QUILLMERE_HOME over a writable copy") << "/srv/books/" << true << ""
                                                         << "/srv/books";
    QTest::newRow("QUILLMERE_HOME over an install") << "/srv/books" << false << "/x/data"
                                                    << "/srv/books";
    QTest::newRow("blank QUILLMERE_HOME counts as unset") << "  " << false << ""
                                                          << "/home/u/.local/share/Quillmere";
}

void TestAppPaths::dataFolder()
{
    QFETCH(QString, homeVariable);
    QFETCH(bool, writable);
    QFETCH(QString, xdgDataHome);
    QFETCH(QString, expected);
    QCOMPARE(AppPaths::chooseDataFolder(homeVariable, QStringLiteral("/opt/q"), writable, xdgDataHome,
                                        QStringLiteral("/home/u")),
             expected);
}

QTEST_GUILESS_MAIN(TestAppPaths)
#include "tst_apppaths.moc"
