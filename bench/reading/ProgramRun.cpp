#include "ProgramRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <cstdio>

namespace {

qint64 rollupKiB(const QByteArray& text, const char* key)
{
    for (const QByteArray& line : text.split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

} // namespace

QList<qint64> familyOf(qint64 root)
{
    QList<qint64> family{root};
    bool grew = true;
    while (grew) {
        grew = false;
        for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            const qint64 pid = name.toLongLong();
            if (pid <= 0 || family.contains(pid))
                continue;
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            const QByteArray text = stat.readAll();
            const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 1 && family.contains(fields[1].toLongLong())) {
                family << pid;
                grew = true;
            }
        }
    }
    return family;
}

FamilyMemory familyMemory(qint64 pid)
{
    FamilyMemory memory;
    for (const qint64 member : familyOf(pid)) {
        QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(member));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = f.readAll();
        const qint64 pss = rollupKiB(text, "Pss:");
        memory.pssKiB += pss;
        memory.rssKiB += rollupKiB(text, "Rss:");
        if (member == pid)
            memory.ownPssKiB = pss;
        ++memory.processes;
    }
    return memory;
}

Spread spreadOf(QList<double> values)
{
    Spread s;
    QList<double> done;
    for (double v : values) {
        if (v < 0)
            ++s.timeouts;
        else
            done << v;
    }
    std::sort(done.begin(), done.end());
    s.count = int(done.size());
    if (done.isEmpty())
        return s;
    const auto at = [&](double q) { return done[std::min<qsizetype>(done.size() - 1, qsizetype(q * done.size()))]; };
    s.median = done[done.size() / 2];
    s.p95 = at(0.95);
    s.p99 = at(0.99);
    s.worst = done.last();
    return s;
}

// The bench's own connection to the X server, and a service that answers at once.
class XSession {
public:
    XSession()
    {
        // Windows of the program come and go while the bench looks at them: an error about one
        // that just went is no reason to end the bench.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        display = XOpenDisplay(nullptr);
        int damageError = 0;
        haveDamage = display && XDamageQueryExtension(display, &damageEvent, &damageError);
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                    socket->readAll();
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 0\r\n"
                                  "Connection: close\r\n\r\n");
                    socket->disconnectFromHost();
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    ~XSession()
    {
        if (display)
            XCloseDisplay(display);
    }

    // A mapped top-level window of the process `pid` (its _NET_WM_PID), 0 when none is.
    Window mappedWindowOf(qint64 pid)
    {
        const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", True);
        if (pidAtom == None)
            return 0;
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        Window found = 0;
        if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
            return 0;
        for (unsigned int i = 0; i < count && !found; ++i) {
            XWindowAttributes attributes;
            if (!XGetWindowAttributes(display, children[i], &attributes) || attributes.map_state != IsViewable ||
                attributes.width < 400)
                continue;
            Atom type = 0;
            int format = 0;
            unsigned long items = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(display, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items,
                                   &after, &data) == Success &&
                data) {
                if (items == 1 && qint64(*reinterpret_cast<unsigned long*>(data)) == pid)
                    found = children[i];
                XFree(data);
            }
        }
        if (children)
            XFree(children);
        return found;
    }

    Display* display = nullptr;
    bool haveDamage = false; // the X server reports drawing into a window
    int damageEvent = 0;     // the first event number of those reports
    QTcpServer server;
};

ProgramRun::ProgramRun(const QString& program, const QString& home, const QString& service)
    : m_program(program), m_home(home), m_service(service), m_x(std::make_unique<XSession>())
{
    if (m_service.isEmpty())
        m_service = QStringLiteral("http://127.0.0.1:%1").arg(m_x->server.serverPort());
}

ProgramRun::~ProgramRun()
{
    stop();
}

bool ProgramRun::haveDisplay()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    Display* d = XOpenDisplay(nullptr);
    if (d)
        XCloseDisplay(d);
    return d != nullptr;
}

qint64 ProgramRun::pid() const
{
    return m_process.processId();
}

