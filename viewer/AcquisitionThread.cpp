#include "viewer/AcquisitionThread.h"

#include "viewer/SharedState.h"
#include "viewer/TimingReport.h"
#include "viewer/ViewerCore.h"

namespace {

// A calibration the operator asked for and did not get, or got only in memory, is told.
void CalibrateAndReport(CViewerCore& dlg, CFrameProcessor& processor) {
    if (processor.Calibrate() == 0) {
        if (!dlg.IsStopRequested()) {
            dlg.PostNotice("Calibration failed: the dark image is unchanged");
        }
        return;
    }
    if (!processor.CalibrationStoreError().empty()) {
        dlg.PostNotice(processor.CalibrationStoreError());
    }
}

}  // namespace

void AcquisitionThread(CViewerCore* pDlg) {
    pDlg->SetupFrameDisplay();
    pDlg->SetupHistogramDisplay();
    const std::int64_t start = pDlg->m_clock();
    int frames = 0;
    while (!pDlg->m_bStop) {
        ++frames;
        CFrameProcessor* pProcessor = g_pProcessor.load();
        // Taken before calibrating, so a request made meanwhile is served next pass.
        if (g_bCalibrate.exchange(0) != 0) {
            CalibrateAndReport(*pDlg, *pProcessor);
        }
        if (pProcessor->Acquire() == 0) {
            if (pDlg->m_bStop) {
                --frames;  // a stop cancelled this pass's read: it ends as a stop
                break;
            }
            // No frame: leave the window Idle, without a report.
            pDlg->m_pFrameShown = nullptr;
            pDlg->m_bThreadActive = false;
            pDlg->EndFrameDisplay();
            pDlg->m_bStop = true;
            pDlg->m_bGrabbed = 0;
            pDlg->m_bAcquisitionFailed = true;
            pDlg->m_bRunning = 0;
            return;
        }
        if (pDlg->m_bRemap) {
            pProcessor->Remap();
            pProcessor->RemappedToRgb(pDlg->m_pFrameRgb.get());
        } else {
            pProcessor->RawToRgb(pDlg->m_pFrameRgb.get());
        }
        pDlg->m_pFrameShown = pDlg->m_pFrameRgb.get();
        pDlg->DrawFrame();
        if (g_bHistogramHidden == 0) {
            pDlg->BuildHistogramImage();
            pDlg->m_pHistShown = pDlg->m_pHistImage.get();
            pDlg->DrawHistogram();
        }
        pDlg->m_nFramesDone = frames;
    }
    const std::int64_t end = pDlg->m_clock();
    std::string error;
    if (!WriteTimingReport(pDlg->m_strTimingPath, int(end - start), frames, &error)) {
        pDlg->PostNotice(error);
    }
}
