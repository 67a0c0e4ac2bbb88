#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "ScopedDeviceResolver.h"
#include "TempDirectory.h"
#include "acquisition/AcquisitionSession.h"
#include "acquisition/FrameWaiter.h"
#include "acquisition/RecorderFeed.h"
#include "camera/CameraSource.h"
#include "camera/PortCamera.h"
#include "platform/device/DeviceTimeout.h"
#include "processing/ProcessorFactory.h"
#include "recording/Recorder.h"
#include "sensor/Defaults.h"
#include "tests/WaitUntil.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Ends the run after a number of passes and notes how it ended.
class CCountingHost : public ISessionHost {
  public:
    CCountingHost(CFrameProcessor& processor, std::uint64_t limit)
        : m_processor(processor), m_nLimit(limit) {}
    CFrameProcessor& PassProcessor() override { return m_processor; }
    bool StopRequested() const override { return m_nPasses.load() >= m_nLimit; }
    void PassEnded(std::uint64_t passes) override { m_nPasses = passes; }
    void RunFailed(std::uint64_t passes) override { End(passes, "failed"); }
    void RunStopped(std::uint64_t passes) override { End(passes, "stopped"); }

    std::string Ending() const {
        std::lock_guard lock(m_mutex);
        return m_strEnding;
    }
    std::uint64_t EndPasses() const { return m_nEndPasses.load(); }

  private:
    void End(std::uint64_t passes, const char* how) {
        m_nEndPasses = passes;
        std::lock_guard lock(m_mutex);
        m_strEnding = how;
    }

    CFrameProcessor& m_processor;
    std::uint64_t m_nLimit;
    std::atomic<std::uint64_t> m_nPasses{0};
    std::atomic<std::uint64_t> m_nEndPasses{0};
    mutable std::mutex m_mutex;  // guards m_strEnding
    std::string m_strEnding;
};

// Keeps a copy of every raw frame, with its number and time.
class CCopyingConsumer : public IFrameConsumer {
  public:
    void TakeFrame(const AcquiredFrame& frame, CFrameProcessor& processor) override {
        frames.insert(frames.end(), processor.RawFrame(), processor.RawFrame() + kFrameBytes);
        infos.push_back(frame);
    }
    void RunEnded(bool failed) override { ended = failed ? "failed" : "stopped"; }

    // The session's thread only, read after the join.
    Bytes frames;
    std::vector<AcquiredFrame> infos;
    std::string ended;
};

