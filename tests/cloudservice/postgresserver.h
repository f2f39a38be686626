#ifndef POSTGRESSERVER_H
#define POSTGRESSERVER_H

// A throw-away PostgreSQL server for tests: its own cluster in a temporary folder, listening
// on a free loopback port, run as the "postgres" user when the test runs as root.

#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <pwd.h>
#include <unistd.h>

class PostgresServer
{
public:
    ~PostgresServer() { stop(); }

    // A server that syncs its commits, as a real one does (tests run faster without).
    bool durable = false;

    // False with whyNot set when this machine cannot run one.
    bool start()
    {
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
            return fail(QStringLiteral("Qt's PostgreSQL driver is missing (Debian package libqt5sql5-psql)"));
        const QString bin = binFolder();
        if (bin.isEmpty())
            return fail(QStringLiteral("PostgreSQL is not installed (Debian package postgresql)"));
        QStringList asUser;
        if (::geteuid() == 0) {
            const passwd* user = ::getpwnam("postgres");
            if (!user)
                return fail(QStringLiteral("running as root and there is no \"postgres\" user to run the server"));
            if (::chown(QFile::encodeName(folder.path()).constData(), user->pw_uid, user->pw_gid) != 0)
                return fail(QStringLiteral("cannot hand the temporary folder to \"postgres\""));
            asUser =
                QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=postgres"),
                            QStringLiteral("--regid=postgres"), QStringLiteral("--init-groups"), QStringLiteral("--")};
        }
        const QString data = folder.filePath(QStringLiteral("data"));
        QProcess init;
        init.setProcessChannelMode(QProcess::MergedChannels);
        const QStringList initdb = asUser
                                   + QStringList{bin + QStringLiteral("/initdb"),
                                                 QStringLiteral("-D"),
                                                 data,
                                                 QStringLiteral("-A"),
                                                 QStringLiteral("trust"),
                                                 QStringLiteral("-U"),
                                                 QStringLiteral("kt"),
                                                 QStringLiteral("--no-sync"),
                                                 QStringLiteral("-E"),
                                                 QStringLiteral("UTF8"),
                                                 QStringLiteral("--locale=C")};
        init.start(initdb.first(), initdb.mid(1));
        if (!init.waitForFinished(120000) || init.exitCode() != 0)
            return fail(QStringLiteral("initdb failed: ") + QString::fromLocal8Bit(init.readAll()));
        QTcpServer probe; // a free port; the race with other programs is accepted for a test
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
        probe.close();
        run = asUser
              + QStringList{bin + QStringLiteral("/postgres"),
                            QStringLiteral("-D"),
                            data,
                            QStringLiteral("-p"),
                            QString::number(port),
                            QStringLiteral("-k"),
                            folder.path(),
                            QStringLiteral("-c"),
                            QStringLiteral("listen_addresses=127.0.0.1"),
                            QStringLiteral("-c"),
                            durable ? QStringLiteral("fsync=on") : QStringLiteral("fsync=off")};
        return resume();
    }

    // Starts the server again on the same cluster and port after stop().
    bool resume()
    {
        server.setProcessChannelMode(QProcess::MergedChannels);
        server.start(run.first(), run.mid(1));
        if (!server.waitForStarted(10000))
            return fail(QStringLiteral("postgres did not start"));
        for (QDeadlineTimer deadline(60000); !deadline.hasExpired(); QTest::qWait(200)) {
            if (server.state() == QProcess::NotRunning)
                return fail(QStringLiteral("postgres ended: ") + QString::fromLocal8Bit(server.readAll()));
            if (execute(QStringLiteral("SELECT 1")))
                return true;
        }
        return fail(QStringLiteral("postgres did not accept connections within 60 s"));
    }

    // A new empty database, as the address the service takes.
    QString createDatabase(const QString& name)
    {
        if (!execute(QStringLiteral("CREATE DATABASE %1").arg(name)))
            return QString();
        return QStringLiteral("postgresql://kt@127.0.0.1:%1/%2").arg(port).arg(name);
    }

    void stop()
    {
        if (server.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(server.processId()), SIGINT); // "fast" shutdown: ends open sessions
        if (!server.waitForFinished(20000)) {
            server.kill();
            server.waitForFinished(5000);
        }
    }

    QString whyNot;

private:
    static QString binFolder()
    {
        const QStringList versions =
            QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QString best;
        for (const QString& v : versions) {
            const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(v);
            if (QFile::exists(bin + QStringLiteral("/initdb"))
                && (best.isEmpty() || v.toInt() > best.section('/', 4, 4).toInt()))
                best = bin;
        }
        return best;
    }

    bool execute(const QString& statement)
    {
        bool ok = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("pgadmin"));
            db.setHostName(QStringLiteral("127.0.0.1"));
            db.setPort(port);
            db.setUserName(QStringLiteral("kt"));
            db.setDatabaseName(QStringLiteral("postgres"));
            ok = db.open() && QSqlQuery(db).exec(statement);
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("pgadmin"));
        return ok;
    }

    bool fail(const QString& reason)
    {
        whyNot = reason;
        return false;
    }

    QTemporaryDir folder;
    QStringList run;
    QProcess server;
    quint16 port = 0;
};

#endif // POSTGRESSERVER_H
