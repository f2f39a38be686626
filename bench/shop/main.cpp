// ktbench-shop: 1, 16 and 100 RV8 devices on one host event loop, each running a 50-page
// job against a simulated cutter of its own (all cutters on one other thread).
#include "benchsupport.h"
#include "ktrv8_p.h"
#include "simfleet.h"

#include "ktrv8.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <memory>
#include <vector>

using namespace ktbench;

namespace {

constexpr int Pages = 50;
constexpr int PageBytes = 4096;
constexpr int JobTimeoutMs = 120000;

struct ShopSize
{
    int devices;
    int runs; // measured runs in each round (their median is the round's rate)
};

const ShopSize sizes[] = {
    // devices  runs
    {1, 7},
    {16, 2},
    {100, 1},
};

// Each round measures every size once, one right after the other, so the ratio to one
// device is taken within a few hundred milliseconds and the shared machine's drift cancels.
constexpr int Rounds = 5;

struct Station
{
    KTRV8* device = nullptr;
    QString job;
    QList<QByteArray> pages; // as the cutter must receive them
    std::unique_ptr<HandoffProbe> probe;
};

// Starts the job on the first `count` stations and runs the loop until every copy is
// counted. Nanoseconds from the first start to the last copy; -1 on timeout.
qint64 runShop(std::vector<Station>& stations, int count)
{
    for (int i = 0; i < count; ++i) {
        prepareOneCopy(stations[i].device);
        stations[i].device->setPlt(stations[i].job);
        stations[i].probe->forgetRead();
    }
    // The loop ends on the message that comes with the last copy being counted.
    QEventLoop loop;
    int finished = 0;
    for (int i = 0; i < count; ++i) {
        KTRV8* device = stations[i].device;
        QObject::connect(device, &KTDeviceInterface::message, &loop,
                         [&, device](KTDeviceInterface::KTDeviceMessage kind, const QString&) {
                             if (kind == KTDeviceInterface::DevTasK && copyFinished(device) && ++finished == count)
                                 loop.quit();
                         });
    }
    QTimer::singleShot(JobTimeoutMs, &loop, &QEventLoop::quit);
    const qint64 start = nowNs();
    for (int i = 0; i < count; ++i)
        stations[i].device->startTask();
    if (finished < count)
        loop.exec();
    return finished == count ? nowNs() - start : -1;
}

// A fleet of exactly `count` cutters and as many connected devices: every size is measured
// with nothing else on either event loop (idle sockets still cost each loop turn).
struct Shop
{
    explicit Shop(int count, int cutterThreads)
        : fleet(count, SimFleet::Options{0, true, cutterThreads}), stations(count)
    {
        for (int i = 0; i < count; ++i) {
            Station& station = stations[i];
            station.device = newDevice(factory);
            if (!connectDevice(station.device, fleet.port(i)))
                qFatal("ktbench-shop: device %d did not connect", i);
            station.probe = std::make_unique<HandoffProbe>();
            station.probe->attach(deviceSocket(station.device));
            station.job = makeJob(Pages, PageBytes, i);
            for (const QString& page : KTRV8Private::splitPages(station.job))
                station.pages.append(page.toLocal8Bit());
        }
    }
    ~Shop()
    {
        for (Station& station : stations)
            delete station.device;
    }

    SimFleet fleet;
    KTRV8 factory;
    std::vector<Station> stations;
};

// How many threads the simulated cutters get: one for all (default), or with
// KTBENCH_CUTTER_THREADS=each one per cutter (then no cutter's loop watches the others'
// sockets, but a hundred threads share two cores).
int cutterThreads(int devices)
{
    return qgetenv("KTBENCH_CUTTER_THREADS") == "each" ? devices : 1;
}

struct SizeResult
{
    QVector<double> rates;  // one per round
    QVector<double> ratios; // to one device, one per round
    QVector<double> handoffs;
    QVector<double> hostBusy;   // share of the measured runs' time the host loop used CPU
    QVector<double> cutterBusy; // the same for the cutters' thread
    bool exactlyOnce = true;
};

// Builds the shop, runs the warm-up and the measured runs; the median rate of the runs.
double measureRound(const ShopSize& size, SizeResult& result)
{
    Shop shop(size.devices, cutterThreads(size.devices));
    std::vector<Station>& stations = shop.stations;
    runShop(stations, size.devices); // warm-up
    QVector<double> rates;
    for (int run = 0; run < size.runs; ++run) {
        shop.fleet.clearTaps();
        for (int i = 0; i < size.devices; ++i)
            stations[i].probe->clear();
        const qint64 hostCpu = threadCpuNow();
        const qint64 cutterCpu = shop.fleet.threadCpuNs();
        const qint64 ns = runShop(stations, size.devices);
        result.hostBusy.append(double(threadCpuNow() - hostCpu) / double(ns));
        result.cutterBusy.append(double(shop.fleet.threadCpuNs() - cutterCpu) / double(ns));
        if (ns < 0)
            qFatal("ktbench-shop: the jobs of %d devices did not finish", size.devices);
        rates.append(double(size.devices) * Pages / (ns / 1e9));
        for (int i = 0; i < size.devices; ++i) {
            result.exactlyOnce = result.exactlyOnce && pagesIn(shop.fleet.tapped(i)) == stations[i].pages;
            result.handoffs += stations[i].probe->samples();
        }
    }
    return median(rates);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    silenceDebugOutput();
    const int most = sizes[std::size(sizes) - 1].devices;

    std::vector<SizeResult> results(std::size(sizes));
    for (int round = 0; round < Rounds; ++round) {
        double single = 0;
        for (size_t s = 0; s < std::size(sizes); ++s) {
            const double rate = measureRound(sizes[s], results[s]);
            if (sizes[s].devices == 1)
                single = rate;
            results[s].rates.append(rate);
            results[s].ratios.append(rate / single);
        }
    }
    for (size_t s = 0; s < std::size(sizes); ++s) {
        const ShopSize& size = sizes[s];
        const SizeResult& result = results[s];
        const double ratio = median(result.ratios);
        const QString label = QStringLiteral("%1 device(s)").arg(size.devices);
        printRow(QStringLiteral("5 shop"), label + QStringLiteral(": every page of every job exactly once"),
                 result.exactlyOnce ? QStringLiteral("yes (%1 jobs each)").arg(Rounds * (size.runs + 1))
                                    : QStringLiteral("no"),
                 QStringLiteral("yes"), verdict(result.exactlyOnce));
        printRow(QStringLiteral("5 shop"),
                 label + QStringLiteral(": aggregate page rate / rate of 1 device (median of %1 rounds)").arg(Rounds),
                 QStringLiteral("%1 (%2 pages/s)").arg(fmt(ratio)).arg(fmt(median(result.rates), 0)),
                 size.devices == most ? QStringLiteral(">= 0.8") : QStringLiteral("-"),
                 size.devices == most ? verdict(ratio >= 0.8) : QStringLiteral("info"));
        printRow(QStringLiteral("5 shop"),
                 label + QStringLiteral(": page handoff median / p99; CPU busy: host loop, cutters' threads"),
                 QStringLiteral("%1 us / %2 us; %3 %, %4 %")
                     .arg(fmt(median(result.handoffs), 1))
                     .arg(fmt(percentile(result.handoffs, 99), 1))
                     .arg(fmt(100 * median(result.hostBusy), 0))
                     .arg(fmt(100 * median(result.cutterBusy), 0)),
                 QStringLiteral("-"), QStringLiteral("info"));
    }
    return 0;
}
