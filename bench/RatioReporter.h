#pragma once

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Collects the median (or the only) real time of every benchmark while printing as usual.
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
                m_times[run.run_name.str()] = run.GetAdjustedRealTime();
            }
        }
    }

    void PrintRatio(const std::string& ours, const std::string& theirs) const {
        const auto a = m_times.find(ours);
        const auto b = m_times.find(theirs);
        if (a != m_times.end() && b != m_times.end() && a->second > 0) {
            std::printf("%s: %.1f us, %s: %.1f us, ratio %.2fx\n", ours.c_str(), a->second,
                        theirs.c_str(), b->second, b->second / a->second);
        }
    }

  private:
    std::map<std::string, double> m_times;
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
