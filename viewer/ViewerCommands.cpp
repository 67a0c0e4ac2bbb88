// The viewer commands. Their enable and check rules are in CommandTable.cpp.
#include <string>

#include "export/PictureWriter.h"
#include "export/ProcessorPicture.h"
#include "platform/files/AtomicFile.h"
#include "resources/Resource.h"
#include "viewer/SharedState.h"
#include "viewer/UnmappedView.h"
#include "viewer/ViewerCore.h"

void CViewerCore::OnStart() {
    m_bGrabbed = 0;
    if (m_bRunning == 1) {
        m_bRunning = 0;
        m_window.LoadToolbarPicture(IDB_TOOLBAR_IDLE);
        WaitForAcquisition();
        return;
    }
    m_bRunning = 1;
    m_window.LoadToolbarPicture(IDB_TOOLBAR_RUNNING);
    StopAcquisition();
    m_bStop = false;
    m_bThreadActive = true;
    m_bStarted = 1;
    LayoutImageArea();
    m_window.InvalidateRect(m_geometry.ImageArea());
    m_geometry.TakeClientRect(m_window.ClientRect());
    m_nFramesDone = 0;
    m_nRateSinceFrames = 0;
    m_nRateSinceMs = m_clock();
    m_bRunEnded = false;  // a summary or a lost camera from the last run is news no more
    m_bAcquisitionFailed = false;
    m_stageTimes.Clear();
    m_nLastRate = -1;
    m_window.SetStatusText(1, "");
    m_window.SetStatusTip(1, "");
    m_window.WidenRecordingPane(false);
    m_recording.ForgetSummary();
    FinishProbe();  // the worker reads only a device that has been opened
    m_session.Start(&m_run);
}

void CViewerCore::OnGrab() {
    if (m_bRunning == 1) {
        WaitForAcquisition();  // the pass in progress finishes; its frame stays on screen
    }
    if (m_bGrabbed == 1) {
        m_bGrabbed = 0;
        return;
    }
    m_bGrabbed = 1;
    m_bRunning = 0;
    m_window.LoadToolbarPicture(IDB_TOOLBAR_IDLE);
}

namespace {

FileResult SavePngOf(CFrameProcessor* pProcessor, bool bRemap, bool bMono,
                     const std::string& path) {
    if (pProcessor == nullptr) {
        return FileResult::Failure("cannot write " + path + ": there is no picture");
    }
    Picture picture;
    TakeProcessorPicture(*pProcessor, bRemap, bMono, &picture);
    return MakePngWriter()->Write(picture, PictureText{}, path);
}

}  // namespace

void CViewerCore::OnSave() {
    if (m_bGrabbed == 0) {
        m_window.ShowMessage("Select Grab First", kMessageCaption);
        return;
    }
    std::string path;
    if (m_window.RunSaveDialog(&path)) {
        CFrameProcessor* pProcessor = g_pProcessor.load();
        const bool bRemap = m_bRemap == 1;
        const int columns = bRemap ? m_nWidth : kUnmappedWidth;
        const int rows = bRemap ? m_nHeight : kUnmappedHeight;
        const FileResult saved =
            LowerExtension(path) == "png"
                ? SavePngOf(pProcessor, bRemap, m_bColorProcessor == 0, path)
            : pProcessor != nullptr
                ? pProcessor->SaveBitmapFile(columns, rows, path)
                : FileResult::Failure("cannot write " + path + ": there is no picture");
        if (!saved) {
            const std::string& reason = saved.Error();
            m_window.ShowMessage("The picture could not be saved to \"" + path + "\"." +
                                     (reason.empty() ? "" : "\n" + reason),
                                 kMessageCaption);
        }
    }
    m_bGrabbed = 0;
}

void CViewerCore::OnCalibrate() {
    g_bCalibrate = 1;
}

void CViewerCore::OnZoom() {
    StopAcquisition();
    DeleteProcessor();
    m_pFrameShown = nullptr;
    m_bRunning = 0;
    m_bGrabbed = 0;
    m_bStarted = 0;
    m_bThreadActive = false;
    m_bMedian = 0;
    if (m_bZoomed == 0) {
        if (IsHistogramShown()) {
            OnHistogram();
        }
        m_bZoomed = 1;
        m_nWidth = m_nHeight = kZoomedSize;
    } else {
        m_bZoomed = 0;
        m_nWidth = m_nHeight = kNormalSize;
    }
    LayoutWindow();
    // The background is released and loaded again at the new size rather than dropped.
    m_surface.LoadBackground(0, 0, 0);
    LoadBackground();
    SetupFrameDisplay();
    RebuildProcessor();
    OnStart();
}

void CViewerCore::OnHistogram() {
    if (!IsHistogramShown()) {
        if (m_bZoomed == 1) {
            OnZoom();
        }
        g_bHistogramHidden = 0;
        LayoutWindow();
        return;
    }
    g_bHistogramHidden = 1;
    LayoutWindow();
    // A plot left behind would show again, stale, when the histogram is next shown.
    EndHistogramDisplay();
}

void CViewerCore::OnSettings() {
    SettingsValues values;
    if (!m_window.RunSettingsDialog(&values)) {
        return;
    }
    // Also joins a thread that ended on its own, before its processor goes.
    StopAcquisition();
    DeleteProcessor();
    StartProbe(values.nPortAddress);
    m_nCfgGain = values.nGain;
    m_nCfgOffset = values.nOffset;
    m_bLevelsFromAutoLevels = false;
    m_nCfgAux1 = values.nAux1;
    m_nCfgAux2 = values.nAux2;
    m_bColorProcessor = values.bColor ? 1 : 0;
    RebuildProcessor();
}

void CViewerCore::OnRemap() {
    const bool bRan = m_bRunning == 1;
    if (bRan) {
        StopAcquisition();
    }
    m_bStop = false;
    m_bRemap = 1 - m_bRemap;
    m_bRunning = 0;
    if (bRan) {
        OnStart();
    }
}

void CViewerCore::OnMedian() {
    m_bMedian = 1 - m_bMedian;
    m_nCfgMedian = m_bMedian;
    // The worker may be running: only the settings and a new gain table are published.
    if (CFrameProcessor* pProcessor = g_pProcessor.load()) {
        pProcessor->ConfigureKeepingSize(m_nCfgMedian, m_nCfgOffset, m_nCfgAux1, m_nCfgAux2,
                                         m_nCfgGain);
    }
}
