// The stop signals sent to the programs as real processes: ktrv8 stops the job on the
// simulator the way Ctrl-C does, and the window closes and takes its scratch folder with it.
#include "simprocess.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class TestStopSignals : public QObject
{
    Q_OBJECT
private slots:
    void hostStopsTheCutter_data();
    void hostStopsTheCutter();
    void windowRemovesItsScratchFolder_data();
    void windowRemovesItsScratchFolder();
};

void TestStopSignals::hostStopsTheCutter_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGHUP, the terminal closed") << SIGHUP;
    QTest::newRow("SIGTERM") << SIGTERM;
}

// A page takes the simulator long enough that the signal lands while page 1 is cut; the
// summary comes only once the cutter has confirmed the stop.
void TestStopSignals::hostStopsTheCutter()
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

void TestStopSignals::windowRemovesItsScratchFolder_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TestStopSignals::windowRemovesItsScratchFolder()
{
    QFETCH(int, signal);
    QTemporaryDir temp;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), temp.path());
    QProcess window;
    window.setProcessEnvironment(environment);
    window.start(ktBinary(QStringLiteral("ktrv8-gui")), QStringList());
    const auto scratch = [&temp] { return QDir(temp.path()).entryList({"ktrv8-gui-*"}, QDir::Dirs); };
    QTRY_VERIFY_WITH_TIMEOUT(!scratch().isEmpty(), 15000);
    QCOMPARE(::kill(pid_t(window.processId()), signal), 0);
    QVERIFY(window.waitForFinished(15000));
    QCOMPARE(window.exitStatus(), QProcess::NormalExit);
    QCOMPARE(scratch(), QStringList());
}

QTEST_MAIN(TestStopSignals)
#include "tst_stopsignals.moc"
