#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "acquisition/AcquisitionSession.h"
#include "sensor/LogPolarFrame.h"

// A consumer for callers that ask for frames on their own thread (a script): it keeps the
// newest raw frame, and NextFrame waits, up to a deadline, for one newer than the caller saw.
// The session never waits for the caller; frames the caller did not take in time are
// counted as missed.
class CFrameWaiter : public IFrameConsumer {
  public:
    enum class Wait { kFrame, kTimedOut, kEnded };

    // A frame with a higher index than after (any frame when after is kNone), copied into
    // *pFrame with its number and time. kEnded once the run is over and no such frame came.
    static constexpr std::uint64_t kNone = UINT64_MAX;
    Wait NextFrame(std::uint64_t after, std::chrono::steady_clock::time_point deadline,
                   std::vector<std::uint8_t>* pFrame, AcquiredFrame* pInfo);
    // The same into the caller's kFrameBytes (a script's own array: no copy between).
    Wait NextFrame(std::uint64_t after, std::chrono::steady_clock::time_point deadline,
                   std::uint8_t* pFrame, AcquiredFrame* pInfo);
    // Frames handed on that no NextFrame took.
    std::uint64_t Missed() const;
    // Forgets the last run's end, for the next run.
    void Rearm();

    void TakeFrame(const AcquiredFrame& frame, CFrameProcessor& processor) override;
    void RunEnded(bool failed) override;
    bool RunFailed() const;

  private:
    mutable std::mutex m_mutex;  // guards everything below
    std::condition_variable m_arrived;
    std::vector<std::uint8_t> m_frame = std::vector<std::uint8_t>(kFrameBytes);
    AcquiredFrame m_info;
    bool m_bHasFrame = false;
    bool m_bTaken = true;
    bool m_bEnded = false;
    bool m_bFailed = false;
    std::uint64_t m_nMissed = 0;
};
