#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "acquisition/AcquisitionSession.h"
#include "camera/PortCamera.h"
#include "levels/AutoLevels.h"
#include "levels/DarkSummary.h"
#include "platform/files/FileResult.h"
#include "processing/FrameProcessor.h"
#include "recording/Recorder.h"
#include "sensor/Defaults.h"
#include "statistics/StageTimes.h"
#include "viewer/AcquisitionHost.h"
#include "viewer/AcquisitionThread.h"
#include "viewer/FlatCalibration.h"
#include "viewer/FrameSurface.h"
#include "viewer/RecordingController.h"
#include "viewer/SensorSnapshot.h"
#include "viewer/ViewerLayout.h"
#include "viewer/ViewerStartup.h"
#include "viewer/ViewerTypes.h"
#include "viewer/WindowServices.h"

// Makes a new, unconfigured processor for the colour (true) or black-and-white sensor.
using ProcessorFactory = std::function<std::unique_ptr<CFrameProcessor>(bool bColor)>;
using MillisecondClock = std::function<std::int64_t()>;

// Where acquisition stands, as m_bRunning, m_bGrabbed and m_bThreadActive encode it.
enum class AcquisitionState {
    Idle,     // never started, or stopped with nothing left on screen
    Running,  // the worker passes frame after frame
    Paused,   // Start pressed again: the worker has ended, its last frame stays shown
    Grabbed,  // Grab: as Paused, and the frame can be saved
};

// The viewer window's logic without its widgets: acquisition state, layout, the commands
// and their stop protocol, and what the acquisition thread does each pass. Every member
// function runs on the user-interface thread except those the worker calls (marked); the
// worker reaches the core only through CAcquisitionHost.
//
// Protocol with the worker: the processor, the image size, the view and the buffers change
// only after the worker has ended (a stop form joins it first); while it runs the window only
// raises the calibrate request, flips the histogram flag, reconfigures the processor with the
// size unchanged, raises m_bStop and paints.
class CViewerCore final : private CAcquisitionHost {
  public:
    CViewerCore(CFrameSurface& surface, CWindowServices& window, ProcessorFactory makeProcessor,
                std::unique_ptr<CPortCamera> pCamera);
    CViewerCore(const CViewerCore&) = delete;
    CViewerCore& operator=(const CViewerCore&) = delete;
    ~CViewerCore();

    void OnInitDialog();
    void OnPaint();
    void OnDestroy();

    void OnSave();
    void OnGrab();
    void OnStart();
    void OnCalibrate();
    void OnZoom();
    void OnHistogram();
    void OnSettings();
    void OnRemap();
    void OnMedian();
    void OnAutoLevels();

    // Before the window is created: the command line's initial values.
    void ApplyStartup(const ViewerStartup& startup);
    // How the operator knows the camera source; status pane 1 names it until the first Start.
    void SetSourceName(std::string name);
    // Called by a UI timer: takes what the worker has chosen, measured or met (levels,
    // calibration, a lost camera, the end of a run) and shows it.
    void PollWorker();
    void OnRecord();

    void LayoutWindow();
    void LayoutImageArea();
    void StopAcquisition();

    // Status pane 1: live rate and count while acquisition runs, or a notice the operator
    // must read (a lost camera, a file that could not be written); called by a UI timer.
    void RefreshFrameRate();
    // A notice for the operator, shown at the next refresh (worker and window both post).
    void PostNotice(std::string text) override;

    // What a recording's sidecar names as its source (the camera source's text).
    void SetSourceDescription(std::string source) { m_strSource = std::move(source); }
    const std::string& SourceDescription() const { return m_strSource; }
    // Start values from a recording's sidecar (sensor and settings), before the window opens.
    void UseRecordedSettings(const RecordingMetadata& metadata);

    // Where the timing report goes ("time.inf" in the current folder unless told).
    void SetTimingPath(std::string path) { m_strTimingPath = std::move(path); }
    void SetClock(MillisecondClock clock) { m_clock = std::move(clock); }

