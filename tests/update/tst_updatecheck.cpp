// The reader's update check at start-up: the request on the wire, the decision table, the
// prompts, handing over to the updater, and a service that fails or keeps silent.
#include "UpdateReplies.h"

#include "app/AppState.h"
#include "app/LibraryDatabase.h"
#include "app/MachineId.h"
#include "app/Startup.h"
#include "platform/qt/QtProgramStarter.h"
#include "update/UpdateCheck.h"

#include "FakeClock.h"
#include "FakeDialogs.h"
#include "FakeProgramStarter.h"
#include "RecordingHttpServer.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QtTest>

class TestUpdateCheck : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void startupRequestOnTheWire();
    void decisionTable_data();
    void decisionTable();
    void refusedReplies_data();
    void refusedReplies();
    void missingElementKeepsWhatWasRead();
    void missingUpdaterIsReportedOnce_data();
    void missingUpdaterIsReportedOnce();
    void silentServiceDelaysTheStartOnly();
    void hugeReplyDelaysTheStartOnly();

private:
    UpdateCheck::Outcome check(const QByteArray& body, int status = 200,
                               const QByteArray& contentType = "text/xml; charset=utf-8");

    QNetworkAccessManager m_network;
    std::unique_ptr<RecordingHttpServer> m_recorder;
    RecordingHttpServer& m_server() { return *m_recorder; }
    AppState m_state;
    FakeDialogs m_dialogs;
    FakeProgramStarter m_starter;
    const QString m_updater = QStringLiteral("/opt/quillmere/update");
};

void TestUpdateCheck::init()
{
    m_recorder = std::make_unique<RecordingHttpServer>();
    QVERIFY(m_recorder->listen());
    m_state = AppState();
    m_dialogs = FakeDialogs(); // also forgets answers a row left unused
    m_starter.started.clear();
    m_starter.starts = true;
}

UpdateCheck::Outcome TestUpdateCheck::check(const QByteArray& body, int status, const QByteArray& contentType)
{
    RecordingHttpServer::Answer answer;
    answer.status = status;
    answer.contentType = contentType;
    answer.body = body;
    m_server().answerDefault(answer);
    UpdateCheck check(m_state, m_network, m_dialogs, m_starter, m_updater);
    return check.run(m_server().base() + QStringLiteral("/readerserver/getinfo.asp?desknum=A1&rnt=2009/3/78:05:09"));
}

void TestUpdateCheck::startupRequestOnTheWire()
{
    // The whole start-up, from the library to the check, against a service that only records.
    QTemporaryDir home;
    QFile idFile(home.filePath(QStringLiteral("machine-id")));
    QVERIFY(idFile.open(QIODevice::WriteOnly));
    idFile.write("4c4c4544-0038-4b10-8050-b4c04f4b4e32\n");
    idFile.close();
    InfoBlock info;
    info.notice = QStringLiteral("http://127.0.0.1:1/notice");
    info.banner = QStringLiteral("<b>书友社区</b>");
    RecordingHttpServer::Answer answer;
    answer.body = info.xml();
    m_server().answerDefault(answer);

    m_state.programFolder = home.path();
    m_state.serviceBase = m_server().base();
    LibraryDatabase library(QStringLiteral("update-check-startup"));
    FakeClock clock(QDateTime(QDate(2009, 3, 7), QTime(8, 5, 9)));
    Startup startup(m_state, library, m_dialogs, clock);
    startup.setMachineIdFile(idFile.fileName());
    UpdateCheck check(m_state, m_network, m_dialogs, m_starter, m_updater);
    startup.setUpdateCheck([&check](const QString& address) { return !check.run(address).endReader; });
    QCOMPARE(startup.run(), Startup::Outcome::Continue);

    QCOMPARE(m_server().requests().size(), 1);
    const RecordingHttpServer::Request request = m_server().last();
    QCOMPARE(request.method, QByteArray("GET"));
    const QString id = MachineId::fromSeed("4c4c4544-0038-4b10-8050-b4c04f4b4e32");
    // desknum, then the stamp, with no blank anywhere (neither as such nor escaped).
    QCOMPARE(request.target, "/readerserver/getinfo.asp?desknum=" + id.toLatin1() + "&rnt=2009/3/78:05:09");
    QVERIFY(!request.target.contains(' ') && !request.target.contains("%20"));
    QCOMPARE(m_state.noticeUrl, info.notice);
    QCOMPARE(m_state.bannerHtml, info.banner);
    QCOMPARE(m_dialogs.count(), 0);
}

