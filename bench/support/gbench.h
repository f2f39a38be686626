#ifndef GBENCH_H
#define GBENCH_H

#include <benchmark/benchmark.h>

#include <map>
#include <string>

namespace ktbench {

// Every timed case alike: real time in milliseconds, three repetitions, their aggregates only.
inline void inMilliseconds(benchmark::internal::Benchmark* b)
{
    b->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3)->ReportAggregatesOnly(true)->MinTime(0.3);
}

// Prints what Google Benchmark prints and keeps the median real time per iteration of
// every benchmark (in its own time unit), so ratios can be taken within the same run.
class KeepingReporter : public benchmark::ConsoleReporter
{
public:
    // Plain text: the result rows printed afterwards must start their own lines.
    KeepingReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[run.run_name.str()] = run.GetAdjustedRealTime();
            else if (run.run_type == Run::RT_Iteration && !medians.count(run.run_name.str()))
                medians[run.run_name.str()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // The benchmark whose name starts with prefix (its options follow in the full name).
    double median(const std::string& prefix) const
    {
        for (const auto& entry : medians) {
            if (entry.first.compare(0, prefix.size(), prefix) == 0)
                return entry.second;
        }
        return 0;
    }

private:
    std::map<std::string, double> medians;
};

} // namespace ktbench

#endif // GBENCH_H
