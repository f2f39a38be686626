// ktbench-handoff: the plug-in loaded as a host loads it (QPluginLoader, the device from its
// factory, nothing but the device interface and its properties) against a cutter in another
// process, alternating round by round with a raw client that replays the same frames to a
// twin cutter in that process. Reports, in one run, the job time against the raw replay and
// the device's own page handoff (see pagehandoff.h).
#include "pagehandoff.h"
#include "replayclient.h"
#include "timeline.h"

#include "ktdeviceinterface.h"
#include "ktdeviceproperty.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QPluginLoader>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>

namespace {

constexpr int TimeoutMs = 120000;

struct JobCase
{
    const char* name;
    int pages;
    int pageBytes;
    int rounds;
    bool samePages; // every page the same text, as a job that repeats one design
};

const JobCase cases[] = {
    {"1000 pages of 4 KiB", 1000, 4096, 9, false},
    {"10 pages of 1 MiB", 10, 1 << 20, 9, false},
    {"10 equal pages of 1 MiB", 10, 1 << 20, 9, true},
};

double median(QVector<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

double percentile(QVector<double> values, int p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(std::min(int(values.size()) - 1, int(values.size()) * p / 100));
}

// Pages of plotter text, each different from its first bytes on unless all are the same.
QString makeJob(int pages, int pageBytes, bool samePages)
{
    static const QString stroke = QStringLiteral("PD1200,800;PD1240,880;PU1320,840;");
    QString text;
    text.reserve(qsizetype(pages) * (pageBytes + 64));
    for (int page = 0; page < pages; ++page) {
        const int start = text.size();
        text += QStringLiteral("IN;PU%1,0;").arg(samePages ? 0 : page);
        while (text.size() - start + stroke.size() + 3 <= pageBytes)
            text += stroke;
        while (text.size() - start + 3 < pageBytes)
            text += QLatin1Char(';');
        text += QStringLiteral("PG;");
    }
    return text;
}

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    return done();
}

// The cutters' process and what it was told.
class Peer
{
public:
    bool start()
    {
        process.setProgram(QDir(QCoreApplication::applicationDirPath()).filePath("ktbench-handoff-cutter"));
        process.start();
        if (!process.waitForStarted(10000) || !waitFor([this] { return process.canReadLine(); }, 10000))
            return false;
        const QList<QByteArray> words = process.readLine().trimmed().split(' ');
        if (words.size() != 3 || words.at(0) != "PORTS")
            return false;
        pluginPort = quint16(words.at(1).toInt());
        rawPort = quint16(words.at(2).toInt());
        return true;
    }
    // The bytes the plug-in's cutter received since the last call.
    QByteArray tap()
    {
        const QString file = dir.filePath("tap");
        process.write("TAP " + QFile::encodeName(file) + "\n");
        if (!waitFor([this] { return process.canReadLine(); }, TimeoutMs) || process.readLine() != "TAPPED\n")
            qFatal("ktbench-handoff: the cutter kept no record");
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
    ~Peer()
    {
        process.closeWriteChannel();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(5000);
    }

    quint16 pluginPort = 0, rawPort = 0;

private:
    QProcess process;
    QTemporaryDir dir;
};

qint64 nowNs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.nsecsElapsed();
}

// The device object from the plug-in, connected to the plug-in's cutter over TCP.
class Host
{
public:
    KTDeviceInterface* load()
    {
        loader.setFileName(QDir(QCoreApplication::applicationDirPath()).filePath("libKT-RV8.so"));
        auto* factory = qobject_cast<KTDeviceInterface*>(loader.instance());
        if (!factory)
            qFatal("ktbench-handoff: %s", qPrintable(loader.errorString()));
        device.reset(factory->initInstance());
        return device.get();
    }
    bool connectTo(quint16 port)
    {
        device->setIPAddress(QStringLiteral("127.0.0.1"));
        device->property_ptr("TCP_PORT")->setValue(int(port));
        KTDeviceProperty* status = device->property_ptr("STATUS");
        return device->connectDevice()
               && waitFor([status] { return status->value().toInt() == KTDeviceInterface::Working; }, 10000);
    }
    // Nanoseconds from startTask to the copy being counted; -1 on timeout.
    qint64 cut(const QString& job)
    {
        KTDeviceProperty* task = device->property_ptr("TASK");
        device->property_ptr("TASK_COPIES")->setValue(1);
        task->setValue(QJsonObject{{"Finished", 0}, {"TaskCopies", 1}, {"Status", 1}, {"Percent", 0}});
        device->setPlt(job);
        qint64 end = -1;
        QEventLoop loop;
        QObject::connect(device.get(), &KTDeviceInterface::message, &loop,
                         [&](KTDeviceInterface::KTDeviceMessage kind, const QString&) {
                             if (kind == KTDeviceInterface::DevTasK && end < 0
                                 && task->value().toJsonObject().value("Finished").toInt() >= 1) {
                                 end = nowNs();
                                 PageHandoff::mark('E');
                                 loop.quit();
                             }
                         });
        QTimer::singleShot(TimeoutMs, &loop, &QEventLoop::quit);
        handoff.forgetRead();
        const qint64 start = nowNs();
        PageHandoff::mark('B');
        device->startTask();
        if (end < 0)
            loop.exec();
        return end < 0 ? -1 : end - start;
    }

