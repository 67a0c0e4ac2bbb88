// The Tools commands and what the worker reports back: Auto Levels, the calibration
// summary, the camera status texts and the start-up values.
#include <cctype>
#include <cstdio>

#include "camera/PortCamera.h"
#include "viewer/SharedState.h"
#include "viewer/ViewerCore.h"

namespace {

constexpr int kCalibrationFrames = 10;

}  // namespace

void CViewerCore::ApplyStartup(const ViewerStartup& startup) {
    m_nCfgOffset = startup.offset.value_or(m_nCfgOffset);
    m_nCfgGain = startup.gain.value_or(m_nCfgGain);
    if (startup.offset || startup.gain) {
        m_bLevelsFromAutoLevels = false;
    }
    m_bColorProcessor = startup.bColor.value_or(m_bColorProcessor != 0) ? 1 : 0;
    if (startup.bZoom) {
        m_bZoomed = 1;
        m_nWidth = m_nHeight = kZoomedSize;
    } else if (startup.bHistogram) {
        g_bHistogramHidden = 0;
    }
    if (startup.bUnmapped) {
        m_bRemap = 0;
    }
    m_bLevelsRequested = startup.bAutoLevels;
    RebuildProcessor();
    m_window.ShowLevels(m_nCfgOffset, m_nCfgGain);
}

void CViewerCore::SetSourceName(std::string name) {
    m_strSourceName = std::move(name);
    m_window.SetStatusText(1, m_strSourceName);
}

// Running, the worker chooses from the next frame it reads (and does not show that frame,
// so the first picture shown has the new levels). Idle, the frame the processor holds is
// used at once; before any frame, the choice waits for the first one.
void CViewerCore::OnAutoLevels() {
    CFrameProcessor* pProcessor = g_pProcessor.load();
    if (m_bRunning == 1 || pProcessor == nullptr || !m_bHeldFrame) {
        m_bLevelsRequested = true;
        m_window.SetStatusText(0, "Auto Levels at the next frame");
        return;
    }
    const LevelsChoice choice = ChooseLevels(pProcessor->RawFrame(), pProcessor->CalibrationImage(),
                                             DisplayRangeFor(m_bColorProcessor != 0));
    if (choice.bFlat) {
        m_window.SetStatusText(0, "Flat frame: levels kept");
        return;
    }
    ApplyLevels(choice);
}

void CViewerCore::ApplyLevels(const LevelsChoice& choice) {
    m_nCfgOffset = choice.offset;
    m_nCfgGain = choice.gain;
    m_bLevelsFromAutoLevels = true;
    if (CFrameProcessor* pProcessor = g_pProcessor.load()) {
        // Size unchanged: a new gain table swapped in whole, as Median does while running.
        pProcessor->ConfigureKeepingSize(m_nCfgMedian, m_nCfgOffset, m_nCfgAux1, m_nCfgAux2,
                                         m_nCfgGain);
    }
    m_window.ShowLevels(m_nCfgOffset, m_nCfgGain);
    char text[96];
    std::snprintf(text, sizeof(text), "Offset %d, gain %d (auto)", choice.offset, choice.gain);
    m_window.SetStatusText(0, text);
}

void CViewerCore::PollWorker() {
    std::optional<LevelsChoice> levels;
    std::optional<std::optional<DarkSummary>> calibration;
    std::string flat;
    {
        std::lock_guard lock(m_newsMutex);
        levels.swap(m_levelsNews);
        calibration.swap(m_calibrationNews);
        flat.swap(m_flatNews);
    }
    if (!flat.empty()) {
        flat[0] = char(std::toupper(static_cast<unsigned char>(flat[0])));  // a sentence here
        m_window.ShowMessage(flat + ".", kMessageCaption);  // asked for, and waited on
    }
    if (levels) {
        if (levels->bFlat) {
            m_window.SetStatusText(0, "Flat frame: levels kept");
        } else {
            ApplyLevels(*levels);
        }
    }
    if (calibration) {
        if (!*calibration) {
            m_window.ShowMessage(
                "Calibration failed: the camera stopped answering before ten "
                "frames were read. The dark image on disk is unchanged.",
                kMessageCaption);
        } else if ((*calibration)->bLooksLit) {
            m_window.ShowMessage(DescribeCalibration(**calibration, kCalibrationFrames) + ".",
                                 kMessageCaption);
        } else {
            m_window.SetStatusText(0, DescribeCalibration(**calibration, kCalibrationFrames));
        }
    }
    ReportAcquisitionEnd();
}

