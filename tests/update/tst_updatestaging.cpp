// The swap of an update stopped after each of its steps, as a kill would stop it: the next
// start leaves every old file or every new one, never a mix, and nothing of the update.
#include "update/UpdateStaging.h"

#include <QDirIterator>
#include <QtTest>

namespace {

using Files = QMap<QString, QByteArray>; // relative path → bytes; "<missing>" for no file

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestUpdateStaging : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void swapStoppedAfterEachStep_data();
    void swapStoppedAfterEachStep();
    void thousandFilesStoppedMidSwap_data();
    void thousandFilesStoppedMidSwap();
    void anotherUpdaterKeepsItsFolder();

private:
    // The program folder before the update: its old files, an executable among them.
    void setUpOld(const QString& root, const Files& old);
    // Stages `files` (in order) and swaps them, stopping after step `stopAt` (0: never).
    // Returns whether the swap reached a step numbered stopAt.
    bool swap(const QString& root, const QList<QPair<QString, QByteArray>>& files, int stopAt, bool* committed);
    void expectFiles(const QString& root, const Files& expected);
};

void TestUpdateStaging::setUpOld(const QString& root, const Files& old)
{
    for (auto it = old.cbegin(); it != old.cend(); ++it)
        if (it.value() != "<missing>")
            QVERIFY(write(root + '/' + it.key(), it.value()));
}

bool TestUpdateStaging::swap(const QString& root, const QList<QPair<QString, QByteArray>>& files, int stopAt,
                             bool* committed)
{
    UpdateStaging staging(root);
    if (!staging.open())
        return false;
    QList<UpdateStaging::Move> moves;
    for (int i = 0; i < files.size(); ++i) {
        write(staging.stagedFile(i + 1), files[i].second);
        moves.append({i + 1, root + '/' + files[i].first});
    }
    bool reached = false;
    staging.setStepHook([&](int step) { return reached = reached || step == stopAt; });
    QString failed;
    *committed = staging.commit(moves, &failed);
    return reached;
}

void TestUpdateStaging::expectFiles(const QString& root, const Files& expected)
{
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QCOMPARE(readAll(root + '/' + it.key()), it.value());
    QVERIFY(!QFileInfo::exists(root + '/' + UpdateStaging::folderName()));
}

void TestUpdateStaging::swapStoppedAfterEachStep_data()
{
    QTest::addColumn<bool>("finishes");
    QTest::newRow("every file can be placed: the next start finishes the swap") << true;
    // A file stands where the last target needs a folder, so the swap undoes itself.
    QTest::newRow("the last file cannot be placed: the next start finishes undoing it") << false;
}

void TestUpdateStaging::swapStoppedAfterEachStep()
{
    QFETCH(bool, finishes);
    QList<QPair<QString, QByteArray>> files = {
        {"update", "new program"}, {"plugins/voice/voice.dat", "new voice"}, {"Reader.html", "new page"}};
    if (!finishes)
        files.append(qMakePair(QStringLiteral("blocker/x.txt"), QByteArray("new x")));
    const Files old = {{"update", "old program"},
                       {"plugins/voice/voice.dat", "<missing>"},
                       {"Reader.html", "<missing>"},
                       {"blocker", "in the way"}};
    Files fresh = old;
    for (const auto& file : files)
        fresh[file.first] = file.second;

    QList<UpdateStaging::Recovery> recoveries;
    for (int stopAt = 1;; ++stopAt) {
        QTemporaryDir dir;
        const QString root = dir.path();
        setUpOld(root, old);
        QVERIFY(QFile::setPermissions(root + "/update", QFile::permissions(root + "/update") | QFile::ExeOwner));
        bool committed = false;
        const bool stopped = swap(root, files, stopAt, &committed);
        if (!stopped) {
            // Past the last step: the swap ran to its end.
            QCOMPARE(committed, finishes);
            expectFiles(root, finishes ? fresh : old);
            break;
        }
        QVERIFY(!committed);
        recoveries.append(UpdateStaging::recover(root));
        expectFiles(root, finishes ? fresh : old);
        QVERIFY(QFileInfo(root + "/update").isExecutable());
        QCOMPARE(QFileInfo::exists(root + "/plugins"), finishes);
    }
    // Stopped after writing the journal, setting the old program aside, placing three files
    // (and undoing that), and after removing the journal, when only clearing up is left.
    QList<UpdateStaging::Recovery> expected(finishes ? 5 : 9, finishes ? UpdateStaging::Recovery::RolledForward
                                                                       : UpdateStaging::Recovery::RolledBack);
    expected.append(UpdateStaging::Recovery::Cleared);
    QCOMPARE(recoveries, expected);
}

void TestUpdateStaging::thousandFilesStoppedMidSwap_data()
{
    // 500 files replace old ones (two steps each), 500 are new (one step each).
    QTest::addColumn<int>("stopAt");
    QTest::newRow("journal written") << 1;
    QTest::newRow("half way") << 751;
    QTest::newRow("last file placed") << 1501;
    QTest::newRow("not stopped") << 0;
}

void TestUpdateStaging::thousandFilesStoppedMidSwap()
{
    QFETCH(int, stopAt);
    QTemporaryDir dir;
    const QString root = dir.path();
    QList<QPair<QString, QByteArray>> files;
    Files fresh;
    for (int i = 0; i < 1000; ++i) {
        const QString name = QStringLiteral("lib%1/file%2.dat").arg(i % 10).arg(i);
        files.append(qMakePair(name, "new " + QByteArray::number(i)));
        fresh[name] = files.last().second;
        if (i % 2 == 0)
            QVERIFY(write(root + '/' + name, "old " + QByteArray::number(i)));
    }
    bool committed = false;
    QCOMPARE(swap(root, files, stopAt, &committed), stopAt != 0);
    QCOMPARE(committed, stopAt == 0);
    QCOMPARE(UpdateStaging::recover(root),
             stopAt == 0 ? UpdateStaging::Recovery::Nothing : UpdateStaging::Recovery::RolledForward);
    expectFiles(root, fresh);
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    int count = 0;
    for (; it.hasNext(); it.next())
        ++count;
    QCOMPARE(count, 1000);
}

void TestUpdateStaging::anotherUpdaterKeepsItsFolder()
{
    QTemporaryDir dir;
    UpdateStaging first(dir.path());
    QVERIFY(first.open());
    QVERIFY(write(first.stagedFile(1), "arriving"));
    QCOMPARE(UpdateStaging::recover(dir.path()), UpdateStaging::Recovery::Busy);
    QVERIFY(!UpdateStaging(dir.path()).open());
    QCOMPARE(readAll(first.stagedFile(1)), QByteArray("arriving"));
    first.discard();
    QVERIFY(!QFileInfo::exists(first.folder()));
}

QTEST_MAIN(TestUpdateStaging)
#include "tst_updatestaging.moc"