void TestUpdateCheck::decisionTable_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("mustdown");
    QTest::addColumn<bool>("answerYes");
    QTest::addColumn<QString>("prompt"); // "", "mandatory" or "optional"
    QTest::addColumn<bool>("started");
    QTest::addColumn<bool>("ends");

    QTest::newRow("own version") << "v1.3"
                                 << "TRUE" << true << "" << false << false;
    QTest::newRow("own version among blanks") << " v1.3 "
                                              << "FALSE" << true << "" << false << false;
    QTest::newRow("capital V is another version") << "V1.3"
                                                  << "FALSE" << true << "optional" << true << true;
    QTest::newRow("optional, accepted") << "v1.4"
                                        << "FALSE" << true << "optional" << true << true;
    QTest::newRow("optional, declined") << "v1.4"
                                        << "FALSE" << false << "optional" << false << false;
    QTest::newRow("mandatory, accepted") << "v1.4"
                                         << "TRUE" << true << "mandatory" << true << true;
    QTest::newRow("mandatory, declined ends the reader") << "v1.4"
                                                         << "TRUE" << false << "mandatory" << false << true;
    QTest::newRow("true in lower case") << "v1.4"
                                        << "true" << true << "" << false << false;
    QTest::newRow("false in lower case") << "v1.4"
                                         << "false" << true << "" << false << false;
    QTest::newRow("TRUE among blanks") << "v1.4"
                                       << " TRUE" << true << "" << false << false;
    QTest::newRow("anything else") << "v1.4"
                                   << "YES" << true << "" << false << false;
}

void TestUpdateCheck::decisionTable()
{
    QFETCH(QString, version);
    QFETCH(QString, mustdown);
    QFETCH(bool, answerYes);
    QFETCH(QString, prompt);
    QFETCH(bool, started);
    QFETCH(bool, ends);

    InfoBlock info;
    info.version = version;
    info.mustdown = mustdown;
    info.verinfo = QStringLiteral("1. 新增书签\n2. 修正朗读");
    info.banner = QStringLiteral("<i>横幅</i>");
    m_dialogs.answerNext(answerYes ? Answer::Yes : Answer::No);
    const UpdateCheck::Outcome outcome = check(info.xml());

    QVERIFY(outcome.accepted);
    QCOMPARE(outcome.endReader, ends);
    // The presentation texts take effect whatever the decision.
    QCOMPARE(m_state.bannerHtml, info.banner);
    if (prompt.isEmpty()) {
        QCOMPARE(m_dialogs.count(), 0);
    } else {
        QCOMPARE(m_dialogs.count(), 1);
        const QString question =
            prompt == QLatin1String("mandatory")
                ? QStringLiteral("系统检查到软件需要升级，你需要更新后才能继续使用，是否进行升级？")
                : QStringLiteral("系统检查到软件有更新，是否进行升级？");
        QCOMPARE(m_dialogs.last().text, question + QStringLiteral("\r\n\r\n更新内容：1. 新增书签\n2. 修正朗读"));
        QCOMPARE(m_dialogs.last().title, QStringLiteral("软件需更新"));
        QCOMPARE(m_dialogs.last().style, int(Dialogs::YesNo));
    }
    QCOMPARE(m_starter.started.size(), started ? 1 : 0);
    if (started) {
        QCOMPARE(m_starter.started.first().program, m_updater);
        QCOMPARE(m_starter.started.first().arguments, QStringList{"-v1.3"});
    }
}

void TestUpdateCheck::refusedReplies_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("accepted");
    InfoBlock newer;
    newer.version = QStringLiteral("v1.4");
    newer.banner = QStringLiteral("banner");
    QTest::newRow("404") << 404 << QByteArray("text/xml") << newer.xml() << false;
    QTest::newRow("declared as HTML") << 200 << QByteArray("Text/HTML; charset=utf-8") << newer.xml() << false;
    QTest::newRow("not a document") << 200 << QByteArray("text/xml") << QByteArray("<infobase><version>") << true;
    QTest::newRow("no information block") << 200 << QByteArray("text/xml") << QByteArray("<other/>") << false;
}