void CViewerCore::ReportAcquisitionEnd() {
    if (m_bAcquisitionFailed.exchange(false)) {
        // A camera another program holds is named as such; any other failure is a lost camera.
        const std::string reason = m_pCamera ? m_pCamera->OpenError() : std::string();
        char text[64];
        std::snprintf(text, sizeof(text), "Camera lost after %d frames", m_nFramesDone.load());
        // What a recording wrote keeps pane 1; the loss goes to the message pane then.
        m_window.SetStatusText(m_recording.Summary().empty() ? 1 : 0,
                               reason.empty() ? std::string(text) : reason);
        return;
    }
    if (m_bRunEnded.exchange(false) && m_recording.Summary().empty()) {
        const std::int64_t elapsed = m_nRunMs;
        const int frames = m_nRunFrames;
        const long long rate = m_nLastRate >= 0 ? m_nLastRate
                               : elapsed > 0    ? frames * 1000LL / elapsed
                                                : 0;
        char text[48];
        std::snprintf(text, sizeof(text), "%lld fps, %d", rate, frames);
        m_window.SetStatusText(1, text);
    }
}

void CViewerCore::StartSensorSnapshots(const CFrameProcessor& processor) {
    m_snapshot.bColor = m_bColorProcessor != 0;
    const std::int32_t* pDark = processor.CalibrationImage();
    m_snapshot.pDark = pDark != nullptr ? std::make_shared<const std::vector<std::int32_t>>(
                                              pDark, pDark + kFrameBytes)
                                        : nullptr;
}

void CViewerCore::ServeCalibration(CFrameProcessor& processor) {
    const int result = processor.Calibrate();
    StartSensorSnapshots(processor);  // a new dark image, or the one kept after a failure
    // A calibration the operator asked for and did not get, or got only in memory, is told;
    // one cut short by a stop is no failure.
    if (result == 0 && !m_bStop) {
        PostNotice("Calibration failed: the dark image is unchanged");
    } else if (result != 0 && !processor.CalibrationStored()) {
        PostNotice(processor.CalibrationStored().Error());
    }
    std::optional<DarkSummary> summary;
    if (result != 0 && processor.CalibrationImage() != nullptr) {
        summary = SummarizeDark(processor.CalibrationImage());
    }
    std::lock_guard lock(m_newsMutex);
    m_calibrationNews = summary;
}

void CViewerCore::ServeFlatCalibration(const CFrameProcessor& processor) {
    if (std::string told =
            m_flatCalibration.Take(processor.RawFrame(), processor.CalibrationImage());
        !told.empty()) {
        std::lock_guard lock(m_newsMutex);
        m_flatNews = std::move(told);
    }
}

bool CViewerCore::ServeAutoLevels(CFrameProcessor& processor) {
    if (!m_bLevelsRequested.exchange(false) || processor.RawFrame() == nullptr) {
        return false;
    }
    const LevelsChoice choice = ChooseLevels(processor.RawFrame(), processor.CalibrationImage(),
                                             DisplayRangeFor(m_bColorProcessor != 0));
    if (!choice.bFlat) {
        // Same size, so only the settings and the gain table change, as Median does; the
        // window takes the values over when it reads the news.
        processor.ConfigureKeepingSize(processor.Median(), choice.offset, m_nCfgAux1, m_nCfgAux2,
                                       choice.gain);
    }
    std::lock_guard lock(m_newsMutex);
    m_levelsNews = choice;
    return !choice.bFlat;
}

void CViewerCore::AttachSensorSnapshot(const CFrameProcessor& processor) {
    m_snapshot.pRaw = processor.RawFrame();
    if (m_snapshot.pRaw == nullptr) {
        return;
    }
    m_snapshot.offset = processor.Offset();
    m_snapshot.table = *processor.CurrentGainTable();
    m_surface.AttachSensor(m_snapshot);
}
