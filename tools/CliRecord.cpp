#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "camera/CameraSource.h"
#include "camera/PortCamera.h"
#include "processing/AtomicFile.h"
#include "recording/FileDigest.h"
#include "sensor/LogPolarFrame.h"
#include "sidecar/RecordingMetadata.h"
#include "tools/CliArguments.h"
#include "tools/CliCommands.h"
#include "tools/CliSettings.h"

const char* const kRecordUsage =
    "pandry-cli record [--camera SOURCE] --frames N [--sensor mono|color] [--size 256|512]\n"
    "                  [--offset N] [--gain N] [--calibration FILE|none] [--calibration-copy]\n"
    "                  OUT.raw\n"
    "  Reads N frames from the camera and writes them back to back to OUT.raw, which\n"
    "  replays with --camera replay:OUT.raw, and describes them in OUT.raw.json: sensor,\n"
    "  settings, source, calibration (path and SHA-256), start time and each frame's time.\n"
    "  --calibration-copy also stores the calibration beside it as OUT.raw.calimage.data.\n"
    "  Nothing is left behind when a read fails.\n";

namespace {

constexpr int kPort = 0x378;
constexpr long kMaxFrames = 1000000;

bool WriteText(const std::string& path, const std::string& text, CAtomicFile& file,
               std::string* error) {
    if (!file.IsOpen() || !file.Write(text.data(), text.size())) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// The header of the sidecar: everything known before the first frame.
bool DescribeRecording(const CliArguments& arguments, const std::string& source,
                       const std::string& output, RecordingMetadata* metadata, std::string* error) {
    CameraSourceChoice choice;
    ParseCameraSource(source, &choice, error);
    RenderSettings settings;
    settings.color = choice.simulation.color;
    if (!ReadRenderSettings(arguments, &settings, error)) {
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
        if (arguments.Has("calibration-copy")) {
            metadata->calibrationCopy =
                std::filesystem::path(output).filename().string() + ".calimage.data";
        }
    } else if (arguments.Has("calibration-copy")) {
        *error = "--calibration-copy: no calibration file is in force";
        return false;
    }
    return true;
}

}  // namespace

int RunRecord(int argc, char** argv) {
    CliArguments arguments;
    std::string error;
    std::set<std::string> known = {"camera", "frames"};
    known.insert(std::begin(kSettingsOptionNames), std::end(kSettingsOptionNames));
    if (!ParseCliArguments(argc, argv, 2, known, {"calibration-copy"}, &arguments, &error)) {
        return CliFail(error, kUsageError);
    }
    if (arguments.help) {
        std::fputs(kRecordUsage, stdout);
        return 0;
    }
    long frames = 0;
    if (!ParseCliInteger(arguments.Get("frames", ""), 1, kMaxFrames, &frames)) {
        return CliFail("record needs --frames N, a frame count from 1 to 1000000", kUsageError);
    }
    if (arguments.positionals.size() != 1) {
        return CliFail("record needs one output file (see pandry-cli record --help)", kUsageError);
    }
    std::string source = arguments.Get("camera", CameraSourceFromEnvironment());
    if (!SelectCameraSource(source, &error)) {
        return CliFail(error, kUsageError);
    }
    const std::string& output = arguments.positionals[0];
    RecordingMetadata metadata;
    if (!DescribeRecording(arguments, source, output, &metadata, &error)) {
        return CliFail(error, kUsageError);
    }
    CPortCamera camera;
    if (!camera.Open(kPort)) {
        return CliFail("no camera answers on source '" + source + "'");
    }
    CAtomicFile file(output.c_str());
    if (!file.IsOpen()) {
        return CliFail("cannot create " + output + ": " + std::strerror(errno));
    }
    bool terminal = isatty(STDERR_FILENO);
    std::vector<std::uint8_t> frame(kFrameBytes);
    metadata.startTime = IsoTimeNow();
    const auto start = std::chrono::steady_clock::now();
    for (long k = 0; k < frames; ++k) {
        if (!camera.ReadFrame(frame.data())) {
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
        if (!file.Write(frame.data(), frame.size())) {
            return CliFail("cannot write " + output);
        }
        if (terminal) {
            std::fprintf(stderr, "\rrecording %ld/%ld frames", k + 1, frames);
        }
    }
    if (terminal) {
        std::fputc('\n', stderr);
    }
    // Every part is written aside first; the recording goes into place last, so a reader
    // never finds it without its sidecar.
    const std::string sidecarPath = SidecarPathFor(output);
    CAtomicFile sidecar(sidecarPath.c_str());
    if (!WriteText(sidecarPath, SidecarText(metadata), sidecar, &error)) {
        return CliFail(error);
    }
    std::unique_ptr<CAtomicFile> copy;
    std::string copyPath;
    if (!metadata.calibrationCopy.empty()) {
        copyPath =
            (std::filesystem::path(output).parent_path() / metadata.calibrationCopy).string();
        copy = std::make_unique<CAtomicFile>(copyPath.c_str());
        std::FILE* in = std::fopen(metadata.calibrationPath.c_str(), "rb");
        char buffer[65536];
        std::size_t count = 0;
        bool copied = in != nullptr;
        while (copied && (count = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
            copied = copy->Write(buffer, count);
        }
        if (in != nullptr) {
            std::fclose(in);
        }
        if (!copied || !copy->Commit()) {
            return CliFail("cannot write " + copyPath);
        }
    }
    if (!sidecar.Commit()) {
        if (!copyPath.empty()) {
            ::unlink(copyPath.c_str());
        }
        return CliFail("cannot write " + sidecarPath);
    }
    if (!file.Commit()) {
        ::unlink(sidecarPath.c_str());
        if (!copyPath.empty()) {
            ::unlink(copyPath.c_str());
        }
        return CliFail("cannot write " + output);
    }
    return 0;
}
