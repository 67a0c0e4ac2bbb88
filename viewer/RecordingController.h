#pragma once

#include <string>

#include "acquisition/RecorderFeed.h"
#include "recording/Recorder.h"

class CWindowServices;

// Tools > Record in the viewer: the recorder the acquisition session feeds, the file the
// operator chooses, the recording's status in pane 1 and the summary it leaves there. Window
// thread only; the worker reaches the recorder only through the feed (a session consumer).
class CRecordingController {
  public:
    explicit CRecordingController(CWindowServices& window) : m_window(window) {}

    CRecorder& Recorder() { return m_recorder; }
    const CRecorder& Recorder() const { return m_recorder; }
    // The session's consumer that feeds the recorder as the operator's plan says.
    CRecorderFeed& Feed() { return m_feed; }
    bool IsRecording() const { return m_recorder.IsRecording(); }

    // Asks for a file and starts recording, the sidecar describing the run as header does.
    void Begin(RecordingMetadata header);
    // Ends the recording and leaves its summary in pane 1; cameraFailure, when not empty,
    // is how the camera was lost (the sidecar's end).
    void End(const std::string& cameraFailure);
    // Ends a recording as the window closes: no message box, a failure goes to stderr.
    void EndAtClose();
    void ShowStatus();

    // What the last recording wrote; pane 1 shows it until the next Start.
    const std::string& Summary() const { return m_strSummary; }
    void ForgetSummary() { m_strSummary.clear(); }

  private:
    CWindowServices& m_window;
    CRecorder m_recorder;
    CRecorderFeed m_feed{m_recorder};
    std::string m_strSummary;
};
