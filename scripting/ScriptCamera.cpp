#include "scripting/ScriptCamera.h"

#include <cstdio>
#include <utility>

#include "camera/CameraSource.h"
#include "camera/GazeTrack.h"
#include "levels/DisplayRange.h"
#include "processing/CalibrationFile.h"
#include "recording/FileDigest.h"
#include "scripting/RecordingDescription.h"
#include "sensor/Defaults.h"

namespace {

constexpr std::size_t kRecorderRing = 64;

}  // namespace

std::unique_ptr<CScriptCamera> CScriptCamera::Open(const std::string& source,
                                                   const ProcessorSettings& settings,
                                                   std::string* error) {
    CameraSourceChoice choice;
    if (!ParseCameraSource(source, &choice, error)) {
        return nullptr;
    }
    std::shared_ptr<IDeviceResolver> resolver = MakeCameraResolver(choice, error);
    if (!resolver) {
        return nullptr;
    }
    std::unique_ptr<CScriptCamera> camera(new CScriptCamera(source, settings, resolver));
    if (const FileResult used = camera->UseCalibrationFile(settings.calibration); !used) {
        *error = used.Error();
        return nullptr;
    }
    if (!camera->m_camera.Open(kDefaultPortAddress)) {
        const std::string reason = camera->m_camera.OpenError();
        *error = reason.empty() ? "no camera answers on source '" + source + "'" : reason;
        return nullptr;
    }
    camera->m_pProcessor = MakeConfiguredProcessor(settings);
    camera->m_pProcessor->SetCamera(&camera->m_camera);
    camera->m_session.Start(camera.get());
    return camera;
}

CScriptCamera::CScriptCamera(std::string source, const ProcessorSettings& settings,
                             std::shared_ptr<IDeviceResolver> resolver)
    : m_strSource(std::move(source)),
      m_pGaze(SourceGazeOf(*resolver)),
      m_camera(std::move(resolver)),
      m_session([this] { m_camera.CancelReads(); }, {}),
      m_settings(settings) {
    m_session.AddConsumer(this);
    m_session.AddConsumer(&m_waiter);
}

CScriptCamera::~CScriptCamera() {
    [[maybe_unused]] const FileResult closed = Close();
}

FileResult CScriptCamera::Close() {
    std::lock_guard closing(m_closeMutex);
    m_bClosing = true;
    m_session.Stop();
    std::unique_lock lock(m_recordMutex);
    return m_pRecorder ? FinishRecordingLocked(lock) : FileResult();
}

void CScriptCamera::BeforeAcquire(CFrameProcessor&) {
    m_pass.generation = m_nGeneration.load();
    std::lock_guard lock(m_settingsMutex);
    m_pass.frame.offset = m_settings.offset;
    m_pass.frame.gain = m_settings.gain;
}

void CScriptCamera::TakeFrame(const AcquiredFrame& frame, CFrameProcessor& processor) {
    m_pass.index = frame.index;
    m_pass.frame.acquired = frame;
    // A picture file keeps a fixed view until its gaze first moves: the gaze set stands for it.
    m_pass.frame.gaze.reset();
    if (m_pGaze) {
        m_pass.frame.gaze = m_pGaze->Used().value_or(m_pGaze->Get());
    }
    {
        std::lock_guard lock(m_stampMutex);
        m_stamps[frame.index % kStamps] = m_pass;
    }
    std::lock_guard lock(m_recordMutex);
    if (m_pFeed) {
        m_pFeed->TakeFrame(frame, processor);
        if (m_pFeed->Done() || m_pRecorder->HasFailed()) {
            m_recordChanged.notify_all();
        }
    }
}

void CScriptCamera::RunFailed(std::uint64_t passes) {
    std::lock_guard lock(m_recordMutex);
    m_strFailure = m_camera.ReadFailure();
    m_nFailedAfter = passes;
}

void CScriptCamera::RunEnded(bool) {
    std::lock_guard lock(m_recordMutex);
    m_bRunEnded = true;
    m_recordChanged.notify_all();
}

CScriptCamera::Wait CScriptCamera::NextFrame(std::chrono::steady_clock::time_point until,
                                             std::uint8_t* pFrame, ScriptFrame* pInfo) {
    // Changes made before this call show in the frame given.
    const std::uint64_t wanted = m_nGeneration.load();
    std::lock_guard take(m_takeMutex);
    for (;;) {
        AcquiredFrame acquired;
        const Wait wait = m_waiter.NextFrame(m_nLastGiven, until, pFrame, &acquired);
        if (m_bClosing) {
            return Wait::kEnded;  // a frame still waiting is not given after Close
        }
        if (wait != Wait::kFrame) {
            return wait;
        }
        m_nLastGiven = acquired.index;
        std::lock_guard lock(m_stampMutex);
        const Stamp& stamp = m_stamps[acquired.index % kStamps];
        if (stamp.index == acquired.index && stamp.generation >= wanted) {
            *pInfo = stamp.frame;
            return Wait::kFrame;
        }
    }
}

