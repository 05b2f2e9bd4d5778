// What the reader sets up for the web engine before it starts, and what it leaves to the user.
#include "web/WebEngineDefaults.h"

#include <QTest>

class TestWebEngineDefaults : public QObject {
    Q_OBJECT
private slots:
    void variables_data();
    void variables();
};

void TestWebEngineDefaults::variables_data()
{
    QTest::addColumn<QStringList>("userSet"); // NAME=VALUE
    QTest::addColumn<bool>("hardware");
    QTest::addColumn<QStringList>("expected");

    const QString lean = QStringLiteral(
        "QTWEBENGINE_CHROMIUM_FLAGS=--renderer-process-limit=1 --process-per-site --js-flags=--expose-gc");
    QTest::newRow("GPU, nothing set: one renderer, drawing left to Qt") << QStringList() << true << QStringList{lean};
    QTest::newRow("no GPU: software drawing, no GL loaded")
        << QStringList() << false
        << QStringList{lean + QStringLiteral(" --disable-gpu"), QStringLiteral("QT_XCB_GL_INTEGRATION=none"),
                       QStringLiteral("QT_QUICK_BACKEND=software")};
    QTest::newRow("user's flags kept, even empty")
        << QStringList{QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS=")} << false
        << QStringList{QStringLiteral("QT_XCB_GL_INTEGRATION=none"), QStringLiteral("QT_QUICK_BACKEND=software")};
    QTest::newRow("user's drawing choices kept")
        << QStringList{QStringLiteral("QT_XCB_GL_INTEGRATION=xcb_glx"), QStringLiteral("QT_QUICK_BACKEND=")} << false
        << QStringList{lean + QStringLiteral(" --disable-gpu")};
}

void TestWebEngineDefaults::variables()
{
    QFETCH(QStringList, userSet);
    QFETCH(bool, hardware);
    QFETCH(QStringList, expected);
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin"));
    for (const QString& entry : userSet)
        environment.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    QStringList got;
    for (const auto& [name, value] : WebEngineDefaults::forEnvironment(environment, hardware))
        got << QString::fromLatin1(name + '=' + value);
    QCOMPARE(got, expected);
}

QTEST_GUILESS_MAIN(TestWebEngineDefaults)
#include "tst_webenginedefaults.moc"