void ProgramRun::pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double ProgramRun::start(const QStringList& books, const QString& chromiumFlags, bool setFlags)
{
    if (!m_x->display)
        return -1;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUILLMERE_HOME"), m_home);
    env.insert(QStringLiteral("QUILLMERE_SERVICE"), m_service);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    env.remove(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"));
    env.remove(QStringLiteral("QT_XCB_GL_INTEGRATION"));
    env.remove(QStringLiteral("QT_QUICK_BACKEND"));
    if (setFlags) {
        // Set, even to nothing, these are the user's: the program leaves them alone.
        // Flags of the caller's keep the shipped software drawing; none leave the drawing as
        // it comes too.
        env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), chromiumFlags);
        env.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"),
                   chromiumFlags.isEmpty() ? QString() : QStringLiteral("none"));
        env.insert(QStringLiteral("QT_QUICK_BACKEND"),
                   chromiumFlags.isEmpty() ? QString() : QStringLiteral("software"));
    }
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    m_process.start(m_program, books);
    if (!m_process.waitForStarted(10000))
        return -1;
    // Poll the X server every 2 ms while this loop answers the program's service requests.
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    double shownMs = -1;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (const Window w = m_x->mappedWindowOf(m_process.processId())) {
            shownMs = timer.nsecsElapsed() / 1e6;
            m_window = w;
            loop.quit();
        } else if (timer.elapsed() > 20000 || m_process.state() == QProcess::NotRunning) {
            loop.quit();
        }
    });
    poll.start(2);
    loop.exec();
    return shownMs;
}

void ProgramRun::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    m_window = 0;
}

quint64 ProgramRun::checksum()
{
    // Part of the reading text: under the toolbar, above the progress line and left of the
    // chapter list, which takes the window's right 210 pixels. The list's selection and the
    // progress line change too, sooner than the text; they are not what the reader waits for.
    XWindowAttributes a;
    if (!m_window || !XGetWindowAttributes(m_x->display, m_window, &a))
        return 0;
    const int x = a.width * 15 / 100;
    const int y = std::min(60, a.height / 4);
    const int w = a.width * 50 / 100;
    const int h = std::min(160, a.height / 2);
    XImage* image = XGetImage(m_x->display, m_window, x, y, unsigned(w), unsigned(h), AllPlanes, ZPixmap);
    if (!image)
        return 0;
    quint64 sum = 1469598103934665603ULL;
    const qsizetype bytes = qsizetype(image->bytes_per_line) * image->height;
    const auto* p = reinterpret_cast<const unsigned char*>(image->data);
    for (qsizetype i = 0; i < bytes; i += 4) {
        sum ^= quint64(p[i]) | quint64(p[i + 1]) << 8 | quint64(p[i + 2]) << 16;
        sum *= 1099511628211ULL;
    }
    XDestroyImage(image);
    return sum;
}

void ProgramRun::focusWindow()
{
    if (!m_window)
        return;
    XSetInputFocus(m_x->display, m_window, RevertToParent, CurrentTime);
    XFlush(m_x->display);
    waitStill();
}

void ProgramRun::waitStill(int maxMs)
{
    QElapsedTimer timer;
    timer.start();
    quint64 last = checksum();
    int still = 0;
    while (timer.elapsed() < maxMs && still < 3) {
        QThread::msleep(25);
        const quint64 now = checksum();
        still = now == last ? still + 1 : 0;
        last = now;
    }
}

double ProgramRun::pressUntilChanged(unsigned long keysym)
{
    if (!m_window)
        return -1;
    const quint64 before = checksum();
    // The X server reports every drawing into the window (DAMAGE), so the bench reads the
    // pixels back only when something was drawn. Reading them back in a tight loop instead
    // keeps the X server and the bench busy on both cores the program needs.
    Display* display = m_x->display;
    const bool haveDamage = m_x->haveDamage;
    const int damageEvent = m_x->damageEvent;
    const Damage damage = haveDamage ? XDamageCreate(display, m_window, XDamageReportNonEmpty) : 0;
    XSync(display, False);
    const KeyCode code = XKeysymToKeycode(display, keysym);
    QElapsedTimer timer;
    timer.start();
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XFlush(display);
    double changedMs = -1;
    while (timer.elapsed() < 2000 && changedMs < 0) {
        if (!haveDamage) {
            QThread::usleep(1000);
        } else {
            // Wait for the next report, at most the time left.
            while (!XPending(display)) {
                const qint64 left = 2000 - timer.elapsed();
                if (left <= 0)
                    break;
                pollfd fd{ConnectionNumber(display), POLLIN, 0};
                ::poll(&fd, 1, int(std::min<qint64>(left, 50)));
            }
            bool damaged = false;
            while (XPending(display)) {
                XEvent event;
                XNextEvent(display, &event);
                damaged = damaged || event.type == damageEvent + XDamageNotify;
            }
            if (!damaged)
                continue;
            XDamageSubtract(display, damage, None, None);
        }
        const double at = timer.nsecsElapsed() / 1e6;
        if (checksum() != before)
            changedMs = at;
    }
    if (haveDamage)
        XDamageDestroy(display, damage);
    return changedMs;
}
