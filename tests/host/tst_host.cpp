// ktrv8, the command-line host, as real processes against the simulator over loopback TCP
// and a pseudo-terminal.
#include "jobestimate.h"
#include "simprocess.h"

#include <QElapsedTimer>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
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

// ktrv8 with a terminal as its stdin and stdout, as a user at a console runs it.
struct TerminalHost
{
    int master = -1;
    pid_t pid = -1;
    QByteArray out;

    ~TerminalHost()
    {
        if (pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (master >= 0)
            ::close(master);
    }
    bool start(const QStringList& arguments)
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            return false;
        const QByteArray terminal = ::ptsname(master);
        QList<QByteArray> args{QFile::encodeName(ktBinary(QStringLiteral("ktrv8")))};
        for (const QString& a : arguments)
            args << a.toLocal8Bit();
        std::vector<char*> argv;
        for (QByteArray& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid = ::fork();
        if (pid == 0) {
            ::setsid();
            const int slave = ::open(terminal.constData(), O_RDWR);
            ::dup2(slave, 0);
            ::dup2(slave, 1);
            ::dup2(slave, 2);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        return pid > 0;
    }
    bool waitFor(const QByteArray& text, int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!out.contains(text) && !deadline.hasExpired()) {
            pollfd fd{master, POLLIN, 0};
            if (::poll(&fd, 1, int(qMax<qint64>(1, deadline.remainingTime()))) <= 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            out.append(buffer, int(n));
        }
        return out.contains(text);
    }
    void type(char key) { QCOMPARE(::write(master, &key, 1), ssize_t(1)); }
    int exitCode(int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (deadline.hasExpired())
                return -1;
            waitFor("\x01never", 50);
        }
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

} // namespace

class tst_Host : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void pageGeometry_data();
    void pageGeometry();
    void durationText_data();
    void durationText();
    void demoCutsTheSampleExactly();
    void cut_data();
    void cut();
    void qrCodeJob_data();
    void qrCodeJob();
    void ctrlCStopsAndWaitsForTheCutter();
    void spaceKeyPausesAndResumes();
    void setGetRoundTrip_data();
    void setGetRoundTrip();
    void cutterFaultsAreErrors_data();
    void cutterFaultsAreErrors();
    void outOfRangeIsRejected_data();
    void outOfRangeIsRejected();
    void connectionErrorsSayWhatToDo();
    void settingsWindowBuildsEveryRow();
    void helpAndJson();
    void pluginChoice_data();
    void pluginChoice();
    void drawings();

private:
    QTemporaryDir dir;
    QString sample;
};

void tst_Host::initTestCase()
{
    QVERIFY(QFileInfo(ktBinary(QStringLiteral("ktrv8"))).isExecutable());
    QVERIFY(QFileInfo(ktBinary(QStringLiteral("ktrv8-sim"))).isExecutable());
    QVERIFY(!sampleJob().isEmpty());
    sample = QString::fromLocal8Bit(qgetenv("KT_SOURCE_DIR")) + QStringLiteral("/examples/sample.plt");
    QVERIFY(dir.isValid());
}

void tst_Host::pageGeometry_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<double>("downMm");
    QTest::addColumn<double>("upMm");
    QTest::newRow("IN;PU0,0;PD400,0;PG;") << "IN;PU0,0;PD400,0;PG;" << 10.0 << 0.0;
    QTest::newRow("PU400,0;PD400,300;") << "PU400,0;PD400,300;" << 7.5 << 10.0;
    QTest::newRow("PD polyline in pairs") << "PD0,0,400,0,400,300;" << 17.5 << 0.0;
    QTest::newRow("PR relative moves") << "PR;PU40,0;PD0,40,-40,0;" << 2.0 << 1.0;
    QTest::newRow("IN returns home, pen up") << "PD400,0;IN;PD0,400;" << 20.0 << 0.0;
    QTest::newRow("label text is not a move") << "PU0,0;DT*;LBPD4000,0*;PD40,0;" << 1.0 << 0.0;
    QTest::newRow("lower case, spaces") << "pu 0 0;pd 400 0;" << 10.0 << 0.0;
    QTest::newRow("no ; between instructions") << "PU0,0PD400,0PU0,0" << 10.0 << 10.0;
    QTest::newRow("label without DT ends at ;") << "LBPD4000,0;PD40,0;" << 1.0 << 0.0;
    QTest::newRow("decimals, a bad number skipped") << "PD20.5,0,#,40,0,--1,80,0;" << 2.0 << 0.0;
    QTest::newRow("PG lifts the pen") << "PD40,0;PG;PA80,0;" << 1.0 << 1.0;
}

