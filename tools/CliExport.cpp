#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <limits>

#include "export/Exporter.h"
#include "tools/CliCommands.h"
#include "tools/CliOptions.h"
#include "tools/CliSettings.h"

namespace {

std::atomic<bool> g_bInterrupted{false};

struct ExportOptions {
    RenderOptions render;
    ExportRequest request;  // the frames and files land here directly
    SampleValues values = SampleValues::kShown;
};

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

int RunExportCommand(const ExportOptions& options) {
    std::string error;
    ExportRequest request = options.request;
    // A damaged sidecar is warned of once, by RunExport, which reads it again for the times.
    std::string warning;
    if (!SettingsForRecording(request.input, options.render.given, &request.render, nullptr,
                              &warning, &error)) {
        return CliFail(error, kUsageError);
    }
    request.render.values = options.values;
    if (request.render.values == SampleValues::kFlat && !request.render.flatFactors) {
        return CliFail(
            "--values flat needs a flat image: give --flat FILE, or export a recording "
            "made with one",
            kUsageError);
    }
    if (!CheckExportOutput(request.output, request.bLossless, request.render.values, &error)) {
        return CliFail(error, kUsageError);
    }
    // Every signal that ends a run ends it the same way: its files removed, older ones kept.
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);  // a closed pipe shows as a failed write instead
    ExportProgress progress;
    if (isatty(STDERR_FILENO)) {
        progress = ShowProgress;
    }
    const bool exported = RunExport(request, progress, g_bInterrupted, &warning, &error);
    if (!warning.empty()) {
        CliWarn(warning);
    }
    if (!exported) {
        if (progress) {
            std::fputc('\n', stderr);
        }
        return CliFail(error);
    }
    return 0;
}

}  // namespace

CliCommand AddExportCommand(CLI::App& tool) {
    auto options = std::make_shared<ExportOptions>();
    CLI::App* command = tool.add_subcommand(
        "export", "Write frames of a recording as pictures, a stream or a video");
    AddRenderOptions(*command, &options->render);
    AddIgnoreSidecarOption(*command, &options->render);
    command
        ->add_option_function<std::string>(
            "--frames",
            [options](const std::string& text) {
                if (!ParseFrameRange(text, &options->request.first, &options->request.last)) {
                    throw CLI::ValidationError(
                        "--frames", "must be A-B, A- or A (frame numbers from 0, A not above B)");
                }
            },
            "Frames recorded as A to B (the sidecar's indices; default all)")
        ->option_text("A-B|A-|A");
    command
        ->add_option_function<std::string>(
            "--values",
            [options](const std::string& text) {
                std::string error;
                if (!ParseSampleValues(text, &options->values, &error)) {
                    throw CLI::ValidationError("--values", error);
                }
            },
            "Pictures as shown (default), the corrected levels, the sensor's raw bytes or the "
            "flat-corrected levels (needs a flat image), one channel")
        ->option_text("shown|corrected|raw|flat");
    command
        ->add_option(
            "--jobs", options->request.jobs,
            "Frames processed at once, 1 to 64 (default one per core up to 16), output order kept")
        ->check(CLI::Range(1u, 64u))
        ->option_text("N");
    command
        ->add_flag("--lossless", options->request.bLossless,
                   "Video as FFV1 in .mkv, equal to the pictures (default H.264 or MPEG-4)")
        ->disable_flag_override();
    command->add_option("INPUT.raw", options->request.input, "Recorded frames")->required();
    command->add_option("OUTPUT", options->request.output, "Where the frames go")->required();
    command->footer(
        "Processes the frames as the viewer does, with the recording's own settings unless\n"
        "options say otherwise, and writes them in the format OUTPUT's extension names: " +
        ExportFormatsText() +
        ".\nA picture format writes a picture per frame (OUTPUT then holds one frame number, the\n"
        "recorded index: out/frame-%05d.png); .y4m one YUV4MPEG2 stream (one rate only); a\n"
        "video (needs ffmpeg) has each frame at its recorded time. A stack is an ImageJ\n"
        "hyperstack, or OME-TIFF. PNG and TIFF carry the settings and the frame's index and\n"
        "time. Old files are kept on failure or Ctrl-C.");
    return [options] { return RunExportCommand(*options); };
}
