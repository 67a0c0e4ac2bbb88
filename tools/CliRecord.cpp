#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "camera/CameraSource.h"
#include "camera/PortCamera.h"
#include "processing/AtomicFile.h"
#include "sensor/LogPolarFrame.h"
#include "tools/CliArguments.h"
#include "tools/CliCommands.h"

const char* const kRecordUsage =
    "pandry-cli record [--camera SOURCE] --frames N OUT.raw\n"
    "  Reads N frames from the camera and writes them back to back to OUT.raw, which\n"
    "  replays with --camera replay:OUT.raw. Nothing is left behind when a read fails.\n";

namespace {

constexpr int kPort = 0x378;
constexpr long kMaxFrames = 1000000;

}  // namespace

int RunRecord(int argc, char** argv) {
    CliArguments arguments;
    std::string error;
    if (!ParseCliArguments(argc, argv, 2, {"camera", "frames"}, &arguments, &error)) {
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
    for (long k = 0; k < frames; ++k) {
        if (!camera.ReadFrame(frame.data())) {
            if (terminal) {
                std::fputc('\n', stderr);
            }
            return CliFail("cannot read frame " + std::to_string(k + 1) + " from source '" +
                           source + "'; nothing written");
        }
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
    if (!file.Commit()) {
        return CliFail("cannot write " + output);
    }
    return 0;
}
