#include "app/LibraryDatabase.h"
#include "desktop/instance/SingleInstance.h"

#include "RecordingHttpServer.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kReader = QStringLiteral(QUILLMERE_BIN_DIR "/Quillmere");

} // namespace

// The real reader started as the file manager's "Open with" starts it: on a program folder of
// the test's own, with the socket in a runtime folder of the test's own.
class TestOpenWith : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void secondStartHandsOverAndEnds();

private:
    void startReader(QProcess& process, const QStringList& arguments);
    QStringList shelfTitles();
    int updateChecks() const;

    QTemporaryDir m_runtime;
    QTemporaryDir m_home;
    QTemporaryDir m_books;
    RecordingHttpServer m_service;
    int m_checks = 0;
};

void TestOpenWith::initTestCase()
{
    if (!QFileInfo(kReader).isExecutable())
        QSKIP("the reader is not built");
    QVERIFY(m_runtime.isValid() && m_home.isValid() && m_books.isValid());
    // The readers started here and this test find the channel in the same place.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    QVERIFY(m_service.listen());
    for (const char* name : {"甲.txt", "乙.txt", "丙.txt", "丁.txt"}) {
        QFile f(m_books.filePath(QString::fromUtf8(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("第1章 开端\n正文\n第2章 其后\n正文\n").toUtf8());
    }
}

void TestOpenWith::startReader(QProcess& process, const QStringList& arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUILLMERE_HOME"), m_home.path());
    env.insert(QStringLiteral("QUILLMERE_SERVICE"), m_service.base());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(m_books.path());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(kReader, arguments);
    QVERIFY(process.waitForStarted());
}

QStringList TestOpenWith::shelfTitles()
{
    const QString file = m_home.filePath(QStringLiteral("DataFile/Data.db"));
    if (!QFileInfo::exists(file))
        return {};
    LibraryDatabase library(QStringLiteral("check%1").arg(++m_checks));
    if (library.open(file) != LibraryDatabase::OpenResult::Opened)
        return {};
    QStringList titles;
    for (const BookRow& row : library.shelfPage(ShelfQuery::ofCategory(QStringLiteral("其他分类")), 1).rows)
        titles.prepend(row.name);
    return titles;
}

int TestOpenWith::updateChecks() const
{
    int count = 0;
    for (const auto& request : m_service.requests())
        count += request.target.contains("getinfo.asp") ? 1 : 0;
    return count;
}

void TestOpenWith::secondStartHandsOverAndEnds()
{
    QProcess first;
    startReader(first, {QStringLiteral("甲.txt")});
    QTRY_COMPARE_WITH_TIMEOUT(shelfTitles(), QStringList{QStringLiteral("甲")}, 60000);
    QCOMPARE(updateChecks(), 1);

    // A second start with two files: the running reader takes them, the start ends with 0
    // without asking the service again.
    QProcess second;
    startReader(second, {m_books.filePath(QStringLiteral("乙.txt")), QStringLiteral("丙.txt")});
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(shelfTitles(),
                              QStringList({QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")}), 20000);
    QCOMPARE(updateChecks(), 1);
    QCOMPARE(first.state(), QProcess::Running);

    // The reader dies without cleaning up; its socket stays behind and must not stop the next start.
    first.kill();
    QVERIFY(first.waitForFinished(20000));
    const QString channel = SingleInstance::nameFor(m_home.path());
    QVERIFY2(channel.startsWith(m_runtime.path()) && QFileInfo::exists(channel), qPrintable(channel));
    QProcess third;
    startReader(third, {QStringLiteral("丁.txt")});
    QTRY_COMPARE_WITH_TIMEOUT(shelfTitles().size(), 4, 60000);
    QTRY_COMPARE_WITH_TIMEOUT(updateChecks(), 2, 20000);
    QProcess fourth;
    startReader(fourth, {});
    QVERIFY(fourth.waitForFinished(20000));
    QCOMPARE(fourth.exitCode(), 0);
    QCOMPARE(third.state(), QProcess::Running);
    third.kill();
    QVERIFY(third.waitForFinished(20000));
}

QTEST_MAIN(TestOpenWith)
#include "tst_openwith.moc"
