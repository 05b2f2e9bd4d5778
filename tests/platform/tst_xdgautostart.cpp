#include "platform/xdg/XdgAutoStart.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString execValue(const QString& entry)
{
    for (const QString& line : entry.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("Exec=")))
            return line.mid(5);
    }
    return {};
}

// Reads an Exec value back the way a desktop does: string escapes first, then the
// quoting rules of the Exec key, then "%%". Returns the arguments.
QStringList parseExec(const QString& value)
{
    QString unescaped;
    for (int i = 0; i < value.size(); ++i) {
        if (value[i] == QLatin1Char('\\') && i + 1 < value.size()) {
            const QChar next = value[++i];
            unescaped += next == QLatin1Char('n')   ? QChar(u'\n')
                         : next == QLatin1Char('t') ? QChar(u'\t')
                         : next == QLatin1Char('r') ? QChar(u'\r')
                         : next == QLatin1Char('s') ? QChar(u' ')
                                                    : next;
        } else {
            unescaped += value[i];
        }
    }
    QStringList args;
    QString current;
    bool inQuotes = false;
    bool haveArg = false;
    for (int i = 0; i < unescaped.size(); ++i) {
        const QChar c = unescaped[i];
        if (inQuotes) {
            if (c == QLatin1Char('\\') && i + 1 < unescaped.size()) {
                current += unescaped[++i];
            } else if (c == QLatin1Char('"')) {
                inQuotes = false;
            } else {
                current += c;
            }
        } else if (c == QLatin1Char('"')) {
            inQuotes = true;
            haveArg = true;
        } else if (c == QLatin1Char(' ')) {
            if (haveArg)
                args << current;
            current.clear();
            haveArg = false;
        } else {
            current += c;
            haveArg = true;
        }
    }
    if (haveArg)
        args << current;
    for (QString& a : args)
        a.replace(QLatin1String("%%"), QLatin1String("%"));
    return args;
}

} // namespace

class TestXdgAutoStart : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void execLineStartsTheProgram_data();
    void execLineStartsTheProgram();
    void writtenAndRemovedInConfigHomeWithBlank();
    void defaultsToHomeConfig_data();
    void defaultsToHomeConfig();
    void failuresAreSilent();

private:
    QByteArray m_oldConfig;
    QByteArray m_oldHome;
};

void TestXdgAutoStart::init()
{
    m_oldConfig = qgetenv("XDG_CONFIG_HOME");
    m_oldHome = qgetenv("HOME");
}

void TestXdgAutoStart::cleanup()
{
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
    qputenv("HOME", m_oldHome);
}

void TestXdgAutoStart::execLineStartsTheProgram_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("plain") << "/opt/quillmere/Quillmere";
    QTest::newRow("blanks") << "/home/li lei/My Apps/Quillmere";
    QTest::newRow("chinese") << "/home/读者/小说 阅读/Quillmere";
    QTest::newRow("shell characters") << R"(/tmp/a"b$c`d\e/Quillmere)";
    QTest::newRow("percent is no field code") << "/tmp/100%u/Quillmere";
    QTest::newRow("quote and semicolon") << "/tmp/it's;here/Quillmere";
}

void TestXdgAutoStart::execLineStartsTheProgram()
{
    QFETCH(QString, program);
    const QString entry = XdgAutoStart::entryText(program);
    QVERIFY(entry.startsWith(QLatin1String("[Desktop Entry]\n")));
    QVERIFY(entry.contains(QLatin1String("\nType=Application\n")));
    QVERIFY(entry.contains(QLatin1String("\nName=Quillmere\n")));
    QCOMPARE(parseExec(execValue(entry)), QStringList{program});
}

void TestXdgAutoStart::writtenAndRemovedInConfigHomeWithBlank()
{
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("my config"));
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    const QString entry = config + QStringLiteral("/autostart/Quillmere.desktop");
    QCOMPARE(XdgAutoStart::entryPath(), entry);

    XdgAutoStart autoStart(dir.filePath(QStringLiteral("app dir/Quillmere")));
    autoStart.remove(); // nothing there yet: no error, nothing created
    QVERIFY(!QFile::exists(entry));

    autoStart.add(); // the autostart folder itself is created
    QVERIFY(QFile::exists(entry));
    QCOMPARE(parseExec(execValue(readAll(entry))), QStringList{dir.filePath(QStringLiteral("app dir/Quillmere"))});

    // Every save with "是" writes it again, repairing a damaged entry.
    {
        QFile f(entry);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("broken");
    }
    autoStart.add();
    QCOMPARE(readAll(entry), XdgAutoStart::entryText(dir.filePath(QStringLiteral("app dir/Quillmere"))));

    autoStart.remove();
    QVERIFY(!QFile::exists(entry));
    autoStart.remove();
    QVERIFY(!QFile::exists(entry));
}

void TestXdgAutoStart::defaultsToHomeConfig_data()
{
    QTest::addColumn<QByteArray>("configHome");
    QTest::newRow("unset") << QByteArray();
    QTest::newRow("relative is ignored") << QByteArray("relative/config");
}

void TestXdgAutoStart::defaultsToHomeConfig()
{
    QFETCH(QByteArray, configHome);
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    if (configHome.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", configHome);
    QCOMPARE(XdgAutoStart::entryPath(), home.path() + QStringLiteral("/.config/autostart/Quillmere.desktop"));

    // Without a program path the running program is the one started.
    XdgAutoStart autoStart;
    autoStart.add();
    QCOMPARE(parseExec(execValue(readAll(XdgAutoStart::entryPath()))),
             QStringList{QCoreApplication::applicationFilePath()});
}

void TestXdgAutoStart::failuresAreSilent()
{
    // The config "folder" is a file: the autostart folder cannot be made.
    QTemporaryDir dir;
    const QString notAFolder = dir.filePath(QStringLiteral("file"));
    {
        QFile f(notAFolder);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    qputenv("XDG_CONFIG_HOME", notAFolder.toLocal8Bit());
    XdgAutoStart autoStart(QStringLiteral("/opt/Quillmere"));
    autoStart.add();
    autoStart.remove();
    QVERIFY(!QFile::exists(XdgAutoStart::entryPath()));
}

QTEST_GUILESS_MAIN(TestXdgAutoStart)
#include "tst_xdgautostart.moc"
