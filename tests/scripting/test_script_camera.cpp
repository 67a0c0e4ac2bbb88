// The script camera's threads: frames taken while the session reads, settings changed and a
// recording started and ended from other threads, two cameras at once (run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "recording/Recorder.h"
#include "scripting/ScriptCamera.h"
#include "sensor/LogPolarFrame.h"

namespace {

using namespace std::chrono_literals;

std::unique_ptr<CScriptCamera> OpenSim() {
    ProcessorSettings settings;
    settings.calibration.clear();
    std::string error;
    auto camera = CScriptCamera::Open("sim,fps=0", settings, &error);
    EXPECT_TRUE(camera) << error;
    return camera;
}

ScriptFrame Next(CScriptCamera& camera) {
    std::vector<std::uint8_t> frame(kFrameBytes);
    ScriptFrame info;
    EXPECT_EQ(camera.NextFrame(std::chrono::steady_clock::now() + 5s, frame.data(), &info),
              CScriptCamera::Wait::kFrame);
    return info;
}

TEST(ScriptCamera, SettingsChangedOnAnotherThreadShowFromTheNextFrame) {
    auto camera = OpenSim();
    const ScriptFrame first = Next(*camera);
    std::thread([&] { camera->SetOffset(42); }).join();
    const ScriptFrame next = Next(*camera);
    EXPECT_GT(next.acquired.index, first.acquired.index);
    EXPECT_EQ(next.offset, 42);
    EXPECT_TRUE(camera->Close());
    std::vector<std::uint8_t> frame(kFrameBytes);
    ScriptFrame info;
    EXPECT_EQ(camera->NextFrame(std::chrono::steady_clock::now() + 5s, frame.data(), &info),
              CScriptCamera::Wait::kEnded);
}

TEST(ScriptCamera, RecordsWhileFramesAreTakenOnTwoCameras) {
    const auto folder = std::filesystem::temp_directory_path() / "pandry-script-camera";
    std::filesystem::create_directories(folder);
    auto record = [&](const std::string& name) {
        auto camera = OpenSim();
        RecordingPlan plan;
        plan.frames = 5;
        plan.average = 2;
        ASSERT_TRUE(camera->StartRecording((folder / name).string(), plan));
        while (!camera->WaitRecordingDone(std::chrono::steady_clock::now() + 1ms)) {
            Next(*camera);
        }
        EXPECT_EQ(camera->RecordingStored(), 5u);
        EXPECT_TRUE(camera->FinishRecording());
        EXPECT_EQ(std::filesystem::file_size(folder / name), 5 * kFrameBytes);
    };
    std::thread left(record, "left.raw");
    std::thread right(record, "right.raw");
    left.join();
    right.join();
    std::filesystem::remove_all(folder);
}

TEST(ScriptCamera, ClosingEndsAWaitOnAnotherThread) {
    ProcessorSettings settings;
    settings.calibration.clear();
    std::string error;
    auto camera = CScriptCamera::Open("sim,stall-after=0", settings, &error);
    ASSERT_TRUE(camera) << error;
    std::thread waiter([&] {
        std::vector<std::uint8_t> frame(kFrameBytes);
        ScriptFrame info;
        EXPECT_EQ(
            camera->NextFrame(std::chrono::steady_clock::time_point::max(), frame.data(), &info),
            CScriptCamera::Wait::kEnded);
    });
    EXPECT_TRUE(camera->Close());
    waiter.join();
}

}  // namespace
