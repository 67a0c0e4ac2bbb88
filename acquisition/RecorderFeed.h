#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "acquisition/AcquisitionSession.h"
#include "recording/RecordingPlan.h"

class CRecorder;

// Hands the raw frames of a run to a recorder as its plan says (each frame, a time-lapse,
// averages; the recorder copies what it is given into its ring, and whether a full ring
// drops or waits is its policy). Frames count for the plan only while the recorder accepts
// them, so its first time point is the recording's first frame.
class CRecorderFeed : public IFrameConsumer {
  public:
    explicit CRecorderFeed(CRecorder& recorder) : m_recorder(recorder) {}
    // The plan of the next recording; given before each Start (any thread).
    void Follow(const RecordingPlan& plan);
    void TakeFrame(const AcquiredFrame& frame, CFrameProcessor& processor) override;
    // The plan stored every frame it asked for, or its time is up (any thread).
    bool Done() const { return m_bDone.load(); }
    std::uint64_t Stored() const { return m_nStored.load(); }

  private:
    CRecorder& m_recorder;
    std::mutex m_planMutex;  // guards m_planned: set by the owner, followed on the session's thread
    CPlannedFrames m_planned;
    std::atomic<bool> m_bDone{false};
    std::atomic<std::uint64_t> m_nStored{0};
};