std::string CScriptCamera::WaitFailure(Wait wait, std::chrono::milliseconds waited) const {
    if (wait == Wait::kEnded) {
        std::lock_guard lock(m_recordMutex);
        if (!m_strFailure.empty()) {
            return "source '" + m_strSource + "' failed after " + std::to_string(m_nFailedAfter) +
                   " frames: " + m_strFailure;
        }
        return "camera on source '" + m_strSource + "' is closed";
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", double(waited.count()) / 1000);
    return "source '" + m_strSource + "' gave no frame in " + seconds + " s";
}

ProcessorSettings CScriptCamera::Settings() const {
    std::lock_guard lock(m_settingsMutex);
    return m_settings;
}

void CScriptCamera::SetOffset(int offset) {
    {
        std::lock_guard lock(m_settingsMutex);
        m_settings.offset = offset;
    }
    Changed();
}

void CScriptCamera::SetGain(int gain) {
    {
        std::lock_guard lock(m_settingsMutex);
        m_settings.gain = gain;
    }
    Changed();
}

LevelsChoice CScriptCamera::AutoLevels(const std::uint8_t* pRaw) {
    LevelsChoice choice;
    {
        std::lock_guard lock(m_settingsMutex);
        choice = ChooseLevels(pRaw, m_dark.data(), DisplayRangeFor(m_settings.color));
        if (!choice.bFlat) {
            m_settings.offset = choice.offset;
            m_settings.gain = choice.gain;
        }
    }
    Changed();
    return choice;
}

std::vector<std::int32_t> CScriptCamera::DarkImage() const {
    std::lock_guard lock(m_settingsMutex);
    return m_dark;
}

FileResult CScriptCamera::Calibrate(const std::vector<const std::uint8_t*>& frames,
                                    const std::string& path, std::vector<std::int32_t>* pDark) {
    std::vector<std::int32_t> dark(kFrameBytes);
    AverageDarkFrames(frames.data(), int(frames.size()), dark.data());  // as Calibrate does
    std::string digest;
    if (!path.empty()) {
        if (FileResult stored = StoreCalibrationFile(path, dark.data()); !stored) {
            return stored;
        }
        if (FileResult hashed = Sha256OfFile(path, &digest); !hashed) {
            return hashed;
        }
    }
    *pDark = dark;
    UseDark(std::move(dark), path, std::move(digest));
    return {};
}

FileResult CScriptCamera::UseCalibrationFile(const std::string& path) {
    std::vector<std::int32_t> dark(kFrameBytes);
    std::string digest;
    if (!path.empty()) {
        if (FileResult loaded = LoadCalibrationFile(path, dark.data()); !loaded) {
            return loaded;
        }
        if (FileResult hashed = Sha256OfFile(path, &digest); !hashed) {
            return hashed;
        }
    }
    UseDark(std::move(dark), path, std::move(digest));
    return {};
}

void CScriptCamera::UseDark(std::vector<std::int32_t> dark, const std::string& path,
                            std::string digest) {
    {
        std::lock_guard lock(m_settingsMutex);
        m_dark = std::move(dark);
        m_settings.calibration = path;
        m_settings.calibrationSha256 = std::move(digest);
    }
    Changed();
}

Gaze CScriptCamera::GetGaze() const {
    return m_pGaze ? m_pGaze->Get() : Gaze();
}

void CScriptCamera::SetGaze(const Gaze& gaze) {
    if (m_pGaze) {
        m_pGaze->Set(gaze);
        Changed();
    }
}

void CScriptCamera::PictureSize(int* width, int* height) const {
    *width = *height = 0;
    if (m_pGaze) {
        m_pGaze->PictureSize(width, height);
    }
}

FileResult CScriptCamera::StartRecording(const std::string& path, const RecordingPlan& plan) {
    std::lock_guard lock(m_recordMutex);
    if (m_pRecorder) {
        return FileResult::Failure("cannot record " + path + ": " + m_pRecorder->Path() +
                                   " is still being recorded");
    }
    // Every frame the plan picks is kept, as pandry-cli record keeps them: reads wait for disk.
    auto pRecorder = std::make_unique<CRecorder>(kRecorderRing, CRecorder::FullRing::kWait);
    pRecorder->FollowGaze([gaze = m_pGaze] { return UsedGaze(gaze); });
    if (FileResult started =
            pRecorder->Start(path, DescribeRecording(Settings(), m_strSource, plan));
        !started) {
        return started;
    }
    m_pFeed = std::make_unique<CRecorderFeed>(*pRecorder);
    m_pFeed->Follow(plan);
    m_pRecorder = std::move(pRecorder);
    return {};
}

bool CScriptCamera::IsRecording() const {
    std::lock_guard lock(m_recordMutex);
    return m_pRecorder != nullptr;
}

bool CScriptCamera::WaitRecordingDone(std::chrono::steady_clock::time_point until) {
    std::unique_lock lock(m_recordMutex);
    return m_recordChanged.wait_until(lock, until, [this] {
        return !m_pFeed || m_pFeed->Done() || m_pRecorder->HasFailed() || m_bRunEnded;
    });
}

std::uint64_t CScriptCamera::RecordingStored() const {
    std::lock_guard lock(m_recordMutex);
    return m_pFeed ? m_pFeed->Stored() : 0;
}

FileResult CScriptCamera::FinishRecording() {
    std::unique_lock lock(m_recordMutex);
    if (!m_pRecorder) {
        return {};
    }
    return FinishRecordingLocked(lock);
}

FileResult CScriptCamera::FinishRecordingLocked(std::unique_lock<std::mutex>& lock) {
    std::unique_ptr<CRecorder> pRecorder = std::move(m_pRecorder);
    std::unique_ptr<CRecorderFeed> pFeed = std::move(m_pFeed);
    const bool failed = !m_strFailure.empty();
    const std::string end = failed ? "camera failed after " + std::to_string(m_nFailedAfter) +
                                         " frames: " + m_strFailure
                            : pFeed->Done() ? "complete"
                                            : "interrupted";
    lock.unlock();  // no frame reaches the recorder any more
    if (pFeed->Stored() == 0 && !pRecorder->HasFailed()) {
        pRecorder->Abandon();
        return FileResult::Failure("cannot record " + pRecorder->Path() +
                                   ": no frame came; nothing written");
    }
    return pRecorder->Stop(end, failed ? 1 : 0);
}
