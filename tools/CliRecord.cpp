#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
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
    long frames = 0;     // 0: no count, --seconds ends the run
    double seconds = 0;  // 0: no time limit
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
FileResult CopyCalibration(const std::string& from, const std::string& path, COutputBatch& batch) {
    std::string bytes;
    FileResult read = ReadSmallRegularFile(from, kCalibrationFileBytes, &bytes);
    return read ? batch.Append(path, bytes.data(), bytes.size()) : read;
}

// The header of the sidecar: everything known before the first frame.
bool DescribeRecording(const RecordOptions& options, const std::string& source,
                       RecordingMetadata* metadata, std::string* error) {
    CameraSourceChoice choice;
    ParseCameraSource(source, &choice, error);
    RenderOptions render = options.render;
    if (!render.given.color) {
        render.given.color = choice.simulation.color;
    }
    RenderSettings settings;
    if (!ReadRenderSettings(render, &settings, error)) {
        return false;
    }
    metadata->sensor = settings.color ? "color" : "mono";
    metadata->offset = settings.offset;
    metadata->gain = settings.gain;
    metadata->width = metadata->height = settings.size;
    metadata->view = settings.remapped ? "remapped" : "unmapped";
    metadata->source = source;
    if (!settings.calibration.empty()) {
        metadata->calibrationPath = std::filesystem::absolute(settings.calibration).string();
        metadata->calibrationSha256 = settings.calibrationSha256;
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

// Reads frames until the count or the time is reached, Ctrl-C, or a failed read; every whole
// frame read is kept. metadata->end says how the run ended ("complete", "interrupted", ...),
// and *failure why, when a read or write failed.
void ReadFrames(const RecordOptions& options, CPortCamera& camera, COutputBatch& batch,
                const std::string& output, CGazeTrack& gaze, RecordingMetadata* metadata,
                std::string* failure) {
    const bool terminal = isatty(STDERR_FILENO);
    std::vector<std::uint8_t> frame(kFrameBytes);
    metadata->startTime = IsoTimeNow();
    const auto start = std::chrono::steady_clock::now();
    const std::int64_t limitUs =
        options.seconds > 0 ? std::int64_t(options.seconds * 1e6) : INT64_MAX;
    const long frames = options.frames > 0 ? options.frames : kMaxFrames;
    metadata->end = "complete";
    for (long k = 0; k < frames; ++k) {
        if (g_bInterrupted) {
            metadata->end = "interrupted";
            break;
        }
        if (MicrosecondsSince(start) >= limitUs) {
            break;
        }
        if (!camera.ReadFrame(frame.data())) {
            if (g_bInterrupted) {
                metadata->end = "interrupted";
                break;
            }
            const std::string reason = camera.ReadFailure();
            metadata->failedReads = 1;
            metadata->end = "camera failed after " + std::to_string(k) + " frames: " + reason;
            *failure = "cannot read frame " + std::to_string(k + 1) + " from source '" +
                       options.camera + "': " + reason;
            break;
        }
        RecordedFrame info;
        info.index = std::uint64_t(k);
        info.timeUs = MicrosecondsSince(start);
        // A failed append leaves the file at its whole frames.
        if (const FileResult written = batch.Append(output, frame.data(), frame.size()); !written) {
            const std::string reason = std::strerror(written.Code());
            metadata->end = written.Code() == ENOSPC ? "disk full" : "write failed: " + reason;
            *failure = written.Error();
            break;
        }
        metadata->frames.push_back(info);
        gaze.Note(info.index);
        if (terminal) {
            std::fprintf(stderr, "\rrecording %ld frames", k + 1);
        }
    }
    if (terminal) {
        std::fputc('\n', stderr);
    }
}

// Writes the sidecar. A full disk may leave no room for it: frames are then given back from
// the end until it fits, as the viewer's recorder does, since frames without their
// description would replay and export with other settings than they were recorded with.
FileResult DescribeFrames(COutputBatch& batch, const std::string& output,
                          const std::string& sidecarPath, RecordingMetadata* metadata) {
    for (;;) {
        const std::string text = SidecarText(*metadata);
        FileResult written = batch.Append(sidecarPath, text.data(), text.size());
        const std::size_t frames = metadata->frames.size();
        if (written || written.Code() != ENOSPC || frames <= 1) {
            return written;
        }
        const std::size_t giveBack = text.size() / kFrameBytes + 1;
        const std::size_t keep = frames > giveBack ? frames - giveBack : 1;
        metadata->frames.resize(keep);
        metadata->end = "disk full";
        if (FileResult cut = batch.Resize(output, keep * kFrameBytes); !cut) {
            return cut;
        }
    }
}

int RunRecord(const RecordOptions& options) {
    std::string error;
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
            if (const FileResult added = batch.Add(path); !added) {
                return CliFail(added.Error());
            }
        }
    }
    CPortCamera camera;
    if (!camera.Open(kDefaultPortAddress)) {
        return CliFail(camera.OpenError().empty() ? "no camera answers on source '" + source + "'"
                                                  : camera.OpenError());
    }
    std::string failure;
    CGazeTrack gaze(ActiveSourceGaze());
    ReadFrames(options, camera, batch, output, gaze, &metadata, &failure);
    if (metadata.frames.empty()) {
        if (!failure.empty()) {
            return CliFail(failure + "; nothing written");
        }
        return CliFail("interrupted before the first frame; nothing written", kInterruptedExit);
    }
    metadata.gazeChanges = gaze.Changes();
    const std::size_t read = metadata.frames.size();
    FileResult described = DescribeFrames(batch, output, sidecarPath, &metadata);
    const std::size_t recorded = metadata.frames.size();
    if (recorded < read) {
        failure = (failure.empty() ? "the disk is full" : failure) + "; the last " +
                  std::to_string(read - recorded) + " frames made room for their description";
    }
    if (described && !copyPath.empty()) {
        described = CopyCalibration(metadata.calibrationPath, copyPath, batch);
    }
    if (!described) {
        // The frames are still kept, and no old description is left beside them to tell of
        // another recording.
        batch.Drop(sidecarPath);
        batch.Drop(copyPath);
        if (const FileResult kept = batch.Commit(); !kept) {
            return CliFail(kept.Error());
        }
        ::unlink(sidecarPath.c_str());
        return CliFail(described.Error() + "; " + output + " holds the " +
                       std::to_string(recorded) + " whole frames read, without their description");
    }
    if (const FileResult committed = batch.Commit(); !committed) {
        return CliFail(committed.Error());
    }
    if (!failure.empty()) {
        return CliFail(failure + "; " + output + " holds the " + std::to_string(recorded) +
                       " whole frames read before");
    }
    if (metadata.end == "interrupted") {
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
    CLI::Option* frames =
        command->add_option("--frames", options->frames, "Frames to record, 1 to 1000000")
            ->transform(WholeNumber(1, kMaxFrames))
            ->option_text("N");
    CLI::Option* seconds =
        command->add_option("--seconds", options->seconds, "Seconds to record for")
            ->check(FiniteNumber(0.001, 31.0 * 24 * 3600))
            ->option_text("S");
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
        "then is not 0).");
    return [options] { return RunRecord(*options); };
}
