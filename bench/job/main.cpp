// ktbench-job: a whole job through the plug-in against a minimal client replaying exactly
// the same frames to the same zero-cut-time cutter, and the time the plug-in takes from a
// readiness reply reaching its socket to the next page going out.
#include "benchsupport.h"
#include "ktrv8_p.h"
#include "pagehandoff.h"
#include "replayclient.h"
#include "simfleet.h"

#include "ktdeviceproperty.h"
#include "ktrv8.h"
#include "simprotocol.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

#include <iterator>

using namespace ktbench;

namespace {

constexpr int JobTimeoutMs = 120000;

struct JobCase
{
    const char* name;
    int pages;
    int pageBytes;
    int rounds;
};

const JobCase cases[] = {
    // name                 pages  page bytes  rounds
    {"1000 pages of 4 KiB", 1000, 4096, 21},
    {"10 pages of 1 MiB", 10, 1 << 20, 21},
};

// The same replay through a QTcpSocket on the event loop, set up as the device sets up its
// own: the floor under what any driver built on Qt's socket can reach.
qint64 replayWithQt(QTcpSocket& socket, const QList<QByteArray>& bursts)
{
    const QByteArray ready = ktsim::ccmdReply(4, 0);
    QByteArray inbox;
    int next = 0;
    qint64 end = -1;
    QEventLoop loop;
    const auto connection = QObject::connect(&socket, &QTcpSocket::readyRead, &loop, [&] {
        inbox += socket.readAll();
        for (int at = inbox.indexOf(ready); at >= 0; at = inbox.indexOf(ready)) {
            inbox.remove(0, at + ready.size());
            if (next == bursts.size()) {
                end = nowNs();
                loop.quit();
                return;
            }
            socket.write(bursts.at(next++));
        }
    });
    QTimer::singleShot(JobTimeoutMs, &loop, &QEventLoop::quit);
    const qint64 start = nowNs();
    socket.write(bursts.at(next++));
    loop.exec();
    QObject::disconnect(connection);
    return end < 0 ? -1 : end - start;
}

// Nanoseconds from startTask to the copy being counted; -1 on timeout.
qint64 runThroughPlugin(KTRV8* device, const QString& job, HandoffProbe& probe)
{
    prepareOneCopy(device);
    device->setPlt(job);
    QEventLoop loop;
    qint64 end = -1;
    QObject::connect(device, &KTDeviceInterface::message, &loop,
                     [&](KTDeviceInterface::KTDeviceMessage kind, const QString&) {
                         if (kind == KTDeviceInterface::DevTasK && end < 0 && copyFinished(device)) {
                             end = nowNs();
                             loop.quit();
                         }
                     });
    QTimer::singleShot(JobTimeoutMs, &loop, &QEventLoop::quit);
    probe.forgetRead();
    const qint64 start = nowNs();
    device->startTask();
    if (end < 0)
        loop.exec();
    return end < 0 ? -1 : end - start;
}

QList<QByteArray> expectedPages(const QString& job)
{
    QList<QByteArray> pages;
    for (const QString& page : KTRV8Private::splitPages(job))
        pages.append(page.toLocal8Bit());
    return pages;
}

// What every case runs on: the plug-in's device and the two replay clients, each with its
// own simulated cutter, and the loopback round trip the handoff is held against.
struct Rig
{
    SimFleet& fleet;
    KTRV8* device;
    HandoffProbe& probe;
    PageHandoff& own;
    ReplayClient& raw;
    QTcpSocket& qtClient;
    HandoffProbe& qtProbe;
    double rtt = 0;
    double rttP99 = 0;
};

struct Timings
{
    QVector<double> pluginMs;
    QVector<double> rawMs;
    QVector<double> qtMs;
    bool everyPage = true;
};

// A warm-up run through the plug-in, whose frames the clients then replay, and the rounds.
Timings timeCase(const JobCase& jobCase, Rig& rig)
{
    const QString job = makeJob(jobCase.pages, jobCase.pageBytes);
    const QList<QByteArray> pages = expectedPages(job);
    rig.fleet.clearTaps();
    if (runThroughPlugin(rig.device, job, rig.probe) < 0)
        qFatal("ktbench-job: the job did not finish");
    const QByteArray stream = rig.fleet.tapped(0);
    if (pagesIn(stream) != pages)
        qFatal("ktbench-job: the cutter did not receive every page exactly once");
    const QList<QByteArray> bursts = ReplayClient::burstsOf(framesIn(stream));
    if (bursts.size() != pages.size())
        qFatal("ktbench-job: %d bursts for %d pages", int(bursts.size()), int(pages.size()));
    if (rig.raw.replay(bursts) < 0 || replayWithQt(rig.qtClient, bursts) < 0)
        qFatal("ktbench-job: a replay did not finish");

    Timings t;
    rig.probe.clear();
    rig.own.clear();
    rig.qtProbe.clear();
    for (int round = 0; round < jobCase.rounds; ++round) {
        rig.fleet.clearTaps();
        rig.own.forgetRead();
        const qint64 plugin = runThroughPlugin(rig.device, job, rig.probe);
        const qint64 replay = rig.raw.replay(bursts);
        rig.qtProbe.forgetRead();
        const qint64 qtReplay = replayWithQt(rig.qtClient, bursts);
        if (plugin < 0 || replay < 0 || qtReplay < 0)
            qFatal("ktbench-job: a run did not finish");
        t.qtMs.append(qtReplay / 1e6);
        t.everyPage = t.everyPage && pagesIn(rig.fleet.tapped(0)) == pages;
        t.pluginMs.append(plugin / 1e6);
        t.rawMs.append(replay / 1e6);
    }
    return t;
}

void printHandoff(const Rig& rig)
{
    const double p50 = median(rig.probe.samples());
    const double p99 = percentile(rig.probe.samples(), 99);
    printRow(
        QStringLiteral("2 page handoff"),
        QStringLiteral("median / p99 over %1 pages, against loopback RTT (median %2 us, p99 %3 us)")
            .arg(rig.probe.samples().size())
            .arg(fmt(rig.rtt, 1))
            .arg(fmt(rig.rttP99, 1)),
        QStringLiteral("%1 us / %2 us (median = %3 x RTT)").arg(fmt(p50, 1)).arg(fmt(p99, 1)).arg(fmt(p50 / rig.rtt)),
        QStringLiteral("median <= RTT"), verdict(p50 <= rig.rtt));
    printRow(QStringLiteral("2 page handoff"),
             QStringLiteral("the same for the minimal QTcpSocket client, median / p99"),
             QStringLiteral("%1 us / %2 us")
                 .arg(fmt(median(rig.qtProbe.samples()), 1))
                 .arg(fmt(percentile(rig.qtProbe.samples(), 99), 1)),
             QStringLiteral("-"), QStringLiteral("info"));
}

void runCase(const JobCase& jobCase, Rig& rig)
{
    const Timings t = timeCase(jobCase, rig);
    const double ratio = median(t.pluginMs) / median(t.rawMs);
    const QString name = QString::fromLatin1(jobCase.name);
    printRow(QStringLiteral("1 job overhead"), name + QStringLiteral(": plug-in / raw replay"),
             QStringLiteral("%1 (%2 ms / %3 ms)")
                 .arg(fmt(ratio))
                 .arg(fmt(median(t.pluginMs), 1))
                 .arg(fmt(median(t.rawMs), 1)),
             QStringLiteral("<= 1.25"), verdict(ratio <= 1.25 && t.everyPage));
    const double floor = median(t.qtMs) / median(t.rawMs);
    printRow(QStringLiteral("1 job overhead"), name + QStringLiteral(": minimal QTcpSocket client / raw replay"),
             QStringLiteral("%1 (%2 ms); plug-in / Qt client %3")
                 .arg(fmt(floor))
                 .arg(fmt(median(t.qtMs), 1))
                 .arg(fmt(median(t.pluginMs) / median(t.qtMs))),
             QStringLiteral("-"), QStringLiteral("info"));
    if (jobCase.pageBytes == 4096)
        printHandoff(rig);
    // To the entry of the next page's send(): without the kernel's copy of the page.
    const QVector<double> own = rig.own.samplesUs();
    printRow(QStringLiteral("2 page handoff"),
             name + QStringLiteral(": the device's own, reply in to the page's send() entered, median / p99"),
             QStringLiteral("%1 us / %2 us").arg(fmt(median(own), 1)).arg(fmt(percentile(own, 99), 1)),
             QStringLiteral("median <= 50 us"), verdict(!own.isEmpty() && median(own) <= 50));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    silenceDebugOutput();

    // Cutter 0 serves the plug-in, 1 the raw client, 2 the minimal Qt client.
    SimFleet fleet(3, SimFleet::Options{0, true});
    KTRV8 factory;
    KTRV8* device = newDevice(factory);
    if (!connectDevice(device, fleet.port(0)))
        qFatal("ktbench-job: the device did not connect");
    HandoffProbe probe;
    PageHandoff own;
    if (!probe.attach(deviceSocket(device)) || !own.attach(deviceSocket(device)))
        qFatal("ktbench-job: no read notifier on the device's socket");
    ReplayClient raw(fleet.port(1));
    QTcpSocket qtClient;
    qtClient.setReadBufferSize(10240);
    qtClient.connectToHost(QStringLiteral("127.0.0.1"), fleet.port(2));
    if (!qtClient.waitForConnected(5000))
        qFatal("ktbench-job: the Qt client did not connect");
    HandoffProbe qtProbe;
    qtProbe.attach(&qtClient);
    Rig rig{fleet, device, probe, own, raw, qtClient, qtProbe};
    rig.rtt = loopbackRoundTripUs(3000, &rig.rttP99);

    // An argument picks one case by its number (for profiling).
    const int only = argc > 1 ? QByteArray(argv[1]).toInt() : -1;
    for (int index = 0; index < int(std::size(cases)); ++index) {
        if (only < 0 || index == only)
            runCase(cases[index], rig);
    }
    delete device;
    return 0;
}
