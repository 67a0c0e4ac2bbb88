#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/AcquisitionSession.h"
#include "acquisition/FrameWaiter.h"
#include "acquisition/RecorderFeed.h"
#include "camera/PortCamera.h"
#include "camera/SourceGaze.h"
#include "levels/AutoLevels.h"
#include "platform/files/FileResult.h"
#include "processing/ProcessorFactory.h"
#include "recording/Recorder.h"
#include "recording/RecordingPlan.h"

// A frame as a script receives it: its number and time in the run, and what was in force
// when it was read: offset, gain, and the gaze it was sampled at (sources with a gaze only).
struct ScriptFrame {
    AcquiredFrame acquired;
    int offset = 0;
    int gain = 0;
    std::optional<Gaze> gaze;
};

// A camera a script drives from its own threads: the source opened through a resolver of its
// own (so two cameras live side by side), an acquisition session reading frame after frame,
// and the newest frame waiting for the caller. Settings and the gaze change from the next
// frame read; a recording through the one recorder runs beside the caller's frames.
//
// Threads: the session's thread reads frames; every public member may be called from any
// thread, and NextFrame from several at once (each gets a frame newer than the last given).
class CScriptCamera final : private ISessionHost, private IFrameConsumer {
  public:
    using Wait = CFrameWaiter::Wait;

    // Opens the source (as --camera writes it) and starts reading; null with one line naming
    // the source and the fault in *error otherwise.
    static std::unique_ptr<CScriptCamera> Open(const std::string& source,
                                               const ProcessorSettings& settings,
                                               std::string* error);
    ~CScriptCamera();  // Close, its result lost: scripts close first to hear it
    CScriptCamera(const CScriptCamera&) = delete;
    CScriptCamera& operator=(const CScriptCamera&) = delete;

    // Ends a recording still going ("interrupted") and the reading; later waits end at once.
    // The recording's fault, if it had one, is the result.
    FileResult Close();
    bool IsOpen() const { return !m_bClosing.load(); }
    const std::string& Source() const { return m_strSource; }

    // Waits until `until` for a frame newer than the last one given and read after the last
    // change of settings or gaze; copies it into pFrame (kFrameBytes).
    Wait NextFrame(std::chrono::steady_clock::time_point until, std::uint8_t* pFrame,
                   ScriptFrame* pInfo);
    // Why a wait gave no frame: the run's failure, or no frame within `waited`.
    std::string WaitFailure(Wait wait, std::chrono::milliseconds waited) const;
    // Frames read that no caller took.
    std::uint64_t Missed() const { return m_waiter.Missed(); }
    std::uint64_t FramesRead() const { return m_session.Frames(); }

    ProcessorSettings Settings() const;
    void SetOffset(int offset);
    void SetGain(int gain);
    // Offset and gain chosen from this raw frame, in force from the next frame (a frame with
    // no range to spread leaves them as they are).
    LevelsChoice AutoLevels(const std::uint8_t* pRaw);
    // The dark image in force (all zero without one).
    std::vector<std::int32_t> DarkImage() const;
    // A new dark image as Calibrate makes it, the rounded mean of the frames (kFrameBytes
    // each), stored in path unless empty; in force from the next frame.
    FileResult Calibrate(const std::vector<const std::uint8_t*>& frames, const std::string& path,
                         std::vector<std::int32_t>* pDark);
    // A calibration file given by the script, or none (empty); false with *error when it is
    // no dark image.
    FileResult UseCalibrationFile(const std::string& path);

    // Sources that show a picture (image:, video:, webcam, gst:) have a gaze.
    bool HasGaze() const { return m_pGaze != nullptr; }
    Gaze GetGaze() const;
    void SetGaze(const Gaze& gaze);
    // The size of the source's latest picture (0 x 0 before the first, or without a gaze).
    void PictureSize(int* width, int* height) const;

    // One recording at a time, of the frames read from now on as the plan picks them,
    // described with the settings in force now.
    FileResult StartRecording(const std::string& path, const RecordingPlan& plan);
    bool IsRecording() const;
    // Waits until `until` for the plan to be done, the recorder to fail or the run to end.
    bool WaitRecordingDone(std::chrono::steady_clock::time_point until);
    std::uint64_t RecordingStored() const;
    // Ends the recording and puts its files in place; its one-line fault otherwise. A
    // recording that stored nothing is abandoned, what its names held left as it was.
    FileResult FinishRecording();

  private:
    CScriptCamera(std::string source, const ProcessorSettings& settings,
                  std::shared_ptr<IDeviceResolver> resolver);

    // ISessionHost, on the session's thread.
    CFrameProcessor& PassProcessor() override { return *m_pProcessor; }
    bool StopRequested() const override { return m_bClosing.load(); }
    void BeforeAcquire(CFrameProcessor& processor) override;
    std::int64_t LastReadNanoseconds() const override { return m_camera.LastReadNanoseconds(); }
    void RunFailed(std::uint64_t passes) override;
    void RunStopped(std::uint64_t) override {}
    // IFrameConsumer, on the session's thread, before the waiter has the frame.
    void TakeFrame(const AcquiredFrame& frame, CFrameProcessor& processor) override;
    void RunEnded(bool failed) override;

    void Changed() { m_nGeneration.fetch_add(1); }
    // The dark image in force from the next frame, with the file it is named by (if any).
    void UseDark(std::vector<std::int32_t> dark, const std::string& path, std::string digest);
    FileResult FinishRecordingLocked(std::unique_lock<std::mutex>& lock);

    // What a pass was read with, kept for the frame's caller; noted before its read.
    struct Stamp {
        std::uint64_t index = UINT64_MAX;
        std::uint64_t generation = 0;
        ScriptFrame frame;
    };
    static constexpr std::size_t kStamps = 64;

    const std::string m_strSource;
    std::shared_ptr<CSourceGaze> m_pGaze;  // null: a source without a gaze
    CPortCamera m_camera;
    std::unique_ptr<CFrameProcessor> m_pProcessor;
    CAcquisitionSession m_session;
    CFrameWaiter m_waiter;
    std::mutex m_closeMutex;  // one Close at a time
    std::atomic<bool> m_bClosing{false};
    std::atomic<std::uint64_t> m_nGeneration{0};  // counts changes of settings and gaze

    mutable std::mutex m_settingsMutex;  // guards m_settings and m_dark
    ProcessorSettings m_settings;
    std::vector<std::int32_t> m_dark = std::vector<std::int32_t>(kFrameBytes);

    Stamp m_pass;                         // the session's thread only
    mutable std::mutex m_stampMutex;      // guards m_stamps
    std::array<Stamp, kStamps> m_stamps;  // by index modulo kStamps

    std::mutex m_takeMutex;  // guards m_nLastGiven: one caller takes at a time
    std::uint64_t m_nLastGiven = CFrameWaiter::kNone;

    mutable std::mutex m_recordMutex;  // guards the recording below and m_strFailure
    std::condition_variable m_recordChanged;
    std::unique_ptr<CRecorder> m_pRecorder;
    std::unique_ptr<CRecorderFeed> m_pFeed;
    bool m_bRunEnded = false;
    std::string m_strFailure;  // why the run failed; empty while it did not
    std::uint64_t m_nFailedAfter = 0;
};
