#ifndef CONVERSIONPROGRESS_H
#define CONVERSIONPROGRESS_H

#include <QElapsedTimer>
#include <QString>

#include <atomic>
#include <functional>

namespace ktconv {

// What a conversion is busy with.
enum class ConversionStage {
    Reading,
    Ordering,
    Writing,
};

// "reading", "ordering", "writing": the names the terminal and the JSON events use.
QString stageName(ConversionStage stage);

// Tells whoever shows a conversion how far it got, without flooding them: nothing during
// the first `quietMs` (a quick conversion says nothing extra), then a report when the stage
// changes, when it ends, or when the percent moved and `intervalMs` passed since the last one. step() is cheap
// enough to call for every path. cancel() may come from any thread: the conversion stops at
// its next step and fails.
class ConversionProgress
{
public:
    using Report = std::function<void(ConversionStage stage, int percent)>;

    static constexpr int QuietMs = 1000;
    static constexpr int IntervalMs = 100;

    explicit ConversionProgress(Report report, int quietMs = QuietMs, int intervalMs = IntervalMs);
    ConversionProgress(const ConversionProgress&) = delete;
    ConversionProgress& operator=(const ConversionProgress&) = delete;

    // `done` of `total` items of the stage are through.
    void step(ConversionStage stage, qint64 done, qint64 total);
    void cancel() { cancelled.store(true); }
    bool isCancelled() const { return cancelled.load(std::memory_order_relaxed); }
    // Whether anything was reported: a conversion that said nothing finished quickly.
    bool reported() const { return shown; }

private:
    Report report;
    QElapsedTimer clock;
    qint64 quietMs;
    qint64 intervalMs;
    qint64 lastMs = 0;
    ConversionStage shownStage = ConversionStage::Reading;
    int shownPercent = -1;
    bool shown = false;
    unsigned steps = 0;
    std::atomic<bool> cancelled{false};
};

// Steps through a stage of `total` items for a progress that may be absent.
inline void stepProgress(ConversionProgress* progress, ConversionStage stage, qint64 done, qint64 total)
{
    if (progress)
        progress->step(stage, done, total);
}

inline bool progressCancelled(const ConversionProgress* progress)
{
    return progress && progress->isCancelled();
}

} // namespace ktconv

#endif // CONVERSIONPROGRESS_H
