#include "RecordingHttpServer.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// `cmake --install` of this build into a read-only prefix of the test's own, and the reader
// started from there through the bin/ link: it keeps its library in the user's data folder,
// never beside the programs (even as root, who may write anywhere).
class TestInstalledTree : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void installedReaderKeepsItsDataInTheUserFolder();

private:
    QTemporaryDir m_prefix;
    QTemporaryDir m_home;
    QTemporaryDir m_runtime;
    RecordingHttpServer m_service;
};

void TestInstalledTree::initTestCase()
{
    if (!QFileInfo(QStringLiteral(QUILLMERE_BIN_DIR "/Quillmere")).isExecutable() ||
        !QFileInfo(QStringLiteral(QUILLMERE_BIN_DIR "/update")).isExecutable())
        QSKIP("the programs are not built");
    QVERIFY(m_prefix.isValid() && m_home.isValid() && m_runtime.isValid());
    QVERIFY(m_service.listen());

    QProcess install;
    install.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    install.start(QStringLiteral(QUILLMERE_CMAKE_COMMAND),
                  {QStringLiteral("--install"), QStringLiteral(QUILLMERE_BUILD_DIR), QStringLiteral("--prefix"),
                   m_prefix.path()});
    QVERIFY(install.waitForFinished(120000));
    QCOMPARE(install.exitCode(), 0);
}

void TestInstalledTree::installedReaderKeepsItsDataInTheUserFolder()
{
    const QDir prefix(m_prefix.path());
    for (const char* file : {"lib/quillmere/Quillmere", "lib/quillmere/update", "lib/quillmere/Reader.html",
                             "lib/quillmere/Reader.js", "lib/quillmere/help/voiceread.html", "lib/quillmere/installed",
                             "share/applications/quillmere.desktop", "share/icons/hicolor/scalable/apps/quillmere.svg"})
        QVERIFY2(QFileInfo::exists(prefix.filePath(QString::fromLatin1(file))), file);
    const QFileInfo link(prefix.filePath(QStringLiteral("bin/Quillmere")));
    QVERIFY(link.isSymLink());
    QCOMPARE(link.symLinkTarget(), prefix.filePath(QStringLiteral("lib/quillmere/Quillmere")));

    // The prefix is read-only for everyone.
    const auto readOnly =
        QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(m_prefix.path(), readOnly));
    QVERIFY(QFile::setPermissions(prefix.filePath(QStringLiteral("lib/quillmere")), readOnly));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QUILLMERE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("HOME"), m_home.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    env.insert(QStringLiteral("QUILLMERE_SERVICE"), m_service.base());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess reader;
    reader.setProcessEnvironment(env);
    reader.setWorkingDirectory(m_home.path());
    reader.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    reader.start(link.filePath(), {});
    QVERIFY(reader.waitForStarted());

    const QString library = m_home.filePath(QStringLiteral(".local/share/Quillmere/DataFile/Data.db"));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(library), 60000);
    // It asked the service, so start-up ran through, and it is still up.
    QTRY_VERIFY_WITH_TIMEOUT(!m_service.requests().isEmpty(), 20000);
    QTest::qWait(1000);
    QCOMPARE(reader.state(), QProcess::Running);
    QVERIFY(!QFileInfo::exists(prefix.filePath(QStringLiteral("lib/quillmere/DataFile"))));
    reader.kill();
    QVERIFY(reader.waitForFinished(20000));

    // Writable again, so that the temporary folder can be removed.
    const auto writable = readOnly | QFile::WriteOwner;
    QFile::setPermissions(prefix.filePath(QStringLiteral("lib/quillmere")), writable);
    QFile::setPermissions(m_prefix.path(), writable);
}

QTEST_MAIN(TestInstalledTree)
#include "tst_installedtree.moc"
