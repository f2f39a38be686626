// ktbench-decode: frames per second through a complete RV8 device's reply decoding, fed
// the way the USB transport feeds it (slot_usb_read), for a realistic mix of replies.
#include "benchsupport.h"
#include "gbench.h"
#include "ktrv8_p.h"

#include "ktrv8.h"

#include <QCoreApplication>

using namespace ktbench;

namespace {

// One cycle of the mix: what a cutter sends while a job runs and the host reads settings.
// Each entry is one complete frame's payload, except the junk line.
struct MixEntry
{
    const char* payload;
    bool frame; // false: raw bytes with no complete frame (noise, a truncated frame)
};

// clang-format off
const MixEntry mix[] = {
    // payload                                   frame
    {"CCMD;4,0;",                                true},   // readiness: next page goes out
    {"CCMD;7,0,0,150;",                          true},   // SPEED (checked parameter)
    {"CCMD;66,1,job.plt,1,0,%1,0,0,0;",         true},   // task report, progress varies
    {"CCMD;1002,0,30;",                          true},   // MARGIN
    {"\r\nnoise\x02" "20;CCMD;7,0",              false},  // noise and a truncated frame
    {"CCMD;4,0;",                                true},
    {"CCMD;49,0,V1.2;",                          true},   // PCB_VERSION, late in the search
    {"CCMD;61,0,100.5;",                         true},   // SCALE_X
    {"XYZ;1;",                                   true},   // unknown kind
    {"CCMD;18,0,1.5,-20;",                       true},   // CAMERA_OFFSET compound
    {"CCMD;64,0,1;",                             true},   // WORK_MODE
    {"CCMD;27,0,0;",                             true},   // pause confirmed
};
// clang-format on

QByteArray frameOf(const QByteArray& payload)
{
    const int base = payload.size() + 3;
    int digits = QByteArray::number(base).size();
    while (QByteArray::number(base + digits).size() != digits)
        digits = QByteArray::number(base + digits).size();
    return '\x02' + QByteArray::number(base + digits) + ';' + payload + '\x03';
}

struct Feed
{
    QByteArray bytes;
    QList<QByteArray> chunks; // the same bytes in 4 KiB reads
    int frames = 0;
    int readiness = 0;
};

const Feed& feedOf(int frames)
{
    static std::map<int, Feed> feeds;
    Feed& feed = feeds[frames];
    if (feed.frames)
        return feed;
    for (int i = 0; feed.frames < frames; ++i) {
        const MixEntry& entry = mix[i % std::size(mix)];
        QByteArray payload(entry.payload);
        payload.replace("%1", QByteArray::number(i % 1000 / 10.0));
        if (!entry.frame) {
            feed.bytes += payload;
            continue;
        }
        feed.bytes += frameOf(payload);
        ++feed.frames;
        if (payload == "CCMD;4,0;")
            ++feed.readiness;
    }
    for (int at = 0; at < feed.bytes.size(); at += 4096)
        feed.chunks.append(feed.bytes.mid(at, 4096));
    return feed;
}

KTRV8& device()
{
    static KTRV8 factory;
    static KTRV8* instance = newDevice(factory);
    return *instance;
}

// A job with a page for every readiness reply, so each of them sends a page.
void loadJob(int pages)
{
    static std::map<int, QString> jobs;
    QString& job = jobs[pages];
    if (job.isEmpty())
        job = makeJob(pages, 64);
    device().setPlt(job);
    // Readiness replies advance only a job that was started.
    device().startTask();
}

void decode(benchmark::State& state, bool chunked)
{
    const Feed& feed = feedOf(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        loadJob(feed.readiness + 1);
        state.ResumeTiming();
        if (chunked) {
            for (const QByteArray& chunk : feed.chunks)
                device().slot_usb_read(chunk);
        } else {
            device().slot_usb_read(feed.bytes);
        }
    }
    if (KTRV8Private::pageIndex(device()) != feed.readiness)
        state.SkipWithError("not every readiness reply sent the next page");
    state.counters["frames/s"] =
        benchmark::Counter(double(feed.frames) * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_DecodeOneRead(benchmark::State& state)
{
    decode(state, false);
}
void BM_Decode4KiBReads(benchmark::State& state)
{
    decode(state, true);
}

BENCHMARK(BM_DecodeOneRead)->Arg(10000)->Arg(1000000)->Apply(ktbench::inMilliseconds);
BENCHMARK(BM_Decode4KiBReads)->Arg(10000)->Arg(1000000)->Apply(ktbench::inMilliseconds);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    silenceDebugOutput();
    benchmark::Initialize(&argc, argv);
    KeepingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const double small = reporter.median("BM_DecodeOneRead/10000/") / 10000;
    const double large = reporter.median("BM_DecodeOneRead/1000000/") / 1000000;
    const double chunked = reporter.median("BM_Decode4KiBReads/1000000/") / 1000000;
    if (small <= 0 || large <= 0 || chunked <= 0)
        return 1;
    // Times are in ms per iteration: per frame in ms.
    const double oneReadRate = 1e3 / large;
    const double chunkedRate = 1e3 / chunked;
    printRow(QStringLiteral("3 reply decoding"), QStringLiteral("mix, 1 000 000 frames in one read"),
             QStringLiteral("%1 frames/s (%2 us/frame)").arg(fmt(oneReadRate, 0)).arg(fmt(large * 1e3, 3)),
             QStringLiteral("about 1 000 000 frames/s"), verdict(oneReadRate >= 0.9e6));
    printRow(QStringLiteral("3 reply decoding"), QStringLiteral("mix, 1 000 000 frames in 4 KiB reads"),
             QStringLiteral("%1 frames/s (%2 us/frame)").arg(fmt(chunkedRate, 0)).arg(fmt(chunked * 1e3, 3)),
             QStringLiteral("about 1 000 000 frames/s"), verdict(chunkedRate >= 0.9e6));
    printRow(QStringLiteral("3 reply decoding"),
             QStringLiteral("per-frame cost, 1 000 000 / 10 000 frames in one read"), fmt(large / small),
             QStringLiteral("<= 1.25"), verdict(large / small <= 1.25));
    return 0;
}
