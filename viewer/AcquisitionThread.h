#pragma once

#include <cstddef>
#include <cstdint>

#include "acquisition/AcquisitionSession.h"
#include "recording/RunningAverage.h"

class CAcquisitionHost;

// The viewer's acquisition thread on the session: each pass serves a calibration request
// before its read, then (as the session's display consumer) Auto Levels, remap, convert,
// draw and histogram; a stop ends in the timing report, a failed read leaves the window
// Idle and writes no report.
class CViewerRun final : public ISessionHost, public IFrameConsumer {
  public:
    explicit CViewerRun(CAcquisitionHost& host) : m_host(host) {}

    void RunStarting() override;
    CFrameProcessor& PassProcessor() override;
    bool StopRequested() const override;
    void BeforeAcquire(CFrameProcessor& processor) override;
    std::int64_t LastReadNanoseconds() const override;
    void PassEnded(std::uint64_t passes) override;
    void RunFailed(std::uint64_t passes) override;
    void RunStopped(std::uint64_t passes) override;

    void TakeFrame(const AcquiredFrame& frame, CFrameProcessor& processor) override;

  private:
    // The converted picture of pictureBytes becomes the mean the window asked for.
    void AverageShownPicture(std::size_t pictureBytes);

    CAcquisitionHost& m_host;
    // The session's thread only, while a run goes.
    std::int64_t m_nStartMs = 0;
    bool m_bLastDrawn = true;
    CRunningAverage m_average;
};
