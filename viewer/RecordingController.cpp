#include "viewer/RecordingController.h"

#include <cstdio>
#include <filesystem>

#include "camera/GazeTrack.h"
#include "viewer/WindowServices.h"

namespace {

constexpr const char* kCaption = "Record";
constexpr double kBytesPerMegabyte = 1024.0 * 1024.0;

}  // namespace

void CRecordingController::Begin(RecordingMetadata header) {
    std::string path;
    RecordingPlan plan;
    if (!m_window.RunRecordDialog(&path, &plan)) {
        return;
    }
    header.everySeconds = plan.every;
    header.averagedFrames = plan.average;
    m_feed.Follow(plan);
    m_recorder.FollowGaze([gaze = ActiveSourceGaze()] { return UsedGaze(gaze); });
    if (const FileResult started = m_recorder.Start(path, std::move(header)); !started) {
        m_window.ShowMessage(started.Error(), kCaption);
        return;
    }
    ShowStatus();
}

void CRecordingController::End(const std::string& cameraFailure) {
    const std::uint64_t dropped = m_recorder.FramesDropped();
    const std::string end =
        cameraFailure.empty()
            ? "complete"
            : "camera failed after " +
                  std::to_string(m_recorder.FramesWritten() + m_recorder.FramesDropped()) +
                  " frames: " + cameraFailure;
    const FileResult stopped = m_recorder.Stop(end);
    const std::string path = m_recorder.Path();
    const std::string frames = std::to_string(m_recorder.FramesWritten());
    m_strSummary = "Recorded " + frames + " frames to " +
                   std::filesystem::path(path).filename().string() + " (" +
                   std::to_string(dropped) + " dropped)";
    m_window.SetStatusText(1, m_strSummary);
    m_window.SetStatusTip(1, "Recorded " + frames + " frames to " + path + ", " +
                                 std::to_string(dropped) + " dropped");
    if (!stopped) {
        m_window.ShowMessage(stopped.Error(), kCaption);
    }
}

void CRecordingController::EndAtClose() {
    if (!m_recorder.IsRecording()) {
        return;
    }
    if (const FileResult stopped = m_recorder.Stop(); !stopped) {
        std::fprintf(stderr, "pandry: %s\n", stopped.Error().c_str());
    }
}

// Short enough for the 256 window; the tool tip tells the whole.
void CRecordingController::ShowStatus() {
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
