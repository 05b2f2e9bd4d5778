// The updater program `update` against the reference service: the log and the rows, the
// up-to-date cases, cancelling and starting again, entries that would leave the program
// folder, failed downloads, lists the updater refuses, and names that look like its own.
#include "../server/ServerFixture.h"
#include "UpdateReplies.h"

#include "update/UpdateStaging.h"
#include "update/updater/UpdatePlan.h"
#include "update/updater/UpdaterController.h"
#include "update/updater/UpdaterWindow.h"

#include "FakeClock.h"
#include "FakeDialogs.h"
#include "RecordingHttpServer.h"

#include <QDirIterator>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

class TestUpdater : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void threeFilesLoggedInOrder();
    void upToDateOrStartedWithoutArguments_data();
    void upToDateOrStartedWithoutArguments();
    void requestOnTheWire();
    void cancelThenStartAgain();
    void failingAddressLeavesOldFilesUntouched();
    void entriesOutsideTheProgramFolder_data();
    void entriesOutsideTheProgramFolder();
    void refusedEntryStopsTheWholeUpdate();
    void unequalListsDownloadNothing();
    void unreachableServiceCanBeRetried();
    void refusedLists_data();
    void refusedLists();
    void namesLikeTheStagingNames_data();
    void namesLikeTheStagingNames();
    void unwritableInstallChangesNothing();
    void window();

private:
    // A file of the update, published from the fixture's source folder.
    QString sourceFile(const QString& name, const QByteArray& bytes);
    std::unique_ptr<UpdaterController> controller(const QString& commandLine = QStringLiteral("-v1.3"),
                                                  const QString& base = QString());
    // Waits for the end; returns its exit code (or -1 when the updater did not end).
    int waitForEnd(UpdaterController& updater, int timeoutMs = 20000);
    void setLists(const QString& downloadlist, const QString& savepathlist);
    QString home(const QString& relative) const { return m_home->path() + QLatin1Char('/') + relative; }
    QStringList leftovers() const;

    std::unique_ptr<ServerFixture> m_server;
    std::unique_ptr<QTemporaryDir> m_sources;
    std::unique_ptr<QTemporaryDir> m_root; // holds the program folder, so escapes can be seen
    std::unique_ptr<QTemporaryDir> m_home;
    QNetworkAccessManager m_network;
    FakeDialogs m_dialogs;
    FakeClock m_clock;
};

static QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void TestUpdater::init()
{
    m_server = std::make_unique<ServerFixture>();
    QVERIFY(m_server->start());
    m_sources = std::make_unique<QTemporaryDir>();
    m_root = std::make_unique<QTemporaryDir>();
    m_home = std::make_unique<QTemporaryDir>(m_root->filePath(QStringLiteral("program-XXXXXX")));
    QVERIFY(m_home->isValid());
    m_dialogs = FakeDialogs();
}

void TestUpdater::cleanup()
{
    m_server.reset();
}

QString TestUpdater::sourceFile(const QString& name, const QByteArray& bytes)
{
    const QString path = m_sources->filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

std::unique_ptr<UpdaterController> TestUpdater::controller(const QString& commandLine, const QString& base)
{
    return std::make_unique<UpdaterController>(m_network, m_dialogs, m_clock, m_home->path(),
                                               base.isEmpty() ? m_server->base() : base, commandLine);
}

int TestUpdater::waitForEnd(UpdaterController& updater, int timeoutMs)
{
    QSignalSpy finished(&updater, &UpdaterController::finished);
    if (finished.isEmpty() && !finished.wait(timeoutMs))
        return -1;
    return finished.first().first().toInt();
}

void TestUpdater::setLists(const QString& downloadlist, const QString& savepathlist)
{
    auto admin = m_server->admin();
    QVERIFY(admin);
    QVERIFY(admin->database().setSetting(QStringLiteral("version"), QStringLiteral("v1.4")));
    QVERIFY(admin->database().setSetting(QStringLiteral("downloadlist"), downloadlist));
    QVERIFY(admin->database().setSetting(QStringLiteral("savepathlist"), savepathlist));
}

QStringList TestUpdater::leftovers() const
{
    QStringList found;
    QDirIterator it(m_root->path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(QLatin1String(".qmupdate")) || path.endsWith(QLatin1String(".qmold")) ||
            path.contains(QLatin1String(".qmupdate.")) || path.contains(QLatin1String("/.qmupdate/")))
            found.append(path);
    }
    if (QFileInfo::exists(home(UpdateStaging::folderName())))
        found.append(home(UpdateStaging::folderName()));
    return found;
}

