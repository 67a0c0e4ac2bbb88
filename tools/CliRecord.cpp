#include <unistd.h>

#include <csignal>
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
    "  replays with --camera replay:OUT.raw. Nothing is left behind when a read fails;\n"
    "  Ctrl-C keeps the whole frames recorded so far.\n";

namespace {

constexpr int kPort = 0x378;
constexpr long kMaxFrames = 1000000;
constexpr int kInterruptedExit = 130;  // as a shell reports a command ended by Ctrl-C

volatile std::sig_atomic_t g_bInterrupted = 0;

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
    CatchInterrupt();
    CAtomicFile file(output.c_str());
    if (!file.IsOpen()) {
        return CliFail(file.Error());
    }
    CPortCamera camera;
    if (!camera.Open(kPort)) {
        return CliFail(camera.OpenError().empty() ? "no camera answers on source '" + source + "'"
                                                  : camera.OpenError());
    }
    bool terminal = isatty(STDERR_FILENO);
    std::vector<std::uint8_t> frame(kFrameBytes);
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
        if (!file.Write(frame.data(), frame.size())) {
            return CliFail(file.Error());
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
    if (!file.Commit()) {
        return CliFail(file.Error());
    }
    if (g_bInterrupted) {
        return CliFail("interrupted: " + output + " holds the " + std::to_string(recorded) +
                           " frames recorded",
                       kInterruptedExit);
    }
    return 0;
}
