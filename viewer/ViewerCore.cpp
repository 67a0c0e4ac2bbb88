#include "viewer/ViewerCore.h"

#include <cassert>
#include <cstdio>
#include <cstring>

#include "resources/Resource.h"
#include "viewer/HistogramImage.h"
#include "viewer/SharedState.h"
#include "viewer/TimingReport.h"
#include "viewer/UnmappedView.h"
#include "viewer/ViewerLayout.h"

namespace {

// How long a notice stays before the live rate takes its pane back.
constexpr std::int64_t kNoticeMs = 4000;

}  // namespace

CViewerCore::CViewerCore(CFrameSurface& surface, CWindowServices& window,
                         ProcessorFactory makeProcessor, std::unique_ptr<CPortCamera> pCamera)
    : m_surface(surface),
      m_window(window),
      m_makeProcessor(std::move(makeProcessor)),
      m_pCamera(std::move(pCamera)),
      m_clock(MonotonicMilliseconds) {
    g_bHistogramHidden = 1;
    g_bCalibrate = 0;
    m_pProcessor = m_makeProcessor(false);
    g_pProcessor = m_pProcessor.get();
    StartProbe(m_nPort);
    ConfigureProcessor(*m_pProcessor);
    m_pProcessor->SetCamera(m_pCamera.get());
    NoteCalibrationLoad();
    m_session.AddConsumer(&m_recording.Feed());
    m_session.AddConsumer(&m_run);
}

CViewerCore::~CViewerCore() {
    if (!m_bDestroyed) {
        OnDestroy();
    }
}

void CViewerCore::OnInitDialog() {
    LayoutWindow();
    LayoutImageArea();
    LoadBackground();
    SetupFrameDisplay();
}

// The surface keeps the background and the last frame handed to it, so a paint never
// needs the worker's buffers (which may be half-written).
void CViewerCore::OnPaint() {
    LayoutImageArea();
}

void CViewerCore::OnDestroy() {
    m_bDestroyed = true;
    m_surface.LoadBackground(0, 0, 0);
    m_recording.EndAtClose();
    // A thread that ended on its own still has to be joined, and an idle window still owns
    // its processor: both are released whatever the state. The stop is raised before the
    // cancel, so a worker whose read the cancel ends takes it for a stop, not a lost camera.
    m_bStop = true;
    if (m_pCamera) {
        m_pCamera->CancelReads();
    }
    StopAcquisition();
    FinishProbe();
    EndHistogramDisplay();
    DeleteProcessor();
    m_pFrameShown = nullptr;
    m_pFrameRgb.reset();
    m_pTurnBuffer.reset();
    m_pHistImage.reset();
    m_pHistShown = nullptr;
    m_pCamera.reset();
}

AcquisitionState CViewerCore::State() const {
    if (m_bRunning == 1) {
        return AcquisitionState::Running;
    }
    if (m_bGrabbed == 1) {
        return AcquisitionState::Grabbed;
    }
    return m_bThreadActive ? AcquisitionState::Paused : AcquisitionState::Idle;
}

bool CViewerCore::IsHistogramShown() const {
    return g_bHistogramHidden.load() == 0;
}

void CViewerCore::LayoutWindow() {
    m_geometry.LayoutWindow(m_window, m_nWidth, m_nHeight, !IsHistogramShown());
}

void CViewerCore::LayoutImageArea() {
    m_geometry.LayoutImageArea(m_nWidth, m_nHeight);
    m_yImage = kFrameTop;
}

void CViewerCore::StopAcquisition() {
    if (m_bThreadActive) {
        JoinAcquisition();
        EndFrameDisplay();
        m_pFrameShown = nullptr;
        m_bThreadActive = false;
    } else {
        m_session.Join();  // a worker that ended on its own
    }
}

void CViewerCore::WaitForAcquisition() {
    JoinAcquisition();
}

void CViewerCore::JoinAcquisition() {
    m_bStop = true;
    // A read waiting on a silent camera ends now rather than at its deadline.
    m_session.Stop();
}

