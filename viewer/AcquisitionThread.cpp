#include "viewer/AcquisitionThread.h"

#include "viewer/SharedState.h"
#include "viewer/TimingReport.h"
#include "viewer/ViewerCore.h"

void AcquisitionThread(CViewerCore* pDlg) {
    pDlg->SetupFrameDisplay();
    pDlg->SetupHistogramDisplay();
    const std::int64_t start = pDlg->m_clock();
    int frames = 0;
    bool bLastDrawn = true;
    while (!pDlg->m_bStop) {
        ++frames;
        CFrameProcessor* pProcessor = g_pProcessor.load();
        // Taken before calibrating, so a request made meanwhile is served next pass.
        if (g_bCalibrate.exchange(0) != 0) {
            pProcessor->Calibrate();
        }
        if (pProcessor->Acquire() == 0) {
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
        bLastDrawn = pDlg->m_surface.WantsFrame();
        if (bLastDrawn) {
            pDlg->DrawFrame();
        }
        if (g_bHistogramHidden == 0) {
            pDlg->BuildHistogramImage();
            pDlg->m_pHistShown = pDlg->m_pHistImage.get();
            pDlg->DrawHistogram();
        }
        pDlg->m_nFramesDone = frames;
    }
    const std::int64_t end = pDlg->m_clock();
    // The screen may have skipped the last frames; the one left showing is the last made.
    if (!bLastDrawn) {
        pDlg->DrawFrame();
    }
    WriteTimingReport(pDlg->m_strTimingPath, int(end - start), frames);
}