void TestUpdateCheck::refusedReplies()
{
    QFETCH(int, status);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(bool, accepted);
    const UpdateCheck::Outcome outcome = check(body, status, contentType);
    QCOMPARE(outcome.accepted, accepted);
    QVERIFY(!outcome.endReader);
    QCOMPARE(m_dialogs.count(), 0);
    QVERIFY(m_state.bannerHtml.isEmpty());
    QVERIFY(m_starter.started.isEmpty());
}

void TestUpdateCheck::missingElementKeepsWhatWasRead()
{
    const QByteArray body = "<infobase><reader_1>http://h/n</reader_1><reader_2>B</reader_2>"
                            "<version>v1.4</version><mustdown>TRUE</mustdown></infobase>";
    const UpdateCheck::Outcome outcome = check(body);
    QVERIFY(!outcome.endReader);
    QCOMPARE(m_state.noticeUrl, QStringLiteral("http://h/n"));
    QCOMPARE(m_state.bannerHtml, QStringLiteral("B"));
    QVERIFY(m_state.chapterHeaderHtml.isEmpty());
    // Half a block decides nothing: no prompt for the version it names.
    QCOMPARE(m_dialogs.count(), 0);
}

void TestUpdateCheck::missingUpdaterIsReportedOnce_data()
{
    QTest::addColumn<QString>("mustdown");
    QTest::newRow("optional") << "FALSE";
    QTest::newRow("mandatory") << "TRUE";
}

void TestUpdateCheck::missingUpdaterIsReportedOnce()
{
    QFETCH(QString, mustdown);
    InfoBlock info;
    info.version = QStringLiteral("v1.4");
    info.mustdown = mustdown;
    m_starter.starts = false;
    m_dialogs.answerNext(Answer::Yes);
    const UpdateCheck::Outcome outcome = check(info.xml());
    // The reader carries on, also past a mandatory update.
    QVERIFY(!outcome.endReader);
    QCOMPARE(m_starter.started.size(), 1);
    QCOMPARE(m_dialogs.count(), 2);
    QCOMPARE(m_dialogs.last().title, QStringLiteral("升级失败"));
    QCOMPARE(m_dialogs.last().style, int(Dialogs::Exclamation));
    QVERIFY(m_dialogs.last().text.contains(m_updater));

    // The real starter refuses a program that is not there.
    QTemporaryDir empty;
    QtProgramStarter programs;
    QVERIFY(!programs.startDetached(empty.filePath(QStringLiteral("update")), {QStringLiteral("-v1.3")}));
}

void TestUpdateCheck::silentServiceDelaysTheStartOnly()
{
    RecordingHttpServer::Answer never;
    never.never = true;
    m_server().answerDefault(never);
    UpdateCheck check(m_state, m_network, m_dialogs, m_starter, m_updater);
    QElapsedTimer timer;
    timer.start();
    const UpdateCheck::Outcome outcome =
        check.run(m_server().base() + QStringLiteral("/readerserver/getinfo.asp?rnt=1"));
    QVERIFY(!outcome.accepted && !outcome.endReader);
    // Generous bound: the point is that the wait ends, not how fast.
    QVERIFY2(timer.elapsed() < 15000, "the check gives up on a silent service");
    QCOMPARE(m_dialogs.count(), 0);
}

void TestUpdateCheck::hugeReplyDelaysTheStartOnly()
{
    // 256 MB after the block's start: given up at the size cap, so the check had no answer
    // (rather than one it waited for in full and could not read).
    InfoBlock info;
    info.version = QStringLiteral("v9");
    RecordingHttpServer::Answer answer;
    answer.body = info.xml().replace("</infobase>", "<verinfo>");
    answer.chunked = true;
    answer.fillerBytes = 256LL * 1024 * 1024;
    m_server().answerDefault(answer);
    UpdateCheck check(m_state, m_network, m_dialogs, m_starter, m_updater);
    const UpdateCheck::Outcome outcome =
        check.run(m_server().base() + QStringLiteral("/readerserver/getinfo.asp?rnt=1"));
    QVERIFY(!outcome.accepted && !outcome.endReader);
    QCOMPARE(m_dialogs.count(), 0);
}

QTEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
