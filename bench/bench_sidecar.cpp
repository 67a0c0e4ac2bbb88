// A long recording's sidecar: written at the end of a run, read by every export, replay and
// Python open. 1,000,000 frames is the most `pandry-cli record --frames` takes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "sensor/LogPolarFrame.h"
#include "sidecar/RecordingMetadata.h"

namespace {

RecordingMetadata LongRecording(std::uint64_t frames) {
    RecordingMetadata metadata;
    metadata.source = "sim";
    metadata.startTime = "2026-12-08T11:44:10.123456Z";
    metadata.end = "complete";
    for (std::uint64_t i = 0; i < frames; ++i) {
        metadata.frames.push_back({i, std::int64_t(i) * 40000, false, i % 100 == 0});
    }
    return metadata;
}

void BM_WriteSidecar(benchmark::State& state) {
    const RecordingMetadata metadata = LongRecording(std::uint64_t(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(SidecarText(metadata).data());
    }
}
BENCHMARK(BM_WriteSidecar)->Arg(1000000)->ArgNames({"frames"})->Unit(benchmark::kMillisecond);

// From the file, as a reader meets it: a sparse recording of that many frames beside it.
void BM_ReadSidecar(benchmark::State& state) {
    const std::uint64_t frames = std::uint64_t(state.range(0));
    const std::string recording =
        (std::filesystem::temp_directory_path() / "pandry-bench-sidecar.raw").string();
    std::ofstream(SidecarPathFor(recording)) << SidecarText(LongRecording(frames));
    std::ofstream{recording};
    if (::truncate(recording.c_str(), off_t(frames * kFrameBytes)) != 0) {
        state.SkipWithError("cannot size the recording");
    }
    for (auto _ : state) {
        RecordingMetadata read;
        if (!ReadSidecarOf(recording, &read)) {
            state.SkipWithError("the sidecar was refused");
            break;
        }
        benchmark::DoNotOptimize(read.frames.data());
    }
    std::filesystem::remove(recording);
    std::filesystem::remove(SidecarPathFor(recording));
}
BENCHMARK(BM_ReadSidecar)->Arg(1000000)->ArgNames({"frames"})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