void TestUpdater::threeFilesLoggedInOrder()
{
    auto admin = m_server->admin();
    QVERIFY(admin);
    QVERIFY(admin->publishUpdate("v1.4", "FALSE", QStringLiteral("三个文件"),
                                 {{sourceFile("Reader.html", "<html>new page</html>"), "\\"},
                                  {sourceFile("schema.sql", "-- new schema"), "\\DataFile\\"},
                                  {sourceFile("voice.dat", QByteArray(300000, 'v')), "\\plugins\\voice\\"}}));
    // An older reader file, executable, is replaced and stays executable.
    QFile old(home("Reader.html"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("<html>an older and much longer page than the new one</html>");
    old.close();
    QVERIFY(old.setPermissions(old.permissions() | QFile::ExeOwner));

    auto updater = controller();
    QCOMPARE(updater->commandEnabled(), false);
    updater->start();
    QCOMPARE(waitForEnd(*updater), 0);

    QCOMPARE(updater->log(),
             QStringList({QStringLiteral("正在检查更新..."), QStringLiteral("共检查到：3个更新!"),
                          QStringLiteral("开始下载：Reader.html..."), QStringLiteral("开始下载：schema.sql..."),
                          QStringLiteral("开始下载：voice.dat..."), QStringLiteral("全部下载完毕!")}));
    QCOMPARE(m_dialogs.count(), 1);
    QCOMPARE(m_dialogs.last().text, QStringLiteral("恭喜你，软件已升级完成了！ 请重新运行软件！"));
    QCOMPARE(m_dialogs.last().title, QStringLiteral("升级完成"));
    QCOMPARE(m_dialogs.last().style, int(Dialogs::Information));

    QCOMPARE(updater->rows().size(), 3);
    const QStringList names = {"Reader.html", "schema.sql", "voice.dat"};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(updater->rows()[i].number, QString::number(i + 1));
        QCOMPARE(updater->rows()[i].fileName, names[i]);
        QCOMPARE(updater->rows()[i].state, QStringLiteral("下载完成！"));
        QVERIFY(updater->rows()[i].look == UpdaterController::Row::Look::Done);
    }
    QCOMPARE(readAll(home("Reader.html")), QByteArray("<html>new page</html>"));
    QVERIFY(QFileInfo(home("Reader.html")).isExecutable());
    QCOMPARE(readAll(home("DataFile/schema.sql")), QByteArray("-- new schema"));
    // A folder that did not exist was made.
    QCOMPARE(readAll(home("plugins/voice/voice.dat")), QByteArray(300000, 'v'));
    QCOMPARE(leftovers(), QStringList());
}

void TestUpdater::upToDateOrStartedWithoutArguments_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::newRow("no arguments") << "";
    QTest::newRow("the service's own version") << "  v1.4 ";
}

void TestUpdater::upToDateOrStartedWithoutArguments()
{
    QFETCH(QString, commandLine);
    auto admin = m_server->admin();
    QVERIFY(admin);
    QVERIFY(admin->publishUpdate("v1.4", "TRUE", "notes", {{sourceFile("a.txt", "a"), "\\"}}));
    auto updater = controller(commandLine);
    updater->start();
    QCOMPARE(waitForEnd(*updater), 0);
    QCOMPARE(m_dialogs.count(), 1);
    QCOMPARE(m_dialogs.last().text, QStringLiteral("你当前的版本是最新版本，无需更新！"));
    QCOMPARE(m_dialogs.last().title, QStringLiteral("自动更新"));
    QCOMPARE(m_dialogs.last().style, int(Dialogs::Information));
    QCOMPARE(updater->log(), QStringList{QStringLiteral("正在检查更新...")});
    QVERIFY(!QFile::exists(home("a.txt")));
}

