#include "viewer/AcquisitionThread.h"

#include <chrono>

#include "camera/PortCamera.h"
#include "viewer/SharedState.h"
#include "viewer/TimingReport.h"
#include "viewer/ViewerCore.h"

namespace {

std::int64_t Nanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void AcquisitionThread(CViewerCore* pCore) {
    pCore->SetupFrameDisplay();
    pCore->SetupHistogramDisplay();
    if (CFrameProcessor* pProcessor = g_pProcessor.load()) {
        pCore->StartSensorSnapshots(*pProcessor);
    }
    CStageTimes& times = pCore->m_stageTimes;
    const std::int64_t start = pCore->m_clock();
    int frames = 0;
    bool bLastDrawn = true;
    while (!pCore->m_bStop) {
        ++frames;
        CFrameProcessor* pProcessor = g_pProcessor.load();
        // Taken before calibrating, so a request made meanwhile is served next pass.
        if (g_bCalibrate.exchange(0) != 0) {
            pCore->ServeCalibration(*pProcessor);
        }
        const std::int64_t acquireStart = Nanoseconds();
        if (pProcessor->Acquire() == 0) {
            if (pCore->m_bStop) {
                --frames;  // a stop cancelled this pass's read: it ends as a stop
                break;
            }
            // No frame: leave the window Idle, without a report.
            pCore->m_pFrameShown = nullptr;
            pCore->m_bThreadActive = false;
            pCore->EndFrameDisplay();
            pCore->EndHistogramDisplay();  // a plot of the last frame would pass for live
            pCore->m_bStop = true;
            pCore->m_bGrabbed = 0;
            ++pCore->m_nFailedReads;
            pCore->m_bAcquisitionFailed = true;
            pCore->m_bRunning = 0;
            return;
        }
        const std::int64_t acquired = Nanoseconds();
        const CPortCamera* pCamera = pCore->m_pCamera.get();  // kept for the window's life
        const std::int64_t read = pCamera != nullptr ? pCamera->LastReadNanoseconds() : 0;
        times.Record(FrameStage::kRead, read);
        times.Record(FrameStage::kCorrect, acquired - acquireStart - read);
        pCore->m_bHeldFrame = true;
        pCore->m_recorder.Push(pProcessor->RawFrame());
        if (pCore->ServeAutoLevels(*pProcessor)) {
            pCore->m_nFramesDone = frames;
            continue;  // corrected with the old levels: the next frame shows the new ones
        }
        std::int64_t converted = 0;
        if (pCore->m_bRemap) {
            pProcessor->Remap();
            const std::int64_t remapped = Nanoseconds();
            times.Record(FrameStage::kRemap, remapped - acquired);
            pProcessor->RemappedToRgb(pCore->m_pFrameRgb.get());
            converted = Nanoseconds();
            times.Record(FrameStage::kConvert, converted - remapped);
        } else {
            pProcessor->RawToRgb(pCore->m_pFrameRgb.get());
            converted = Nanoseconds();
            times.Record(FrameStage::kConvert, converted - acquired);
        }
        pCore->m_pFrameShown = pCore->m_pFrameRgb.get();
        bLastDrawn = pCore->m_surface.WantsFrame();
        if (bLastDrawn) {
            pCore->AttachSensorSnapshot(*pProcessor);
            pCore->DrawFrame();
        }
        // Read before the flag: a hide that lands while this plot is made drops it.
        const std::uint64_t histogramGeneration = pCore->m_surface.HistogramGeneration();
        if (g_bHistogramHidden == 0) {
            pCore->BuildHistogramImage();
            pCore->m_pHistShown = pCore->m_pHistImage.get();
            pCore->DrawHistogram(histogramGeneration);
        }
        times.Record(FrameStage::kDraw, Nanoseconds() - converted);
        pCore->m_nFramesDone = frames;
    }
    const std::int64_t end = pCore->m_clock();
    // The screen may have skipped the last frames; the one left showing is the last made.
    if (!bLastDrawn) {
        if (CFrameProcessor* pProcessor = g_pProcessor.load()) {
            pCore->AttachSensorSnapshot(*pProcessor);  // the inspector reads this frame's values
        }
        pCore->DrawFrame();
    }
    std::string error;
    if (!WriteTimingReport(pCore->m_strTimingPath, int(end - start), frames, &error)) {
        pCore->PostNotice(error);
    }
    pCore->m_nRunFrames = frames;
    pCore->m_nRunMs = end - start;
    pCore->m_bRunEnded = true;
}