    AcquisitionState State() const;
    int IsRunning() const { return m_bRunning.load(); }
    int IsGrabbed() const { return m_bGrabbed.load(); }
    int IsStarted() const { return m_bStarted; }
    int IsRemap() const { return m_bRemap.load(); }
    int IsMedian() const { return m_bMedian; }
    bool IsRecording() const { return m_recording.IsRecording(); }
    const CRecorder& Recorder() const { return m_recording.Recorder(); }
    int IsZoomed() const { return m_bZoomed; }
    // Tools > Running Average: the live picture becomes the mean of the last n (1: off).
    void SetAveragedPictures(std::size_t n) { m_nAveragedPictures = n; }
    std::size_t AveragedPictures() const override { return m_nAveragedPictures.load(); }
    // Tools > Calibrate Flat: the next frames become the flat image in path.
    void BeginFlatCalibration(std::string path) { m_flatCalibration.Begin(std::move(path)); }
    bool IsCalibratingFlat() const { return m_flatCalibration.IsBusy(); }
    int IsColorProcessor() const { return m_bColorProcessor; }
    bool IsHistogramShown() const;
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    // Passes completed by the worker since the last Start.
    int FramesDone() const { return m_nFramesDone.load(); }
    int ConfiguredOffset() const { return m_nCfgOffset; }
    int ConfiguredGain() const { return m_nCfgGain; }
    bool IsAutoLevelsPending() const { return m_bLevelsRequested.load(); }
    // Reads that failed since the window opened (each one ends a run).
    int FailedReads() const { return m_nFailedReads.load(); }
    const CStageTimes& StageTimes() const { return m_stageTimes; }

  private:
    friend class CViewerCoreTestPeer;

    void RebuildProcessor();
    void DeleteProcessor();
    void WaitForAcquisition();  // the wait-only stop
    // Stops the worker: raises m_bStop, cancels its read (through the session) and joins it.
    void JoinAcquisition();
    void CancelCameraReads();
    void ResumeCameraReads();
    // The device is opened and probed off this thread; a silent one never holds the window.
    void StartProbe(int port);
    void FinishProbe();
    void NoteCalibrationLoad();
    void ConfigureProcessor(CFrameProcessor& processor) const;
    void ApplyLevels(const LevelsChoice& choice);
    void ReportAcquisitionEnd();

    // Worker only: CAcquisitionHost, and what it calls.
    void BeginRun(const CFrameProcessor* pProcessor) override;
    bool StopRequested() const override { return m_bStop; }
    std::int64_t NowMilliseconds() const override { return m_clock(); }
    CStageTimes& RunStageTimes() override { return m_stageTimes; }
    std::int64_t LastReadNanoseconds() const override;
    void FailRun() override;
    void HoldFrame() override;
    bool RemapWanted() const override { return m_bRemap != 0; }
    std::uint8_t* FrameBuffer() override { return m_pFrameRgb.get(); }
    bool ShowFrame(const CFrameProcessor& processor) override;
    void DrawLastFrame(const CFrameProcessor* pProcessor) override;
    std::uint64_t HistogramGeneration() const override { return m_surface.HistogramGeneration(); }
    void ShowHistogram(std::uint64_t generation) override;
    void CountPasses(int frames) override { m_nFramesDone = frames; }
    const std::string& TimingPath() const override { return m_strTimingPath; }
    void EndRun(int frames, std::int64_t milliseconds) override;
    void StartSensorSnapshots(const CFrameProcessor& processor);
    void ServeCalibration(CFrameProcessor& processor) override;
    void ServeFlatCalibration(const CFrameProcessor& processor) override;
    bool ServeAutoLevels(CFrameProcessor& processor) override;
    void AttachSensorSnapshot(const CFrameProcessor& processor);
    void EndRecording();
    RecordingMetadata RecordingHeader() const;

    // Frame display: SetupFrameDisplay and DrawFrame also run on the worker; the background
    // is a toolkit picture and is loaded on the user-interface thread only.
    void LoadBackground();
    void SetupFrameDisplay();
    void DrawFrame();
    void EndFrameDisplay();
    // Histogram view: the first three run on the worker only.
    void SetupHistogramDisplay();
    void BuildHistogramImage();
    void DrawHistogram(std::uint64_t generation);
    void EndHistogramDisplay();