void TestUpdater::requestOnTheWire()
{
    RecordingHttpServer recorder;
    QVERIFY(recorder.listen());
    RecordingHttpServer::Answer answer;
    InfoBlock info;
    answer.body = info.xml();
    recorder.answerDefault(answer);
    m_clock.set(QDateTime(QDate(2009, 3, 7), QTime(8, 5, 9)));
    auto updater = controller(QStringLiteral("-v1.3"), recorder.base());
    updater->start();
    QCOMPARE(waitForEnd(*updater), 0); // nothing listed: done at once
    // No machine identifier, and the stamp keeps its blank.
    QCOMPARE(recorder.requests().first().target, QByteArray("/readerserver/getinfo.asp?rnt=2009/3/7%208:05:09"));
}

void TestUpdater::cancelThenStartAgain()
{
    // The second file comes from a service that keeps it back until told otherwise.
    RecordingHttpServer slow;
    QVERIFY(slow.listen());
    RecordingHttpServer::Answer never;
    never.never = true;
    slow.answerDefault(never);
    auto admin = m_server->admin();
    QVERIFY(admin);
    QVERIFY(admin->publishUpdate(
        "v1.4", "FALSE", "notes",
        {{sourceFile("first.txt", "first"), "\\"}, {slow.base() + QStringLiteral("/files/second.txt"), "\\docs\\"}}));

    auto updater = controller();
    updater->start();
    QTRY_COMPARE_WITH_TIMEOUT(updater->rows().size(), 2, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(updater->rows()[0].state, QStringLiteral("下载完成！"), 10000);
    QVERIFY(slow.waitForRequests(1));
    QCOMPARE(updater->commandCaption(), QStringLiteral("取消更新"));
    QVERIFY(updater->commandEnabled());

    QSignalSpy finished(updater.get(), &UpdaterController::finished);
    updater->command1Click();
    QCOMPARE(updater->commandCaption(), QStringLiteral("开始更新"));
    QCOMPARE(updater->rows()[1].state, QStringLiteral("已取消"));
    // Nothing of the cancelled update is in place or left over.
    QVERIFY(!QFile::exists(home("first.txt")));
    QCOMPARE(leftovers(), QStringList());
    QTest::qWait(200);
    QCOMPARE(finished.count(), 0);

    RecordingHttpServer::Answer file;
    file.contentType = "application/octet-stream";
    file.body = "second";
    slow.answerDefault(file);
    updater->command1Click();
    QCOMPARE(updater->commandCaption(), QStringLiteral("取消更新"));
    QCOMPARE(waitForEnd(*updater), 0);
    // The new answer started the list afresh and fetched every file again.
    QCOMPARE(updater->log().count(QStringLiteral("共检查到：2个更新!")), 2);
    QCOMPARE(updater->log().count(QStringLiteral("开始下载：first.txt...")), 2);
    QCOMPARE(updater->rows().size(), 2);
    QCOMPARE(readAll(home("first.txt")), QByteArray("first"));
    QCOMPARE(readAll(home("docs/second.txt")), QByteArray("second"));
    QCOMPARE(leftovers(), QStringList());
}

void TestUpdater::failingAddressLeavesOldFilesUntouched()
{
    auto admin = m_server->admin();
    QVERIFY(admin);
    QVERIFY(admin->publishUpdate("v1.4", "FALSE", "notes",
                                 {{sourceFile("good.txt", "new good"), "\\"},
                                  {m_server->base() + QStringLiteral("/files/update/gone.bin"), "\\lib\\"}}));
    QFile old(home("good.txt"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old good");
    old.close();

    auto updater = controller();
    updater->start();
    QCOMPARE(waitForEnd(*updater), 1);
    QCOMPARE(readAll(home("good.txt")), QByteArray("old good"));
    QVERIFY(!QFile::exists(home("lib/gone.bin")));
    QCOMPARE(leftovers(), QStringList());
    // The failures are listed before the final message, which says the update did not complete.
    QCOMPARE(updater->log().mid(updater->log().size() - 2),
             QStringList({QStringLiteral("全部下载完毕!"), QStringLiteral("下载失败：") + home("lib/gone.bin")}));
    QCOMPARE(updater->rows()[1].state, QStringLiteral("下载失败"));
    QCOMPARE(m_dialogs.count(), 1);
    QCOMPARE(m_dialogs.last().title, QStringLiteral("升级未完成"));
    QCOMPARE(m_dialogs.last().style, int(Dialogs::Exclamation));
    QVERIFY(m_dialogs.last().text.startsWith(QStringLiteral("软件升级没有完成：有 1 个文件下载失败")));
}

void TestUpdater::entriesOutsideTheProgramFolder_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("target"); // below the program folder; empty when refused

    const QString h = QStringLiteral("http://127.0.0.1:1/files/");
    QTest::newRow("program folder") << h + "a.txt"
                                    << "\\"
                                    << "a.txt";
    QTest::newRow("sub-folder") << h + "a.txt"
                                << "\\DataFile\\skin\\"
                                << "DataFile/skin/a.txt";
    QTest::newRow("forward slashes") << h + "a.txt"
                                     << "/DataFile/"
                                     << "DataFile/a.txt";
    QTest::newRow("https") << "HTTPS://example.org/a.txt"
                           << "\\"
                           << "a.txt";
    QTest::newRow("parent folder") << h + "a.txt"
                                   << "\\..\\"
                                   << "";
    QTest::newRow("parent further down") << h + "a.txt"
                                         << "\\bin\\..\\..\\other\\"
                                         << "";
    QTest::newRow("harmless parent is refused too") << h + "a.txt"
                                                    << "\\bin\\..\\"
                                                    << "";
    QTest::newRow("drive") << h + "a.txt"
                           << "C:\\Windows\\"
                           << "";
    QTest::newRow("network path") << h + "a.txt"
                                  << "\\\\server\\share\\"
                                  << "";
    QTest::newRow("no leading separator names a sibling") << h + "a.txt"
                                                          << "bin\\"
                                                          << "";
    QTest::newRow("empty folder names a sibling") << h + "a.txt"
                                                  << ""
                                                  << "";
    QTest::newRow("empty file name") << h << "\\"
                                     << "";
    QTest::newRow("file name of dots") << h + ".."
                                       << "\\"
                                       << "";
    QTest::newRow("backslashes in the file name") << h + "x\\..\\..\\evil"
                                                  << "\\"
                                                  << "";
    QTest::newRow("not a web address") << "file:///etc/passwd"
                                       << "\\"
                                       << "";
}

void TestUpdater::entriesOutsideTheProgramFolder()
{
    QFETCH(QString, url);
    QFETCH(QString, folder);
    QFETCH(QString, target);
    // An empty folder entry is an empty list on its own; a second entry keeps the lists equal.
    const QString ok = QStringLiteral("http://127.0.0.1:1/files/ok.txt");
    const UpdatePlan plan = UpdatePlan::make(m_home->path(), url + "||" + ok, folder + "||\\");
    QVERIFY(plan.listsMatch());
    QCOMPARE(plan.refused.size(), target.isEmpty() ? 1 : 0);
    QCOMPARE(plan.usable(), !target.isEmpty());
    if (!target.isEmpty())
        QCOMPARE(plan.files.first().target, home(target));
}

void TestUpdater::refusedEntryStopsTheWholeUpdate()
{
    setLists(m_server->base() + "/files/update/x.txt||" + m_server->base() + "/files/update/y.txt", "\\||\\..\\..\\");
    auto updater = controller();
    updater->start();
    QTRY_COMPARE_WITH_TIMEOUT(updater->commandCaption(), QStringLiteral("开始更新"), 10000);
    QCOMPARE(updater->log().size(), 4);
    QCOMPARE(updater->log()[1], QStringLiteral("共检查到：2个更新!"));
    QVERIFY(updater->log()[2].startsWith(QStringLiteral("拒绝更新文件：")));
    QCOMPARE(updater->log()[3], QStringLiteral("升级信息有误，没有下载任何文件。"));
    QVERIFY(updater->rows().isEmpty());
    QCOMPARE(m_dialogs.count(), 0);
}

void TestUpdater::unequalListsDownloadNothing()
{
    auto admin = m_server->admin();
    QVERIFY(admin);
    QVERIFY(admin->publishUpdate("v1.4", "FALSE", "notes", {{sourceFile("a.txt", "a"), "\\"}}));
    setLists(m_server->base() + "/files/update/a.txt||" + m_server->base() + "/files/update/a.txt", "\\");
    auto updater = controller();
    updater->start();
    QTRY_COMPARE_WITH_TIMEOUT(updater->commandCaption(), QStringLiteral("开始更新"), 10000);
    QCOMPARE(updater->log().last(),
             QStringLiteral("升级信息有误：列出 2 个文件，却有 1 个保存位置，没有下载任何文件。"));
    QVERIFY(!QFile::exists(home("a.txt")));
    QVERIFY(updater->rows().isEmpty());
}

void TestUpdater::unreachableServiceCanBeRetried()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    auto updater = controller(QStringLiteral("-v1.3"), base);
    updater->start();
    QTRY_COMPARE_WITH_TIMEOUT(updater->commandCaption(), QStringLiteral("开始更新"), 10000);
    QVERIFY(updater->commandEnabled());
    QCOMPARE(updater->log(),
             QStringList({QStringLiteral("正在检查更新..."), QStringLiteral("无法连接升级服务器，请稍后再试。")}));
}

void TestUpdater::refusedLists_data()
{
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("lastLine");

    const QString h = QStringLiteral("http://127.0.0.1:1/files/");
    const QString refused = QStringLiteral("升级信息有误，没有下载任何文件。");
    QTest::newRow("one target twice") << QStringList{h + "a.txt", h + "b.txt", h + "a.txt"}
                                      << QStringList{"\\", "\\", "\\"} << refused;
    QTest::newRow("one target twice, spelt differently")
        << QStringList{h + "a.txt", h + "a.txt"} << QStringList{"\\lib\\", "/lib/"} << refused;
    QTest::newRow("a target where another needs its folder")
        << QStringList{h + "lib", h + "x.so"} << QStringList{"\\", "\\lib\\"} << refused;
    QTest::newRow("into the updater's own folder")
        << QStringList{h + "x"} << QStringList{"\\" + UpdateStaging::folderName() + "\\new\\"} << refused;
    QTest::newRow("the updater's own folder as a file")
        << QStringList{h + UpdateStaging::folderName()} << QStringList{"\\"} << refused;
    QStringList many;
    QStringList manyFolders;
    for (int i = 0; i <= UpdatePlan::MaxFiles; ++i) {
        many.append(h + QStringLiteral("f%1.dat").arg(i));
        manyFolders.append("\\");
    }
    QTest::newRow("longer than any release")
        << many << manyFolders
        << QStringLiteral("升级信息有误：列出了 3001 个文件，一次最多只能更新 3000 个，没有下载任何文件。");
}

void TestUpdater::refusedLists()
{
    QFETCH(QStringList, urls);
    QFETCH(QStringList, folders);
    QFETCH(QString, lastLine);
    setLists(urls.join("||"), folders.join("||"));
    auto updater = controller();
    updater->start();
    QTRY_COMPARE_WITH_TIMEOUT(updater->commandCaption(), QStringLiteral("开始更新"), 10000);
    QCOMPARE(updater->log().last(), lastLine);
    QVERIFY(updater->rows().isEmpty());
    QCOMPARE(m_dialogs.count(), 0);
    QCOMPARE(QDir(m_home->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

void TestUpdater::namesLikeTheStagingNames_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::newRow("a and a.qmold") << QStringList{"a", "a.qmold"};
    QTest::newRow("a.qmupdate and a") << QStringList{"a.qmupdate", "a"};
    QTest::newRow("a and a.qmupdate") << QStringList{"a", "a.qmupdate"};
}

void TestUpdater::namesLikeTheStagingNames()
{
    QFETCH(QStringList, names);
    QList<QPair<QString, QString>> entries;
    for (const QString& name : names) {
        entries.append({sourceFile(name, "new " + name.toUtf8()), "\\"});
        QFile old(home(name));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old " + name.toUtf8());
    }
    auto admin = m_server->admin();
    QVERIFY(admin);
    QVERIFY(admin->publishUpdate("v1.4", "FALSE", "notes", entries));
    auto updater = controller();
    updater->start();
    QCOMPARE(waitForEnd(*updater), 0);
    QCOMPARE(m_dialogs.last().title, QStringLiteral("升级完成"));
    for (const QString& name : names)
        QCOMPARE(readAll(home(name)), "new " + name.toUtf8());
    names.sort();
    QCOMPARE(QDir(m_home->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), names);
}

// An installed reader the user may not change: the updater names the folder it may not write
// (for a folder still to be made, the nearest one that exists) and neither downloads nor
// touches a file, not even those it could write. (As root every folder is writable, so the
// check is told which one is not.)
void TestUpdater::unwritableInstallChangesNothing()
{
    QVERIFY(QDir(m_home->path()).mkpath(QStringLiteral("lib")));
    setLists(m_server->base() + "/files/update/x.txt||" + m_server->base() + "/files/update/y.txt", "\\||\\lib\\new\\");
    auto updater = controller();
    const QString locked = home("lib");
    updater->setWritableCheck([&](const QString& path) { return QDir::cleanPath(path) != locked; });
    updater->start();
    QTRY_COMPARE_WITH_TIMEOUT(updater->commandCaption(), QStringLiteral("开始更新"), 10000);
    QCOMPARE(updater->log().mid(1),
             QStringList({QStringLiteral("共检查到：2个更新!"), QStringLiteral("没有写入权限：") + locked,
                          QStringLiteral("当前用户不能修改软件所在的目录，无法自动更新，没有下载任何文件。"
                                         "请通过系统的软件包管理器更新，或由有权限的用户运行升级程序。")}));
    QVERIFY(updater->rows().isEmpty());
    QCOMPARE(m_dialogs.count(), 0);
    QCOMPARE(leftovers(), QStringList());
    QCOMPARE(QDir(m_home->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("lib")});
}

void TestUpdater::window()
{
    auto admin = m_server->admin();
    QVERIFY(admin);
    QVERIFY(admin->publishUpdate("v1.4", "FALSE", "notes", {{sourceFile("w.txt", "w"), "\\"}}));
    auto updater = controller();
    UpdaterWindow form(*updater);
    form.show();
    QCOMPARE(form.objectName(), QStringLiteral("Form1"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Quillmere - 在线升级系统"));
    auto* command = form.findChild<QPushButton*>(QStringLiteral("Command1"));
    QVERIFY(command);
    QCOMPARE(command->text(), QStringLiteral("取消更新"));
    QVERIFY(!command->isEnabled());
    auto* list = form.findChild<QTreeWidget*>(QStringLiteral("ListView1"));
    QVERIFY(list);
    QCOMPARE(list->headerItem()->text(0), QStringLiteral("序号"));
    QCOMPARE(list->headerItem()->text(1), QStringLiteral("更新文件"));
    QCOMPARE(list->headerItem()->text(2), QStringLiteral("下载进度"));

    updater->start();
    QCOMPARE(waitForEnd(*updater), 0);
    auto* log = form.findChild<QListWidget*>(QStringLiteral("List1"));
    QVERIFY(log);
    QCOMPARE(log->count(), updater->log().size());
    QCOMPARE(log->item(1)->text(), QStringLiteral("共检查到：1个更新!"));
    QCOMPARE(list->topLevelItemCount(), 1);
    QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("w.txt"));
    QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("下载完成！"));
    QCOMPARE(list->topLevelItem(0)->foreground(2).color(), QColor(0, 0, 255));
    QVERIFY(command->isEnabled());

    // "下载详情" hides and shows the lower part.
    auto* details = form.findChild<QLabel*>(QStringLiteral("Label1"));
    QVERIFY(details);
    QCOMPARE(details->text(), QStringLiteral("下载详情"));
    QCOMPARE(form.height(), UpdaterWindow::kTallHeight);
    QTest::mouseClick(details, Qt::LeftButton);
    QCOMPARE(form.height(), UpdaterWindow::kShortHeight);
    QTest::mouseClick(details, Qt::LeftButton);
    QCOMPARE(form.height(), UpdaterWindow::kTallHeight);
}

QTEST_MAIN(TestUpdater)
#include "tst_updater.moc"
