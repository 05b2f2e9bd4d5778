// Runs under xvfb-run with the xcb platform: the window manager's view of the icon is the
// _NET_WM_ICON property on a real X window.
#include "platform/qt/ApplicationIcon.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>
#include <QtTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <map>

namespace {

const QString kDesktop = QStringLiteral(QUILLMERE_SOURCE_DIR "/resources/desktop");

QString pngFile(int size)
{
    return kDesktop + QStringLiteral("/icons/hicolor/%1x%1/apps/quillmere.png").arg(size);
}

// The [Desktop Entry] group as key → value.
std::map<QString, QString> desktopEntry()
{
    std::map<QString, QString> entry;
    QFile f(kDesktop + QStringLiteral("/quillmere.desktop"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return entry;
    bool inGroup = false;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('[')))
            inGroup = line == QLatin1String("[Desktop Entry]");
        const int eq = line.indexOf(QLatin1Char('='));
        if (inGroup && eq > 0)
            entry[line.left(eq)] = line.mid(eq + 1);
    }
    return entry;
}

// Each picture of the property as width x height → its ARGB pixels.
std::map<std::pair<int, int>, QList<quint32>> netWmIcons(xcb_window_t window)
{
    std::map<std::pair<int, int>, QList<quint32>> icons;
    xcb_connection_t* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const QByteArray name = "_NET_WM_ICON";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, quint16(name.size()), name.constData()), nullptr);
    if (!atom)
        return icons;
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, atom->atom, XCB_ATOM_CARDINAL, 0, 1 << 22), nullptr);
    std::free(atom);
    if (!reply)
        return icons;
    const auto* data = static_cast<const quint32*>(xcb_get_property_value(reply));
    const int count = xcb_get_property_value_length(reply) / 4;
    for (int i = 0; i + 2 <= count;) {
        const int w = int(data[i]);
        const int h = int(data[i + 1]);
        i += 2;
        if (w <= 0 || h <= 0 || i + w * h > count)
            break;
        icons[{w, h}] = QList<quint32>(data + i, data + i + w * h);
        i += w * h;
    }
    std::free(reply);
    return icons;
}

} // namespace

// The application menu entry and the programs' icon.
class TestDesktopEntry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void entryOpensTextFiles();
    void validatorAccepts();
    void windowsShowTheIcon();
};

void TestDesktopEntry::entryOpensTextFiles()
{
    const auto entry = desktopEntry();
    QCOMPARE(entry.at(QStringLiteral("Exec")), QStringLiteral("Quillmere %F"));
    QCOMPARE(entry.at(QStringLiteral("MimeType")), QStringLiteral("text/plain;"));
    QCOMPARE(entry.at(QStringLiteral("Categories")), QStringLiteral("Office;Viewer;"));
    QCOMPARE(entry.at(QStringLiteral("Icon")), QStringLiteral("quillmere"));
    QVERIFY(entry.at(QStringLiteral("Name[zh_CN]")).contains(QStringLiteral("阅读器")));
}

void TestDesktopEntry::validatorAccepts()
{
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        QSKIP("desktop-file-validate is not installed (package desktop-file-utils)");
    QProcess run;
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(validator, {kDesktop + QStringLiteral("/quillmere.desktop")});
    QVERIFY(run.waitForFinished(20000));
    const QByteArray output = run.readAll();
    QVERIFY2(run.exitCode() == 0 && output.trimmed().isEmpty(), output.constData());
}

void TestDesktopEntry::windowsShowTheIcon()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (runs under xvfb-run)");
    installApplicationIcon();
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    std::map<std::pair<int, int>, QList<quint32>> icons;
    QTRY_VERIFY((icons = netWmIcons(window.winId())).size() >= 2);
    QVERIFY(icons.count({16, 16}) && icons.count({256, 256}));
    // The picture the menu shows at 48 pixels is the one the window carries.
    const QImage png = QImage(pngFile(48)).convertToFormat(QImage::Format_ARGB32);
    const QList<quint32>& pixels = icons.at({48, 48});
    for (int y = 0; y < 48; y += 6) {
        for (int x = 0; x < 48; x += 6)
            QCOMPARE(pixels.at(y * 48 + x), quint32(png.pixel(x, y)));
    }
}

QTEST_MAIN(TestDesktopEntry)
#include "tst_x11_desktopentry.moc"