void tst_Host::pageGeometry()
{
    QFETCH(QString, page);
    QFETCH(double, downMm);
    QFETCH(double, upMm);
    const PageGeometry g = measurePage(page);
    QCOMPARE(g.penDownMm, downMm);
    QCOMPARE(g.penUpMm, upMm);
    QCOMPARE(estimateSeconds(g, 10), (downMm + upMm) / 10);
}

// The one time text the host and the window print: rounded to the second, hours from 3600 s.
void tst_Host::durationText_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0.0 << "0:00";
    QTest::newRow("59.4") << 59.4 << "0:59";
    QTest::newRow("59.5 rounds up") << 59.5 << "1:00";
    QTest::newRow("3599.4") << 3599.4 << "59:59";
    QTest::newRow("3600") << 3600.0 << "1:00:00";
    QTest::newRow("36061") << 36061.0 << "10:01:01";
}

void tst_Host::durationText()
{
    QFETCH(double, seconds);
    QFETCH(QString, text);
    QCOMPARE(::durationText(seconds), text);
}

void tst_Host::demoCutsTheSampleExactly()
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

// clang-format off
void tst_Host::cut_data()
{
    QTest::addColumn<bool>("usb");
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QStringList>("hostArgs");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("copiesRecorded");   // -1: the record is not checked
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("job");        // empty: the sample job

    for (bool usb : {false, true}) {
        const char* via = usb ? "pty" : "tcp";
        //                                             usb   simulator                              host                            exit copies message
        QTest::addRow("%s: 3 pages x 3 copies", via) << usb << QStringList() << QStringList{"--copies", "3"} << 0 << 3 << "done: 3 copies" << QByteArray();
        QTest::addRow("%s: junk, one byte at a time", via) << usb << QStringList{"--junk", "--byte-at-a-time"}
                                                            << QStringList{"--copies", "2"} << 0 << 2 << "done: 2 copies" << QByteArray();
        QTest::addRow("%s: connection dropped", via) << usb << QStringList{"--drop-after", "6"} << QStringList{"--copies", "2"}
                                                      << 6 << -1 << "connection was lost" << QByteArray();
        QTest::addRow("%s: silent cutter", via) << usb << QStringList{"--withhold"} << QStringList{"--timeout", "2"}
                                                 << 5 << -1 << "did not answer within 2 s; nothing was cut" << QByteArray();
        QTest::addRow("%s: slow page, --timeout 1", via) << usb << QStringList{"--cut-ms", "4000"} << QStringList{"--timeout", "1"}
                                                          << 5 << -1 << "no progress for 1 s (--timeout)" << QByteArray();
        QTest::addRow("%s: cutter stops itself", via) << usb << QStringList{"--stop-after-pages", "2"} << QStringList()
                                                       << 7 << -1 << "2 of 3 page(s) of copy 1" << QByteArray();
        QTest::addRow("%s: link lost before the start", via) << usb << QStringList{"--drop-after", "1"} << QStringList{"--copies", "2"}
                                                              << 6 << -1 << "lost before the job started; nothing was cut" << QByteArray();
    }
    const QByteArray line = "IN;PU0,0;PD400,0;PG;";
    // Equal pages follow one another: each confirmation is progress for --timeout.
    QTest::newRow("tcp: identical pages") << false << QStringList{"--cut-ms", "800"} << QStringList{"--timeout", "2"}
                                          << 0 << 1 << "done: 1 copy of 3 page(s)" << line + line + line;
    // A page far longer than its estimate is waited for and said once.
    QTest::newRow("tcp: long page") << false << QStringList{"--cut-ms", "3500"} << QStringList()
                                    << 0 << 1 << "page 1 has taken" << line;
    // Job files that are not plain text: refused before anything is sent.
    const QList<std::pair<const char*, QByteArray>> refused = {
        {"NUL", QByteArray("IN;PU0,0;\0PD40,0;PG;", 20)},
        {"STX", "IN;PU0,0;\x02PD40,0;PG;"},
        {"ETX ending a label", "IN;PU0,0;LBHello\x03;PG;"},
        {"UTF-16", QByteArray("\xff\xfeI\0N\0;\0", 8)},
        {"executable", QByteArray("\x7f" "ELF\x02\x01\x01", 7)},
        {"bad UTF-8", "IN;LB\xc3(;PG;"},
    };
    const QStringList reasons = {"byte 9 is a NUL byte", "byte 9 is an STX byte", "byte 16 is an ETX byte",
                                 "byte 0 is UTF-16 text", "byte 0 is an executable", "byte 5 is a byte (0xc3) that is not UTF-8"};
    for (int i = 0; i < refused.size(); ++i)
        QTest::addRow("tcp: job with %s", refused.at(i).first) << false << QStringList() << QStringList() << 2 << 0
                                                                << reasons.at(i) << refused.at(i).second;
    // The host reads a job in pieces of 4 MiB: a character split between two pieces is kept
    // whole, and a bad byte in a later piece is named at its offset in the file.
    const int piece = 4 << 20;
    QByteArray large = "IN;DT*;PU0,0;";
    while (large.size() + 6 <= piece - 6)
        large += "PD1,1;";
    large += QByteArray(piece - 6 - large.size(), ';') + "PU;LB\xc3\xa9*;PU0,0;PG;"; // é from piece - 1
    QTest::newRow("tcp: character across a piece") << false << QStringList() << QStringList() << 0 << 1 << "done: 1 copy" << large;
    QTest::newRow("tcp: NUL in a later piece") << false << QStringList() << QStringList() << 2 << 0
                                                << QString("byte %1 is a NUL byte").arg(piece + 10)
                                                << large.left(piece + 10) + QByteArray(1, '\0') + "PG;";
}
// clang-format on

