#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "TempDirectory.h"
#include "platform/device/DeviceFile.h"
#include "platform/device/DeviceTimeout.h"
#include "platform/device/FileDevice.h"
#include "platform/device/MemoryDevice.h"
#include "sensor/LogPolarFrame.h"
#include "tests/ThreadState.h"
#include "tests/WaitUntil.h"

namespace {

class FileDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_pPrevious = SetDeviceResolver(std::make_shared<CFileDeviceResolver>(m_dir.Path()));
    }
    void TearDown() override {
        SetDeviceResolver(m_pPrevious);
        SetDeviceReadTimeout(kDefaultReadTimeout);
    }
    void WriteDevice(int index, const std::vector<std::uint8_t>& bytes) {
        std::ofstream out(m_dir.File("lptsimple" + std::to_string(index)), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    CTempDirectory m_dir;
    std::shared_ptr<IDeviceResolver> m_pPrevious;
};

// Catches the file backend reading another file than lptsimple<N> of its directory.
TEST_F(FileDeviceTest, OpensTheNumberedFileAndReadsIt) {
    WriteDevice(3, {7, 8, 9});
    DeviceHandle handle = CreateDevice("\\\\.\\LPTSIMPLE3");
    ASSERT_NE(handle, kInvalidDeviceHandle);
    std::uint8_t bytes[8] = {};
    std::uint32_t count = 0;
    EXPECT_TRUE(ReadDevice(handle, bytes, 8, &count));
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(bytes[2], 9);
    EXPECT_TRUE(CloseDevice(handle));
    EXPECT_EQ(CreateDevice("\\\\.\\LPTSIMPLE4"), kInvalidDeviceHandle);
}

// Catches a whole-block read that returns success when the file ends part-way, which
// would pass on a frame with stale bytes.
TEST_F(FileDeviceTest, FullReadFailsWhenTheFileEndsInsideTheBlock) {
    std::vector<std::uint8_t> bytes(kFrameBytes + 100, 42);
    WriteDevice(1, bytes);
    DeviceHandle handle = CreateDevice("\\\\.\\LPTSIMPLE1");
    ASSERT_NE(handle, kInvalidDeviceHandle);
    std::vector<std::uint8_t> frame(kFrameBytes);
    EXPECT_TRUE(ReadDeviceFully(handle, frame.data(), kFrameBytes));
    EXPECT_FALSE(ReadDeviceFully(handle, frame.data(), kFrameBytes));
    CloseDevice(handle);
}

// Catches a file that cannot be opened for writing being accepted (the device is opened
// for reading and writing). Root may write anything, so as root the open is tried by a
// child that has dropped to an unprivileged user.
TEST_F(FileDeviceTest, ReadOnlyFileDoesNotOpen) {
    WriteDevice(2, {1, 2});
    ASSERT_EQ(chmod(m_dir.File("lptsimple2").c_str(), 0444), 0);
    if (geteuid() != 0) {
        EXPECT_EQ(CreateDevice("\\\\.\\LPTSIMPLE2"), kInvalidDeviceHandle);
        return;
    }
    ASSERT_EQ(chmod(m_dir.Path().c_str(), 0755), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
            _exit(2);
        }
        _exit(CreateDevice("\\\\.\\LPTSIMPLE2") == kInvalidDeviceHandle ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 2) << "could not drop privileges";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a read-only file opened as a device";
}

// Catches a read of a device that never answers blocking for ever.
TEST_F(FileDeviceTest, ReadOfSilentDeviceTimesOut) {
    ASSERT_EQ(mkfifo(m_dir.File("lptsimple1").c_str(), 0600), 0);
    SetDeviceReadTimeout(std::chrono::milliseconds(100));
    DeviceHandle handle = CreateDevice("\\\\.\\LPTSIMPLE1");
    ASSERT_NE(handle, kInvalidDeviceHandle);
    std::vector<std::uint8_t> frame(kFrameBytes);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ReadDeviceFully(handle, frame.data(), kFrameBytes));
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(90));
    EXPECT_LT(waited, std::chrono::seconds(20));  // a hang, however loaded the machine
    CloseDevice(handle);
}

// Catches a device that feeds a frame in pieces being cut short: the full read must
// wait for the rest and assemble it in order.
TEST_F(FileDeviceTest, FullReadAssemblesPiecesFromAFifo) {
    ASSERT_EQ(mkfifo(m_dir.File("lptsimple1").c_str(), 0600), 0);
    DeviceHandle handle = CreateDevice("\\\\.\\LPTSIMPLE1");
    ASSERT_NE(handle, kInvalidDeviceHandle);
    int writer = open(m_dir.File("lptsimple1").c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    FrameBytes expected = PatternFrame(3);
    // Less than a pipe's capacity at a time, so the writes never block.
    for (std::size_t done = 0; done < 1000;) {
        done += std::size_t(write(writer, expected.data() + done, 1000 - done));
    }
    // The rest follows once the reader waits for it, with writes that wait for room.
    const pid_t reader = CurrentThreadId();
    std::thread rest([&] {
        WaitUntil([&] { return IsThreadAsleep(reader); });
        ::fcntl(writer, F_SETFL, 0);
        for (std::size_t done = 1000; done < kFrameBytes;) {
            const ssize_t n = write(writer, expected.data() + done,
                                    std::min<std::size_t>(4096, kFrameBytes - done));
            if (n <= 0) {
                break;  // the read then fails, and says so
            }
            done += std::size_t(n);
        }
    });
    std::vector<std::uint8_t> frame(kFrameBytes);
    EXPECT_TRUE(ReadDeviceFully(handle, frame.data(), kFrameBytes));
    rest.join();
    EXPECT_EQ(frame, expected);
    close(writer);
    CloseDevice(handle);
}

// Catches the device directory override being ignored (tests and stand-ins rely on it).
TEST(FileDeviceDirectory, EnvironmentOverridesTheDirectory) {
    setenv("PANDRY_DEVICE_DIR", "/some/where", 1);
    EXPECT_EQ(CFileDeviceResolver().DevicePath(2), "/some/where/lptsimple2");
    unsetenv("PANDRY_DEVICE_DIR");
    EXPECT_EQ(CFileDeviceResolver().DevicePath(1), "/dev/lptsimple1");
}

}  // namespace
