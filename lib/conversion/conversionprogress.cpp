#include "conversionprogress.h"

namespace ktconv {

namespace {
// The clock is read once in this many steps of one stage: a step per path stays cheap.
constexpr unsigned ClockEvery = 256;
} // namespace

QString stageName(ConversionStage stage)
{
    switch (stage) {
    case ConversionStage::Reading: return QStringLiteral("reading");
    case ConversionStage::Ordering: return QStringLiteral("ordering");
    case ConversionStage::Writing: return QStringLiteral("writing");
    }
    return QString();
}

ConversionProgress::ConversionProgress(Report reportTo, int quiet, int interval)
    : report(std::move(reportTo)), quietMs(quiet), intervalMs(interval)
{
    clock.start();
}

void ConversionProgress::step(ConversionStage stage, qint64 done, qint64 total)
{
    if (!report)
        return;
    const bool sameStage = shown && stage == shownStage;
    if (sameStage && ++steps % ClockEvery != 0 && done != total)
        return;
    const qint64 now = clock.elapsed();
    if (now < quietMs)
        return;
    const int percent = total > 0 ? int(qBound<qint64>(0, done, total) * 100 / total) : 100;
    // The end of a stage is said whatever the interval: one more report at most.
    if (sameStage && (percent == shownPercent || (now - lastMs < intervalMs && done < total)))
        return;
    shown = true;
    shownStage = stage;
    shownPercent = percent;
    lastMs = now;
    report(stage, percent);
}

} // namespace ktconv
