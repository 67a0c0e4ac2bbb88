#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TempDirectory.h"
#include "platform/device/MemoryDevice.h"
#include "recording/FrameRing.h"
#include "recording/Recorder.h"
#include "sensor/LogPolarFrame.h"
#include "tests/WaitUntil.h"
#include "tests/sidecar/SidecarSchema.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

RecordingMetadata Header() {
    RecordingMetadata header;
    header.source = "test";
    return header;
}

class RecorderTest : public ::testing::Test {
  protected:
    std::string Path() const { return m_dir.File("run.raw"); }
    RecordingMetadata Sidecar() const {
        RecordingMetadata metadata;
        const FileResult sidecar = ReadSidecarOf(Path(), &metadata);
        EXPECT_TRUE(sidecar) << sidecar.Error();
        return metadata;
    }

    CTempDirectory m_dir;
};

// Catches frames written out of order, torn, or lost on a disk that keeps up, and a
// sidecar that does not describe them. The ring holds every frame, so no drop can come
// from a writer thread scheduled late on a busy machine.
TEST_F(RecorderTest, WritesEveryFrameAndItsSidecar) {
    constexpr int kFrames = 20;
    CRecorder recorder(kFrames);
    const FileResult started = recorder.Start(Path(), Header());
    ASSERT_TRUE(started) << started.Error();
    Bytes expected;
    for (int k = 0; k < kFrames; ++k) {
        FrameBytes frame = PatternFrame(std::uint8_t(k), 3);
        recorder.Push(frame.data());
        expected.insert(expected.end(), frame.begin(), frame.end());
    }
    const FileResult stopped = recorder.Stop();
    ASSERT_TRUE(stopped) << stopped.Error();
    EXPECT_EQ(ReadAll(Path()), expected);
    const RecordingMetadata metadata = Sidecar();
    ASSERT_EQ(metadata.frames.size(), std::size_t(kFrames));
    EXPECT_EQ(metadata.droppedFrames, 0u);
    EXPECT_EQ(metadata.source, "test");
    EXPECT_FALSE(metadata.startTime.empty());
    for (std::size_t k = 0; k < metadata.frames.size(); ++k) {
        EXPECT_EQ(metadata.frames[k].index, k);
        if (k > 0) {
            EXPECT_GT(metadata.frames[k].timeUs, metadata.frames[k - 1].timeUs);
        }
    }
    EXPECT_EQ(metadata.end, "complete");
    EXPECT_TRUE(FitsTheSidecarSchema(SidecarPathFor(Path())));
}

// Catches a slow disk that blocks the acquisition thread, or drops that go uncounted:
// Push must return at once, and written + dropped must equal pushed, with each frame after
// a gap marked.
TEST_F(RecorderTest, SlowDiskDropsAndCountsFrames) {
    // A disk that takes no write until the test lets it, or until a time only a blocked
    // Push makes it reach.
    std::mutex gateMutex;  // guards bOpen
    std::condition_variable gate;
    bool bOpen = false;
    std::atomic<bool> bOpenedByItself{false};
    CRecorder recorder(2);
    recorder.SetWriteFunction([&](int fd, const void* data, std::size_t size) {
        std::unique_lock lock(gateMutex);
        if (!gate.wait_for(lock, std::chrono::seconds(30), [&] { return bOpen; })) {
            bOpenedByItself = true;
        }
        return ::write(fd, data, size);
    });
    const FileResult started = recorder.Start(Path(), Header());
    ASSERT_TRUE(started) << started.Error();
    constexpr int kPushed = 40;
    FrameBytes frame = UniformFrame(9);
    for (int k = 0; k < kPushed; ++k) {
        recorder.Push(frame.data());
    }
    EXPECT_FALSE(bOpenedByItself);  // every Push returned while the disk took nothing
    {
        std::lock_guard lock(gateMutex);
        bOpen = true;
    }
    gate.notify_all();
    // The ring drains: every frame it accepted is written.
    EXPECT_TRUE(WaitUntil([&] {
        return recorder.FramesWritten() + recorder.FramesDropped() == std::uint64_t(kPushed);
    }));
    recorder.Push(frame.data());  // written, and marked as following dropped frames
    const FileResult stopped = recorder.Stop();
    ASSERT_TRUE(stopped) << stopped.Error();
    const RecordingMetadata metadata = Sidecar();
    EXPECT_GT(metadata.droppedFrames, 0u);
    EXPECT_EQ(metadata.frames.size() + metadata.droppedFrames, std::size_t(kPushed + 1));
    EXPECT_EQ(ReadAll(Path()).size(), metadata.frames.size() * kFrameBytes);
    bool marked = false;
    for (std::size_t k = 1; k < metadata.frames.size(); ++k) {
        const bool gap = metadata.frames[k].index != metadata.frames[k - 1].index + 1;
        EXPECT_EQ(metadata.frames[k].afterDrop, gap) << "frame " << k;
        marked = marked || gap;
    }
    EXPECT_TRUE(marked);
    EXPECT_TRUE(FitsTheSidecarSchema(SidecarPathFor(Path())));
}

