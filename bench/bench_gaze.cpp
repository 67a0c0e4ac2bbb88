// Sampling one 1280 x 720 source picture (a video frame, decoded already) through the
// sensor's geometry at a gaze, each canvas pixel the mean of the picture pixels under it: it
// must stay at or under half a millisecond of CPU, mono and colour, so that a 30 fps video
// leaves the viewer most of its frame time.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "camera/GazeScene.h"
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

// The scene's fill and the geometry's cell means: what each frame costs at a still gaze.
void BM_GazeSample(benchmark::State& state) {
    const bool color = state.range(0) != 0;
    const std::vector<std::uint8_t> picture = TestPicture();
    auto gaze = std::make_shared<CSourceGaze>(Gaze{0.4, 0.6, 1.0});
    CGazeScene scene(gaze, {.color = color});
    std::vector<std::uint8_t> frame(kFrameBytes);
    const CSensorGeometry& geometry = CSensorGeometry::Instance();
    for (auto _ : state) {
        scene.SetPicture(SourcePicture::Bgr(picture.data(), kWidth, kHeight, std::size_t(kWidth) * 3));
        geometry.Sample(scene.Render(0), color, frame.data());
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_GazeSample)->Arg(0)->Arg(1)->ArgNames({"color"})->Unit(benchmark::kMicrosecond);

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
        scene.SetPicture(SourcePicture::Bgr(picture.data(), kWidth, kHeight, std::size_t(kWidth) * 3));
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
        pScene->SetPicture(SourcePicture::Bgr(picture.data(), kWidth, kHeight, std::size_t(kWidth) * 3));
        camera.NextFrame(frame.data());
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_GazeCameraFrame)->Arg(0)->Arg(1)->ArgNames({"color"})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
