#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "TempDirectory.h"
#include "platform/device/DeviceFile.h"
#include "platform/device/DeviceTimeout.h"
#include "platform/device/FileDevice.h"
#include "platform/device/ReadCancel.h"
#include "platform/device/ScriptedDevice.h"
#include "sensor/LogPolarFrame.h"
#include "tests/ThreadState.h"
#include "tests/WaitUntil.h"

// Named for the test listing (the fault set is in the global namespace, as its printer
// must be).
void PrintTo(const DeviceFaults& faults, std::ostream* os) {
    *os << (faults.stallAfterFrames >= 0 ? "stall" : "slow pace");
}

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Far beyond any wait of a test: only a read that ignores its cancel or restarts its
// deadline lasts that long.
constexpr milliseconds kLongDeadline{120000};
constexpr milliseconds kTrickleFor{20000};

// A source that never runs dry, for the in-process device.
class CZeroSource : public IFrameSource {
  public:
    bool NextFrame(std::uint8_t* pFrame) override {
        std::fill_n(pFrame, kFrameBytes, 0);
        return true;
    }
};

class ReadLimitTest : public ::testing::Test {
  protected:
    void TearDown() override {
        m_bFeeding = false;
        if (m_feeder.joinable()) {
            m_feeder.join();
        }
        if (m_nWriter >= 0) {
            ::close(m_nWriter);
        }
    }
    // A FIFO standing in for the device, opened for reading and writing at both ends.
    std::unique_ptr<CFileDevice> OpenFifoDevice() {
        const std::string path = m_dir.File("lptsimple1");
        EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
        auto device = CFileDevice::Open(path);
        m_nWriter = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
        return device;
    }
    // Feeds one byte every `period` until the test ends, or for kTrickleFor at most: a
    // device that trickles.
    void Trickle(milliseconds period) {
        m_feeder = std::thread([this, period] {
            const std::uint8_t byte = 1;
            const auto end = Clock::now() + kTrickleFor;
            while (m_bFeeding && Clock::now() < end) {
                [[maybe_unused]] ssize_t ignored = ::write(m_nWriter, &byte, 1);
                std::this_thread::sleep_for(period);
            }
        });
    }
    // One whole frame from handle within `limit`, cancellable through m_cancel.
    bool ReadFrame(DeviceHandle handle, milliseconds limit) {
        return ReadDeviceFully(handle, m_frame.data(), kFrameBytes,
                               ReadLimit::Within(limit, &m_cancel));
    }
    // A read waiting on handle, cancelled once it waits, ends long before its deadline: the
    // wait for it fails only when the read waits for that deadline.
    void ExpectCancelEndsTheRead(DeviceHandle handle) {
        std::atomic<pid_t> reader{0};
        std::atomic<int> result{-1};  // -1 while reading, then 1 for a frame, 0 for none
        std::thread read([&] {
            reader = CurrentThreadId();
            result = ReadFrame(handle, kLongDeadline) ? 1 : 0;
        });
        EXPECT_TRUE(
            WaitUntil([&] { return result >= 0 || (reader != 0 && IsThreadAsleep(reader)); }));
        m_cancel.Cancel();
        EXPECT_TRUE(WaitUntil([&] { return result >= 0; }));
        read.join();
        EXPECT_EQ(result, 0);
    }
    // The in-process stand-in for the device, with the faults given.
    static std::unique_ptr<CScriptedDevice> ScriptedDevice(const DeviceFaults& faults) {
        return std::make_unique<CScriptedDevice>(std::make_unique<CZeroSource>(), faults);
    }

    CTempDirectory m_dir;
    CReadCancel m_cancel;
    int m_nWriter = -1;
    std::atomic<bool> m_bFeeding{true};
    std::thread m_feeder;
    std::vector<std::uint8_t> m_frame = std::vector<std::uint8_t>(kFrameBytes);
};

// Catches a deadline that restarts with every chunk: a device trickling a byte every 20 ms
// held a frame read (and the window) for as long as it trickled.
TEST_F(ReadLimitTest, TricklingDeviceFailsAtTheFrameDeadline) {
    auto device = OpenFifoDevice();
    ASSERT_TRUE(device);
    Trickle(milliseconds(20));
    const auto start = Clock::now();
    DeviceHandle handle = device.get();
    EXPECT_FALSE(
        ReadDeviceFully(handle, m_frame.data(), kFrameBytes, ReadLimit::Within(milliseconds(300))));
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, milliseconds(290));
    EXPECT_LT(waited, kTrickleFor / 2);  // the trickle went on: a restarted deadline outlasts it
}

// Catches a cancel that waits for the deadline instead of ending the read at once.
TEST_F(ReadLimitTest, CancelEndsAStalledFileReadAtOnce) {
    auto device = OpenFifoDevice();
    ASSERT_TRUE(device);
    ExpectCancelEndsTheRead(device.get());
}

class StalledScriptedDevice : public ReadLimitTest,
                              public ::testing::WithParamInterface<DeviceFaults> {};

// Catches in-process stand-ins that sleep through a cancel (a stall, or a slow pace).
TEST_P(StalledScriptedDevice, CancelEndsTheReadAtOnce) {
    auto device = ScriptedDevice(GetParam());
    ASSERT_TRUE(ReadFrame(device.get(), milliseconds(1000)));
    ExpectCancelEndsTheRead(device.get());
}

DeviceFaults Stalling() {
    DeviceFaults faults;
    faults.stallAfterFrames = 1;
    return faults;
}
DeviceFaults SlowPace() {
    DeviceFaults faults;
    faults.framesPerSecond = 0.2;
    return faults;
}

INSTANTIATE_TEST_SUITE_P(Faults, StalledScriptedDevice, ::testing::Values(Stalling(), SlowPace()),
                         [](const auto& info) {
                             return info.param.stallAfterFrames == 1 ? "Stall" : "SlowPace";
                         });

// Catches a cancel that lingers: after Reset the same device reads normally again.
TEST_F(ReadLimitTest, ResetLetsReadsWaitAgain) {
    auto device = ScriptedDevice(DeviceFaults{});
    m_cancel.Cancel();
    EXPECT_FALSE(ReadFrame(device.get(), milliseconds(1000)));
    m_cancel.Reset();
    EXPECT_TRUE(ReadFrame(device.get(), milliseconds(1000)));
}

// Catches a device opened twice: two readers would each get every other frame.
TEST_F(ReadLimitTest, SecondOpenerIsTurnedAwayAsBusy) {
    const std::string path = m_dir.File("lptsimple1");
    ::close(::open(path.c_str(), O_CREAT | O_WRONLY, 0600));
    auto first = CFileDevice::Open(path);
    ASSERT_TRUE(first);
    std::string error;
    EXPECT_FALSE(CFileDevice::Open(path, &error));
    EXPECT_EQ(error, "camera busy: " + path + " is in use by another program");
    first.reset();
    EXPECT_TRUE(CFileDevice::Open(path, &error));
}

}  // namespace
