// Sampling one 1280 x 720 source picture (a video frame, decoded already) through the
// sensor's geometry at a gaze, each canvas pixel the mean of the picture pixels under it: it
// must stay at or under half a millisecond of CPU, mono and colour, so that a 30 fps video
// leaves the viewer most of its frame time. And a whole video source, decoding included, on
// a 720p H.264 file (PANDRY_BENCH_CLIP, or one made here with ffmpeg): its pictures sampled as
// the decoder gives them against converted whole to BGR first, as they were before.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "camera/GazeScene.h"
#include "camera/GstSource.h"
#include "platform/device/ReadLimit.h"
#include "sensor/LogPolarFrame.h"
#include "simulation/SensorGeometry.h"
#include "simulation/SimulatedCamera.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

std::vector<std::uint8_t> TestPicture() {
    std::vector<std::uint8_t> bgr(std::size_t(kWidth) * kHeight * 3);
    for (std::size_t i = 0; i < bgr.size(); ++i) {
        bgr[i] = std::uint8_t((i * 2654435761u) >> 24);
    }
    return bgr;
}

// A 1280 x 720 picture in I420 (luma, then quarter-size blue and red difference planes) or
// NV12 (luma, then the two chroma interleaved), with the moderate colours of a video (random
// bytes as chroma would mostly be out of gamut, which no decoded video is).
struct YuvTestPicture {
    std::vector<std::uint8_t> bytes;
    SourcePicture picture;
};
YuvTestPicture MakeYuvPicture(bool interleaved) {
    YuvTestPicture test;
    const std::size_t lumaBytes = std::size_t(kWidth) * kHeight;
    const std::size_t quarter = lumaBytes / 4;
    test.bytes.resize(lumaBytes + 2 * quarter);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const unsigned noise = (unsigned(y * kWidth + x) * 2654435761u) >> 28;
            test.bytes[std::size_t(y) * kWidth + x] = std::uint8_t(40 + (x + 2 * y) % 160 + noise);
        }
    }
    std::uint8_t* chroma = test.bytes.data() + lumaBytes;
    for (int y = 0; y < kHeight / 2; ++y) {
        for (int x = 0; x < kWidth / 2; ++x) {
            const auto cb = std::uint8_t(96 + (x * 3 + y) % 64);
            const auto cr = std::uint8_t(160 - (x + y * 2) % 64);
            const std::size_t at = std::size_t(y) * (kWidth / 2) + x;
            if (interleaved) {
                chroma[2 * at] = cb;
                chroma[2 * at + 1] = cr;
            } else {
                chroma[at] = cb;
                chroma[quarter + at] = cr;
            }
        }
    }
    SourcePicture& picture = test.picture;
    picture.encoding = SourcePicture::Encoding::kYuv;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.channel[0] = {test.bytes.data(), std::size_t(kWidth), 1, 0, 0};
    if (interleaved) {
        picture.channel[1] = {chroma, std::size_t(kWidth), 2, 1, 1};
        picture.channel[2] = {chroma + 1, std::size_t(kWidth), 2, 1, 1};
        picture.across = ChromaSpread::kCosited;
        picture.down = ChromaSpread::kCentred;
    } else {
        picture.channel[1] = {chroma, std::size_t(kWidth / 2), 1, 1, 1};
        picture.channel[2] = {chroma + quarter, std::size_t(kWidth / 2), 1, 1, 1};
    }
    return test;
}

// The scene's fill and the geometry's cell means: what each frame costs at a still gaze.
void BM_GazeSample(benchmark::State& state) {
    const bool color = state.range(0) != 0;
    const std::vector<std::uint8_t> picture = TestPicture();
    auto gaze = std::make_shared<CSourceGaze>(Gaze{0.4, 0.6, 1.0});
    CGazeScene scene(gaze, {.color = color});
    std::vector<std::uint8_t> frame(kFrameBytes);
    const CSensorGeometry& geometry = CSensorGeometry::Instance();
    for (auto _ : state) {
        scene.SetPicture(
            SourcePicture::Bgr(picture.data(), kWidth, kHeight, std::size_t(kWidth) * 3));
        geometry.Sample(scene.Render(0), color, frame.data());
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_GazeSample)->Arg(0)->Arg(1)->ArgNames({"color"})->Unit(benchmark::kMicrosecond);

// The same from luma and chroma planes (I420, the H.264 decoder's; NV12, with its chroma
// interpolated): only the pixels read are converted.
void BM_GazeSampleYuv(benchmark::State& state) {
    const bool interleaved = state.range(0) != 0;
    const bool color = state.range(1) != 0;
    const YuvTestPicture test = MakeYuvPicture(interleaved);
    const SourcePicture& picture = test.picture;
    auto gaze = std::make_shared<CSourceGaze>(Gaze{0.4, 0.6, 1.0});
    CGazeScene scene(gaze, {.color = color});
    std::vector<std::uint8_t> frame(kFrameBytes);
    const CSensorGeometry& geometry = CSensorGeometry::Instance();
    for (auto _ : state) {
        scene.SetPicture(picture);
        geometry.Sample(scene.Render(0), color, frame.data());
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_GazeSampleYuv)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"nv12", "color"})
    ->Unit(benchmark::kMicrosecond);

