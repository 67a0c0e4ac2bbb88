#include "acquisition/RecorderFeed.h"

#include <chrono>

#include "processing/FrameProcessor.h"
#include "recording/Recorder.h"

void CRecorderFeed::Follow(const RecordingPlan& plan) {
    std::lock_guard lock(m_planMutex);
    m_planned = CPlannedFrames(plan);
    m_bDone = false;
    m_nStored = 0;
}

void CRecorderFeed::TakeFrame(const AcquiredFrame& frame, CFrameProcessor& processor) {
    if (!m_recorder.IsAccepting()) {
        return;
    }
    std::lock_guard lock(m_planMutex);
    std::int64_t firstUs = 0;
    const std::uint8_t* pStored = m_planned.Take(processor.RawFrame(), frame.timeUs, &firstUs);
    if (pStored != nullptr) {
        // The stored frame's time is its first frame's: as long ago as the frames' own clock says.
        m_recorder.Push(pStored, std::chrono::steady_clock::now() -
                                     std::chrono::microseconds(frame.timeUs - firstUs));
        m_nStored = m_planned.Stored();
    }
    m_bDone = m_planned.Done();
}
