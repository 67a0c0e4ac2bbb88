// What the viewer's recordings (Tools > Record) say of the run, and what a recording's
// sidecar gives back to start from.
#include <filesystem>

#include "recording/FileDigest.h"
#include "viewer/SharedState.h"
#include "viewer/ViewerCore.h"

void CViewerCore::OnRecord() {
    if (m_recording.IsRecording()) {
        EndRecording();
        return;
    }
    m_recording.Begin(RecordingHeader());
}

RecordingMetadata CViewerCore::RecordingHeader() const {
    RecordingMetadata header;
    header.sensor = m_bColorProcessor ? "color" : "mono";
    header.median = m_nCfgMedian;
    header.offset = m_nCfgOffset;
    header.aux1 = m_nCfgAux1;
    header.aux2 = m_nCfgAux2;
    header.gain = m_nCfgGain;
    header.width = m_nWidth;
    header.height = m_nHeight;
    header.view = m_bRemap ? "remapped" : "unmapped";
    header.autoLevels = m_bLevelsFromAutoLevels;
    header.source = m_strSource;
    const CFrameProcessor* pProcessor = g_pProcessor.load();
    std::error_code ignored;
    if (pProcessor != nullptr && !pProcessor->CalibrationPath().empty() &&
        std::filesystem::exists(pProcessor->CalibrationPath(), ignored)) {
        header.calibrationPath = std::filesystem::absolute(pProcessor->CalibrationPath()).string();
        // An unreadable file is recorded by name only, without a digest.
        [[maybe_unused]] const FileResult digested =
            Sha256OfFile(pProcessor->CalibrationPath(), &header.calibrationSha256);
    }
    return header;
}

void CViewerCore::EndRecording() {
    m_recording.End(m_bAcquisitionFailed.load()
                        ? (m_pCamera ? m_pCamera->ReadFailure() : "no whole frame came")
                        : std::string());
}

void CViewerCore::UseRecordedSettings(const RecordingMetadata& metadata) {
    m_bColorProcessor = metadata.IsColor() ? 1 : 0;
    m_nCfgOffset = metadata.offset;
    m_nCfgGain = metadata.gain;
    m_nCfgAux1 = metadata.aux1;
    m_nCfgAux2 = metadata.aux2;
    m_bLevelsFromAutoLevels = metadata.autoLevels;
    // The recorded size and view; the histogram, when asked for, keeps the normal size.
    if (metadata.width == kZoomedSize && !IsHistogramShown()) {
        m_bZoomed = 1;
        m_nWidth = m_nHeight = kZoomedSize;
    }
    m_bRemap = metadata.view == "unmapped" ? 0 : 1;
    RebuildProcessor();
}
