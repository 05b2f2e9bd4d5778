#include "desktop/instance/LaunchFiles.h"
#include "desktop/instance/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>

namespace {

// A later start of the reader: its blocking hand-over runs on a thread of its own, so the
// running reader (this thread) can answer it.
class LaterStart {
public:
    LaterStart(const QString& name, const QStringList& paths, int timeoutMs = 3000)
    {
        m_thread.reset(QThread::create([this, name, paths, timeoutMs] {
            SingleInstance instance(name);
            m_role = int(instance.start(paths, timeoutMs));
            m_listened = instance.isListening();
        }));
        m_thread->start();
    }
    ~LaterStart() { m_thread->wait(); }
    SingleInstance::Role role()
    {
        if (!QTest::qWaitFor([this] { return m_thread->isFinished(); }, 10000))
            return SingleInstance::Role(-1);
        return SingleInstance::Role(m_role.load());
    }
    bool listened() { return role() == SingleInstance::Role::First && m_listened; }

private:
    std::unique_ptr<QThread> m_thread;
    std::atomic<int> m_role{-1};
    std::atomic<bool> m_listened{false};
};

} // namespace

// One reader per program folder: the command line, the hand-over between two starts and the
// socket's name.
class TestSingleInstance : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();

    void filesFromArguments_data();
    void filesFromArguments();
    void laterStartHandsItsFilesOver();
    void foldersHaveTheirOwnChannel();
    void silentReaderIsNoAnswer();

private:
    QString channel() const { return m_dir->filePath(QStringLiteral("channel")); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSingleInstance::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestSingleInstance::filesFromArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("files");

    QTest::newRow("none") << QStringList() << QStringList();
    QTest::newRow("relative to the start folder")
        << QStringList{QStringLiteral("书/甲.txt"), QStringLiteral("../乙.txt")}
        << QStringList{QStringLiteral("/home/u/下载/书/甲.txt"), QStringLiteral("/home/u/乙.txt")};
    QTest::newRow("absolute, cleaned") << QStringList{QStringLiteral("/a//b/./c.txt")}
                                       << QStringList{QStringLiteral("/a/b/c.txt")};
    QTest::newRow("options skipped") << QStringList{QStringLiteral("-x"), QStringLiteral("--y"),
                                                    QStringLiteral("a.txt")}
                                     << QStringList{QStringLiteral("/home/u/下载/a.txt")};
    QTest::newRow("after -- a dash is a name")
        << QStringList{QStringLiteral("--"), QStringLiteral("-a.txt"), QStringLiteral("--")}
        << QStringList{QStringLiteral("/home/u/下载/-a.txt"), QStringLiteral("/home/u/下载/--")};
    QTest::newRow("file URL") << QStringList{QStringLiteral("file:///tmp/%E4%B9%A6%20x.txt")}
                              << QStringList{QStringLiteral("/tmp/书 x.txt")};
    QTest::newRow("other URL skipped") << QStringList{QStringLiteral("file://host/x.txt")} << QStringList();
    QTest::newRow("each once, first place kept")
        << QStringList{QStringLiteral("b.txt"), QStringLiteral("a.txt"), QStringLiteral("/home/u/下载/b.txt")}
        << QStringList{QStringLiteral("/home/u/下载/b.txt"), QStringLiteral("/home/u/下载/a.txt")};
}

void TestSingleInstance::filesFromArguments()
{
    QFETCH(QStringList, arguments);
    QTEST(LaunchFiles::fromArguments(arguments, QStringLiteral("/home/u/下载")), "files");
}

void TestSingleInstance::laterStartHandsItsFilesOver()
{
    SingleInstance running(channel());
    QCOMPARE(running.start({}), SingleInstance::Role::First);
    QVERIFY(running.isListening());
    // Names with blanks, quotes, Chinese and a line break arrive exactly; files handed over
    // while the reader is still starting wait for its window.
    const QStringList paths = {QStringLiteral("/tmp/书 一's.txt"), QStringLiteral("/tmp/二\n行.txt")};
    LaterStart later(channel(), paths);
    QCOMPARE(later.role(), SingleInstance::Role::HandedOver);
    QTest::qWait(100); // the reader takes the request in while its window is not there yet
    QList<QStringList> received;
    running.deliverTo([&](const QStringList& paths) { received << paths; });
    QCOMPARE(received, QList<QStringList>{paths});

    // A start without files only asks the reader to come forward.
    LaterStart plain(channel(), {});
    QCOMPARE(plain.role(), SingleInstance::Role::HandedOver);
    QTRY_COMPARE(received.size(), 2);
    QVERIFY(received.last().isEmpty());
}

void TestSingleInstance::foldersHaveTheirOwnChannel()
{
    QTemporaryDir a;
    QTemporaryDir b;
    const QString nameA = SingleInstance::nameFor(a.path());
    QCOMPARE(SingleInstance::nameFor(a.path() + QStringLiteral("/")), nameA);
    QCOMPARE(SingleInstance::nameFor(b.path() + QStringLiteral("/../") + QDir(a.path()).dirName()), nameA);
    QVERIFY(SingleInstance::nameFor(b.path()) != nameA);

    // A reader of folder A keeps running; a start on folder B starts a reader of its own.
    SingleInstance readerA(nameA);
    QCOMPARE(readerA.start({}), SingleInstance::Role::First);
    int reachedA = 0;
    readerA.deliverTo([&](const QStringList&) { ++reachedA; });
    LaterStart startB(SingleInstance::nameFor(b.path()), {QStringLiteral("/y.txt")});
    QVERIFY(startB.listened());
    QCOMPARE(reachedA, 0);
}

void TestSingleInstance::silentReaderIsNoAnswer()
{
    // A reader that accepts the connection but never answers (frozen): the later start does
    // not take over its library.
    QLocalServer frozen;
    QVERIFY(frozen.listen(channel()));
    LaterStart later(channel(), {QStringLiteral("/z.txt")}, 300);
    QCOMPARE(later.role(), SingleInstance::Role::NoAnswer);
}

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
