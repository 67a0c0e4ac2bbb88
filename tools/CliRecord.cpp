#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "acquisition/AcquisitionSession.h"
#include "acquisition/RecorderFeed.h"
#include "camera/CameraSource.h"
#include "camera/GazeTrack.h"
#include "camera/PortCamera.h"
#include "platform/files/BoundedRead.h"
#include "processing/CalibrationFile.h"
#include "processing/ProcessorFactory.h"
#include "recording/FileDigest.h"
#include "recording/Recorder.h"
#include "recording/RecordingPlan.h"
#include "scripting/RecordingDescription.h"
#include "sensor/Defaults.h"
#include "sensor/LogPolarFrame.h"
#include "sidecar/RecordingMetadata.h"
#include "tools/CliCommands.h"
#include "tools/CliOptions.h"
#include "tools/CliSettings.h"

namespace {

constexpr long kMaxFrames = 1000000;
constexpr int kInterruptedExit = 130;  // as a shell reports a command ended by Ctrl-C

std::atomic<bool> g_bInterrupted{false};  // set by the main thread when Ctrl-C came
// Ctrl-C is blocked in every thread and read here by the main thread, which waits for it or
// for the run's end (written to the pipe), so no handler runs while frames are read.
int g_interruptFd = -1;
int g_wakePipe[2] = {-1, -1};

struct RecordOptions {
    std::string camera = CameraSourceFromEnvironment();
    long frames = 0;     // 0: no count, --seconds ends the run
    double seconds = 0;  // 0: no time limit
    double every = 0;    // 0: every frame read is stored
    long average = 1;
    RenderOptions render;
    bool bCalibrationCopy = false;
    std::string output;
};

void Wake() {
    [[maybe_unused]] const ssize_t ignored = ::write(g_wakePipe[1], "x", 1);
}

// Ctrl-C ends the recording early but cleanly; SIGTERM and SIGHUP still end the process
// (the output file's clean-up removes its temporary copy). Called before any thread starts,
// so every thread inherits the blocked Ctrl-C.
bool CatchInterrupt(std::string* error) {
    sigset_t interrupt;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    if (::pipe2(g_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0 ||
        ::pthread_sigmask(SIG_BLOCK, &interrupt, nullptr) != 0 ||
        (g_interruptFd = ::signalfd(-1, &interrupt, SFD_CLOEXEC | SFD_NONBLOCK)) < 0) {
        *error = std::string("cannot wait for Ctrl-C: ") + std::strerror(errno);
        return false;
    }
    return true;
}

// Sleeps until Ctrl-C or the run's end.
void WaitForWake() {
    pollfd wake[2] = {{g_wakePipe[0], POLLIN, 0}, {g_interruptFd, POLLIN, 0}};
    while (::poll(wake, 2, -1) < 0 && errno == EINTR) {
    }
    signalfd_siginfo signal{};
    if (::read(g_interruptFd, &signal, sizeof signal) == ssize_t(sizeof signal)) {
        g_bInterrupted = true;
    }
    char drained[16];
    while (::read(g_wakePipe[0], drained, sizeof drained) > 0) {
    }
}

// The run of a recording on the acquisition session: it stops at the count or the time,
// on Ctrl-C, when the recorder can write no more, or at a failed read.
class CRecordRun final : public ISessionHost {
  public:
    CRecordRun(const RecordOptions& options, CFrameProcessor& processor, const CPortCamera& camera,
               const CRecorder& recorder, const CRecorderFeed& feed)
        : m_processor(processor),
          m_camera(camera),
          m_recorder(recorder),
          m_feed(feed),
          m_nLimitUs(options.seconds > 0 ? std::int64_t(options.seconds * 1e6) : INT64_MAX),
          m_bTerminal(isatty(STDERR_FILENO)) {}

    void RunStarting() override { m_start = std::chrono::steady_clock::now(); }
    CFrameProcessor& PassProcessor() override { return m_processor; }
    bool StopRequested() const override {
        return g_bInterrupted || m_feed.Done() || m_recorder.HasFailed() ||
               MicrosecondsSince(m_start) >= m_nLimitUs;
    }
    std::int64_t LastReadNanoseconds() const override { return m_camera.LastReadNanoseconds(); }
    void PassEnded(std::uint64_t) override {
        if (m_bTerminal) {
            std::fprintf(stderr, "\rrecording %llu frames",
                         static_cast<unsigned long long>(m_feed.Stored()));
        }
    }
    void RunFailed(std::uint64_t) override {
        m_strReadFailure = m_camera.ReadFailure();
        m_bFailed = true;
        End();
    }
    void RunStopped(std::uint64_t) override { End(); }

    // After the session's thread was joined.
    bool Failed() const { return m_bFailed; }
    const std::string& ReadFailure() const { return m_strReadFailure; }
    bool Interrupted() const { return g_bInterrupted.load(); }
    bool HasEnded() const { return m_bEnded.load(); }

  private:
    void End() {
        if (m_bTerminal) {
            std::fputc('\n', stderr);
        }
        m_bEnded = true;
        Wake();
    }

    CFrameProcessor& m_processor;
    const CPortCamera& m_camera;
    const CRecorder& m_recorder;
    const CRecorderFeed& m_feed;
    const std::int64_t m_nLimitUs;
    const bool m_bTerminal;
    // The session's thread only, until it is joined.
    std::chrono::steady_clock::time_point m_start;
    bool m_bFailed = false;
    std::string m_strReadFailure;
    std::atomic<bool> m_bEnded{false};
};

RecordingPlan PlanOf(const RecordOptions& options) {
    RecordingPlan plan;
    plan.frames = std::uint64_t(options.frames > 0 ? options.frames : kMaxFrames);
    plan.seconds = options.seconds;
    plan.every = options.every;
    plan.average = unsigned(options.average);
    return plan;
}

// The header of the sidecar: everything known before the first frame.
bool DescribeRecording(const RecordOptions& options, const std::string& source,
                       RecordingMetadata* metadata, RenderSettings* pSettings, std::string* error) {
    CameraSourceChoice choice;
    ParseCameraSource(source, &choice, error);
    RenderOptions render = options.render;
    if (!render.given.color) {
        render.given.color = choice.simulation.color;
    }
    RenderSettings& settings = *pSettings;
    if (!ReadRenderSettings(render, &settings, error)) {
        return false;
    }
    *metadata = ::DescribeRecording(settings, source, PlanOf(options));
    if (!settings.calibration.empty()) {
        if (options.bCalibrationCopy) {
            metadata->calibrationCopy = std::filesystem::path(options.output).filename().string() +
                                        "." + kDefaultCalibrationFile;
        }
    } else if (options.bCalibrationCopy) {
        *error = "--calibration-copy: no calibration file is in force";
        return false;
    }
    if (!settings.flat.empty()) {
        metadata->flatPath = std::filesystem::absolute(settings.flat).string();
        metadata->flatSha256 = settings.flatSha256;
    }
    return true;
}

// Reads frames on the acquisition session into the recorder until the run ends; the main
// thread waits, and turns Ctrl-C into a stop that also ends a read waiting for the camera.
void RunSession(CAcquisitionSession& session, CRecordRun& run) {
    session.Start(&run);
    while (!run.HasEnded()) {
        WaitForWake();
        if (g_bInterrupted) {
            session.RequestStop();
        }
    }
    session.Join();
}

int RunRecord(const RecordOptions& options) {
    std::string error;
    // Before any thread (a media source's) exists.
    if (!CatchInterrupt(&error)) {
        return CliFail(error);
    }
    const std::string& source = options.camera;
    if (!SelectCameraSource(source, &error)) {
        return CliFail(error, kUsageError);
    }
    const std::string& output = options.output;
    RecordingMetadata metadata;
    RenderSettings settings;
    if (!DescribeRecording(options, source, &metadata, &settings, &error)) {
        return CliFail(error, kUsageError);
    }
    // Every part is written aside and put in place together at the end, so a failed or
    // interrupted recording leaves what was there before as it was; the names are all
    // checked before the first frame. No frame is dropped: the reads wait for the disk.
    CRecorder recorder(64, CRecorder::FullRing::kWait);
    if (!metadata.calibrationCopy.empty()) {
        std::string bytes;
        if (const FileResult read =
                ReadSmallRegularFile(metadata.calibrationPath, kCalibrationFileBytes, &bytes);
            !read) {
            return CliFail(read.Error());
        }
        recorder.AddCompanionFile(
            (std::filesystem::path(output).parent_path() / metadata.calibrationCopy).string(),
            std::move(bytes));
    }
    recorder.FollowGaze([gaze = ActiveSourceGaze()] { return UsedGaze(gaze); });
    CPortCamera camera;
    if (!camera.Open(kDefaultPortAddress)) {
        return CliFail(camera.OpenError().empty() ? "no camera answers on source '" + source + "'"
                                                  : camera.OpenError());
    }
    std::unique_ptr<CFrameProcessor> pProcessor = MakeConfiguredProcessor(settings);
    pProcessor->SetCamera(&camera);
    if (const FileResult started = recorder.Start(output, metadata); !started) {
        return CliFail(started.Error());
    }
    CAcquisitionSession session([&camera] { camera.CancelReads(); }, {});
    CRecorderFeed feed(recorder);
    feed.Follow(PlanOf(options));
    session.AddConsumer(&feed);
    CRecordRun run(options, *pProcessor, camera, recorder, feed);
    RunSession(session, run);
    const std::uint64_t read = session.Frames();
    const std::string readFailure = run.Failed() ? "cannot read frame " + std::to_string(read + 1) +
                                                       " from source '" + options.camera +
                                                       "': " + run.ReadFailure()
                                                 : std::string();
    if (read == 0 && !recorder.HasFailed()) {
        recorder.Abandon();
        if (!readFailure.empty()) {
            return CliFail(readFailure + "; nothing written");
        }
        return CliFail("interrupted before the first frame; nothing written", kInterruptedExit);
    }
    const std::string end = run.Failed() ? "camera failed after " + std::to_string(read) +
                                               " frames: " + run.ReadFailure()
                            : run.Interrupted() ? "interrupted"
                                                : "complete";
    if (const FileResult stopped = recorder.Stop(end, run.Failed() ? 1 : 0); !stopped) {
        return CliFail(stopped.Error());
    }
    const std::string recorded = std::to_string(recorder.FramesWritten());
    if (!readFailure.empty()) {
        return CliFail(readFailure + "; " + output + " holds the " + recorded +
                       " whole frames read before");
    }
    if (end == "interrupted") {
        return CliFail("interrupted: " + output + " holds the " + recorded + " frames recorded",
                       kInterruptedExit);
    }
    return 0;
}

}  // namespace

CliCommand AddRecordCommand(CLI::App& tool) {
    auto options = std::make_shared<RecordOptions>();
    CLI::App* command = tool.add_subcommand("record", "Record frames from the camera");
    AddCameraOption(*command, &options->camera);
    CLI::Option* frames =
        command->add_option("--frames", options->frames, "Frames to record, 1 to 1000000")
            ->transform(WholeNumber(1, kMaxFrames))
            ->option_text("N");
    CLI::Option* seconds =
        command->add_option("--seconds", options->seconds, "Seconds to record for")
            ->check(FiniteNumber(0.001, 31.0 * 24 * 3600))
            ->option_text("S");
    command
        ->add_option("--every", options->every,
                     "Store one time point every S seconds (0.001 to 86400); N counts time points")
        ->check(FiniteNumber(0.001, kLongestInterval))
        ->option_text("S");
    command
        ->add_option("--average", options->average,
                     "Store the mean of N frames read in a row as each frame, rounded to the "
                     "nearest level (halves up), 1 to 10000")
        ->transform(WholeNumber(1, kMostAveragedFrames))
        ->option_text("N");
    // At least one of the two ends the run; with both, whichever comes first.
    command->callback([frames, seconds] {
        if (frames->count() == 0 && seconds->count() == 0) {
            throw CLI::RequiredError("--frames or --seconds");
        }
    });
    AddRenderOptions(*command, &options->render);
    command
        ->add_flag("--calibration-copy", options->bCalibrationCopy,
                   "Store the calibration as OUT.raw.calimage.data")
        ->disable_flag_override();
    command->add_option("OUT.raw", options->output, "The recording")->required();
    command->footer(
        "Reads N frames (or for S seconds, whichever ends first) from the camera and writes\n"
        "them back to back to OUT.raw, which replays with --camera replay:OUT.raw, and\n"
        "describes them in OUT.raw.json: sensor, settings, view, source, calibration (path and\n"
        "SHA-256), start time, each frame's index and time in microseconds, and how the run\n"
        "ended. A failed read or Ctrl-C keeps the whole frames recorded so far (the exit status\n"
        "then is not 0).\n"
        "With --every S, time point k starts with the first frame read k*S seconds or more after\n"
        "the first (one that comes due while the one before is still averaging starts at once).\n"
        "With --average N each time point (or each stored frame) is the mean of N frames read in\n"
        "a row; its time is that of its first frame. The sidecar's \"plan\" records both.");
    return [options] { return RunRecord(*options); };
}
