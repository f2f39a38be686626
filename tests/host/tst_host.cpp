// ktrv8, the command-line host, as real processes against the simulator over loopback TCP
// and a pseudo-terminal.
#include "simprocess.h"

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <csignal>
#include <unistd.h>

namespace {

struct Run
{
    int code = -1;
    QByteArray out;
    QByteArray err;
};

Run runHost(const QStringList& arguments, int timeoutMs = 60000)
{
    QProcess host;
    host.start(ktBinary(QStringLiteral("ktrv8")), arguments);
    Run run;
    if (!host.waitForStarted(10000))
        return run;
    if (!host.waitForFinished(timeoutMs)) {
        host.kill();
        host.waitForFinished(5000);
        run.err = "timed out";
        return run;
    }
    run.code = host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1;
    run.out = host.readAllStandardOutput();
    run.err = host.readAllStandardError();
    return run;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray sampleJob()
{
    return readFile(QString::fromLocal8Bit(qgetenv("KT_SOURCE_DIR")) + QStringLiteral("/examples/sample.plt"));
}

QStringList addressOf(const SimProcess& sim, bool usb)
{
    return usb ? QStringList{"--usb", sim.ptyPath} : QStringList{"--tcp", QStringLiteral("127.0.0.1:%1").arg(sim.port)};
}

} // namespace

class HostTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void demoCutsTheSampleExactly();
    void cut_data();
    void cut();
    void qrCodeJob_data();
    void qrCodeJob();
    void ctrlCStopsAndWaitsForTheCutter();
    void setGetRoundTrip_data();
    void setGetRoundTrip();
    void outOfRangeIsRejected_data();
    void outOfRangeIsRejected();
    void connectionErrorsSayWhatToDo();
    void settingsWindowBuildsEveryRow();
    void helpAndJson();

private:
    QTemporaryDir dir;
    QString sample;
};

void HostTest::initTestCase()
{
    QVERIFY(QFileInfo(ktBinary(QStringLiteral("ktrv8"))).isExecutable());
    QVERIFY(QFileInfo(ktBinary(QStringLiteral("ktrv8-sim"))).isExecutable());
    QVERIFY(!sampleJob().isEmpty());
    sample = QString::fromLocal8Bit(qgetenv("KT_SOURCE_DIR")) + QStringLiteral("/examples/sample.plt");
    QVERIFY(dir.isValid());
}

void HostTest::demoCutsTheSampleExactly()
{
    const QString out = dir.filePath(QStringLiteral("demo"));
    const Run run = runHost({"demo", "--out-dir", out, "--cut-ms", "5"});
    QVERIFY2(run.code == 0, run.err.constData());
    QCOMPARE(readFile(out + QStringLiteral("/cut.plt")), sampleJob().repeated(2));
    QVERIFY(run.out.contains(QFile::encodeName(out + QStringLiteral("/cut.svg"))));

    // The picture is well-formed SVG with one group per page cut (3 pages x 2 copies).
    QFile svg(out + QStringLiteral("/cut.svg"));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&svg);
    int groups = 0, polylines = 0;
    QString root;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (root.isEmpty())
            root = xml.name().toString();
        groups += xml.name() == QLatin1String("g");
        polylines += xml.name() == QLatin1String("polyline");
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(root, QStringLiteral("svg"));
    QCOMPARE(groups, 6);
    QVERIFY(polylines >= 6);
}

void HostTest::cut_data()
{
    QTest::addColumn<bool>("usb");
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QStringList>("hostArgs");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("copiesRecorded");   // -1: the record is not checked
    QTest::addColumn<QString>("message");

    for (bool usb : {false, true}) {
        const char* via = usb ? "pty" : "tcp";
        //                                             usb   simulator                              host                            exit copies message
        QTest::addRow("%s: 3 pages x 3 copies", via) << usb << QStringList() << QStringList{"--copies", "3"} << 0 << 3 << "done: 3 copies";
        QTest::addRow("%s: junk, one byte at a time", via) << usb << QStringList{"--junk", "--byte-at-a-time"}
                                                            << QStringList{"--copies", "2"} << 0 << 2 << "done: 2 copies";
        QTest::addRow("%s: connection dropped", via) << usb << QStringList{"--drop-after", "6"} << QStringList{"--copies", "2"}
                                                      << 6 << -1 << "connection was lost";
        QTest::addRow("%s: silent cutter", via) << usb << QStringList{"--withhold"} << QStringList{"--timeout", "2"}
                                                 << 5 << -1 << "did not answer within 2 s; nothing was cut";
        QTest::addRow("%s: slow page, --timeout 1", via) << usb << QStringList{"--cut-ms", "4000"} << QStringList{"--timeout", "1"}
                                                          << 5 << -1 << "no progress for 1 s (--timeout)";
        QTest::addRow("%s: cutter stops itself", via) << usb << QStringList{"--stop-after-pages", "2"} << QStringList()
                                                       << 7 << -1 << "2 of 3 page(s) of copy 1";
    }
}

