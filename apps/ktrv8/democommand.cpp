#include "commands.h"
#include "cutterconnection.h"
#include "jobreport.h"
#include "jobrunner.h"
#include "preparedjob.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#ifndef KTRV8_DATA_FROM_BIN
#define KTRV8_DATA_FROM_BIN "../share/kt-rv8"
#endif

namespace {

// The simulator is a local program: it listens at once and ends on SIGTERM at once.
constexpr int SimulatorStartMs = 10000;
constexpr int SimulatorExitMs = 5000;

QString findSample(const QString& given)
{
    if (!given.isEmpty())
        return given;
    // Beside the executable in the build tree, in the shared data folder when installed.
    const QDir bin(QCoreApplication::applicationDirPath());
    const QString beside = bin.filePath(QStringLiteral("examples/sample.plt"));
    const QString installed = QDir::cleanPath(bin.filePath(QStringLiteral(KTRV8_DATA_FROM_BIN "/examples/sample.plt")));
    for (const QString& candidate : {beside, installed}) {
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return QStringLiteral(KTRV8_SOURCE_EXAMPLES "/sample.plt");
}

// Starts the simulator on a free loopback port; returns the port, 0 on failure.
quint16 startSimulator(QProcess& sim, const QStringList& arguments, QString* error)
{
    sim.setProgram(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("ktrv8-sim")));
    sim.setArguments(QStringList{QStringLiteral("--host"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                                 QStringLiteral("0")}
                     + arguments);
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start();
    if (!sim.waitForStarted(SimulatorStartMs)) {
        *error = QStringLiteral("cannot start the simulator %1: %2").arg(sim.program(), sim.errorString());
        return 0;
    }
    QDeadlineTimer deadline(SimulatorStartMs);
    while (!deadline.hasExpired()) {
        if (!sim.canReadLine() && !sim.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
        const QString line = QString::fromLocal8Bit(sim.readLine()).trimmed();
        if (line.startsWith(QLatin1String("LISTENING tcp ")))
            return quint16(line.section(QLatin1Char(':'), -1).toUInt());
    }
    *error = QStringLiteral("the simulator did not start listening");
    return 0;
}

void stopSimulator(QProcess& sim)
{
    sim.terminate();
    if (!sim.waitForFinished(SimulatorExitMs)) {
        sim.kill();
        sim.waitForFinished(SimulatorExitMs);
    }
}

// The plug-in loaded and connected to the simulator; the exit code when not.
int connectLink(CutterConnection& link, const QString& pluginPath, quint16 port, const Output& out)
{
    QString error;
    if (!link.load(pluginPath, &error)) {
        out.error(error);
        return ExitNoPlugin;
    }
    Address address;
    address.host = QStringLiteral("127.0.0.1");
    address.port = port;
    const int connected = link.connectTo(address, CutterConnection::ConnectTimeoutMs, &error);
    if (connected != ExitOk)
        out.error(error);
    return connected;
}

QString outputFolder(const QString& given)
{
    if (!given.isEmpty())
        return given;
    QTemporaryDir temp(QDir::temp().filePath(QStringLiteral("ktrv8-demo-XXXXXX")));
    temp.setAutoRemove(false);
    return temp.path();
}

// What the simulator recorded must be the sample, once per copy, byte for byte.
int checkRecord(const Output& out, const QByteArray& expected, const QString& record, const QString& svg, int copies)
{
    QFile cut(record);
    const QByteArray recorded = cut.open(QIODevice::ReadOnly) ? cut.readAll() : QByteArray();
    const bool exact = recorded == expected;
    out.line(
        exact
            ? QStringLiteral("The cutter's record matches the sample job for all %1 copies: %2").arg(copies).arg(record)
            : QStringLiteral("The cutter's record differs from the sample job: %1").arg(record));
    out.line(QStringLiteral("SVG picture of what was cut: %1").arg(svg));
    out.result(QJsonObject{{QStringLiteral("record"), record},
                           {QStringLiteral("svg"), svg},
                           {QStringLiteral("copies"), copies},
                           {QStringLiteral("exact"), exact}});
    return exact ? ExitOk : ExitFailed;
}

} // namespace

int commandDemo(const CommonOptions& options, const DemoOptions& demo, JobRunner** running)
{
    const Output out(options.json);
    const QString sample = findSample(demo.sample);
    auto prepared = std::make_shared<PreparedJob>();
    if (!prepared->read(sample, PreparedJob::Options())) {
        out.error(prepared->unreadable() ? QStringLiteral("cannot read the sample job %1").arg(sample)
                                         : QStringLiteral("%1: %2").arg(sample, prepared->error()));
        return ExitNoPlugin;
    }
    const QByteArray job = prepared->text().toUtf8();
    const QString dir = outputFolder(demo.outDir);
    if (!QDir().mkpath(dir)) {
        out.error(QStringLiteral("cannot create %1").arg(dir));
        return ExitFailed;
    }
    const QString record = QDir(dir).filePath(QStringLiteral("cut.plt"));
    const QString svg = QDir(dir).filePath(QStringLiteral("cut.svg"));

    QProcess sim;
    QString error;
    const quint16 port = startSimulator(sim,
                                        {QStringLiteral("--out"), record, QStringLiteral("--svg"), svg,
                                         QStringLiteral("--cut-ms"), QString::number(demo.cutMs)},
                                        &error);
    if (port == 0) {
        out.error(error);
        stopSimulator(sim);
        return ExitNoPlugin;
    }
    out.line(QStringLiteral("Simulator listening on 127.0.0.1:%1").arg(port));

    CutterConnection link;
    if (const int failed = connectLink(link, options.pluginPath, port, out)) {
        stopSimulator(sim);
        return failed;
    }
    JobOptions job_;
    job_.file = sample;
    job_.prepared = prepared;
    job_.copies = demo.copies;
    job_.timeoutSeconds = options.timeoutSeconds;
    JobRunner runner(link, job_);
    JobReport report(runner, out);
    *running = &runner;
    const int code = runner.run();
    *running = nullptr;
    stopSimulator(sim);
    if (code != ExitOk)
        return code;

    return checkRecord(out, job.repeated(demo.copies), record, svg, demo.copies);
}
