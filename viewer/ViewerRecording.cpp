// The viewer's recording of raw frames (Tools > Record) and its picture formats beyond BMP.
#include <cstdio>
#include <filesystem>

#include "camera/GazeTrack.h"
#include "export/PictureWriter.h"
#include "export/ProcessorPicture.h"
#include "recording/FileDigest.h"
#include "viewer/SharedState.h"
#include "viewer/ViewerCore.h"

namespace {

constexpr const char* kCaption = "Record";
constexpr double kBytesPerMegabyte = 1024.0 * 1024.0;

}  // namespace

void CViewerCore::OnRecord() {
    if (m_recorder.IsRecording()) {
        EndRecording();
        return;
    }
    std::string path;
    if (!m_window.RunRecordDialog(&path)) {
        return;
    }
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
    m_recorder.FollowGaze([gaze = ActiveSourceGaze()] { return UsedGaze(gaze); });
    if (const FileResult started = m_recorder.Start(path, std::move(header)); !started) {
        m_window.ShowMessage(started.Error(), kCaption);
        return;
    }
    ShowRecordingStatus();
}

void CViewerCore::EndRecording() {
    const std::uint64_t dropped = m_recorder.FramesDropped();
    const std::string end =
        m_bAcquisitionFailed.load()
            ? "camera failed after " +
                  std::to_string(m_recorder.FramesWritten() + m_recorder.FramesDropped()) +
                  " frames: " + (m_pCamera ? m_pCamera->ReadFailure() : "no whole frame came")
            : "complete";
    const FileResult stopped = m_recorder.Stop(end);
    const std::string path = m_recorder.Path();
    const std::string frames = std::to_string(m_recorder.FramesWritten());
    m_strRecordedSummary = "Recorded " + frames + " frames to " +
                           std::filesystem::path(path).filename().string() + " (" +
                           std::to_string(dropped) + " dropped)";
    m_window.SetStatusText(1, m_strRecordedSummary);
    m_window.SetStatusTip(1, "Recorded " + frames + " frames to " + path + ", " +
                                 std::to_string(dropped) + " dropped");
    if (!stopped) {
        m_window.ShowMessage(stopped.Error(), kCaption);
    }
}

// Short enough for the 256 window; the tool tip tells the whole.
void CViewerCore::ShowRecordingStatus() {
    const std::string frames = std::to_string(m_recorder.FramesWritten());
    const std::string dropped = std::to_string(m_recorder.FramesDropped());
    std::string status = "\u25CF REC " + frames;
    if (m_recorder.FramesDropped() > 0) {
        status += " \u00B7 " + dropped + " dropped";
    }
    char megabytes[32];
    std::snprintf(megabytes, sizeof megabytes, "%.0f MB",
                  double(m_recorder.BytesWritten()) / kBytesPerMegabyte);
    m_window.WidenRecordingPane(true);
    m_window.SetStatusText(1, status);
    m_window.SetStatusTip(1, "Recording to " + m_recorder.Path() + ": " + frames + " frames, " +
                                 megabytes + ", " + dropped + " dropped");
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

FileResult CViewerCore::SavePng(const std::string& path) {
    CFrameProcessor* pProcessor = g_pProcessor.load();
    if (pProcessor == nullptr) {
        return FileResult::Failure("cannot write " + path + ": there is no picture");
    }
    Picture picture;
    TakeProcessorPicture(*pProcessor, m_bRemap == 1, m_bColorProcessor == 0, &picture);
    return MakePngWriter()->Write(picture, PictureText{}, path);
}
