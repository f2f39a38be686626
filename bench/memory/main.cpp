// ktbench-memory: resident memory and heap per idle RV8 device, over 1 000 devices built
// by the plug-in object as a host builds them.
#include "benchsupport.h"

#include "ktrv8.h"

#include <QCoreApplication>

#include <memory>
#include <vector>

using namespace ktbench;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    silenceDebugOutput();
    constexpr int Devices = 1000;
    constexpr int Sample = 100;

    KTRV8 factory;
    {
        // What the first device sets up once for all (meta-objects, translation lookups).
        std::vector<std::unique_ptr<KTRV8>> warmUp;
        for (int i = 0; i < 10; ++i)
            warmUp.emplace_back(newDevice(factory));
    }
    const qint64 rssBefore = residentBytes();
    const qint64 heapBefore = mallocInUse();
    std::vector<std::unique_ptr<KTRV8>> devices;
    devices.reserve(Devices);
    QVector<double> firstUs;
    QVector<double> lastUs;
    for (int i = 0; i < Devices; ++i) {
        const qint64 start = nowNs();
        devices.emplace_back(newDevice(factory));
        const double us = (nowNs() - start) / 1e3;
        if (i < Sample)
            firstUs.append(us);
        else if (i >= Devices - Sample)
            lastUs.append(us);
    }
    const double rssPer = double(residentBytes() - rssBefore) / Devices;
    const double heapPer = double(mallocInUse() - heapBefore) / Devices;
    devices.clear();
    const double leftPer = double(mallocInUse() - heapBefore) / Devices;

    printRow(QStringLiteral("6 memory per device"),
             QStringLiteral("resident memory per idle device, over %1").arg(Devices),
             QStringLiteral("%1 KiB (heap %2 KiB)").arg(fmt(rssPer / 1024, 1)).arg(fmt(heapPer / 1024, 1)),
             QStringLiteral("<= 64 KiB"), verdict(rssPer <= 64 * 1024));
    printRow(QStringLiteral("6 memory per device"), QStringLiteral("heap left per device after deleting all"),
             QStringLiteral("%1 bytes").arg(fmt(leftPer, 0)), QStringLiteral("-"), QStringLiteral("info"));
    printRow(QStringLiteral("6 memory per device"),
             QStringLiteral("initInstance time, devices 1-%1 / %2-%3 (median)")
                 .arg(Sample)
                 .arg(Devices - Sample + 1)
                 .arg(Devices),
             QStringLiteral("%1 us / %2 us").arg(fmt(median(firstUs), 0)).arg(fmt(median(lastUs), 0)),
             QStringLiteral("-"), QStringLiteral("info"));
    return 0;
}
