// The stop signals sent to the programs as real processes: ktrv8 stops the job on the
// simulator the way Ctrl-C does, and the window closes as its close button does, leaving
// nothing behind in the temporary folder.
#include "simprocess.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class tst_StopSignals : public QObject
{
    Q_OBJECT
private slots:
    void hostStopsTheCutter_data();
    void hostStopsTheCutter();
    void windowClosesOnStopSignals_data();
    void windowClosesOnStopSignals();
};

void tst_StopSignals::hostStopsTheCutter_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGHUP, the terminal closed") << SIGHUP;
    QTest::newRow("SIGTERM") << SIGTERM;
}

// A page takes the simulator long enough that the signal lands while page 1 is cut; the
// summary comes only once the cutter has confirmed the stop.
void tst_StopSignals::hostStopsTheCutter()
{
    QFETCH(int, signal);
    SimProcess sim({"--cut-ms", "3000"});
    QVERIFY(sim.start());
    QProcess host;
    const QString job = qEnvironmentVariable("KT_SOURCE_DIR") + QStringLiteral("/examples/sample.plt");
    host.start(ktBinary(QStringLiteral("ktrv8")), {"cut", job, "--tcp", QStringLiteral("127.0.0.1:%1").arg(sim.port)});
    QByteArray out;
    while (!out.contains("page 1/3") && host.waitForReadyRead(15000))
        out += host.readAllStandardOutput();
    QVERIFY2(out.contains("page 1/3"), out.constData());
    QCOMPARE(::kill(pid_t(host.processId()), signal), 0);
    QVERIFY(host.waitForFinished(15000));
    out += host.readAllStandardOutput();
    const QByteArray err = host.readAllStandardError();
    QCOMPARE(host.exitStatus(), QProcess::NormalExit);
    QCOMPARE(host.exitCode(), 130);
    QVERIFY2(out.contains("waiting for the cutter to confirm"), out.constData());
    QVERIFY2(err.contains("stopped by the user; confirmed: 0 of 1 copy"), err.constData());
}

void tst_StopSignals::windowClosesOnStopSignals_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
}

// Whether the process has a handler for the signal yet (its caught-signal mask in /proc): a
// signal sent before that would end it by default and prove nothing.
bool catches(qint64 pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    }
    return false;
}

void tst_StopSignals::windowClosesOnStopSignals()
{
    QFETCH(int, signal);
    QTemporaryDir temp;
    QTemporaryDir runtime; // Qt's own runtime folder stays out of the one checked
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), temp.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    QProcess window;
    window.setProcessEnvironment(environment);
    window.start(ktBinary(QStringLiteral("ktrv8-gui")), QStringList());
    QVERIFY(window.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(catches(window.processId(), signal), 15000);
    QCOMPARE(::kill(pid_t(window.processId()), signal), 0);
    QVERIFY(window.waitForFinished(15000));
    QCOMPARE(window.exitStatus(), QProcess::NormalExit);
    QCOMPARE(window.exitCode(), 0);
    QCOMPARE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

QTEST_MAIN(tst_StopSignals)
#include "tst_stopsignals.moc"