void tst_Host::cut()
{
    QFETCH(bool, usb);
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, hostArgs);
    QFETCH(int, exitCode);
    QFETCH(int, copiesRecorded);
    QFETCH(QString, message);
    QFETCH(QByteArray, job);
    const QString name = QStringLiteral("cut-%1")
                             .arg(QTest::currentDataTag())
                             .replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9-]")), QStringLiteral("_"));
    const QString record = dir.filePath(name + QStringLiteral(".plt"));
    QString jobFile = sample;
    if (!job.isEmpty()) {
        jobFile = dir.filePath(name + QStringLiteral("-job.plt"));
        QFile file(jobFile);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(job) == job.size());
    }
    SimProcess sim(simArgs + QStringList{"--out", record} + (usb ? QStringList{"--pty"} : QStringList()));
    QVERIFY(sim.start());
    QElapsedTimer clock;
    clock.start();
    const Run run = runHost(QStringList{"cut", jobFile} + addressOf(sim, usb) + hostArgs);
    // A lost link or a refused file is said at once, not after a reply timeout.
    if (exitCode == 6 || exitCode == 2)
        QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(run.code == exitCode, run.err.constData());
    QVERIFY2((run.code == 0 ? run.out : run.err).contains(message.toUtf8()), (run.out + run.err).constData());
    if (run.code == 0)
        QVERIFY(run.out.contains("done: "));
    // One message for a failed job, and it says how far the job came.
    if (exitCode != 0) {
        QCOMPARE(run.err.count("ktrv8: "), 1);
        QVERIFY2(run.err.contains("confirmed: ") || run.err.contains("nothing was cut") || run.err.contains("not sent"),
                 run.err.constData());
    }
    if (copiesRecorded >= 0)
        QCOMPARE(readFile(record), (job.isEmpty() ? sampleJob() : job).repeated(copiesRecorded));
    QCOMPARE(run.out.count("has taken"), run.out.contains("has taken") ? 1 : 0);
}