    CFrameSurface& m_surface;
    CWindowServices& m_window;
    ProcessorFactory m_makeProcessor;
    std::unique_ptr<CPortCamera> m_pCamera;
    std::unique_ptr<CFrameProcessor> m_pProcessor;  // g_pProcessor mirrors it
    bool m_bDestroyed = false;

    // Shared with the worker (through CAcquisitionHost); each is atomic, nothing else guards it.
    std::atomic<int> m_bRunning{0};
    // Not "a thread exists": true from Start until the run's frame display is ended, so it
    // stays true through a pause or a Grab (thread joined, last frame still shown) and is
    // cleared by a stop that ends the display or by the worker when the camera fails.
    std::atomic<bool> m_bThreadActive{false};
    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_bGrabbed{0};
    std::atomic<int> m_bRemap{1};
    std::atomic<std::size_t> m_nAveragedPictures{1};  // set by the window, read by the worker
    CFlatCalibration m_flatCalibration;               // guarded inside
    std::atomic<std::uint8_t*> m_pFrameShown{nullptr};
    std::atomic<std::uint8_t*> m_pHistShown{nullptr};
    std::atomic<int> m_yImage{0};
    std::atomic<int> m_nFramesDone{0};
    std::atomic<bool> m_bAcquisitionFailed{false};
    std::atomic<bool> m_bRunEnded{false};
    std::atomic<int> m_nRunFrames{0};
    std::atomic<std::int64_t> m_nRunMs{0};
    std::atomic<int> m_nFailedReads{0};
    std::atomic<bool> m_bLevelsRequested{false};
    std::atomic<bool> m_bHeldFrame{false};  // the processor holds an acquired frame
    std::mutex m_newsMutex;                 // guards m_levelsNews, m_calibrationNews and m_flatNews
    std::optional<LevelsChoice> m_levelsNews;
    std::optional<std::optional<DarkSummary>> m_calibrationNews;  // inner empty: failed
    std::string m_flatNews;  // a flat stored or refused, for the operator; empty: none
    CStageTimes m_stageTimes;
    SensorFrame m_snapshot;                      // worker only, while a worker exists
    CRecordingController m_recording{m_window};  // its recorder is fed by the worker
    CViewerRun m_run{*this};
    // The acquisition thread: the recorder, then the screen, take each frame. Declared after
    // what its run uses, so it is stopped first.
    CAcquisitionSession m_session{[this] { CancelCameraReads(); }, [this] { ResumeCameraReads(); }};
    bool m_bLevelsFromAutoLevels = false;  // offset and gain as Auto Levels last chose them
    std::string m_strSource;
    std::thread m_probeThread;

    mutable std::mutex m_noticeMutex;  // guards m_strNotice
    std::string m_strNotice;
    std::int64_t m_nNoticeUntilMs = 0;  // the rate waits until then (window thread only)

    int m_bStarted = 0;
    int m_bMedian = 0;
    int m_bZoomed = 0;
    int m_bColorProcessor = 0;
    int m_nPort = kDefaultPortAddress;

    int m_nCfgMedian = kDefaultMedian;
    int m_nCfgOffset = kDefaultOffset;
    int m_nCfgAux1 = kDefaultAux;
    int m_nCfgAux2 = kDefaultAux;
    int m_nCfgGain = kDefaultGain;
    int m_nWidth = kDefaultSize;
    int m_nHeight = kDefaultSize;

    // Sized by SetupFrameDisplay (on either thread, never while the other uses them).
    std::unique_ptr<std::uint8_t[]> m_pFrameRgb;
    std::unique_ptr<std::uint8_t[]> m_pTurnBuffer;
    std::unique_ptr<std::uint8_t[]> m_pHistImage;
    CViewerGeometry m_geometry;

    std::string m_strTimingPath = "time.inf";
    std::string m_strSourceName;
    MillisecondClock m_clock;
    std::int64_t m_nRateSinceMs = 0;
    int m_nRateSinceFrames = 0;
    long long m_nLastRate = -1;  // the last live rate shown in this run
};
