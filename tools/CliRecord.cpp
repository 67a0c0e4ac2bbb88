#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "camera/CameraSource.h"
#include "camera/GazeTrack.h"
#include "camera/PortCamera.h"
#include "platform/files/BoundedRead.h"
#include "platform/files/OutputBatch.h"
#include "platform/files/StaleTempFiles.h"
#include "processing/CalibrationFile.h"
#include "recording/FileDigest.h"
#include "sensor/Defaults.h"
#include "sensor/LogPolarFrame.h"
#include "sidecar/RecordingMetadata.h"
#include "tools/CliCommands.h"
#include "tools/CliOptions.h"
#include "tools/CliSettings.h"

namespace {

constexpr long kMaxFrames = 1000000;
constexpr int kInterruptedExit = 130;  // as a shell reports a command ended by Ctrl-C

volatile std::sig_atomic_t g_bInterrupted = 0;

struct RecordOptions {
    std::string camera = CameraSourceFromEnvironment();
    long frames = 0;
    RenderOptions render;
    bool bCalibrationCopy = false;
    std::string output;
};

void OnInterrupt(int) {
    g_bInterrupted = 1;
}

// Ctrl-C ends the recording early but cleanly; SIGTERM and SIGHUP still end the process
// (the output file's clean-up removes its temporary copy).
void CatchInterrupt() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
}

// Copies the calibration in force into the batch's file for path.
bool CopyCalibration(const std::string& from, const std::string& path, COutputBatch& batch,
                     std::string* error) {
    std::string bytes;
    if (!ReadSmallRegularFile(from, kCalibrationFileBytes, &bytes, error)) {
        return false;
    }
    return batch.Append(path, bytes.data(), bytes.size(), error);
}

// The header of the sidecar: everything known before the first frame.
bool DescribeRecording(const RecordOptions& options, const std::string& source,
                       RecordingMetadata* metadata, std::string* error) {
    CameraSourceChoice choice;
    ParseCameraSource(source, &choice, error);
    RenderOptions render = options.render;
    if (render.sensor.empty()) {
        render.sensor = choice.simulation.color ? "color" : "mono";
    }
    RenderSettings settings;
    if (!ReadRenderSettings(render, &settings, error)) {
        return false;
    }
    metadata->sensor = settings.color ? "color" : "mono";
    metadata->offset = settings.offset;
    metadata->gain = settings.gain;
    metadata->width = metadata->height = settings.size;
    metadata->source = source;
    std::error_code ignored;
    if (!settings.calibration.empty() && std::filesystem::exists(settings.calibration, ignored)) {
        metadata->calibrationPath = std::filesystem::absolute(settings.calibration).string();
        metadata->calibrationSha256 = Sha256OfFile(settings.calibration, error);
        if (metadata->calibrationSha256.empty()) {
            return false;
        }
        if (options.bCalibrationCopy) {
            metadata->calibrationCopy = std::filesystem::path(options.output).filename().string() +
                                        "." + kDefaultCalibrationFile;
        }
    } else if (options.bCalibrationCopy) {
        *error = "--calibration-copy: no calibration file is in force";
        return false;
    }
    return true;
}

int RunRecord(const RecordOptions& options) {
    std::string error;
    const long frames = options.frames;
    const std::string& source = options.camera;
    if (!SelectCameraSource(source, &error)) {
        return CliFail(error, kUsageError);
    }
    const std::string& output = options.output;
    RecordingMetadata metadata;
    if (!DescribeRecording(options, source, &metadata, &error)) {
        return CliFail(error, kUsageError);
    }
    CatchInterrupt();
    // Every part is written aside and put in place together at the end, so a failed or
    // interrupted recording leaves what was there before as it was; the names are all
    // checked before the first frame.
    const std::string sidecarPath = SidecarPathFor(output);
    const std::string copyPath =
        metadata.calibrationCopy.empty()
            ? std::string()
            : (std::filesystem::path(output).parent_path() / metadata.calibrationCopy).string();
    COutputBatch batch;
    for (const std::string& path : {output, sidecarPath, copyPath}) {
        if (!path.empty()) {
            RemoveStaleTemporaryFilesOf(path);
            if (batch.Add(path, &error).empty()) {
                return CliFail(error);
            }
        }
    }
    CPortCamera camera;
    if (!camera.Open(kDefaultPortAddress)) {
        return CliFail(camera.OpenError().empty() ? "no camera answers on source '" + source + "'"
                                                  : camera.OpenError());
    }
    bool terminal = isatty(STDERR_FILENO);
    std::vector<std::uint8_t> frame(kFrameBytes);
    CGazeTrack gaze(ActiveSourceGaze());
    metadata.startTime = IsoTimeNow();
    const auto start = std::chrono::steady_clock::now();
    long recorded = 0;
    for (long k = 0; k < frames && !g_bInterrupted; ++k) {
        if (!camera.ReadFrame(frame.data())) {
            if (g_bInterrupted) {
                break;
            }
            if (terminal) {
                std::fputc('\n', stderr);
            }
            return CliFail("cannot read frame " + std::to_string(k + 1) + " from source '" +
                           source + "'; nothing written");
        }
        RecordedFrame info;
        info.index = std::uint64_t(k);
        info.timeMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
        metadata.frames.push_back(info);
        gaze.Note(info.index);
        if (!batch.Append(output, frame.data(), frame.size(), &error)) {
            return CliFail(error);
        }
        ++recorded;
        if (terminal) {
            std::fprintf(stderr, "\rrecording %ld/%ld frames", k + 1, frames);
        }
    }
    if (terminal) {
        std::fputc('\n', stderr);
    }
    if (g_bInterrupted && recorded == 0) {
        return CliFail("interrupted before the first frame; nothing written", kInterruptedExit);
    }
    metadata.gazeChanges = gaze.Changes();
    const std::string text = SidecarText(metadata);
    if (!batch.Append(sidecarPath, text.data(), text.size(), &error) ||
        (!copyPath.empty() &&
         !CopyCalibration(metadata.calibrationPath, copyPath, batch, &error)) ||
        !batch.Commit(&error)) {
        return CliFail(error);
    }
    if (g_bInterrupted) {
        return CliFail("interrupted: " + output + " holds the " + std::to_string(recorded) +
                           " frames recorded",
                       kInterruptedExit);
    }
    return 0;
}

}  // namespace

CliCommand AddRecordCommand(CLI::App& tool) {
    auto options = std::make_shared<RecordOptions>();
    CLI::App* command = tool.add_subcommand("record", "Record frames from the camera");
    AddCameraOption(*command, &options->camera);
    command->add_option("--frames", options->frames, "Frames to record, 1 to 1000000")
        ->transform(WholeNumber(1, kMaxFrames))
        ->option_text("N")
        ->required();
    AddRenderOptions(*command, &options->render);
    command
        ->add_flag("--calibration-copy", options->bCalibrationCopy,
                   "Store the calibration as OUT.raw.calimage.data")
        ->disable_flag_override();
    command->add_option("OUT.raw", options->output, "The recording")->required();
    command->footer(
        "Reads N frames from the camera and writes them back to back to OUT.raw, which replays\n"
        "with --camera replay:OUT.raw, and describes them in OUT.raw.json: sensor, settings,\n"
        "source, calibration (path and SHA-256), start time and each frame's time. Nothing is\n"
        "left behind when a read fails; Ctrl-C keeps the whole frames recorded so far.");
    return [options] { return RunRecord(*options); };
}
