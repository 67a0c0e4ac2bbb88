#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <limits>

#include "export/Exporter.h"
#include "tools/CliArguments.h"
#include "tools/CliCommands.h"
#include "tools/CliSettings.h"

const char* const kExportUsage =
    "pandry-cli export [convert's options] [--frames A-B] INPUT.raw OUTPUT\n"
    "  Processes frames A to B (counted from 0; default all) as the viewer does and writes\n"
    "  them in the format OUTPUT's extension names: a picture per frame for .png, .tif,\n"
    "  .tiff, .bmp, .pgm, .ppm (OUTPUT then holds one frame number: out/frame-%05d.png);\n"
    "  one YUV4MPEG2 stream for .y4m, or - for standard output; a video for .mp4 or .mkv\n"
    "  (needs ffmpeg). PNG and TIFF carry the settings and the frame's number and time.\n"
    "  Nothing is left behind on failure or Ctrl-C.\n";

namespace {

std::atomic<bool> g_bInterrupted{false};

void OnInterrupt(int) {
    g_bInterrupted = true;
}

// "A-B", "A-" or "A"; false for anything else.
bool ParseFrameRange(const std::string& text, std::uint64_t* first, std::uint64_t* last) {
    constexpr long kMax = std::numeric_limits<long>::max();
    const std::size_t dash = text.find('-');
    long a = 0;
    long b = 0;
    if (dash == std::string::npos) {
        if (!ParseCliInteger(text, 0, kMax, &a)) {
            return false;
        }
        *first = *last = std::uint64_t(a);
        return true;
    }
    if (!ParseCliInteger(text.substr(0, dash), 0, kMax, &a)) {
        return false;
    }
    *first = std::uint64_t(a);
    *last = std::numeric_limits<std::uint64_t>::max();
    if (dash + 1 == text.size()) {
        return true;
    }
    if (!ParseCliInteger(text.substr(dash + 1), a, kMax, &b)) {
        return false;
    }
    *last = std::uint64_t(b);
    return true;
}

void ShowProgress(std::uint64_t done, std::uint64_t total) {
    constexpr int kBarWidth = 30;
    const int filled = int(done * kBarWidth / total);
    std::fprintf(stderr, "\rexporting [%.*s%*s] %llu/%llu", filled,
                 "##############################", kBarWidth - filled, "",
                 static_cast<unsigned long long>(done), static_cast<unsigned long long>(total));
    if (done == total) {
        std::fputc('\n', stderr);
    }
}

}  // namespace

int RunExport(int argc, char** argv) {
    CliArguments arguments;
    std::string error;
    std::set<std::string> known = {"frames"};
    known.insert(std::begin(kSettingsOptionNames), std::end(kSettingsOptionNames));
    if (!ParseCliArguments(argc, argv, 2, known, &arguments, &error)) {
        return CliFail(error, kUsageError);
    }
    if (arguments.help) {
        std::fputs(kExportUsage, stdout);
        return 0;
    }
    ExportRequest request;
    if (!ReadRenderSettings(arguments, &request.render, &error)) {
        return CliFail(error, kUsageError);
    }
    if (arguments.Has("frames") &&
        !ParseFrameRange(arguments.Get("frames", ""), &request.first, &request.last)) {
        return CliFail("--frames must be A-B, A- or A (frame numbers from 0, A not above B)",
                       kUsageError);
    }
    if (arguments.positionals.size() != 2) {
        return CliFail("export needs INPUT.raw and OUTPUT (see pandry-cli export --help)",
                       kUsageError);
    }
    request.input = arguments.positionals[0];
    request.output = arguments.positionals[1];
    if (!CheckExportOutput(request.output, &error)) {
        return CliFail(error, kUsageError);
    }
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);  // a closed pipe shows as a failed write instead
    ExportProgress progress;
    if (isatty(STDERR_FILENO)) {
        progress = ShowProgress;
    }
    std::string warning;
    const bool exported = RunExport(request, progress, g_bInterrupted, &warning, &error);
    if (!warning.empty()) {
        std::fprintf(stderr, "pandry-cli: warning: %s\n", warning.c_str());
    }
    if (!exported) {
        if (progress) {
            std::fputc('\n', stderr);
        }
        return CliFail(error);
    }
    return 0;
}
