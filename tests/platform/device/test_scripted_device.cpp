#include <gtest/gtest.h>
#include <chrono>

#include "platform/device/DeviceFile.h"
#include "platform/device/DeviceTimeout.h"
#include "platform/device/MemoryDevice.h"
#include "sensor/LogPolarFrame.h"

namespace {

std::vector<FrameBytes> ThreeFrames() {
    return {PatternFrame(0), PatternFrame(1), PatternFrame(2)};
}

class ScriptedDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override { m_pPrevious = SetDeviceResolver(m_pResolver); }
    void TearDown() override {
        if (m_hDevice != kInvalidDeviceHandle) {
            CloseDevice(m_hDevice);
        }
        SetDeviceResolver(m_pPrevious);
        SetDeviceReadTimeout(kDefaultReadTimeout);
    }
    void Open(MemoryDeviceScript script) {
        m_pResolver->SetDevice(1, std::move(script));
        m_hDevice = CreateDevice("\\\\.\\LPTSIMPLE1");
        ASSERT_NE(m_hDevice, kInvalidDeviceHandle);
    }
    bool ReadFrame() { return ReadDeviceFully(m_hDevice, m_frame.data(), kFrameBytes); }

    std::shared_ptr<CMemoryDeviceResolver> m_pResolver = std::make_shared<CMemoryDeviceResolver>();
    std::shared_ptr<IDeviceResolver> m_pPrevious;
    DeviceHandle m_hDevice = kInvalidDeviceHandle;
    FrameBytes m_frame = FrameBytes(kFrameBytes);
};

// Catches frames delivered out of order, or a loop that skips or repeats a frame.
TEST_F(ScriptedDeviceTest, DeliversFramesInOrderAndLoops) {
    Open({ThreeFrames(), true, {}});
    for (int k = 0; k < 7; ++k) {
        ASSERT_TRUE(ReadFrame());
        EXPECT_EQ(m_frame, PatternFrame(std::uint8_t(k % 3))) << k;
    }
}

// Catches a finished source that keeps delivering (stale) frames.
TEST_F(ScriptedDeviceTest, EndedSourceFailsEveryLaterRead) {
    Open({ThreeFrames(), false, {}});
    for (int k = 0; k < 3; ++k) {
        ASSERT_TRUE(ReadFrame());
    }
    EXPECT_FALSE(ReadFrame());
    EXPECT_FALSE(ReadFrame());
}

// Catches short chunks being passed on as frames instead of being completed.
TEST_F(ScriptedDeviceTest, ShortChunksAreAssembledIntoWholeFrames) {
    DeviceFaults faults;
    faults.chunkBytes = 1000;
    Open({ThreeFrames(), true, faults});
    std::uint32_t count = 0;
    ASSERT_TRUE(ReadDevice(m_hDevice, m_frame.data(), kFrameBytes, &count));
    EXPECT_EQ(count, 1000u);
    ASSERT_TRUE(ReadDeviceFully(m_hDevice, m_frame.data() + 1000, kFrameBytes - 1000));
    EXPECT_EQ(m_frame, PatternFrame(0));
    ASSERT_TRUE(ReadFrame());
    EXPECT_EQ(m_frame, PatternFrame(1));
}

// Catches a disconnect that lets further frames through, or fails too early.
TEST_F(ScriptedDeviceTest, FailsAfterTheGivenNumberOfFrames) {
    DeviceFaults faults;
    faults.failAfterFrames = 2;
    Open({ThreeFrames(), true, faults});
    EXPECT_TRUE(ReadFrame());
    EXPECT_TRUE(ReadFrame());
    EXPECT_FALSE(ReadFrame());
    EXPECT_FALSE(ReadFrame());
}

// Catches a stalled device hanging the reader instead of failing after the time-out.
TEST_F(ScriptedDeviceTest, StallFailsAfterTheReadTimeout) {
    SetDeviceReadTimeout(std::chrono::milliseconds(50));
    DeviceFaults faults;
    faults.stallAfterFrames = 1;
    Open({ThreeFrames(), true, faults});
    EXPECT_TRUE(ReadFrame());
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ReadFrame());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(45));
}

// Catches corruption hitting the wrong frames or leaving them intact.
TEST_F(ScriptedDeviceTest, CorruptsEveryNthFrame) {
    DeviceFaults faults;
    faults.corruptEvery = 2;
    Open({{UniformFrame(9)}, true, faults});
    for (int k = 1; k <= 4; ++k) {
        ASSERT_TRUE(ReadFrame());
        EXPECT_EQ(m_frame == UniformFrame(9), k % 2 == 1) << k;
    }
}

// Catches pacing that is ignored (frames as fast as asked) when a rate is set.
TEST_F(ScriptedDeviceTest, PacesFramesToTheFrameRate) {
    DeviceFaults faults;
    faults.framesPerSecond = 100;
    Open({ThreeFrames(), true, faults});
    auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < 6; ++k) {
        ASSERT_TRUE(ReadFrame());
    }
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(45));
}

// Catches a probe that writes more than the two bytes it was given room for.
TEST_F(ScriptedDeviceTest, ProbeReportsItsCountAndWritesTwoBytes) {
    DeviceFaults faults;
    faults.probeCount = 5;
    Open({ThreeFrames(), true, faults});
    std::uint8_t guard[4] = {1, 1, 1, 1};
    std::uint32_t count = 0;
    EXPECT_TRUE(ReadDevice(m_hDevice, guard, 2, &count));
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(guard[2], 1);
    EXPECT_EQ(guard[3], 1);
}

}  // namespace