// The same while the gaze moves every frame (a drag): the scene is aimed anew each time.
void BM_GazeSampleWhileMoving(benchmark::State& state) {
    const bool color = state.range(0) != 0;
    const std::vector<std::uint8_t> picture = TestPicture();
    auto gaze = std::make_shared<CSourceGaze>();
    CGazeScene scene(gaze, {.color = color});
    std::vector<std::uint8_t> frame(kFrameBytes);
    const CSensorGeometry& geometry = CSensorGeometry::Instance();
    double x = 0.3;
    for (auto _ : state) {
        x = x > 0.7 ? 0.3 : x + 0.001;
        gaze->Set({x, 0.5, 1.0});
        scene.SetPicture(
            SourcePicture::Bgr(picture.data(), kWidth, kHeight, std::size_t(kWidth) * 3));
        geometry.Sample(scene.Render(0), color, frame.data());
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_GazeSampleWhileMoving)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"color"})
    ->Unit(benchmark::kMicrosecond);

// A whole simulated frame from the picture: the sampling, dark pattern and noise.
void BM_GazeCameraFrame(benchmark::State& state) {
    SimulationOptions options;
    options.color = state.range(0) != 0;
    const std::vector<std::uint8_t> picture = TestPicture();
    auto scene = std::make_unique<CGazeScene>(std::make_shared<CSourceGaze>(),
                                              CGazeScene::Options{.color = options.color});
    CGazeScene* pScene = scene.get();
    CSimulatedCamera camera(std::move(scene), options);
    std::vector<std::uint8_t> frame(kFrameBytes);
    for (auto _ : state) {
        pScene->SetPicture(
            SourcePicture::Bgr(picture.data(), kWidth, kHeight, std::size_t(kWidth) * 3));
        camera.NextFrame(frame.data());
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_GazeCameraFrame)->Arg(0)->Arg(1)->ArgNames({"color"})->Unit(benchmark::kMicrosecond);

// The 720p H.264 file the source benchmark plays: PANDRY_BENCH_CLIP, or one made once with
// ffmpeg (the command bench/video-source.sh uses) and removed at exit; empty when there is none.
const std::string& Clip() {
    struct Made {
        std::string path;
        bool ours = false;
        ~Made() {
            if (ours) {
                std::filesystem::remove(path);
            }
        }
    };
    static const Made clip = [] {
        if (const char* given = std::getenv("PANDRY_BENCH_CLIP")) {
            return Made{given, false};
        }
        const std::string made = (std::filesystem::temp_directory_path() /
                                  ("pandry-bench-" + std::to_string(getpid()) + ".mkv"))
                                     .string();
        const std::string command =
            "ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=1280x720:rate=30 -t 30 "
            "-c:v libx264 -preset medium -crf 23 -pix_fmt yuv420p " +
            made;
        if (std::system(command.c_str()) != 0) {
            return Made{};
        }
        return Made{made, true};
    }();
    return clip.path;
}

// One whole frame of a video source, decoding, conversion and sampling, with the dark pattern
// and noise: the pictures as the decoder gives them (I420), or converted whole to BGR first.
// CPU time is the process's, every thread of the decoder counted.
void BM_VideoSource(benchmark::State& state) {
    const bool whole = state.range(0) != 0;
    const std::string& clip = Clip();
    if (clip.empty()) {
        state.SkipWithError("no clip: set PANDRY_BENCH_CLIP or install ffmpeg");
        return;
    }
    CGstSourceDevice::Options options;
    options.simulation.color = state.range(1) != 0;
    options.loop = true;
    const CGstPipeline::Settings settings =
        whole ? UserPipeline("filesrc location=" + clip +
                                 " ! decodebin ! videoconvert ! video/x-raw,format=BGR",
                             false)
              : VideoFilePipeline(clip, false);
    std::string error;
    std::unique_ptr<CGstSourceDevice> device =
        CGstSourceDevice::Open(settings, std::make_shared<CSourceGaze>(), options, &error);
    if (!device) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<std::uint8_t> frame(kFrameBytes);
    for (auto _ : state) {
        std::size_t delivered = 0;
        if (!device->Read(frame.data(), frame.size(), &delivered,
                          ReadLimit::Within(std::chrono::seconds(5))) ||
            delivered != frame.size()) {
            state.SkipWithError("the source stopped");
            break;
        }
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_VideoSource)
    ->ArgsProduct({{1, 0}, {0, 1}})
    ->ArgNames({"whole", "color"})
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