// Catches a full disk that leaves a torn frame, an unclosed sidecar or a failure reported
// as success: the recording ends with a reason naming the file, and what was written
// before stays a valid recording.
TEST_F(RecorderTest, FullDiskEndsWithWholeFramesAndASidecar) {
    CRecorder recorder(64);
    std::atomic<std::size_t> budget{kFrameBytes * 3 + 1000};  // room for 3 frames and a bit
    recorder.SetWriteFunction([&budget](int fd, const void* data, std::size_t size) -> ssize_t {
        const std::size_t room = budget.load();
        if (room == 0) {
            errno = ENOSPC;
            return -1;
        }
        const std::size_t count = std::min(size, room);
        budget -= count;
        return ::write(fd, data, count);
    });
    const FileResult started = recorder.Start(Path(), Header());
    ASSERT_TRUE(started) << started.Error();
    FrameBytes frame = PatternFrame(1, 5);
    for (int k = 0; k < 6; ++k) {
        recorder.Push(frame.data());
    }
    EXPECT_TRUE(WaitUntil([&] { return recorder.HasFailed(); }));
    const FileResult stopped = recorder.Stop();
    EXPECT_FALSE(stopped);
    EXPECT_NE(stopped.Error().find(Path()), std::string::npos) << stopped.Error();
    EXPECT_NE(stopped.Error().find("No space left"), std::string::npos) << stopped.Error();
    const RecordingMetadata metadata = Sidecar();
    EXPECT_EQ(metadata.frames.size(), 3u);
    EXPECT_EQ(metadata.end, "disk full");
    EXPECT_TRUE(FitsTheSidecarSchema(SidecarPathFor(Path())));
    const Bytes bytes = ReadAll(Path());
    ASSERT_EQ(bytes.size(), 3 * kFrameBytes);
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), bytes.begin() + 2 * kFrameBytes));
}

// Catches a recording file that cannot be created being reported as started.
TEST_F(RecorderTest, UncreatableFileIsReportedAtStart) {
    CRecorder recorder;
    const FileResult started = recorder.Start(m_dir.File("no/such/dir/run.raw"), Header());
    EXPECT_FALSE(started);
    EXPECT_NE(started.Error().find("no/such/dir/run.raw"), std::string::npos);
    EXPECT_FALSE(recorder.IsRecording());
}

