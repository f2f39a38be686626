// ktbench-shop: 1, 16 and 100 RV8 devices on one host event loop, each running a 50-page
// job against a simulated cutter of its own (all cutters on one other thread).
#include "benchsupport.h"
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
    int rounds;
};

const ShopSize sizes[] = {
    // devices  rounds
    {1,         31},
    {16,        5},
    {100,       3},
};

struct Station
{
    KTRV8* device = nullptr;
    QString job;
    QList<QByteArray> pages;   // as the cutter must receive them
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
                             if (kind == KTDeviceInterface::DevTasK && copyFinished(device)
                                 && ++finished == count)
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
    explicit Shop(int count) : fleet(count, SimFleet::Options{0, true}), stations(count)
    {
        for (int i = 0; i < count; ++i) {
            Station& station = stations[i];
            station.device = newDevice(factory);
            if (!connectDevice(station.device, fleet.port(i)))
                qFatal("ktbench-shop: device %d did not connect", i);
            station.probe = std::make_unique<HandoffProbe>();
            station.probe->attach(deviceSocket(station.device));
            station.job = makeJob(Pages, PageBytes, i);
            for (const QString& page : KTRV8::splitPages(station.job))
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    silenceDebugOutput();
    const int most = sizes[std::size(sizes) - 1].devices;

    double singleRate = 0;
    for (const ShopSize& size : sizes) {
        Shop shop(size.devices);
        std::vector<Station>& stations = shop.stations;
        QVector<double> rates;
        QVector<double> handoffs;
        bool exactlyOnce = true;
        runShop(stations, size.devices); // warm-up
        for (int round = 0; round < size.rounds; ++round) {
            shop.fleet.clearTaps();
            for (int i = 0; i < size.devices; ++i)
                stations[i].probe->clear();
            const qint64 ns = runShop(stations, size.devices);
            if (ns < 0)
                qFatal("ktbench-shop: the jobs of %d devices did not finish", size.devices);
            rates.append(double(size.devices) * Pages / (ns / 1e9));
            for (int i = 0; i < size.devices; ++i) {
                exactlyOnce = exactlyOnce && pagesIn(shop.fleet.tapped(i)) == stations[i].pages;
                handoffs += stations[i].probe->samples();
            }
        }
        const double rate = median(rates);
        if (size.devices == 1)
            singleRate = rate;
        const double ratio = rate / singleRate;
        const QString label = QStringLiteral("%1 device(s)").arg(size.devices);
        printRow(QStringLiteral("5 shop"), label + QStringLiteral(": every page of every job exactly once"),
                 exactlyOnce ? QStringLiteral("yes (%1 rounds)").arg(size.rounds) : QStringLiteral("no"),
                 QStringLiteral("yes"), verdict(exactlyOnce));
        printRow(QStringLiteral("5 shop"), label + QStringLiteral(": aggregate page rate / rate of 1 device"),
                 QStringLiteral("%1 (%2 pages/s)").arg(fmt(ratio)).arg(fmt(rate, 0)),
                 size.devices == most ? QStringLiteral(">= 0.8") : QStringLiteral("-"),
                 size.devices == most ? verdict(ratio >= 0.8) : QStringLiteral("info"));
        printRow(QStringLiteral("5 shop"), label + QStringLiteral(": page handoff median / p99"),
                 QStringLiteral("%1 us / %2 us").arg(fmt(median(handoffs), 1)).arg(fmt(percentile(handoffs, 99), 1)),
                 QStringLiteral("-"), QStringLiteral("info"));
    }
    return 0;
}