    PageHandoff handoff;

private:
    QPluginLoader loader;
    std::unique_ptr<KTDeviceInterface> device; // goes before the loader
};

// The page frames in what a cutter received; other frames (a status poll) may come between.
QList<QByteArray> pagesIn(const QByteArray& stream)
{
    QList<QByteArray> pages;
    for (const QByteArray& frame : ReplayClient::framesIn(stream)) {
        if (frame.left(24).contains(";PPLT;"))
            pages.append(frame);
    }
    return pages;
}

QString fmt(double value, int decimals = 2)
{
    return QString::number(value, 'f', decimals);
}

void printRow(const QString& measure, const QString& value, const QString& target, bool met)
{
    std::printf("| %s | %s | %s | %s |\n", qPrintable(measure), qPrintable(value), qPrintable(target),
                met ? "met" : "missed");
    std::fflush(stdout);
}

void runCase(const JobCase& jobCase, Host& host, Peer& peer, ReplayClient& raw)
{
    const QString job = makeJob(jobCase.pages, jobCase.pageBytes, jobCase.samePages);
    peer.tap();
    if (host.cut(job) < 0)
        qFatal("ktbench-handoff: the job did not finish");
    const QByteArray stream = peer.tap();
    const QList<QByteArray> pages = pagesIn(stream);
    const QList<QByteArray> bursts = ReplayClient::burstsOf(ReplayClient::framesIn(stream));
    if (bursts.size() != jobCase.pages || raw.replay(bursts) < 0)
        qFatal("ktbench-handoff: %d bursts for %d pages, or the replay did not finish", int(bursts.size()),
               jobCase.pages);
    QVector<double> pluginMs, rawMs;
    bool same = true;
    host.handoff.clear();
    RoundTrace trace;
    for (int round = 0; round < jobCase.rounds; ++round) {
        trace.begin();
        const qint64 plugin = host.cut(job);
        const qint64 replay = raw.replay(bursts);
        trace.end();
        if (plugin < 0 || replay < 0)
            qFatal("ktbench-handoff: a run did not finish");
        same = same && pagesIn(peer.tap()) == pages;
        pluginMs.append(plugin / 1e6);
        rawMs.append(replay / 1e6);
    }
    const double ratio = median(pluginMs) / median(rawMs);
    const QString name = QString::fromLatin1(jobCase.name);
    printRow(name + QStringLiteral(": plug-in / raw, median of %1 rounds").arg(jobCase.rounds),
             QStringLiteral("%1 (%2 ms / %3 ms)%4")
                 .arg(fmt(ratio))
                 .arg(fmt(median(pluginMs), 1))
                 .arg(fmt(median(rawMs), 1))
                 .arg(same ? QString() : QStringLiteral(", pages differed between rounds")),
             QStringLiteral("<= 1.25"), ratio <= 1.25 && same);
    trace.print();
    const QVector<double> handoff = host.handoff.samplesUs();
    printRow(name + QStringLiteral(": device's own handoff, median / p99 of %1").arg(handoff.size()),
             QStringLiteral("%1 us / %2 us").arg(fmt(median(handoff), 1)).arg(fmt(percentile(handoff, 99), 1)),
             QStringLiteral("median <= 50 us"), !handoff.isEmpty() && median(handoff) <= 50);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    Peer peer;
    if (!peer.start())
        qFatal("ktbench-handoff: the cutter process did not start");
    Host host;
    KTDeviceInterface* device = host.load();
    if (!host.connectTo(peer.pluginPort))
        qFatal("ktbench-handoff: the device did not connect");
    if (!host.handoff.attach(device->findChild<QTcpSocket*>()))
        qFatal("ktbench-handoff: no read notifier on the device's socket");
    ReplayClient raw(peer.rawPort);
    std::printf("| measure | value | target | verdict |\n|---|---|---|---|\n");
    // An argument N runs only case N (handy under perf).
    const int only = argc > 1 ? QByteArray(argv[1]).toInt() : -1;
    for (int i = 0; i < int(std::size(cases)); ++i) {
        if (only < 0 || only == i)
            runCase(cases[i], host, peer, raw);
    }
    return 0;
}
