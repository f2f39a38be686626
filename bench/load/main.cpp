// ktbench-load: setPlt on 1, 10 and 100 MB job texts against QString::split of the same
// text at "PG;", and the memory the device keeps after the call.
#include "benchsupport.h"
#include "gbench.h"
#include "ktrv8_p.h"

#include "ktrv8.h"

#include <QCoreApplication>

#include <map>

using namespace ktbench;

namespace {

constexpr int PageBytes = 4096;
constexpr int Megabyte = 1000 * 1000;

const QString& jobOf(int megabytes)
{
    static std::map<int, QString> jobs;
    QString& job = jobs[megabytes];
    if (job.isEmpty())
        job = makeJob(int(qint64(megabytes) * Megabyte / PageBytes), PageBytes);
    return job;
}

KTRV8& device()
{
    static KTRV8 factory;
    static KTRV8* instance = newDevice(factory);
    return *instance;
}

void BM_SetPlt(benchmark::State& state)
{
    const QString& job = jobOf(int(state.range(0)));
    for (auto _ : state) {
        device().setPlt(job);
        benchmark::ClobberMemory();
    }
    // After the timed loop: not counted.
    const bool whole = KTRV8Private::pages(device()).size() == job.size() / PageBytes;
    device().setPlt(QString());
    if (!whole)
        state.SkipWithError("the job was not cut into its pages");
}

void BM_Split(benchmark::State& state)
{
    const QString& job = jobOf(int(state.range(0)));
    for (auto _ : state) {
        QStringList parts = job.split(QStringLiteral("PG;"));
        benchmark::DoNotOptimize(parts);
    }
}

BENCHMARK(BM_SetPlt)->Arg(1)->Arg(10)->Arg(100)->Apply(ktbench::inMilliseconds);
BENCHMARK(BM_Split)->Arg(1)->Arg(10)->Arg(100)->Apply(ktbench::inMilliseconds);

// Bytes the device holds after setPlt beyond what it held before (the caller keeps the text).
qint64 heldAfterSetPlt(const QString& job)
{
    device().setPlt(QString());
    const qint64 before = mallocInUse();
    device().setPlt(job);
    const qint64 held = mallocInUse() - before;
    device().setPlt(QString());
    return held;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    silenceDebugOutput();
    benchmark::Initialize(&argc, argv);
    KeepingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    for (int megabytes : {1, 10, 100}) {
        const std::string arg = "/" + std::to_string(megabytes) + "/";
        const double setPlt = reporter.median("BM_SetPlt" + arg);
        const double split = reporter.median("BM_Split" + arg);
        if (setPlt <= 0 || split <= 0)
            return 1;
        const double ratio = setPlt / split;
        printRow(QStringLiteral("4 job loading"), QStringLiteral("setPlt / QString::split, %1 MB").arg(megabytes),
                 QStringLiteral("%1 (%2 ms / %3 ms)").arg(fmt(ratio)).arg(fmt(setPlt, 1)).arg(fmt(split, 1)),
                 QStringLiteral("<= 1.5"), verdict(ratio <= 1.5));
    }
    for (int megabytes : {1, 10, 100}) {
        const QString& job = jobOf(megabytes);
        const qint64 own = qint64(job.size()) * qint64(sizeof(QChar));
        const qint64 held = heldAfterSetPlt(job);
        const double ratio = double(held) / double(own);
        printRow(QStringLiteral("4 job loading"),
                 QStringLiteral("memory held after setPlt / job in memory, %1 MB").arg(megabytes),
                 QStringLiteral("%1 (%2 MiB / %3 MiB)")
                     .arg(fmt(ratio))
                     .arg(fmt(held / 1048576.0, 1))
                     .arg(fmt(own / 1048576.0, 1)),
                 QStringLiteral("<= 1.2"), verdict(ratio <= 1.2));
    }
    return 0;
}
