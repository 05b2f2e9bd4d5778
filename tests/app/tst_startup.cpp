#include "app/AppState.h"
#include "app/LibraryDatabase.h"
#include "app/MachineId.h"
#include "app/Startup.h"

#include "FakeClock.h"
#include "FakeDialogs.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void emptyDownloadFolderBecomesTxtBook();
    void nestedDownloadFolderIsCreated();
    void checkAddressHasNoBlanks();
    void updateCheckCanEndTheReader();
    void badDatabaseStopsWithAMessage();
    void machineIdIsStableAndNeverEmpty();

private:
    // Runs start-up over a fresh program folder; `downSavePath` is stored first.
    Startup::Outcome start(const QString& downSavePath, QString* checkAddress = nullptr, bool continueAfter = true);

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<LibraryDatabase> m_library;
    AppState m_state;
    FakeDialogs m_dialogs;
    FakeClock m_clock{QDateTime(QDate(2009, 3, 7), QTime(8, 5, 9))};
};

void TestStartup::init()
{
    m_library.reset();
    m_home = std::make_unique<QTemporaryDir>();
    m_state = AppState();
    m_state.programFolder = m_home->path();
    m_state.serviceBase = QStringLiteral("http://127.0.0.1:8086");
    m_dialogs.clear();
}

Startup::Outcome TestStartup::start(const QString& downSavePath, QString* checkAddress, bool continueAfter)
{
    {
        LibraryDatabase seed(QStringLiteral("seed"));
        seed.open(m_home->path() + QStringLiteral("/DataFile/Data.db"));
        seed.setDownSavePath(downSavePath);
    }
    m_library = std::make_unique<LibraryDatabase>();
    Startup startup(m_state, *m_library, m_dialogs, m_clock);
    startup.setMachineIdFile(m_home->path() + QStringLiteral("/no-machine-id"));
    startup.setUpdateCheck([checkAddress, continueAfter](const QString& address) {
        if (checkAddress)
            *checkAddress = address;
        return continueAfter;
    });
    return startup.run();
}

void TestStartup::emptyDownloadFolderBecomesTxtBook()
{
    QCOMPARE(start(QString()), Startup::Outcome::Continue);
    const QString expected = m_home->path() + QStringLiteral("/TxtBook");
    QCOMPARE(m_state.downloadFolder, expected);
    QCOMPARE(m_library->downSavePath().value(), expected);
    QVERIFY(!QFileInfo::exists(expected)); // made at the next start or by a download
    QCOMPARE(m_state.library, m_library.get());
    QCOMPARE(m_dialogs.count(), 0);
}

void TestStartup::nestedDownloadFolderIsCreated()
{
    const QString nested = m_home->path() + QStringLiteral("/下载/小说 集/新书");
    QCOMPARE(start(nested), Startup::Outcome::Continue);
    QCOMPARE(m_state.downloadFolder, nested);
    QVERIFY(QFileInfo(nested).isDir());
}

void TestStartup::checkAddressHasNoBlanks()
{
    QString address;
    m_state.serviceBase = QStringLiteral("http://127.0.0.1:9");
    QCOMPARE(start(QStringLiteral("/tmp"), &address), Startup::Outcome::Continue);
    QVERIFY(!address.contains(QLatin1Char(' ')));
    QCOMPARE(address, QStringLiteral("http://127.0.0.1:9/readerserver/getinfo.asp?desknum=") + m_state.machineId +
                          QStringLiteral("&rnt=2009/3/78:05:09"));
    QCOMPARE(Startup::checkAddress(QStringLiteral("http://h"), QStringLiteral("AB CD"), QStringLiteral("1 2")),
             QStringLiteral("http://h/readerserver/getinfo.asp?desknum=ABCD&rnt=12"));
    // The snippets the check may fill start empty.
    QVERIFY(m_state.bannerHtml.isEmpty() && m_state.noticeUrl.isEmpty() && m_state.chapterHeaderHtml.isEmpty());
}

void TestStartup::updateCheckCanEndTheReader()
{
    QCOMPARE(start(QStringLiteral("/tmp"), nullptr, false), Startup::Outcome::EndedByUpdate);
}

void TestStartup::badDatabaseStopsWithAMessage()
{
    QDir().mkpath(m_home->path() + QStringLiteral("/DataFile"));
    QFile f(m_home->path() + QStringLiteral("/DataFile/Data.db"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("garbage, not a database at all");
    f.close();
    LibraryDatabase library;
    Startup startup(m_state, library, m_dialogs, m_clock);
    bool checked = false;
    startup.setUpdateCheck([&checked](const QString&) { return checked = true; });
    QCOMPARE(startup.run(), Startup::Outcome::DatabaseFailed);
    QVERIFY(!checked);
    QCOMPARE(m_dialogs.count(), 1);
    QCOMPARE(m_dialogs.last().style, int(Dialogs::Stop));
    QCOMPARE(m_dialogs.last().title, QStringLiteral("书库打开失败"));
    QVERIFY(m_dialogs.last().text.contains(QStringLiteral("不是有效的数据库")));
}

void TestStartup::machineIdIsStableAndNeverEmpty()
{
    QTemporaryDir data;
    const QString missing = data.path() + QStringLiteral("/absent");
    const QString first = MachineId::obtain(data.path(), missing);
    QCOMPARE(first.size(), 32);
    QCOMPARE(MachineId::obtain(data.path(), missing), first); // the stored fallback is reused
    QVERIFY(QFile::exists(data.path() + QStringLiteral("/machine-id")));

    const QString idFile = data.path() + QStringLiteral("/machine-id-system");
    QFile f(idFile);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("0123456789abcdef0123456789abcdef\n");
    f.close();
    const QString fromSystem = MachineId::obtain(data.path(), idFile);
    QCOMPARE(fromSystem, MachineId::fromSeed("0123456789abcdef0123456789abcdef"));
    QVERIFY(fromSystem != first);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