void HostTest::cut()
{
    QFETCH(bool, usb);
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, hostArgs);
    QFETCH(int, exitCode);
    QFETCH(int, copiesRecorded);
    QFETCH(QString, message);
    const QString record = dir.filePath(QStringLiteral("cut-%1.plt").arg(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_')).remove(QLatin1Char(':')).remove(QLatin1Char(',')));
    SimProcess sim(simArgs + QStringList{"--out", record} + (usb ? QStringList{"--pty"} : QStringList()));
    QVERIFY(sim.start());
    const Run run = runHost(QStringList{"cut", sample} + addressOf(sim, usb) + hostArgs);
    QVERIFY2(run.code == exitCode, run.err.constData());
    QVERIFY2((run.code == 0 ? run.out : run.err).contains(message.toUtf8()), (run.out + run.err).constData());
    // One message for a failed job, and it says how far the job came.
    if (exitCode != 0) {
        QCOMPARE(run.err.count("ktrv8: "), 1);
        QVERIFY2(run.err.contains("confirmed: ") || run.err.contains("nothing was cut"), run.err.constData());
    }
    if (copiesRecorded >= 0)
        QCOMPARE(readFile(record), sampleJob().repeated(copiesRecorded));
}

void HostTest::qrCodeJob_data()
{
    QTest::addColumn<bool>("usb");
    QTest::addColumn<QString>("codes");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("recorded");
    QTest::addColumn<QString>("message");
    const QByteArray a1 = "IN;PU0,0;PD400,0;PG;\nPU0,0;PD0,400;PG;";
    const QByteArray b2 = "IN;PU0,0;PD400,400;PG;";
    QTest::newRow("tcp: two codes") << false << "A1,B2" << 0 << a1 + b2 << "done: 2 copies";
    QTest::newRow("pty: two codes") << true << "B2,A1" << 0 << b2 + a1 << "done: 2 copies";
    QTest::newRow("unknown code") << false << "A1,ZZ" << 8 << a1 << "\"ZZ\", which has no job";
    QTest::newRow("code that is a path") << false << "../A1" << 8 << QByteArray() << "not a file name";
}

void HostTest::qrCodeJob()
{
    QFETCH(bool, usb);
    QFETCH(QString, codes);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, recorded);
    QFETCH(QString, message);
    const QString jobs = dir.filePath(QStringLiteral("qr"));
    QDir().mkpath(jobs);
    for (const auto& [name, text] : {std::pair{"A1", "IN;PU0,0;PD400,0;PG;\nPU0,0;PD0,400;PG;"}, {"B2", "IN;PU0,0;PD400,400;PG;"}}) {
        QFile file(jobs + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".plt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    const QString record = dir.filePath(QStringLiteral("qr-%1.plt").arg(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_')).remove(QLatin1Char(':')));
    SimProcess sim(QStringList{"--qr", codes, "--out", record} + (usb ? QStringList{"--pty"} : QStringList()));
    QVERIFY(sim.start());
    const Run run = runHost(QStringList{"cut", "--qr", jobs, "--copies", "2"} + addressOf(sim, usb));
    QVERIFY2(run.code == exitCode, (run.out + run.err).constData());
    QVERIFY2((run.out + run.err).contains(message.toUtf8()), (run.out + run.err).constData());
    QCOMPARE(readFile(record), recorded);
}

void HostTest::ctrlCStopsAndWaitsForTheCutter()
{
    const QString record = dir.filePath(QStringLiteral("stopped.plt"));
    // Pages slow enough that the stop always lands while the second one is on the cutter.
    SimProcess sim({"--cut-ms", "1500", "--out", record});
    QVERIFY(sim.start());
    QProcess host;
    host.start(ktBinary(QStringLiteral("ktrv8")), QStringList{"cut", sample, "--copies", "2"} + addressOf(sim, false));
    QVERIFY(host.waitForStarted());
    // Stop while the second page is on the cutter.
    QByteArray out;
    QDeadlineTimer deadline(15000);
    while (!out.contains("page 2/3") && !deadline.hasExpired() && host.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
        out += host.readAllStandardOutput();
    QVERIFY2(out.contains("page 2/3"), out.constData());
    QCOMPARE(::kill(pid_t(host.processId()), SIGINT), 0);
    QVERIFY(host.waitForFinished(15000));
    out += host.readAllStandardOutput();
    const QByteArray err = host.readAllStandardError();
    QCOMPARE(host.exitCode(), 130);
    QVERIFY2(out.contains("waiting for the cutter to confirm"), out.constData());
    QVERIFY2(err.contains("stopped by the user; confirmed: 0 of 2 copies, and 1 of 3 page(s) of copy 1"), err.constData());
    // The page on the cutter was abandoned and no further copy was started.
    QTest::qWait(1700);
    QCOMPARE(readFile(record), sampleJob().left(sampleJob().indexOf("PG;") + 3));
}

void HostTest::setGetRoundTrip_data()
{
    QTest::addColumn<bool>("usb");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    // Every setting the driver shows to the user.
    const QList<QPair<QString, QString>> settings = {
        {"WORK_MODE", "2"}, {"PRESSURE", "450"}, {"SPEED", "250"},
        {"SCALE", "99.5,100.5"}, {"CAMERA_OFFSET", "1.5,-19"}, {"MARGIN", "40"},
    };
    for (const auto& setting : settings)
        QTest::addRow("tcp %s", qPrintable(setting.first)) << false << setting.first << setting.second;
    QTest::newRow("pty SPEED") << true << "SPEED" << "120";
    QTest::newRow("tcp PRESSURE 0") << false << "PRESSURE" << "0";
}

void HostTest::setGetRoundTrip()
{
    QFETCH(bool, usb);
    QFETCH(QString, key);
    QFETCH(QString, value);
    SimProcess sim(usb ? QStringList{"--pty"} : QStringList());
    QVERIFY(sim.start());
    const Run set = runHost(QStringList{"set", key + QLatin1Char('=') + value} + addressOf(sim, usb));
    QVERIFY2(set.code == 0, set.err.constData());
    // A new host process reads it back from the cutter.
    const Run get = runHost(QStringList{"get", key} + addressOf(sim, usb));
    QVERIFY2(get.code == 0, get.err.constData());
    QCOMPARE(QString::fromUtf8(get.out).trimmed(), key + QLatin1Char('=') + value);
}

void HostTest::outOfRangeIsRejected_data()
{
    QTest::addColumn<QString>("assignment");
    QTest::addColumn<QString>("message");
    QTest::newRow("speed low") << "SPEED=9" << "SPEED must be from 10 to 300 (mm/s), not 9";
    QTest::newRow("speed high") << "SPEED=301" << "SPEED must be from 10 to 300";
    QTest::newRow("speed not whole") << "SPEED=12.5" << "SPEED takes a whole number from 10 to 300";
    QTest::newRow("pressure negative") << "PRESSURE=-1" << "PRESSURE must be from 0 to 900";
    QTest::newRow("work mode item") << "WORK_MODE=3" << "WORK_MODE takes an item number from 0 to 2";
    QTest::newRow("scale part") << "SCALE=98,100" << "SCALE_X must be from 99 to 100.99";
    QTest::newRow("scale arity") << "SCALE=100" << "SCALE takes 2 comma-separated values";
    QTest::newRow("camera y") << "CAMERA_OFFSET=0,-17" << "CAMERA_OFFSET_Y must be from -22 to -18";
    QTest::newRow("margin text") << "MARGIN=abc" << "MARGIN takes a whole number from 20 to 200";
    QTest::newRow("read-only") << "FIRMWARE=x" << "FIRMWARE is read-only";
    QTest::newRow("frame separator") << "DEVICE_ID=a;b" << "cannot contain";
    QTest::newRow("unknown key") << "NOPE=1" << "unknown setting \"NOPE\"";
}

void HostTest::outOfRangeIsRejected()
{
    QFETCH(QString, assignment);
    QFETCH(QString, message);
    SimProcess sim({});
    QVERIFY(sim.start());
    const Run run = runHost(QStringList{"set", "SPEED=200", assignment} + addressOf(sim, false));
    QCOMPARE(run.code, 2);
    QVERIFY2(run.err.contains(message.toUtf8()), run.err.constData());
    // Nothing was written, not even the valid value before it.
    const Run get = runHost(QStringList{"get", "SPEED"} + addressOf(sim, false));
    QCOMPARE(get.out.trimmed(), QByteArray("SPEED=100"));
}

void HostTest::connectionErrorsSayWhatToDo()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    Run run = runHost({"info", "--tcp", QStringLiteral("127.0.0.1:%1").arg(port)});
    QCOMPARE(run.code, 4);
    QVERIFY2(run.err.contains("connection refused by 127.0.0.1:"), run.err.constData());

    run = runHost({"info", "--usb", dir.filePath(QStringLiteral("no-such-node"))});
    QCOMPARE(run.code, 4);
    QVERIFY2(run.err.contains("does not exist: is the cutter plugged in"), run.err.constData());

    // Permission denied: a node the user may not open. Root may open anything, so as root
    // the host runs as nobody against the simulator's pty (mode 620).
    SimProcess sim({"--pty", "--no-tcp"});
    QVERIFY(sim.start());
    QStringList command{ktBinary(QStringLiteral("ktrv8")), "info", "--usb", sim.ptyPath};
    if (::geteuid() == 0) {
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("running as root without setpriv: cannot drop the permission to the node");
        const QStringList asNobody{"--reuid=65534", "--regid=65534", "--clear-groups"};
        // The build may lie where nobody cannot reach (e.g. under /root).
        if (QProcess::execute(QStringLiteral("setpriv"), asNobody + QStringList{ktBinary(QStringLiteral("ktrv8")), "--help"}) != 0)
            QSKIP("the user nobody cannot run this build: permission test skipped");
        command = asNobody + command;
        command.prepend(QStringLiteral("setpriv"));
    }
    QProcess host;
    host.start(command.takeFirst(), command);
    QVERIFY(host.waitForFinished(30000));
    const QByteArray err = host.readAllStandardError();
    QCOMPARE(host.exitCode(), 4);
    QVERIFY2(err.contains("permission denied on " + sim.ptyPath.toLocal8Bit()), err.constData());
    QVERIFY2(err.contains("usermod -aG") && err.contains("60-kt-rv8.rules"), err.constData());
}

void HostTest::settingsWindowBuildsEveryRow()
{
    SimProcess sim({});
    QVERIFY(sim.start());
    for (bool connected : {false, true}) {
        const QString png = dir.filePath(QStringLiteral("settings-%1.png").arg(connected));
        const Run run = runHost(QStringList{"settings", "--screenshot", png} + (connected ? addressOf(sim, false) : QStringList()));
        QVERIFY2(run.code == 0, run.err.constData());
        for (const char* key : {"WORK_MODE", "PRESSURE", "SPEED", "SCALE", "CAMERA_OFFSET", "MARGIN",
                                "DEVICE_MODEL_NAME", "FIRMWARE", "DEVICE_ID", "PCB_ID", "PCB_VERSION"})
            QVERIFY2(run.out.contains(QByteArray("row ") + key + ' '), key);
        QVERIFY(run.out.contains("skipped DEVICE_INFO"));
        QImage image(png);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() >= 300 && image.height() >= 300);
    }
}

void HostTest::helpAndJson()
{
    Run run = runHost({"--help"});
    QCOMPARE(run.code, 0);
    QVERIFY(run.out.contains("Exit codes:") && run.out.contains("ktrv8 demo"));
    for (const char* command : {"demo", "cut", "info", "get", "set", "move", "settings"}) {
        run = runHost({command, "--help"});
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.startsWith(QByteArray("Usage: ktrv8 ") + command), command);
    }
    QCOMPARE(runHost({"frobnicate"}).code, 2);
    QCOMPARE(runHost({"get", "SPEED"}).code, 2);    // no address

    SimProcess sim({"--firmware", "V7.7"});
    QVERIFY(sim.start());
    run = runHost(QStringList{"info", "--json"} + addressOf(sim, false));
    QCOMPARE(run.code, 0);
    const QJsonObject info = QJsonDocument::fromJson(run.out).object();
    QCOMPARE(info.value(QStringLiteral("FIRMWARE")).toObject().value(QStringLiteral("value")).toString(), QStringLiteral("V7.7"));
    QCOMPARE(info.value(QStringLiteral("SPEED")).toObject().value(QStringLiteral("value")).toDouble(), 100.0);
    run = runHost(QStringList{"move", "10", "-5"} + addressOf(sim, false));
    QVERIFY2(run.code == 0, run.err.constData());
}

QTEST_GUILESS_MAIN(HostTest)
#include "tst_host.moc"
