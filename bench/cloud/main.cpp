// ktbench-cloud: acknowledged work records per second and their latency with 1, 10 and 100
// devices posting at once, against the real ktrv8-cloud program over loopback, on SQLite and
// on PostgreSQL (a server of its own that syncs its commits). Each device is one keep-alive
// connection that posts its next record as soon as the last one is answered. After each run
// the records in the database are counted: every acknowledged one exactly once.
//   ktbench-cloud [--program PATH] [--seconds S] [--runs N] [--engine sqlite|postgresql]...
#include "benchsupport.h"
#include "loadclient.h"
#include "postgresserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>

using namespace ktbench;

namespace {

const QByteArray Token = "bench-token";

struct Service
{
    QProcess process;
    quint16 port = 0;

    // The port from the program's first line; its activity log goes to a file, as a
    // service's would, and is not read here.
    bool start(const QString& program, const QString& location, const QString& logFile)
    {
        process.setStandardOutputFile(logFile);
        process.setStandardErrorFile(logFile + QStringLiteral(".err"));
        process.start(program, {QStringLiteral("--db"), location, QStringLiteral("--init"), QStringLiteral("--token"),
                                QString::fromLatin1(Token), QStringLiteral("--port"), QStringLiteral("0")});
        for (QDeadlineTimer deadline(15000); !deadline.hasExpired(); QThread::msleep(20)) {
            QFile log(logFile);
            if (log.open(QIODevice::ReadOnly)) {
                const QByteArray first = log.readLine();
                if (first.startsWith("port ") && first.endsWith('\n')) {
                    port = quint16(first.mid(5).trimmed().toUInt());
                    return port > 0;
                }
            }
            if (process.state() == QProcess::NotRunning)
                return false;
        }
        return false;
    }
    ~Service()
    {
        process.kill();
        process.waitForFinished(5000);
    }
};

// The machine's load average over the last minute: the figures depend on it when the
// machine is shared, so each row says what it was.
double loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().split(' ').value(0).toDouble() : -1;
}

struct Figures
{
    double load = 0; // when the run started
    double rate = 0; // acknowledged records per second
    double p50 = 0;  // ms
    double p99 = 0;
    bool exact = false; // every acknowledged record stored once, nothing else
};

Figures oneRun(const QString& program, const QString& location, const QString& log, int devices, int seconds)
{
    Figures figures;
    figures.load = loadAverage();
    Service service;
    if (!service.start(program, location, log)) {
        qWarning("ktbench-cloud: the service did not start (see %s)", qPrintable(log));
        return figures;
    }
    LoadClient client(service.port, Token);
    const QVector<int> ids = client.registerDevices(devices);
    if (ids.size() != devices)
        return figures;
    const LoadResult load = client.postRecords(ids, seconds);
    figures.rate = load.acknowledged / load.seconds;
    figures.p50 = percentile(load.latenciesMs, 50);
    figures.p99 = percentile(load.latenciesMs, 99);
    figures.exact = load.failed == 0 && client.storedRecords() == load.acknowledged;
    return figures;
}

double medianOf(const QVector<Figures>& runs, double Figures::*field)
{
    QVector<double> values;
    for (const Figures& f : runs)
        values.append(f.*field);
    return median(values);
}

