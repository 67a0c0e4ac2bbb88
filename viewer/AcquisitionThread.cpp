#include "viewer/AcquisitionThread.h"

#include "viewer/SharedState.h"
#include "viewer/TimingReport.h"
#include "viewer/ViewerCore.h"

namespace {

// A calibration the operator asked for and did not get, or got only in memory, is told.
// A calibration cut short by a stop is no failure.
void CalibrateAndReport(CViewerCore& core, CFrameProcessor& processor,
                        const std::atomic<bool>& bStop) {
    if (processor.Calibrate() == 0) {
        if (!bStop) {
            core.PostNotice("Calibration failed: the dark image is unchanged");
        }
        return;
    }
    if (!processor.CalibrationStoreError().empty()) {
        core.PostNotice(processor.CalibrationStoreError());
    }
}

}  // namespace

void AcquisitionThread(CViewerCore* pCore) {
    pCore->SetupFrameDisplay();
    pCore->SetupHistogramDisplay();
    const std::int64_t start = pCore->m_clock();
    int frames = 0;
    bool bLastDrawn = true;
    while (!pCore->m_bStop) {
        ++frames;
        CFrameProcessor* pProcessor = g_pProcessor.load();
        // Taken before calibrating, so a request made meanwhile is served next pass.
        if (g_bCalibrate.exchange(0) != 0) {
            CalibrateAndReport(*pCore, *pProcessor, pCore->m_bStop);
        }
        if (pProcessor->Acquire() == 0) {
            if (pCore->m_bStop) {
                --frames;  // a stop cancelled this pass's read: it ends as a stop
                break;
            }
            // No frame: leave the window Idle, without a report.
            pCore->m_pFrameShown = nullptr;
            pCore->m_bThreadActive = false;
            pCore->EndFrameDisplay();
            pCore->m_bStop = true;
            pCore->m_bGrabbed = 0;
            pCore->m_bAcquisitionFailed = true;
            pCore->m_bRunning = 0;
            return;
        }
        pCore->m_recorder.Push(pProcessor->RawFrame());
        if (pCore->m_bRemap) {
            pProcessor->Remap();
            pProcessor->RemappedToRgb(pCore->m_pFrameRgb.get());
        } else {
            pProcessor->RawToRgb(pCore->m_pFrameRgb.get());
        }
        pCore->m_pFrameShown = pCore->m_pFrameRgb.get();
        bLastDrawn = pCore->m_surface.WantsFrame();
        if (bLastDrawn) {
            pCore->DrawFrame();
        }
        // Read before the flag: a hide that lands while this plot is made drops it.
        const std::uint64_t histogramGeneration = pCore->m_surface.HistogramGeneration();
        if (g_bHistogramHidden == 0) {
            pCore->BuildHistogramImage();
            pCore->m_pHistShown = pCore->m_pHistImage.get();
            pCore->DrawHistogram(histogramGeneration);
        }
        pCore->m_nFramesDone = frames;
    }
    const std::int64_t end = pCore->m_clock();
    // The screen may have skipped the last frames; the one left showing is the last made.
    if (!bLastDrawn) {
        pCore->DrawFrame();
    }
    std::string error;
    if (!WriteTimingReport(pCore->m_strTimingPath, int(end - start), frames, &error)) {
        pCore->PostNotice(error);
    }
}
