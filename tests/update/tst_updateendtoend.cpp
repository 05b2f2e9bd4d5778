// Publishing a new version on the reference service makes the reader's check offer it, and
// accepting has the real `update` program put the listed files beside the programs, wherever
// QUILLMERE_HOME keeps the data; a killed updater leaves nothing once it starts again.
#include "../server/ServerFixture.h"
#include "RecordingHttpServer.h"

#include "app/AppState.h"
#include "app/Startup.h"
#include "platform/ProgramStarter.h"
#include "update/UpdateCheck.h"
#include "update/UpdateStaging.h"

#include "FakeDialogs.h"

#include <QProcess>
#include <QtTest>

namespace {

// Starts the program as a child of the test, so the test can end it: the updater's last
// message box would wait for a click forever.
class ChildStarter : public ProgramStarter {
public:
    explicit ChildStarter(QProcessEnvironment environment) : m_environment(std::move(environment)) {}
    ~ChildStarter() override
    {
        for (QProcess* p : children) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
            delete p;
        }
    }

    bool startDetached(const QString& program, const QStringList& arguments) override
    {
        programs.append(program);
        argumentLists.append(arguments);
        auto* child = new QProcess;
        child->setProcessEnvironment(m_environment);
        child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child->start(program, arguments);
        children.append(child);
        return child->waitForStarted(10000);
    }

    QStringList programs;
    QList<QStringList> argumentLists;
    QList<QProcess*> children;

private:
    QProcessEnvironment m_environment;
};

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A copy of the updater in a folder of its own, as an installation has it beside the reader.
QString installUpdater(const QString& folder)
{
    const QString built = QStringLiteral(QUILLMERE_BIN_DIR "/update");
    const QString copy = folder + QStringLiteral("/update");
    if (!QFileInfo(built).isExecutable() || !QFile::copy(built, copy))
        return QString();
    QFile::setPermissions(copy, QFile::permissions(copy) | QFile::ExeOwner);
    return copy;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

QProcessEnvironment updaterEnvironment(const QString& dataFolder, const QString& service)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUILLMERE_HOME"), dataFolder);
    environment.insert(QStringLiteral("QUILLMERE_SERVICE"), service);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}

} // namespace

class TestUpdateEndToEnd : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void acceptedUpdateReplacesFilesBesideTheReader();
    void killedUpdaterLeavesNothingOnceStartedAgain();
};

void TestUpdateEndToEnd::acceptedUpdateReplacesFilesBesideTheReader()
{
    QTemporaryDir programs;
    const QString updater = installUpdater(programs.path());
    if (updater.isEmpty())
        QSKIP("the update program is not built");
    ServerFixture server;
    QVERIFY(server.start());
    QTemporaryDir sources;
    QTemporaryDir home; // the reader's data, elsewhere
    write(sources.filePath("Reader.html"), "<html>v1.4 reading page</html>");
    write(sources.filePath("zh.dict"), QByteArray(200000, 'z'));
    write(programs.filePath("Reader.html"), "<html>v1.3 reading page</html>");
    auto admin = server.admin();
    QVERIFY(admin);
    QVERIFY(admin->publishUpdate("v1.4", "FALSE", QStringLiteral("新的阅读页和词典"),
                                 {{sources.filePath("Reader.html"), "\\"}, {sources.filePath("zh.dict"), "\\dict\\"}}));

    // The updater runs as the reader starts it: with the reader's environment.
    ChildStarter starter(updaterEnvironment(home.path(), server.base()));
    AppState state;
    state.programFolder = home.path();
    QNetworkAccessManager network;
    FakeDialogs dialogs;
    dialogs.answerNext(Answer::Yes);
    UpdateCheck check(state, network, dialogs, starter, updater);
    const UpdateCheck::Outcome outcome =
        check.run(Startup::checkAddress(server.base(), QStringLiteral("E2E"), QStringLiteral("2009/3/7 8:05:09")));
    QVERIFY(outcome.accepted);
    QVERIFY(outcome.endReader);
    QCOMPARE(dialogs.count(), 1);
    QVERIFY(dialogs.last().text.endsWith(QStringLiteral("更新内容：新的阅读页和词典")));
    QCOMPARE(starter.programs, QStringList{updater});
    QCOMPARE(starter.argumentLists.first(), QStringList{"-v1.3"});

    // The service answers in this process, so the wait keeps the event loop running.
    QTRY_VERIFY_WITH_TIMEOUT(readAll(programs.filePath("Reader.html")) == "<html>v1.4 reading page</html>" &&
                                 readAll(programs.filePath("dict/zh.dict")) == QByteArray(200000, 'z'),
                             60000);
    QTRY_COMPARE(entries(programs.path()), QStringList({"dict", "Reader.html", "update"}));
    QCOMPARE(entries(home.path()), QStringList());
    QCOMPARE(starter.children.first()->state(), QProcess::Running); // showing its final message
}

void TestUpdateEndToEnd::killedUpdaterLeavesNothingOnceStartedAgain()
{
    QTemporaryDir programs;
    const QString updater = installUpdater(programs.path());
    if (updater.isEmpty())
        QSKIP("the update program is not built");
    ServerFixture server;
    QVERIFY(server.start());
    RecordingHttpServer slow; // keeps its file back
    QVERIFY(slow.listen());
    RecordingHttpServer::Answer never;
    never.never = true;
    slow.answerDefault(never);
    QTemporaryDir sources;
    write(sources.filePath("Reader.html"), "<html>v1.4 reading page</html>");
    write(programs.filePath("Reader.html"), "<html>v1.3 reading page</html>");
    auto admin = server.admin();
    QVERIFY(admin);
    QVERIFY(admin->publishUpdate("v1.4", "FALSE", "notes",
                                 {{sources.filePath("Reader.html"), "\\"},
                                  {slow.base() + QStringLiteral("/files/voice.dat"), "\\plugins\\voice\\"}}));

    QProcess first;
    first.setProcessEnvironment(updaterEnvironment(programs.path(), server.base()));
    first.start(updater, {QStringLiteral("-v1.3")});
    QVERIFY(first.waitForStarted(10000));
    // Killed mid-download: one file has arrived, the other is on its way.
    const QString staged = UpdateStaging(programs.path()).stagedFile(1);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(staged) && !slow.requests().isEmpty(), 30000);
    first.kill();
    QVERIFY(first.waitForFinished(10000));
    QVERIFY(entries(programs.path()).contains(UpdateStaging::folderName()));

    // Started again (without arguments it ends after the reply, on a message box that waits
    // for a click): the leftovers go at once, and the old files stay as they were.
    QProcess second;
    second.setProcessEnvironment(updaterEnvironment(programs.path(), server.base()));
    second.start(updater, QStringList());
    QVERIFY(second.waitForStarted(10000));
    QTRY_COMPARE_WITH_TIMEOUT(entries(programs.path()), QStringList({"Reader.html", "update"}), 30000);
    QCOMPARE(readAll(programs.filePath("Reader.html")), QByteArray("<html>v1.3 reading page</html>"));
    second.kill();
    second.waitForFinished(10000);
}

QTEST_MAIN(TestUpdateEndToEnd)
#include "tst_updateendtoend.moc"
