#include "viewer/AcquisitionThread.h"

#include <chrono>

#include "sensor/LogPolarFrame.h"
#include "statistics/StageTimes.h"
#include "viewer/AcquisitionHost.h"
#include "viewer/SharedState.h"
#include "viewer/TimingReport.h"

void CViewerRun::RunStarting() {
    m_host.BeginRun(g_pProcessor.load());
    m_average.Restart();  // a new run's picture owes nothing to the last one's
    m_nStartMs = m_host.NowMilliseconds();
    m_bLastDrawn = true;
}

CFrameProcessor& CViewerRun::PassProcessor() {
    return *g_pProcessor.load();
}

bool CViewerRun::StopRequested() const {
    return m_host.StopRequested();
}

void CViewerRun::BeforeAcquire(CFrameProcessor& processor) {
    // Taken before calibrating, so a request made meanwhile is served next pass.
    if (g_bCalibrate.exchange(0) != 0) {
        m_host.ServeCalibration(processor);
    }
}

std::int64_t CViewerRun::LastReadNanoseconds() const {
    return m_host.LastReadNanoseconds();
}

void CViewerRun::PassEnded(std::uint64_t passes) {
    m_host.CountPasses(int(passes));
}

void CViewerRun::RunFailed(std::uint64_t) {
    m_host.FailRun();  // no frame: the window is left Idle, without a report
}

void CViewerRun::TakeFrame(const AcquiredFrame& frame, CFrameProcessor& processor) {
    CStageTimes& times = m_host.RunStageTimes();
    times.Record(FrameStage::kRead, frame.readNs);
    times.Record(FrameStage::kCorrect, frame.acquireNs - frame.readNs);
    const std::int64_t acquired = SteadyNanoseconds();
    m_host.HoldFrame();
    m_host.ServeFlatCalibration(processor);
    if (m_host.ServeAutoLevels(processor)) {
        return;  // corrected with the old levels: the next frame shows the new ones
    }
    std::int64_t converted = 0;
    std::size_t pictureBytes = 0;
    if (m_host.RemapWanted()) {
        processor.Remap();
        const std::int64_t remapped = SteadyNanoseconds();
        times.Record(FrameStage::kRemap, remapped - acquired);
        processor.RemappedToRgb(m_host.FrameBuffer());
        pictureBytes = std::size_t(processor.Width()) * std::size_t(processor.Height()) * 3;
        converted = SteadyNanoseconds();
        times.Record(FrameStage::kConvert, converted - remapped);
    } else {
        processor.RawToRgb(m_host.FrameBuffer());
        pictureBytes = kFrameBytes * 3;
        converted = SteadyNanoseconds();
        times.Record(FrameStage::kConvert, converted - acquired);
    }
    AverageShownPicture(pictureBytes);
    m_bLastDrawn = m_host.ShowFrame(processor);
    // Read before the flag: a hide that lands while this plot is made drops it.
    const std::uint64_t histogramGeneration = m_host.HistogramGeneration();
    if (g_bHistogramHidden == 0) {
        m_host.ShowHistogram(histogramGeneration);
    }
    times.Record(FrameStage::kDraw, SteadyNanoseconds() - converted);
}

void CViewerRun::AverageShownPicture(std::size_t pictureBytes) {
    // A new length starts over; so does a new view, whose pictures differ in size.
    if (const std::size_t asked = m_host.AveragedPictures(); asked != m_average.Length()) {
        m_average.SetLength(asked);
    }
    m_average.Apply(m_host.FrameBuffer(), pictureBytes);
}

void CViewerRun::RunStopped(std::uint64_t passes) {
    const std::int64_t end = m_host.NowMilliseconds();
    const int frames = int(passes);
    // The screen may have skipped the last frames; the one left showing is the last made.
    if (!m_bLastDrawn) {
        m_host.DrawLastFrame(g_pProcessor.load());  // the inspector reads this frame's values
    }
    if (const FileResult written =
            WriteTimingReport(m_host.TimingPath(), int(end - m_nStartMs), frames);
        !written) {
        m_host.PostNotice(written.Error());
    }
    m_host.EndRun(frames, end - m_nStartMs);
}