// Catches a recording that writes over the file in place: a reader's map of the old file
// would fault (truncated) or change under it, and a failed recording would lose it. The old
// file stays whole, with its mode, until Stop puts the new one in place, and a waiting Push
// (a recording that keeps every frame) loses none.
TEST_F(RecorderTest, RecordingOverAFileLeavesTheOldOneWholeUntilItIsDone) {
    const FrameBytes old = PatternFrame(7, 2);
    {
        std::ofstream out(Path(), std::ios::binary);
        out.write(reinterpret_cast<const char*>(old.data()), std::streamsize(old.size()));
    }
    ASSERT_EQ(::chmod(Path().c_str(), 0640), 0);
    const int fd = ::open(Path().c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    void* pMap = ::mmap(nullptr, kFrameBytes, PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    ASSERT_NE(pMap, MAP_FAILED);
    const auto* pMapped = static_cast<const std::uint8_t*>(pMap);
    CRecorder recorder(2, CRecorder::FullRing::kWait);
    ASSERT_TRUE(recorder.Start(Path(), Header()));
    const FrameBytes frame = UniformFrame(200);
    for (int k = 0; k < 10; ++k) {
        recorder.Push(frame.data());
    }
    EXPECT_TRUE(WaitUntil([&] { return recorder.FramesWritten() == 10; }));
    EXPECT_EQ(ReadAll(Path()), old);  // not yet replaced
    EXPECT_TRUE(std::equal(old.begin(), old.end(), pMapped));
    ASSERT_TRUE(recorder.Stop());
    EXPECT_TRUE(std::equal(old.begin(), old.end(), pMapped));  // the reader's map holds
    ::munmap(pMap, kFrameBytes);
    EXPECT_EQ(ReadAll(Path()).size(), 10 * kFrameBytes);
    EXPECT_EQ(Sidecar().droppedFrames, 0u);
    struct stat info {};
    ASSERT_EQ(::stat(Path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    // Abandoned, a recording leaves the file as it was and nothing beside it.
    ASSERT_TRUE(recorder.Start(Path(), Header()));
    recorder.Push(old.data());
    recorder.Abandon();
    EXPECT_EQ(ReadAll(Path()).size(), 10 * kFrameBytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.Path()), {}), 2);
}

// Catches the temporary file a killed recording left beside a link's target surviving every
// later recording (the clean-up looked only beside the link).
TEST_F(RecorderTest, StaleTemporaryFileBesideALinkedTargetIsRemoved) {
    std::filesystem::create_directory(m_dir.File("store"));
    std::filesystem::create_symlink(m_dir.File("store/run.raw"), Path());
    const pid_t gone = ::fork();
    if (gone == 0) {
        ::_exit(0);
    }
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const std::string stale = m_dir.File("store/run.raw.tmp-" + std::to_string(gone) + "-1");
    std::ofstream(stale) << "left by a killed run";
    CRecorder recorder;
    ASSERT_TRUE(recorder.Start(Path(), Header()));
    ASSERT_TRUE(recorder.Stop());
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::is_symlink(Path()));
}

// Catches a ring that overwrites a frame the consumer has not taken, or hands out frames
// out of order.
TEST(FrameRing, RefusesWhenFullAndKeepsOrder) {
    CFrameRing ring(2);
    RecordedFrame info;
    FrameBytes a = UniformFrame(1);
    FrameBytes b = UniformFrame(2);
    FrameBytes c = UniformFrame(3);
    EXPECT_TRUE(ring.TryPush(a.data(), {0, 0, false, false}));
    EXPECT_TRUE(ring.TryPush(b.data(), {1, 0, false, false}));
    EXPECT_FALSE(ring.TryPush(c.data(), {2, 0, false, false}));
    ASSERT_NE(ring.Front(&info), nullptr);
    EXPECT_EQ(ring.Front(&info)[0], 1);
    ring.PopFront();
    EXPECT_TRUE(ring.TryPush(c.data(), {2, 0, false, false}));
    EXPECT_EQ(ring.Front(&info)[0], 2);
    EXPECT_EQ(info.index, 1u);
    ring.PopFront();
    EXPECT_EQ(ring.Front(&info)[kFrameBytes - 1], 3);
    ring.PopFront();
    EXPECT_EQ(ring.Front(&info), nullptr);
}

// Catches a Wake that comes between the consumer's look at an empty ring and its sleep being
// lost (the writer then slept through the stop, and the stop's join hung the viewer): the
// wait returns at once, on this thread.
TEST(FrameRing, AWakeAfterTheLookIsNotLost) {
    CFrameRing ring(2);
    RecordedFrame info;
    const std::uint32_t wakes = ring.WakeCount();
    ASSERT_EQ(ring.Front(&info), nullptr);
    ring.Wake();
    ring.WaitForFrames(wakes);
}

}  // namespace