void tst_Host::qrCodeJob_data()
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

void tst_Host::qrCodeJob()
{
    QFETCH(bool, usb);
    QFETCH(QString, codes);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, recorded);
    QFETCH(QString, message);
    const QString jobs = dir.filePath(QStringLiteral("qr"));
    QDir().mkpath(jobs);
    for (const auto& [name, text] :
         {std::pair{"A1", "IN;PU0,0;PD400,0;PG;\nPU0,0;PD0,400;PG;"}, {"B2", "IN;PU0,0;PD400,400;PG;"}}) {
        QFile file(jobs + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".plt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    const QString record = dir.filePath(QStringLiteral("qr-%1.plt")
                                            .arg(QTest::currentDataTag())
                                            .replace(QLatin1Char(' '), QLatin1Char('_'))
                                            .remove(QLatin1Char(':')));
    SimProcess sim(QStringList{"--qr", codes, "--out", record} + (usb ? QStringList{"--pty"} : QStringList()));
    QVERIFY(sim.start());
    const Run run = runHost(QStringList{"cut", "--qr", jobs, "--copies", "2"} + addressOf(sim, usb));
    QVERIFY2(run.code == exitCode, (run.out + run.err).constData());
    QVERIFY2((run.out + run.err).contains(message.toUtf8()), (run.out + run.err).constData());
    QCOMPARE(readFile(record), recorded);
}

