// Getting data out: export per frame (processing + encoding) and the cost recording adds
// to the viewer's per-frame path.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "export/FrameRenderer.h"
#include "export/PictureWriter.h"
#include "export/Y4mEncoder.h"
#include "processing/ProcessorFactory.h"
#include "processing/StreamCopy.h"
#include "recording/Recorder.h"
#include "sensor/LogPolarFrame.h"

namespace {

std::vector<std::uint8_t> PatternFrame() {
    std::vector<std::uint8_t> frame(kFrameBytes);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        frame[i] = std::uint8_t(i * 7 + 3);
    }
    return frame;
}

RenderSettings Mono256() {
    RenderSettings settings;
    settings.calibration.clear();
    return settings;
}

// What Python's Processor.process runs per frame: the viewer's path plus the turn to
// top-row-first RGB.
void BM_RenderFrame(benchmark::State& state) {
    RenderSettings settings = Mono256();
    settings.color = state.range(0) != 0;
    CFrameRenderer renderer(settings);
    Picture picture;
    const auto frame = PatternFrame();
    for (auto _ : state) {
        renderer.Render(frame.data(), &picture);
        benchmark::DoNotOptimize(picture.rgb.data());
    }
}
BENCHMARK(BM_RenderFrame)->Arg(0)->Arg(1)->ArgNames({"color"})->Unit(benchmark::kMicrosecond);

// The same into one buffer used again, at either size: what each frame of a Python batch
// into out= costs without Python.
void BM_RenderInto(benchmark::State& state) {
    RenderSettings settings = Mono256();
    settings.color = state.range(0) != 0;
    settings.size = int(state.range(1));
    CFrameRenderer renderer(settings);
    std::vector<std::uint8_t> rgb(std::size_t(settings.size) * settings.size * 3);
    const auto frame = PatternFrame();
    for (auto _ : state) {
        renderer.RenderInto(frame.data(), rgb.data());
        benchmark::DoNotOptimize(rgb.data());
    }
}
BENCHMARK(BM_RenderInto)
    ->ArgNames({"color", "size"})
    ->ArgsProduct({{0, 1}, {256, 512}})
    ->Unit(benchmark::kMicrosecond);

// A batch of 64 frames into one large array used again, streamed past the caches as
// Python's batches are (a picture the renderer does not stream itself made in a scratch,
// then copied past them); the time is per frame, to set beside BM_RenderInto.
void BM_RenderBatch(benchmark::State& state) {
    constexpr int kBatch = 64;
    RenderSettings settings = Mono256();
    settings.color = state.range(0) != 0;
    settings.size = int(state.range(1));
    CFrameRenderer renderer(settings);
    const std::size_t pictureBytes = std::size_t(settings.size) * settings.size * 3;
    std::vector<std::uint8_t> rgb(pictureBytes * kBatch);
    std::vector<std::uint8_t> frames(kFrameBytes * kBatch);
    const auto frame = PatternFrame();
    for (int i = 0; i < kBatch; ++i) {  // each frame its own, as a clip's are
        std::rotate_copy(frame.begin(), frame.begin() + i, frame.end(),
                         frames.begin() + std::ptrdiff_t(i * kFrameBytes));
    }
    const bool direct = renderer.StreamsPictures();
    std::vector<std::uint8_t> scratch(pictureBytes);
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            std::uint8_t* pPicture = rgb.data() + i * pictureBytes;
            renderer.RenderInto(frames.data() + i * kFrameBytes, direct ? pPicture : scratch.data(),
                                true);
            if (!direct) {
                StreamCopy(pPicture, scratch.data(), pictureBytes);
            }
        }
        benchmark::DoNotOptimize(rgb.data());
    }
    state.counters["per_frame"] = benchmark::Counter(
        kBatch, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RenderBatch)
    ->ArgNames({"color", "size"})
    ->ArgsProduct({{0, 1}, {512}})
    ->Unit(benchmark::kMicrosecond);

// One frame of a Y4M export: process and lay out the planes (the stream write is a copy).
void BM_ExportY4m(benchmark::State& state) {
    RenderSettings settings = Mono256();
    settings.color = state.range(0) != 0;
    CFrameRenderer renderer(settings);
    CY4mEncoder encoder;
    Picture picture;
    const auto frame = PatternFrame();
    for (auto _ : state) {
        renderer.Render(frame.data(), &picture);
        benchmark::DoNotOptimize(encoder.Frame(picture).data());
    }
}
BENCHMARK(BM_ExportY4m)->Arg(0)->Arg(1)->ArgNames({"color"})->Unit(benchmark::kMicrosecond);

// One frame of a PNG sequence: process, encode and write the file aside (flushed and
// renamed once per sequence, so not here).
void BM_ExportPng(benchmark::State& state) {
    RenderSettings settings = Mono256();
    settings.color = state.range(0) != 0;
    CFrameRenderer renderer(settings);
    auto writer = MakePngWriter();
    const std::string path =
        (std::filesystem::temp_directory_path() / "pandry-bench-export.png").string();
    Picture picture;
    const auto frame = PatternFrame();
    for (auto _ : state) {
        COutputBatch batch;  // dropped uncommitted: the file is written, then removed
        writer->WriteInto(&batch);
        renderer.Render(frame.data(), &picture);
        benchmark::DoNotOptimize(writer->Write(picture, PictureText{}, path));
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_ExportPng)->Arg(0)->Arg(1)->ArgNames({"color"})->Unit(benchmark::kMicrosecond);

// The viewer's per-frame work (acquire, remap, convert) with and without a recording
// taking every frame: the difference is what recording costs the acquisition thread.
void BM_ViewerFrame(benchmark::State& state) {
    const bool recording = state.range(0) != 0;
    const int size = int(state.range(1));
    RenderSettings settings = Mono256();
    settings.size = size;
    std::unique_ptr<CFrameProcessor> pProcessor = MakeConfiguredProcessor(settings);
    CFrameProcessor& processor = *pProcessor;
    std::vector<std::uint8_t> rgb(std::size_t(size) * size * 3);
    const auto frame = PatternFrame();
    CRecorder recorder;
    const std::string path =
        (std::filesystem::temp_directory_path() / "pandry-bench-record.raw").string();
    if (const FileResult started =
            recording ? recorder.Start(path, RecordingMetadata{}) : FileResult{};
        !started) {
        state.SkipWithError(started.Error().c_str());
        return;
    }
    for (auto _ : state) {
        processor.TakeFrame(frame.data());
        recorder.Push(processor.RawFrame());
        processor.Remap();
        processor.RemappedToRgb(rgb.data());
    }
    if (recording) {
        state.counters["dropped"] = double(recorder.FramesDropped());
        [[maybe_unused]] const FileResult stopped = recorder.Stop();
        std::filesystem::remove(path);
        std::filesystem::remove(path + ".json");
    }
}
// The 512 case is what python-vs-opencv.py sets Processor.process beside.
BENCHMARK(BM_ViewerFrame)
    ->Args({0, 256})
    ->Args({1, 256})
    ->Args({0, 512})
    ->ArgNames({"recording", "size"})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
