// ktrv8's other commands and ways to end a job, as real processes against the simulator.
#include "hosttest.h"

#include <QElapsedTimer>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpServer>
#include <QXmlStreamReader>
#include <QtTest>

#include <csignal>

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
        QVERIFY2(run.code == 2 && run.err.contains("neither a drawing (SVG, PDF, ASCII DXF) nor a PLT job"),
                 run.err.constData());
    }
}