void tst_Host::ctrlCStopsAndWaitsForTheCutter()
{
    const QString record = dir.filePath(QStringLiteral("stopped.plt"));
    // Pages slow enough that the stop always lands while the second one is on the cutter.
    const int cutMs = 1500;
    SimProcess sim({"--cut-ms", QString::number(cutMs), "--out", record});
    QVERIFY(sim.start());
    QProcess host;
    host.start(ktBinary(QStringLiteral("ktrv8")), QStringList{"cut", sample, "--copies", "2"} + addressOf(sim, false));
    QVERIFY(host.waitForStarted());
    // Stop while the second page is on the cutter.
    QByteArray out;
    QDeadlineTimer deadline(15000);
    while (!out.contains("page 2/3") && !deadline.hasExpired()
           && host.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
        out += host.readAllStandardOutput();
    QVERIFY2(out.contains("page 2/3"), out.constData());
    QElapsedTimer sincePage;
    sincePage.start();
    QCOMPARE(::kill(pid_t(host.processId()), SIGINT), 0);
    QVERIFY(host.waitForFinished(15000));
    out += host.readAllStandardOutput();
    const QByteArray err = host.readAllStandardError();
    QCOMPARE(host.exitCode(), 130);
    QVERIFY2(out.contains("waiting for the cutter to confirm"), out.constData());
    QVERIFY2(err.contains("stopped by the user; confirmed: 0 of 2 copies, and 1 of 3 page(s) of copy 1"),
             err.constData());
    // The page on the cutter was abandoned and no further copy was started: the record stays
    // as it is past the time the page would have taken.
    const QByteArray firstPage = sampleJob().left(sampleJob().indexOf("PG;") + 3);
    QVERIFY(!QTest::qWaitFor([&] { return readFile(record) != firstPage; },
                             int(qMax<qint64>(0, cutMs + 200 - sincePage.elapsed()))));
    QCOMPARE(readFile(record), firstPage);

    // Before the job has started there is nothing to stop: Ctrl-C leaves at once.
    SimProcess silent({"--withhold"});
    QVERIFY(silent.start());
    QProcess early;
    early.start(ktBinary(QStringLiteral("ktrv8")), QStringList{"cut", sample} + addressOf(silent, false));
    QVERIFY(early.waitForReadyRead(10000));
    QVERIFY(early.readAllStandardOutput().contains("Reading job"));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(::kill(pid_t(early.processId()), SIGINT), 0);
    QVERIFY(early.waitForFinished(15000));
    QCOMPARE(early.exitCode(), 130);
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(early.readAllStandardError().contains("stopped before the job started; nothing was sent"));
}

void tst_Host::spaceKeyPausesAndResumes()
{
    const QString record = dir.filePath(QStringLiteral("paused.plt"));
    const int cutMs = 700;
    SimProcess sim({"--cut-ms", QString::number(cutMs), "--out", record});
    QVERIFY(sim.start());
    TerminalHost host;
    QVERIFY(host.start(QStringList{"cut", sample} + addressOf(sim, false)));
    QVERIFY2(host.waitFor("page 2/3", 15000), host.out.constData());
    QElapsedTimer sincePage;
    sincePage.start();
    host.type(' ');
    QVERIFY2(host.waitFor("PAUSED", 10000), host.out.constData());
    // Held on the cutter: the page in hand is not finished while paused.
    const QByteArray cutWhenPaused = readFile(record);
    // Past the time the page would have taken, it is still not in the record.
    QVERIFY(!QTest::qWaitFor([&] { return readFile(record) != cutWhenPaused; },
                             int(qMax<qint64>(0, cutMs + 200 - sincePage.elapsed()))));
    QCOMPARE(readFile(record), cutWhenPaused);
    host.type('p');
    QVERIFY2(host.waitFor("done: 1 copy", 15000), host.out.constData());
    QCOMPARE(host.exitCode(10000), 0);
    QCOMPARE(readFile(record), sampleJob());
}

// clang-format off
void tst_Host::setGetRoundTrip_data()
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
// clang-format on

void tst_Host::setGetRoundTrip()
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

void tst_Host::cutterFaultsAreErrors_data()
{
    QTest::addColumn<bool>("usb");
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QStringList>("hostArgs");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    // The host reads the cutter's answers beside the driver on either link.
    for (bool usb : {false, true}) {
        const char* via = usb ? "pty" : "tcp";
        // No answer is an error for every key alike.
        for (const char* key : {"SPEED", "PRESSURE", "MARGIN"})
            QTest::addRow("%s: get %s unanswered", via, key)
                << usb << QStringList{"--silent-keys", key} << QStringList{"get", key} << 5
                << QStringLiteral("the cutter gave no value for %1").arg(QLatin1String(key));
        QTest::addRow("%s: set refused", via) << usb << QStringList{"--refuse-keys", "SPEED"}
                                              << QStringList{"set", "SPEED=200"} << 9 << "the cutter refused SPEED";
        QTest::addRow("%s: set not applied", via)
            << usb << QStringList{"--ignore-keys", "PRESSURE"} << QStringList{"set", "PRESSURE=350", "SPEED=150"} << 9
            << "PRESSURE reads back 300, not 350 as set";
    }
    QTest::newRow("get a command") << false << QStringList() << QStringList{"get", "GET_QRCODE"} << 2
                                   << "unknown setting \"GET_QRCODE\"";
    QTest::newRow("set a command") << false << QStringList() << QStringList{"set", "TASK_STOP=2"} << 2
                                   << "unknown setting \"TASK_STOP\"";
}

void tst_Host::cutterFaultsAreErrors()
{
    QFETCH(bool, usb);
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, hostArgs);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    SimProcess sim(simArgs + (usb ? QStringList{"--pty"} : QStringList()));
    QVERIFY(sim.start());
    const Run run = runHost(hostArgs + addressOf(sim, usb));
    QCOMPARE(run.code, exitCode);
    QVERIFY2(run.err.contains(message.toUtf8()), run.err.constData());
    QCOMPARE(run.err.count("ktrv8: "), 1);
}

// clang-format off
void tst_Host::outOfRangeIsRejected_data()
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
// clang-format on

