#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TempDirectory.h"
#include "camera/CameraSource.h"
#include "camera/PortCamera.h"
#include "platform/device/MemoryDevice.h"
#include "sensor/LogPolarFrame.h"
#include "sidecar/RecordingMetadata.h"

namespace {

class ReplayTest : public ::testing::Test {
  protected:
    void TearDown() override { SetDeviceResolver(nullptr); }

    void WriteRecording(const std::vector<FrameBytes>& frames, std::size_t extraBytes = 0) {
        std::ofstream out(Path(), std::ios::binary);
        for (const FrameBytes& frame : frames) {
            out.write(reinterpret_cast<const char*>(frame.data()), std::streamsize(frame.size()));
        }
        out << std::string(extraBytes, 'x');
    }
    // Frame times in milliseconds.
    void WriteSidecar(const std::vector<std::int64_t>& times, const std::string& sensor) {
        RecordingMetadata metadata;
        metadata.sensor = sensor;
        for (std::size_t k = 0; k < times.size(); ++k) {
            metadata.frames.push_back({k, times[k] * 1000, false, false});
        }
        std::ofstream(SidecarPathFor(Path())) << SidecarText(metadata);
    }
    std::string Path() const { return m_dir.File("run.raw"); }
    // Reads frames through a camera link until the source ends; their first bytes.
    std::vector<int> ReadAllFrames(const std::string& source) {
        std::string error;
        EXPECT_TRUE(SelectCameraSource(source, &error)) << error;
        CPortCamera camera;
        EXPECT_TRUE(camera.Open(1));
        std::vector<int> firsts;
        std::vector<std::uint8_t> frame(kFrameBytes);
        while (firsts.size() < 10 && camera.ReadFrame(frame.data())) {
            firsts.push_back(frame[0]);
        }
        return firsts;
    }

    CTempDirectory m_dir;
};

// Catches a recording cut off mid-frame being refused, or its torn last frame replayed.
TEST_F(ReplayTest, CutOffRecordingReplaysItsWholeFrames) {
    WriteRecording({UniformFrame(1), UniformFrame(2), UniformFrame(3)}, 5000);
    EXPECT_EQ(ReadAllFrames("replay:" + Path() + ",loop=0,fps=0"), (std::vector<int>{1, 2, 3}));
}

// Catches the recorded frame times being ignored without fps=N, or used despite it.
TEST_F(ReplayTest, SidecarTimesPaceTheReplayUnlessFpsIsGiven) {
    WriteRecording({UniformFrame(1), UniformFrame(2), UniformFrame(3)});
    WriteSidecar({0, 300, 600}, "mono");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadAllFrames("replay:" + Path() + ",loop=0").size(), 3u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(590));
    // Recorded two minutes apart: only a replay paced by them takes anywhere near as long.
    WriteSidecar({0, 60000, 120000}, "mono");
    const auto unpaced = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadAllFrames("replay:" + Path() + ",loop=0,fps=0").size(), 3u);
    EXPECT_LT(std::chrono::steady_clock::now() - unpaced, std::chrono::seconds(30));
}

// Catches a sidecar that cannot be read being replaced by defaults without the operator
// saying so (the recorded times and settings lost), a dangling link taken for no sidecar,
// and ignore-sidecar not getting the frames played.
TEST_F(ReplayTest, UnreadableSidecarIsRefusedUnlessIgnored) {
    WriteRecording({UniformFrame(4), UniformFrame(5)});
    std::ofstream(SidecarPathFor(Path())) << "{\"frames\": [{\"time_ms\": \"soon\"}";
    std::string error;
    EXPECT_FALSE(SelectCameraSource("replay:" + Path(), &error));
    EXPECT_NE(error.find("run.raw.json"), std::string::npos) << error;
    EXPECT_NE(error.find("ignore-sidecar"), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_EQ(ReadAllFrames("replay:" + Path() + ",loop=0,ignore-sidecar"),
              (std::vector<int>{4, 5}));

    std::filesystem::remove(SidecarPathFor(Path()));
    std::filesystem::create_symlink(m_dir.File("gone.json"), SidecarPathFor(Path()));
    EXPECT_FALSE(SelectCameraSource("replay:" + Path(), &error));
    EXPECT_NE(error.find("run.raw.json"), std::string::npos) << error;
}

// Catches the sidecar's sensor and settings not reaching those who offer start values.
TEST_F(ReplayTest, SidecarTellsTheRecordedSensor) {
    WriteRecording({UniformFrame(4)});
    WriteSidecar({0}, "color");
    CameraSourceChoice choice;
    std::string error;
    ASSERT_TRUE(ParseCameraSource("replay:" + Path() + ",fps=5", &choice, &error));
    RecordingMetadata metadata;
    ASSERT_TRUE(ReplayMetadataOf(choice, &metadata, &error)) << error;
    EXPECT_TRUE(metadata.IsColor());
}

}  // namespace
