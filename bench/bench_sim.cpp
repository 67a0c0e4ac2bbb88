// The simulated camera's frame production, unpaced: it must stay far below a frame time
// so that it never limits the viewer.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "camera/CameraSource.h"
#include "camera/PortCamera.h"
#include "sensor/LogPolarFrame.h"
#include "simulation/BuiltInScene.h"
#include "simulation/SensorGeometry.h"
#include "simulation/SimulatedCamera.h"

namespace {

void BM_SimulatedFrame(benchmark::State& state) {
    SimulationOptions options;
    options.color = state.range(0) != 0;
    CSimulatedCamera camera(std::make_unique<CBuiltInScene>(options.color), options);
    std::vector<std::uint8_t> frame(kFrameBytes);
    for (auto _ : state) {
        camera.NextFrame(frame.data());
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_SimulatedFrame)->Arg(0)->Arg(1)->ArgNames({"color"})->Unit(benchmark::kMicrosecond);

void BM_SceneRender(benchmark::State& state) {
    CBuiltInScene scene(state.range(0) != 0);
    std::uint64_t frame = 0;
    for (auto _ : state) {
        SceneCanvas canvas = scene.Render(frame++);
        benchmark::DoNotOptimize(canvas.plane[0]);
    }
}
BENCHMARK(BM_SceneRender)->Arg(0)->Arg(1)->ArgNames({"color"})->Unit(benchmark::kMicrosecond);

void BM_GeometrySample(benchmark::State& state) {
    std::vector<std::uint8_t> plane(kCanvasPixels, 90);
    SceneCanvas canvas{{plane.data(), plane.data(), plane.data()}};
    std::vector<std::uint8_t> frame(kFrameBytes);
    const CSensorGeometry& geometry = CSensorGeometry::Instance();
    for (auto _ : state) {
        geometry.Sample(canvas, false, frame.data());
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_GeometrySample)->Unit(benchmark::kMicrosecond);

// The whole road a viewer's frame takes to the processor: device layer and camera link.
void BM_CameraLinkReadFrame(benchmark::State& state) {
    std::string error;
    if (!SelectCameraSource("sim,fps=0", &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    CPortCamera camera;
    camera.Open(1);
    std::vector<std::uint8_t> frame(kFrameBytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(camera.ReadFrame(frame.data()));
    }
}
BENCHMARK(BM_CameraLinkReadFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
