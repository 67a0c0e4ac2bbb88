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
    header.source = m_strSource;
    const CFrameProcessor* pProcessor = g_pProcessor.load();
    std::error_code ignored;
    if (pProcessor != nullptr && !pProcessor->CalibrationPath().empty() &&
        std::filesystem::exists(pProcessor->CalibrationPath(), ignored)) {
        std::string error;
        header.calibrationPath = std::filesystem::absolute(pProcessor->CalibrationPath()).string();
        header.calibrationSha256 = Sha256OfFile(pProcessor->CalibrationPath(), &error);
    }
    std::string error;
    m_recorder.FollowGaze([gaze = ActiveSourceGaze()] { return UsedGaze(gaze); });
    if (!m_recorder.Start(path, std::move(header), &error)) {
        m_window.ShowMessage(error, kCaption);
        return;
    }
    ShowRecordingStatus();
}

void CViewerCore::EndRecording() {
    const std::uint64_t dropped = m_recorder.FramesDropped();
    std::string error;
    const bool stopped = m_recorder.Stop(&error);
    char text[96];
    std::snprintf(text, sizeof text, "Recorded %llu frames",
                  static_cast<unsigned long long>(m_recorder.FramesWritten()));
    std::string status = text;
    if (dropped > 0) {
        status += ", " + std::to_string(dropped) + " dropped";
    }
    m_window.SetStatusText(1, status);
    if (!stopped) {
        m_window.ShowMessage(error, kCaption);
    }
}

void CViewerCore::ShowRecordingStatus() {
    char text[96];
    std::snprintf(text, sizeof text, "\u25CF REC %llu frames, %.0f MB",
                  static_cast<unsigned long long>(m_recorder.FramesWritten()),
                  double(m_recorder.BytesWritten()) / kBytesPerMegabyte);
    std::string status = text;
    if (m_recorder.FramesDropped() > 0) {
        status += ", " + std::to_string(m_recorder.FramesDropped()) + " dropped";
    }
    m_window.SetStatusText(1, status);
}

void CViewerCore::UseRecordedSettings(const RecordingMetadata& metadata) {
    m_bColorProcessor = metadata.IsColor() ? 1 : 0;
    m_nCfgOffset = metadata.offset;
    m_nCfgGain = metadata.gain;
    m_nCfgAux1 = metadata.aux1;
    m_nCfgAux2 = metadata.aux2;
    RebuildProcessor();
}

FileResult CViewerCore::SavePng(const std::string& path) {
    CFrameProcessor* pProcessor = g_pProcessor.load();
    if (pProcessor == nullptr) {
        return FileResult::Failure("cannot write " + path + ": there is no picture");
    }
    Picture picture;
    TakeProcessorPicture(*pProcessor, m_bRemap == 1, m_bColorProcessor == 0, &picture);
    std::string error;
    if (!MakePngWriter()->Write(picture, PictureText{}, path, &error)) {
        return FileResult::Failure(error);
    }
    return {};
}