// The targets at 100 devices: SQLite >= 2 000/s with p99 <= 50 ms, PostgreSQL within 2x
// of the SQLite rate measured before it.
void printFigures(const QString& engine, int devices, const QVector<Figures>& results, bool exact)
{
    static double sqliteRate = 0;
    const auto loads = std::minmax_element(results.begin(), results.end(),
                                           [](const Figures& a, const Figures& b) { return a.load < b.load; });
    const double rate = medianOf(results, &Figures::rate);
    const double p99 = medianOf(results, &Figures::p99);
    const bool sqlite = engine == QLatin1String("sqlite");
    if (sqlite && devices == 100)
        sqliteRate = rate;
    QString target = QStringLiteral("-");
    bool met = true;
    if (devices == 100 && sqlite) {
        target = QStringLiteral(">= 2000/s, p99 <= 50 ms");
        met = rate >= 2000 && p99 <= 50;
    } else if (devices == 100 && sqliteRate > 0) {
        target = QStringLiteral(">= %1/s (half of SQLite's)").arg(fmt(sqliteRate / 2, 0));
        met = rate >= sqliteRate / 2;
    }
    printRow(QStringLiteral("7 fleet service"),
             QStringLiteral("%1, %2 devices: records/s, p50, p99 (median of %3)")
                 .arg(engine)
                 .arg(devices)
                 .arg(results.size()),
             QStringLiteral("%1/s, %2 ms, %3 ms (load %4-%5)%6")
                 .arg(fmt(rate, 0))
                 .arg(fmt(medianOf(results, &Figures::p50), 1))
                 .arg(fmt(p99, 1))
                 .arg(fmt(loads.first->load, 1))
                 .arg(fmt(loads.second->load, 1))
                 .arg(exact ? QString() : QStringLiteral(", NOT every record stored once")),
             target,
             !exact                         ? verdict(false)
             : target == QLatin1String("-") ? QStringLiteral("info")
                                            : verdict(met));
}

void measureEngine(const QString& program, const QString& engine, const QList<int>& counts, int seconds, int runs,
                   QTemporaryDir& folder)
{
    PostgresServer postgres;
    postgres.durable = true;
    if (engine == QLatin1String("postgresql") && !postgres.start()) {
        printRow(QStringLiteral("7 fleet service"), QStringLiteral("PostgreSQL"), postgres.whyNot, QStringLiteral("-"),
                 QStringLiteral("skipped"));
        return;
    }
    static int serial = 0;
    for (int devices : counts) {
        QVector<Figures> results;
        bool exact = true;
        for (int run = 0; run < runs; ++run) {
            const QString name = QStringLiteral("bench%1").arg(++serial);
            const QString location = engine == QLatin1String("sqlite")
                                         ? folder.filePath(name + QStringLiteral(".sqlite"))
                                         : postgres.createDatabase(name);
            results.append(oneRun(program, location, folder.filePath(name + QStringLiteral(".log")), devices, seconds));
            exact = exact && results.last().exact;
        }
        printFigures(engine, devices, results, exact);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("program"), QStringLiteral("The service to measure."), QStringLiteral("path"),
                      QCoreApplication::applicationDirPath() + QStringLiteral("/ktrv8-cloud")});
    parser.addOption(
        {QStringLiteral("seconds"), QStringLiteral("Length of one run."), QStringLiteral("s"), QStringLiteral("2")});
    parser.addOption(
        {QStringLiteral("runs"), QStringLiteral("Runs per figure."), QStringLiteral("n"), QStringLiteral("5")});
    parser.addOption({QStringLiteral("devices"), QStringLiteral("Devices at once (repeatable; default 1, 10, 100)."),
                      QStringLiteral("n")});
    parser.addOption({QStringLiteral("engine"), QStringLiteral("sqlite or postgresql (repeatable; default both)."),
                      QStringLiteral("name")});
    parser.process(app);
    QStringList engines = parser.values(QStringLiteral("engine"));
    if (engines.isEmpty())
        engines = QStringList{QStringLiteral("sqlite"), QStringLiteral("postgresql")};
    const int seconds = qBound(1, parser.value(QStringLiteral("seconds")).toInt(), 60);
    const int runs = qBound(1, parser.value(QStringLiteral("runs")).toInt(), 15);
    QList<int> counts;
    for (const QString& count : parser.values(QStringLiteral("devices")))
        counts.append(qBound(1, count.toInt(), 120)); // the service takes 128 connections from one address
    if (counts.isEmpty())
        counts = {1, 10, 100};
    QTemporaryDir folder;
    folder.setAutoRemove(!qEnvironmentVariableIsSet("KT_BENCH_KEEP")); // the services' logs, for a look
    for (const QString& engine : engines)
        measureEngine(parser.value(QStringLiteral("program")), engine, counts, seconds, runs, folder);
    return 0;
}