void CViewerCore::CancelCameraReads() {
    if (m_pCamera) {
        m_pCamera->CancelReads();
    }
}

void CViewerCore::ResumeCameraReads() {
    if (m_pCamera && !m_bDestroyed) {
        m_pCamera->ResumeReads();
    }
}

void CViewerCore::StartProbe(int port) {
    if (!m_pCamera) {
        return;
    }
    FinishProbe();
    CPortCamera* pCamera = m_pCamera.get();
    m_probeThread = std::thread([pCamera, port] { pCamera->Open(port); });
}

void CViewerCore::FinishProbe() {
    if (m_probeThread.joinable()) {
        m_probeThread.join();
    }
}

void CViewerCore::PostNotice(std::string text) {
    std::lock_guard lock(m_noticeMutex);
    m_strNotice = std::move(text);
}

void CViewerCore::NoteCalibrationLoad() {
    if (m_pProcessor && !m_pProcessor->CalibrationLoaded()) {
        PostNotice(m_pProcessor->CalibrationLoaded().Error() + "; no dark image in use");
    }
}

void CViewerCore::ConfigureProcessor(CFrameProcessor& processor) const {
    // May reallocate the buffers the worker reads: never while one exists.
    assert(!m_session.IsRunning());
    processor.Configure(m_nCfgMedian, m_nCfgOffset, m_nCfgAux1, m_nCfgAux2, m_nCfgGain, m_nWidth,
                        m_nHeight);
}

void CViewerCore::DeleteProcessor() {
    m_bHeldFrame = false;
    g_pProcessor = nullptr;
    m_pProcessor.reset();
}

void CViewerCore::RebuildProcessor() {
    DeleteProcessor();
    m_pProcessor = m_makeProcessor(m_bColorProcessor != 0);
    ConfigureProcessor(*m_pProcessor);
    m_pProcessor->SetCamera(m_pCamera.get());
    g_pProcessor = m_pProcessor.get();
    NoteCalibrationLoad();
}

void CViewerCore::SetupFrameDisplay() {
    m_pFrameRgb = std::make_unique<std::uint8_t[]>(std::size_t(m_nWidth) * m_nHeight * 3);
    if (!m_pTurnBuffer) {
        m_pTurnBuffer = std::make_unique<std::uint8_t[]>(kColorFrameBytes);
    }
    g_bmiFrame = m_bRemap ? MakeRgbHeader(m_nWidth, m_nHeight)
                          : MakeRgbHeader(kUnmappedWidth, kUnmappedHeight);
}

void CViewerCore::LoadBackground() {
    m_surface.LoadBackground(m_nWidth, m_nHeight, ImageAreaRect(m_nWidth, m_nHeight).top);
}

void CViewerCore::DrawFrame() {
    const std::uint8_t* pShown = m_pFrameShown;
    if (pShown == nullptr) {
        return;
    }
    if (m_bRemap) {
        const int x = m_geometry.ClientArea().left;
        const int y = m_geometry.ClientArea().top + m_yImage;
        m_surface.DrawFrame(pShown, g_bmiFrame,
                            {x, y, x + g_bmiFrame.biWidth, y + g_bmiFrame.biHeight});
        return;
    }
    TurnUnmapped(pShown, m_pTurnBuffer.get());
    m_surface.DrawFrame(m_pTurnBuffer.get(), g_bmiFrame,
                        UnmappedDestination(m_geometry.ClientArea(), m_yImage, m_bZoomed != 0));
}

void CViewerCore::EndFrameDisplay() {
    m_surface.EndFrames();
}

void CViewerCore::SetupHistogramDisplay() {
    m_pHistImage = std::make_unique<std::uint8_t[]>(kHistogramImageBytes);  // black until plotted
}

void CViewerCore::BuildHistogramImage() {
    std::memset(g_histogram, 0, sizeof(g_histogram));
    if (CFrameProcessor* pProcessor = g_pProcessor.load()) {
        pProcessor->Histogram(g_histogram);
    }
    PlotHistogram(g_histogram, m_pHistImage.get());
}

