#include <gtest/gtest.h>
#include <climits>
#include <fstream>

#include "TempDirectory.h"
#include "camera/PortCamera.h"
#include "platform/device/FileDevice.h"
#include "platform/device/MemoryDevice.h"
#include "sensor/LogPolarFrame.h"

namespace {

class PortCameraTest : public ::testing::Test {
  protected:
    void SetUp() override { m_pPrevious = SetDeviceResolver(m_pResolver); }
    void TearDown() override { SetDeviceResolver(m_pPrevious); }
    void AddDevice(int index, std::uint8_t fill, std::uint32_t probeCount = 2) {
        MemoryDeviceScript script;
        script.frames = {UniformFrame(fill)};
        script.faults.probeCount = probeCount;
        m_pResolver->SetDevice(index, script);
    }

    std::shared_ptr<CMemoryDeviceResolver> m_pResolver = std::make_shared<CMemoryDeviceResolver>();
    std::shared_ptr<IDeviceResolver> m_pPrevious;
    FrameBytes m_frame = FrameBytes(kFrameBytes, 0);
};

class PortToDevice : public ::testing::TestWithParam<std::pair<int, int>> {};

// Catches wrong port-to-device rules (unsigned comparison, off-by-one at 5 or 0).
TEST_P(PortToDevice, SelectsDeviceByPortValue) {
    EXPECT_EQ(CPortCamera::DeviceIndexForPort(GetParam().first), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(All, PortToDevice,
                         ::testing::Values(std::pair{1, 1}, std::pair{2, 2}, std::pair{3, 3},
                                           std::pair{4, 4}, std::pair{5, 5}, std::pair{0, 1},
                                           std::pair{-1, 1}, std::pair{6, 1}, std::pair{0x378, 1},
                                           std::pair{INT_MIN, 1}, std::pair{INT_MAX, 1}));

// Catches the port value not reaching the device name.
TEST_F(PortCameraTest, OpenUsesTheDeviceOfThePort) {
    AddDevice(4, 44);
    CPortCamera camera;
    EXPECT_EQ(camera.Open(4), 1);
    EXPECT_EQ(m_pResolver->OpenCount(4), 1);
    ASSERT_EQ(camera.ReadFrame(m_frame.data()), 1);
    EXPECT_EQ(m_frame, UniformFrame(44));
}

class ProbeCounts : public PortCameraTest,
                    public ::testing::WithParamInterface<std::pair<int, int>> {};

// Catches a probe rule other than "0 or 5 means no camera".
TEST_P(ProbeCounts, ProbeCountDecidesTheResult) {
    AddDevice(1, 0, std::uint32_t(GetParam().first));
    CPortCamera camera;
    EXPECT_EQ(camera.Open(0x378), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(All, ProbeCounts,
                         ::testing::Values(std::pair{0, 0}, std::pair{5, 0}, std::pair{1, 1},
                                           std::pair{2, 1}, std::pair{3, 1}, std::pair{4, 1},
                                           std::pair{6, 1}, std::pair{38304, 1}));

// Catches a link that retries a failed open, or reopens on a later port value.
TEST_F(PortCameraTest, FailedFirstOpenIsFinal) {
    CPortCamera camera;
    EXPECT_EQ(camera.Open(2), 0);
    AddDevice(1, 1);
    AddDevice(2, 2);
    EXPECT_EQ(camera.Open(2), 0);
    EXPECT_EQ(camera.Open(1), 0);
    EXPECT_EQ(m_pResolver->TotalOpenCount(), 1);
    EXPECT_EQ(camera.ReadFrame(m_frame.data()), 0);
}

// Catches a second Open switching devices instead of probing the one held.
TEST_F(PortCameraTest, LaterOpenKeepsTheFirstDevice) {
    AddDevice(1, 11);
    AddDevice(3, 33);
    CPortCamera camera;
    EXPECT_EQ(camera.Open(1), 1);
    EXPECT_EQ(camera.Open(3), 1);
    EXPECT_EQ(m_pResolver->OpenCount(3), 0);
    ASSERT_EQ(camera.ReadFrame(m_frame.data()), 1);
    EXPECT_EQ(m_frame, UniformFrame(11));
}

// Catches reads on a never-opened link touching a null handle.
TEST_F(PortCameraTest, NeverOpenedLinkFailsReadsAndClosesNothing) {
    CPortCamera camera;
    EXPECT_EQ(camera.ReadFrame(m_frame.data()), 0);
}

// Catches a short delivery passed on as a frame with stale bytes, and a link that is
// unusable after a failed read.
TEST_F(PortCameraTest, ShortReadsAreCompletedAndFailuresLeaveTheLinkUsable) {
    MemoryDeviceScript script;
    script.frames = {PatternFrame(5)};
    script.faults.chunkBytes = 5000;
    m_pResolver->SetDevice(1, script);
    CPortCamera camera;
    ASSERT_EQ(camera.Open(1), 1);
    ASSERT_EQ(camera.ReadFrame(m_frame.data()), 1);
    EXPECT_EQ(m_frame, PatternFrame(5));
    ASSERT_EQ(camera.ReadFrame(m_frame.data()), 1);
    EXPECT_EQ(m_frame, PatternFrame(5));
}

// The probe and once-only open through the file backend, a file standing in for the device.
class PortCameraFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_pPrevious = SetDeviceResolver(std::make_shared<CFileDeviceResolver>(m_dir.Path()));
    }
    void TearDown() override { SetDeviceResolver(m_pPrevious); }
    void WriteDevice(int index, std::size_t bytes, std::uint8_t fill) {
        std::ofstream out(m_dir.File("lptsimple" + std::to_string(index)), std::ios::binary);
        std::vector<char> data(bytes, char(fill));
        out.write(data.data(), std::streamsize(data.size()));
    }

    CTempDirectory m_dir;
    std::shared_ptr<IDeviceResolver> m_pPrevious;
};

// Catches the probe's bytes being counted into the first frame, or a partial second frame
// being accepted.
TEST_F(PortCameraFileTest, ProbeThenWholeFramesFromAFile) {
    WriteDevice(2, 2 + kFrameBytes + 10, 6);
    CPortCamera camera;
    ASSERT_EQ(camera.Open(2), 1);
    FrameBytes frame(kFrameBytes, 0);
    EXPECT_EQ(camera.ReadFrame(frame.data()), 1);
    EXPECT_EQ(frame, UniformFrame(6));
    EXPECT_EQ(camera.ReadFrame(frame.data()), 0);
}

// Catches an empty device (probe answers 0 bytes) being taken for a camera.
TEST_F(PortCameraFileTest, EmptyDeviceIsNoCamera) {
    WriteDevice(1, 0, 0);
    CPortCamera camera;
    EXPECT_EQ(camera.Open(0x378), 0);
}

// Catches a missing device file being opened again once it appears.
TEST_F(PortCameraFileTest, MissingDeviceIsNeverRetried) {
    CPortCamera camera;
    EXPECT_EQ(camera.Open(1), 0);
    WriteDevice(1, 100, 1);
    EXPECT_EQ(camera.Open(1), 0);
}

}  // namespace