struct FaultCase {
    const char* name;
    const char* source;
    std::uint64_t limit;     // the host stops after this many passes
    std::uint64_t expected;  // frames both consumers get
    const char* ending;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class SessionFaults : public ::testing::TestWithParam<FaultCase> {
  protected:
    void SetUp() override { ASSERT_TRUE(SelectCameraSource(GetParam().source, &m_strError)); }
    void TearDown() override { SetDeviceReadTimeout(kDefaultReadTimeout); }

    CScopedDeviceResolver m_restored{CurrentDeviceResolver()};
    std::string m_strError;
    CTempDirectory m_dir;
};

// Catches frames lost, torn or numbered out of order between the camera and two consumers,
// a failed read taken for a stop (or the reverse), and a stalled read that a stop cannot
// end: the read time-out is an hour, so only the cancel ends it.
TEST_P(SessionFaults, EveryConsumerGetsTheWholeFramesReadAndTheRightEnd) {
    const FaultCase& fault = GetParam();
    SetDeviceReadTimeout(std::chrono::hours(1));
    CPortCamera camera;
    ASSERT_EQ(camera.Open(kDefaultPortAddress), 1);
    ProcessorSettings settings;
    settings.calibration.clear();
    std::unique_ptr<CFrameProcessor> pProcessor = MakeConfiguredProcessor(settings);
    pProcessor->SetCamera(&camera);
    CRecorder recorder(4, CRecorder::FullRing::kWait);
    const std::string path = m_dir.File("run.raw");
    ASSERT_TRUE(recorder.Start(path, RecordingMetadata{}));
    CRecorderFeed feed(recorder);
    CCopyingConsumer copies;
    CAcquisitionSession session([&camera] { camera.CancelReads(); },
                                [&camera] { camera.ResumeReads(); });
    session.AddConsumer(&feed);
    session.AddConsumer(&copies);
    CCountingHost host(*pProcessor, fault.limit);
    session.Start(&host);
    if (std::string(fault.ending) == "stopped" && fault.limit > fault.expected) {
        // The source stalls after its frames: wait for them, then stop the waiting read.
        ASSERT_TRUE(WaitUntil([&] { return session.Frames() == fault.expected; }));
        session.Stop();
    } else {
        ASSERT_TRUE(WaitUntil([&] { return !host.Ending().empty(); }));
        session.Join();
    }
    EXPECT_EQ(host.Ending(), fault.ending);
    EXPECT_EQ(copies.ended, fault.ending);
    EXPECT_EQ(host.EndPasses(), fault.expected);
    ASSERT_EQ(copies.infos.size(), fault.expected);
    for (std::size_t k = 0; k < copies.infos.size(); ++k) {
        EXPECT_EQ(copies.infos[k].index, k);
        if (k > 0) {
            EXPECT_GE(copies.infos[k].timeUs, copies.infos[k - 1].timeUs);
        }
    }
    ASSERT_TRUE(recorder.Stop());
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), copies.frames);
    // The same frames as the source gives, read again from its start.
    ASSERT_TRUE(SelectCameraSource(fault.source, &m_strError));
    CPortCamera again;
    ASSERT_EQ(again.Open(kDefaultPortAddress), 1);
    Bytes expected(fault.expected * kFrameBytes);
    for (std::uint64_t k = 0; k < fault.expected; ++k) {
        ASSERT_EQ(again.ReadFrame(expected.data() + k * kFrameBytes), 1);
    }
    EXPECT_EQ(copies.frames, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cameras, SessionFaults,
    ::testing::Values(FaultCase{"Healthy", "sim,fps=0", 6, 6, "stopped"},
                      FaultCase{"ShortReads", "sim,fps=0,short-read=1000", 4, 4, "stopped"},
                      FaultCase{"Fails", "sim,fps=0,fail-after=3", 10, 3, "failed"},
                      FaultCase{"Stalls", "sim,fps=0,stall-after=2", 10, 2, "stopped"}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches a waiting caller that misses the newest frame, gets a frame twice, outwaits its
// deadline on a stalled source, or waits on after the run ended.
TEST(FrameWaiter, HandsNewerFramesTimesOutOnAStallAndSeesTheEnd) {
    std::string error;
    CScopedDeviceResolver restored(CurrentDeviceResolver());
    ASSERT_TRUE(SelectCameraSource("sim,fps=0,stall-after=3", &error));
    SetDeviceReadTimeout(std::chrono::hours(1));
    CPortCamera camera;
    ASSERT_EQ(camera.Open(kDefaultPortAddress), 1);
    ProcessorSettings settings;
    settings.calibration.clear();
    std::unique_ptr<CFrameProcessor> pProcessor = MakeConfiguredProcessor(settings);
    pProcessor->SetCamera(&camera);
    CFrameWaiter waiter;
    CAcquisitionSession session([&camera] { camera.CancelReads(); },
                                [&camera] { camera.ResumeReads(); });
    session.AddConsumer(&waiter);
    CCountingHost host(*pProcessor, 100);
    session.Start(&host);
    std::vector<std::uint8_t> frame;
    AcquiredFrame info;
    std::uint64_t last = CFrameWaiter::kNone;
    const auto far = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (last == CFrameWaiter::kNone || last < 2) {
        ASSERT_EQ(waiter.NextFrame(last, far, &frame, &info), CFrameWaiter::Wait::kFrame);
        EXPECT_TRUE(last == CFrameWaiter::kNone || info.index > last);
        EXPECT_EQ(frame.size(), kFrameBytes);
        last = info.index;
    }
    // The source gives no fourth frame: a short deadline passes.
    const auto soon = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
    EXPECT_EQ(waiter.NextFrame(last, soon, &frame, &info), CFrameWaiter::Wait::kTimedOut);
    session.Stop();
    EXPECT_EQ(waiter.NextFrame(last, far, &frame, &info), CFrameWaiter::Wait::kEnded);
    EXPECT_FALSE(waiter.RunFailed());
    SetDeviceReadTimeout(kDefaultReadTimeout);
}

}  // namespace
