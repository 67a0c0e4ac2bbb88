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

void AcquisitionThread(CViewerCore* pDlg) {
    pDlg->SetupFrameDisplay();
    pDlg->SetupHistogramDisplay();
    if (CFrameProcessor* pProcessor = g_pProcessor.load()) {
        pDlg->StartSensorSnapshots(*pProcessor);
    }
    CStageTimes& times = pDlg->m_stageTimes;
    const std::int64_t start = pDlg->m_clock();
    int frames = 0;
    while (!pDlg->m_bStop) {
        ++frames;
        CFrameProcessor* pProcessor = g_pProcessor.load();
        // Taken before calibrating, so a request made meanwhile is served next pass.
        if (g_bCalibrate.exchange(0) != 0) {
            pDlg->ServeCalibration(*pProcessor);
        }
        const std::int64_t acquireStart = Nanoseconds();
        if (pProcessor->Acquire() == 0) {
            // No frame: leave the window Idle, without a report.
            pDlg->m_pFrameShown = nullptr;
            pDlg->m_bThreadActive = false;
            pDlg->EndFrameDisplay();
            pDlg->EndHistogramDisplay();  // a plot of the last frame would pass for live
            pDlg->m_bStop = true;
            pDlg->m_bGrabbed = 0;
            ++pDlg->m_nFailedReads;
            pDlg->m_bAcquisitionFailed = true;
            pDlg->m_bRunning = 0;
            return;
        }
        const std::int64_t acquired = Nanoseconds();
        const CPortCamera* pCamera = g_pCamera.load();
        const std::int64_t read = pCamera != nullptr ? pCamera->LastReadNanoseconds() : 0;
        times.Record(FrameStage::kRead, read);
        times.Record(FrameStage::kCorrect, acquired - acquireStart - read);
        pDlg->m_bHeldFrame = true;
        if (pDlg->ServeAutoLevels(*pProcessor)) {
            pDlg->m_nFramesDone = frames;
            continue;  // corrected with the old levels: the next frame shows the new ones
        }
        std::int64_t converted = 0;
        if (pDlg->m_bRemap) {
            pProcessor->Remap();
            const std::int64_t remapped = Nanoseconds();
            times.Record(FrameStage::kRemap, remapped - acquired);
            pProcessor->RemappedToRgb(pDlg->m_pFrameRgb.get());
            converted = Nanoseconds();
            times.Record(FrameStage::kConvert, converted - remapped);
        } else {
            pProcessor->RawToRgb(pDlg->m_pFrameRgb.get());
            converted = Nanoseconds();
            times.Record(FrameStage::kConvert, converted - acquired);
        }
        pDlg->m_pFrameShown = pDlg->m_pFrameRgb.get();
        pDlg->AttachSensorSnapshot(*pProcessor);
        pDlg->DrawFrame();
        if (g_bHistogramHidden == 0) {
            pDlg->BuildHistogramImage();
            pDlg->m_pHistShown = pDlg->m_pHistImage.get();
            pDlg->DrawHistogram();
        }
        times.Record(FrameStage::kDraw, Nanoseconds() - converted);
        pDlg->m_nFramesDone = frames;
    }
    const std::int64_t end = pDlg->m_clock();
    WriteTimingReport(pDlg->m_strTimingPath, int(end - start), frames);
    pDlg->m_nRunFrames = frames;
    pDlg->m_nRunMs = end - start;
    pDlg->m_bRunEnded = true;
}
