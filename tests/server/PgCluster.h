#pragma once

// A throwaway PostgreSQL cluster for the server tests: initdb into a temporary folder, the
// server on a free loopback port with its socket in that folder, stopped and removed when the
// test program ends. Run as root (as in CI), the cluster belongs to the unprivileged user
// "nobody", since PostgreSQL refuses to run as root. One cluster per test program; every
// fixture takes a fresh database of its own.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QTcpServer>

#include <unistd.h>

class PgCluster {
public:
    static constexpr const char* kBinaries = "/usr/lib/postgresql/15/bin";

    // The running cluster, started at the first call; null with the reason where it cannot run.
    static PgCluster* instance(QString* whyNot)
    {
        static PgCluster* cluster = nullptr;
        static QString failure;
        if (!cluster && failure.isEmpty()) {
            auto* candidate = new PgCluster;
            failure = candidate->start();
            if (failure.isEmpty()) {
                cluster = candidate;
                qAddPostRoutine([] { cluster->stop(); });
            } else {
                delete candidate;
            }
        }
        if (!cluster && whyNot)
            *whyNot = failure;
        return cluster;
    }

    // A new, empty database; its URL, or empty when it could not be made.
    QString freshDatabase()
    {
        QString name = QStringLiteral("t%1_%2").arg(::getpid()).arg(++m_databases);
        {
            QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("pgcluster-admin"));
            admin.setHostName(QStringLiteral("127.0.0.1"));
            admin.setPort(m_port);
            admin.setUserName(QStringLiteral("quillmere"));
            admin.setDatabaseName(QStringLiteral("postgres"));
            bool ok = admin.open();
            if (ok)
                ok = QSqlQuery(admin).exec(QStringLiteral("CREATE DATABASE %1").arg(name));
            admin.close();
            if (!ok)
                name.clear();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("pgcluster-admin"));
        return name.isEmpty() ? QString() : url(name);
    }

    QString url(const QString& database) const
    {
        return QStringLiteral("postgresql://quillmere@127.0.0.1:%1/%2").arg(m_port).arg(database);
    }
    quint16 port() const { return m_port; }

private:
    QString start()
    {
        const QString bin = QString::fromLatin1(kBinaries);
        if (!QFile::exists(bin + QStringLiteral("/initdb")))
            return QStringLiteral("PostgreSQL 15 is not installed (no %1/initdb)").arg(bin);
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
            return QStringLiteral("Qt's PostgreSQL driver QPSQL is not installed (libqt6sql6-psql)");
        char pattern[] = "/tmp/quillmere-pg-XXXXXX";
        if (!::mkdtemp(pattern))
            return QStringLiteral("cannot make a temporary folder");
        m_dir = QString::fromLatin1(pattern);
        if (::geteuid() == 0 && ::chown(pattern, 65534, 65534) != 0)
            return QStringLiteral("cannot hand %1 to nobody").arg(m_dir);
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0))
            return QStringLiteral("no free loopback port");
        m_port = probe.serverPort();
        probe.close();
        QString output;
        if (!run(bin + QStringLiteral("/initdb"),
                 {QStringLiteral("-D"), m_dir + QStringLiteral("/data"), QStringLiteral("-U"),
                  QStringLiteral("quillmere"), QStringLiteral("--auth=trust"), QStringLiteral("-E"),
                  QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"), QStringLiteral("--no-sync")},
                 &output))
            return QStringLiteral("initdb failed: %1").arg(output);
        // Durability is no concern of a test cluster: fsync off keeps it fast.
        if (!run(bin + QStringLiteral("/pg_ctl"),
                 {QStringLiteral("-D"), m_dir + QStringLiteral("/data"), QStringLiteral("-l"),
                  m_dir + QStringLiteral("/server.log"), QStringLiteral("-w"), QStringLiteral("-o"),
                  QStringLiteral("-k %1 -p %2 -h 127.0.0.1 -F -c max_connections=200").arg(m_dir).arg(m_port),
                  QStringLiteral("start")},
                 &output))
            return QStringLiteral("the PostgreSQL server did not start: %1").arg(output);
        m_started = true;
        return {};
    }

    void stop()
    {
        if (m_started)
            run(QString::fromLatin1(kBinaries) + QStringLiteral("/pg_ctl"),
                {QStringLiteral("-D"), m_dir + QStringLiteral("/data"), QStringLiteral("-m"),
                 QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")},
                nullptr);
        if (!m_dir.isEmpty())
            QDir(m_dir).removeRecursively();
    }

    // As nobody when the tests run as root.
    static bool run(const QString& program, QStringList arguments, QString* output)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        if (::geteuid() == 0) {
            arguments.prepend(program);
            arguments.prepend(QStringLiteral("--"));
            arguments.prepend(QStringLiteral("nobody"));
            arguments.prepend(QStringLiteral("-u"));
            process.start(QStringLiteral("runuser"), arguments);
        } else {
            process.start(program, arguments);
        }
        const bool finished = process.waitForFinished(60000);
        if (output)
            *output = QString::fromLocal8Bit(process.readAll()).trimmed();
        return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    QString m_dir;
    quint16 m_port = 0;
    int m_databases = 0;
    bool m_started = false;
};