void tst_Host::outOfRangeIsRejected()
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

void tst_Host::connectionErrorsSayWhatToDo()
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
        if (QProcess::execute(QStringLiteral("setpriv"),
                              asNobody + QStringList{ktBinary(QStringLiteral("ktrv8")), "--help"})
            != 0)
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

void tst_Host::settingsWindowBuildsEveryRow()
{
    SimProcess sim({});
    QVERIFY(sim.start());
    for (bool connected : {false, true}) {
        const QString png = dir.filePath(QStringLiteral("settings-%1.png").arg(connected));
        const Run run =
            runHost(QStringList{"settings", "--screenshot", png} + (connected ? addressOf(sim, false) : QStringList()));
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

void tst_Host::helpAndJson()
{
    Run run = runHost({"--help"});
    QCOMPARE(run.code, 0);
    QVERIFY(run.out.contains("Exit codes:") && run.out.contains("ktrv8 demo"));
    for (const char* command : {"demo", "cut", "list", "info", "get", "set", "move", "settings"}) {
        run = runHost({command, "--help"});
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.startsWith(QByteArray("Usage: ktrv8 ") + command), command);
    }
    QCOMPARE(runHost({"frobnicate"}).code, 2);
    QCOMPARE(runHost({"get", "SPEED"}).code, 2); // no address
    run = runHost({"list", "--json"});
    QCOMPARE(run.code, 0);
    QVERIFY(QJsonDocument::fromJson(run.out).object().value(QStringLiteral("nodes")).isArray());

    SimProcess sim({"--firmware", "V7.7"});
    QVERIFY(sim.start());
    run = runHost(QStringList{"info", "--json"} + addressOf(sim, false));
    QCOMPARE(run.code, 0);
    const QJsonObject info = QJsonDocument::fromJson(run.out).object();
    QCOMPARE(info.value(QStringLiteral("FIRMWARE")).toObject().value(QStringLiteral("value")).toString(),
             QStringLiteral("V7.7"));
    QCOMPARE(info.value(QStringLiteral("SPEED")).toObject().value(QStringLiteral("value")).toDouble(), 100.0);
    // A list setting shows its item's caption, not its number alone.
    const QJsonObject mode = info.value(QStringLiteral("WORK_MODE")).toObject();
    QVERIFY(!mode.value(QStringLiteral("caption")).toString().isEmpty());
    run = runHost(QStringList{"info"} + addressOf(sim, false));
    QVERIFY2(run.out.contains("(WORK_MODE): " + mode.value(QStringLiteral("caption")).toString().toUtf8() + " (0)"),
             run.out.constData());
    run = runHost(QStringList{"move", "10", "-5"} + addressOf(sim, false));
    QVERIFY2(run.code == 0, run.err.constData());

    // A job with --json: one object per line and event, errors with their exit code.
    run = runHost(QStringList{"cut", sample, "--copies", "2", "--json"} + addressOf(sim, false));
    QCOMPARE(run.code, 0);
    QStringList events;
    for (const QByteArray& line : run.out.trimmed().split('\n')) {
        QJsonParseError error;
        const QJsonObject event = QJsonDocument::fromJson(line, &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, line.constData());
        if (event.value(QStringLiteral("event")).toString() != QLatin1String("estimate"))
            events << event.value(QStringLiteral("event")).toString();
    }
    QCOMPARE(events, (QStringList{"reading", "started", "page", "page", "page", "copy", "copy", "done"}));
    for (const QStringList& wrong : {QStringList{"cut", "--json"}, QStringList{"get", "--bogus", "--json"}}) {
        run = runHost(wrong + addressOf(sim, false));
        QCOMPARE(run.code, 2);
        QCOMPARE(QJsonDocument::fromJson(run.out).object().value(QStringLiteral("code")).toInt(), 2);
    }
    run = runHost({"info", "--json", "--tcp", "127.0.0.1:1"});
    QCOMPARE(QJsonDocument::fromJson(run.out).object().value(QStringLiteral("code")).toInt(), 4);
}

// KTRV8_PLUGIN replaces the plug-in found beside the tool, and --plugin replaces both. A
// plug-in that loads gets as far as the (closed) port: exit 4, not 3.
void tst_Host::pluginChoice_data()
{
    QTest::addColumn<QString>("environment");
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("code");
    const QString missing = dir.filePath(QStringLiteral("elsewhere/libKT-RV8.so"));
    const QString real = ktBinary(QStringLiteral("libKT-RV8.so"));
    QTest::newRow("environment names a missing plug-in") << missing << QString() << 3;
    QTest::newRow("--plugin wins over the environment") << missing << real << 4;
    QTest::newRow("--plugin names a missing plug-in") << real << missing << 3;
}

void tst_Host::pluginChoice()
{
    QFETCH(QString, environment);
    QFETCH(QString, option);
    QFETCH(int, code);
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString address = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    qputenv("KTRV8_PLUGIN", QFile::encodeName(environment));
    const Run run = runHost(QStringList{"info", "--tcp", address}
                            + (option.isEmpty() ? QStringList() : QStringList{"--plugin", option}));
    qunsetenv("KTRV8_PLUGIN");
    QCOMPARE(run.code, code);
    if (code == 3)
        QVERIFY2(run.err.contains(QFile::encodeName(dir.filePath(QStringLiteral("elsewhere/libKT-RV8.so")))),
                 run.err.constData());
}

// A drawing is converted and cut on the simulator; the cutter receives exactly the job that
// "convert" writes; the preview draws it; a file that is neither is refused before anything
// is sent.
void tst_Host::drawings()
{
    const QString drawing =
        QDir(QString::fromLocal8Bit(qgetenv("KT_SOURCE_DIR"))).filePath(QStringLiteral("examples/drawing.svg"));
    // Named .plt on purpose: the content decides.
    const QString misnamed = dir.filePath(QStringLiteral("drawing-misnamed.plt"));
    QVERIFY(QFile::copy(drawing, misnamed));
    const QStringList options{"--width", "60", "--weed-box", "2", "--overcut", "0.5"};
    const QString converted = dir.filePath(QStringLiteral("drawing.plt"));
    Run run = runHost(QStringList{"convert", drawing, "-o", converted} + options);
    QVERIFY2(run.code == 0, run.err.constData());
    const QByteArray job = readFile(converted);
    QVERIFY(job.startsWith("IN;PA;") && job.endsWith("PG;"));

    const QString record = dir.filePath(QStringLiteral("drawing-cut.plt"));
    SimProcess sim({"--out", record});
    QVERIFY(sim.start());
    run = runHost(QStringList{"cut", misnamed} + options + addressOf(sim, false));
    QVERIFY2(run.code == 0, run.err.constData());
    QVERIFY(run.out.contains("done: "));
    QCOMPARE(readFile(record), job);

    for (const QString& picture : {QStringLiteral("drawing.png"), QStringLiteral("drawing.svg")}) {
        run = runHost({"preview", converted, "-o", dir.filePath(picture), "--copies", "2"});
        QVERIFY2(run.code == 0 && QFileInfo(dir.filePath(picture)).size() > 0, run.err.constData());
    }
    QVERIFY(readFile(dir.filePath(QStringLiteral("drawing.svg"))).count("class=\"cut\"") >= 2 * 7);

    const QString prose = dir.filePath(QStringLiteral("letter.svg"));
    QFile file(prose);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("Dear cutter, please cut this.\n") > 0);
    file.close();
    for (const QString& command : {QStringLiteral("cut"), QStringLiteral("preview"), QStringLiteral("convert")}) {
        run = runHost(QStringList{command, prose, "-o", dir.filePath(QStringLiteral("x.png"))} + addressOf(sim, false));
        QVERIFY2(run.code == 2 && run.err.contains("neither an SVG drawing nor plotter"), run.err.constData());
    }
}

QTEST_GUILESS_MAIN(tst_Host)
#include "tst_host.moc"
