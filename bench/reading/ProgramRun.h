#pragma once
// The reader as a user runs it: the Quillmere program started under an X server, its window
// found when it is mapped, keys pressed through XTest and the window's pixels read back, and
// the memory of the whole program (the reader and every web-engine process below it).

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

struct FamilyMemory {
    qint64 pssKiB = 0; // proportional: shared libraries count once over the family
    qint64 rssKiB = 0;
    qint64 ownPssKiB = 0; // the reader process alone
    int processes = 0;
};

// `root` and every process below it (the web engine's helpers and renderers), root first.
QList<qint64> familyOf(qint64 root);

// `pid` and every process below it, from /proc/PID/smaps_rollup.
FamilyMemory familyMemory(qint64 pid);

struct Spread {
    double median = 0, p95 = 0, p99 = 0, worst = 0;
    int count = 0;
    int timeouts = 0;
};
Spread spreadOf(QList<double> values);

class XSession; // the X connection, kept out of the header

// One running reader with a home folder of its own and a service on 127.0.0.1 that answers
// every request at once with an empty page.
class ProgramRun {
public:
    ProgramRun(const QString& program, const QString& home, const QString& service);
    ~ProgramRun();

    static bool haveDisplay();

    // Starts the reader (with the books given, as "Quillmere FILE" does) and waits until its
    // main window is mapped; the milliseconds from launch, or -1. With setFlags the web engine's
    // flags are `chromiumFlags` and its drawing is left as Qt chooses it.
    double start(const QStringList& books = {}, const QString& chromiumFlags = QString(), bool setFlags = false);
    void stop();
    qint64 pid() const;

    // Lets the program settle for `ms` (its event loop answering the service meanwhile).
    static void pause(int ms);
    // Gives the window the keyboard (no window manager does here) and waits until it is still.
    void focusWindow();
    // Waits until the window's pixels stop changing (or `maxMs` pass).
    void waitStill(int maxMs = 3000);

    // Presses and releases the key (an X keysym) and waits until the watched part of the
    // window changes: the milliseconds from the press to the changed frame, or -1 after 2 s.
    double pressUntilChanged(unsigned long keysym);

private:
    quint64 checksum();

    QString m_program;
    QString m_home;
    QString m_service;
    QProcess m_process;
    std::unique_ptr<XSession> m_x;
    unsigned long m_window = 0;
};
