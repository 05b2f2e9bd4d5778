// Publishing a new version on the reference service makes the reader's check offer it, and
// accepting has the real `update` program put the listed files beside the reader.
#include "../server/ServerFixture.h"

#include "app/AppState.h"
#include "app/Startup.h"
#include "platform/ProgramStarter.h"
#include "update/UpdateCheck.h"

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

} // namespace

class TestUpdateEndToEnd : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void acceptedUpdateReplacesFilesBesideTheReader();
};

void TestUpdateEndToEnd::acceptedUpdateReplacesFilesBesideTheReader()
{
    const QString updater = QStringLiteral(QUILLMERE_BIN_DIR "/update");
    if (!QFileInfo(updater).isExecutable())
        QSKIP("the update program is not built");
    ServerFixture server;
    QVERIFY(server.start());
    QTemporaryDir sources;
    QTemporaryDir home;
    auto write = [](const QString& path, const QByteArray& bytes) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write(sources.filePath("Reader.html"), "<html>v1.4 reading page</html>");
    write(sources.filePath("zh.dict"), QByteArray(200000, 'z'));
    write(home.filePath("Reader.html"), "<html>v1.3 reading page</html>");
    auto admin = server.admin();
    QVERIFY(admin);
    QVERIFY(admin->publishUpdate("v1.4", "FALSE", QStringLiteral("新的阅读页和词典"),
                                 {{sources.filePath("Reader.html"), "\\"}, {sources.filePath("zh.dict"), "\\dict\\"}}));

    // The updater runs where the reader would: its program folder and the same service.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUILLMERE_HOME"), home.path());
    environment.insert(QStringLiteral("QUILLMERE_SERVICE"), server.base());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    ChildStarter starter(environment);
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
    QTRY_VERIFY_WITH_TIMEOUT(readAll(home.filePath("Reader.html")) == "<html>v1.4 reading page</html>" &&
                                 readAll(home.filePath("dict/zh.dict")) == QByteArray(200000, 'z'),
                             60000);
    QVERIFY(!QFile::exists(home.filePath("Reader.html.qmold")));
    QCOMPARE(starter.children.first()->state(), QProcess::Running); // showing its final message
}

QTEST_MAIN(TestUpdateEndToEnd)
#include "tst_updateendtoend.moc"
