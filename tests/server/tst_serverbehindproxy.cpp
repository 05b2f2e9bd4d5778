// The service's own suites once more, against two instances on one PostgreSQL database
// behind HAProxy (see ServerFixture, QUILLMERE_TEST_STORE=haproxy): every request may land on
// either instance, so whatever one of them kept to itself shows up as a failure here.
#include "PgCluster.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

class TestServerBehindProxy : public QObject {
    Q_OBJECT

private slots:
    void suite_data();
    void suite();
};

void TestServerBehindProxy::suite_data()
{
    QTest::addColumn<QString>("program");
    // The suites of the endpoints; the wire, codec and limits suites test one process's
    // connection handling, which a proxy in front only hides.
    for (const char* name : {"serveraccounts", "servercatalogue", "serverlogins", "serveropds", "serveradmin"})
        QTest::newRow(name) << QStringLiteral("server_tst_%1").arg(QLatin1String(name));
}

void TestServerBehindProxy::suite()
{
    QFETCH(QString, program);
    if (QStandardPaths::findExecutable(QStringLiteral("haproxy")).isEmpty() &&
        !QFileInfo::exists(QStringLiteral("/usr/sbin/haproxy")))
        QSKIP("HAProxy is not installed");
    if (!QFileInfo::exists(QString::fromLatin1(PgCluster::kBinaries) + QStringLiteral("/initdb")))
        QSKIP("PostgreSQL 15 is not installed");
    const QString path = QCoreApplication::applicationDirPath() + QLatin1Char('/') + program;
    if (!QFileInfo::exists(path))
        QSKIP(qPrintable(program + QStringLiteral(" has not been built")));
    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUILLMERE_TEST_STORE"), QStringLiteral("haproxy"));
    environment.insert(QStringLiteral("PATH"),
                       environment.value(QStringLiteral("PATH")) + QStringLiteral(":/usr/sbin"));
    run.setProcessEnvironment(environment);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(path, {QStringLiteral("-silent")});
    QVERIFY(run.waitForFinished(240000));
    const QByteArray output = run.readAll();
    QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0, output.right(4000).constData());
}

QTEST_MAIN(TestServerBehindProxy)
#include "tst_serverbehindproxy.moc"
