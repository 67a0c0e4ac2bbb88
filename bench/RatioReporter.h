#pragma once

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Collects the median (or the only) CPU and wall time of every benchmark while printing
// as usual. Ratios are taken from CPU time: on a shared machine the wall clock also
// counts the time other programs held the processor.
class CRatioReporter : public benchmark::ConsoleReporter {
  public:
    // Colours only on a terminal, as the library's own reporter does.
    CRatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_None) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (median || single) {
                m_times[run.run_name.str()] = {run.GetAdjustedCPUTime(), run.GetAdjustedRealTime()};
            }
        }
    }

    void PrintRatio(const std::string& ours, const std::string& theirs) const {
        const auto a = m_times.find(ours);
        const auto b = m_times.find(theirs);
        if (a == m_times.end() || b == m_times.end() || a->second.cpu <= 0 || a->second.wall <= 0) {
            return;
        }
        std::printf(
            "ratio: %s %.2fx faster than %s by CPU time (%.1f us against %.1f us); "
            "by wall time %.2fx\n",
            ours.c_str(), b->second.cpu / a->second.cpu, theirs.c_str(), a->second.cpu,
            b->second.cpu, b->second.wall / a->second.wall);
    }

  private:
    struct Times {
        double cpu = 0;
        double wall = 0;
    };
    std::map<std::string, Times> m_times;
};

// The benchmark program's main: runs the benchmarks named on the command line, then
// `compare` with the collected times (only where OpenCV is present to compare against).
inline int RunBenchmarks(int argc, char** argv,
                         const std::function<void(const CRatioReporter&)>& compare) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
#ifdef PANDRY_HAVE_OPENCV
    compare(reporter);
#else
    (void)compare;
    std::printf("OpenCV not found: no comparison\n");
#endif
    benchmark::Shutdown();
    return 0;
}