void CViewerCore::DrawHistogram(std::uint64_t generation) {
    m_surface.DrawHistogram(m_pHistShown, 0, m_nHeight + kToolbarBand + 10, generation);
}

void CViewerCore::EndHistogramDisplay() {
    m_surface.EndHistogram();
}

void CViewerCore::BeginRun(const CFrameProcessor* pProcessor) {
    SetupFrameDisplay();
    SetupHistogramDisplay();
    if (pProcessor != nullptr) {
        StartSensorSnapshots(*pProcessor);
    }
}

std::int64_t CViewerCore::LastReadNanoseconds() const {
    const CPortCamera* pCamera = m_pCamera.get();  // kept for the window's life
    return pCamera != nullptr ? pCamera->LastReadNanoseconds() : 0;
}

void CViewerCore::FailRun() {
    m_pFrameShown = nullptr;
    m_bThreadActive = false;
    EndFrameDisplay();
    EndHistogramDisplay();  // a plot of the last frame would pass for live
    m_bStop = true;
    m_bGrabbed = 0;
    ++m_nFailedReads;
    m_bAcquisitionFailed = true;
    m_bRunning = 0;
}

void CViewerCore::HoldFrame() {
    m_bHeldFrame = true;
}

bool CViewerCore::ShowFrame(const CFrameProcessor& processor) {
    m_pFrameShown = m_pFrameRgb.get();
    if (!m_surface.WantsFrame()) {
        return false;
    }
    AttachSensorSnapshot(processor);
    DrawFrame();
    return true;
}

void CViewerCore::DrawLastFrame(const CFrameProcessor* pProcessor) {
    if (pProcessor != nullptr) {
        AttachSensorSnapshot(*pProcessor);
    }
    DrawFrame();
}

void CViewerCore::ShowHistogram(std::uint64_t generation) {
    BuildHistogramImage();
    m_pHistShown = m_pHistImage.get();
    DrawHistogram(generation);
}

void CViewerCore::EndRun(int frames, std::int64_t milliseconds) {
    m_nRunFrames = frames;
    m_nRunMs = milliseconds;
    m_bRunEnded = true;
    // The last plot is stale now: the surface paints the background over it at once, so a
    // restore or uncover served from the window's stored picture shows the background too.
    EndHistogramDisplay();
}

void CViewerCore::RefreshFrameRate() {
    // A recording ends with acquisition, with the camera, or when its disk failed.
    if (m_recording.IsRecording() &&
        (m_recording.Recorder().HasFailed() || !m_bRunning || !m_bThreadActive)) {
        EndRecording();
        m_bRunEnded = false;  // what was recorded says more than the run's last rate
    }

    const std::int64_t now = m_clock();
    std::string notice;
    {
        std::lock_guard lock(m_noticeMutex);
        notice.swap(m_strNotice);
    }
    if (!notice.empty()) {
        m_window.SetStatusText(1, notice);
        m_nNoticeUntilMs = now + kNoticeMs;
        return;
    }
    if (now < m_nNoticeUntilMs) {
        return;  // a notice is read before the end of a run or the rate replaces it
    }
    ReportAcquisitionEnd();
    if (!m_bRunning || !m_bThreadActive) {
        return;
    }
    const int frames = m_nFramesDone;
    const std::int64_t elapsed = now - m_nRateSinceMs;
    if (elapsed <= 0) {
        return;
    }
    const long long rate = (frames - m_nRateSinceFrames) * 1000LL / elapsed;
    if (m_recording.IsRecording()) {
        m_recording.ShowStatus();
    } else if (m_recording.Summary().empty()) {
        char text[48];
        std::snprintf(text, sizeof(text), "%lld fps, %d", rate, frames);
        m_window.SetStatusText(1, text);
    }
    m_nLastRate = rate;
    m_nRateSinceMs = now;
    m_nRateSinceFrames = frames;
}
