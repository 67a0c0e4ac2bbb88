#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "pixelprobe/SensorProbe.h"
#include "tools/CliCommands.h"
#include "tools/CliOptions.h"
#include "tools/CliProcessing.h"
#include "tools/CliSettings.h"

namespace {

struct PixelOptions {
    RenderOptions render;
    std::string frame;  // a recording whose last frame's values are wanted
    bool bFrameGiven = false;
    std::string x;
    std::string y;
};

// Blue, green and red of pixel (x, y) of the picture the processor would show.
std::vector<int> ShownPixel(CFrameProcessor& processor, const RenderSettings& settings,
                            const SensorPoint& point, int x, int y) {
    std::size_t row = 0;
    std::size_t column = 0;
    std::size_t width = 0;
    std::vector<std::uint8_t> picture;
    if (settings.remapped) {
        picture.resize(std::size_t(settings.size) * settings.size * 3);
        processor.RemappedToRgb(picture.data());
        width = std::size_t(settings.size);
        row = std::size_t(settings.size - 1 - y);  // bottom-up rows
        column = std::size_t(x);
    } else {
        // The unmapped picture before it is turned: one row per sector, bottom-up.
        picture.resize(kColorFrameBytes);
        processor.RawToRgb(picture.data());
        width = kRings;
        row = std::size_t(kSectors - 1 - point.sector);
        column = std::size_t(point.ring);
    }
    const std::uint8_t* pPixel = picture.data() + (row * width + column) * 3;
    return {pPixel[0], pPixel[1], pPixel[2]};
}

int RunInspect(const PixelOptions& options) {
    std::string error;
    RenderSettings settings;
    std::string warning;
    // A recording is inspected with the settings it was made with unless told otherwise.
    const bool read = options.bFrameGiven
                          ? SettingsForRecording(options.frame, options.render.given, &settings,
                                                 nullptr, &warning, &error)
                          : ReadRenderSettings(options.render, &settings, &error);
    if (!read) {
        return CliFail(error, kUsageError);
    }
    if (!warning.empty()) {
        CliWarn(warning);
    }
    const int width = settings.remapped ? settings.size : kSectors;
    const int height = settings.remapped ? settings.size : kRings;
    long x = 0;
    long y = 0;
    if (!ParseCliInteger(options.x, 0, width - 1, &x) ||
        !ParseCliInteger(options.y, 0, height - 1, &y)) {
        return CliFail("X and Y must be whole numbers within the " + std::to_string(width) + " x " +
                           std::to_string(height) + " picture",
                       kUsageError);
    }
    const SensorPoint point = settings.remapped ? ProbeRemapped(settings.size, int(x), int(y))
                                                : ProbeUnmapped(int(x), int(y));
    std::string line = "x=" + std::to_string(x) + " y=" + std::to_string(y);
    if (!point.bInside) {
        std::printf("%s outside\n", line.c_str());
        return 0;
    }
    line += " sector=" + std::to_string(point.sector) + " ring=" + std::to_string(point.ring) +
            " index=" + std::to_string(point.index);
    if (options.bFrameGiven) {
        std::unique_ptr<CFrameProcessor> processor =
            ProcessRecording(settings, options.frame, &error);
        if (!processor) {
            return CliFail(error);
        }
        const SampleReading reading =
            ReadSample(point, processor->RawFrame(), processor->CalibrationImage(),
                       processor->Offset(), *processor->CurrentGainTable());
        const std::vector<int> shown = ShownPixel(*processor, settings, point, int(x), int(y));
        if (point.bHasRawSample) {
            line += " raw=" + std::to_string(reading.raw) +
                    " dark=" + std::to_string(reading.dark) +
                    " corrected=" + std::to_string(reading.corrected);
        } else {
            line += " raw=none";  // a fovea position no physical pixel is gathered into
        }
        line += " shown=" + std::to_string(shown[0]) + "," + std::to_string(shown[1]) + "," +
                std::to_string(shown[2]);
    }
    std::printf("%s\n", line.c_str());
    return 0;
}

}  // namespace

CliCommand AddInspectCommand(CLI::App& tool) {
    auto options = std::make_shared<PixelOptions>();
    CLI::App* command =
        tool.add_subcommand("inspect", "Tell which sensor sample a pixel of the picture shows");
    AddRenderOptions(*command, &options->render);
    AddIgnoreSidecarOption(*command, &options->render);
    command
        ->add_option_function<std::string>(
            "--frame",
            [options](const std::string& path) {
                options->frame = path;
                options->bFrameGiven = true;
            },
            "Add the values of this recording's last frame")
        ->option_text("INPUT.raw");
    command->add_option("X", options->x, "Column, from the left")->type_name("INT")->required();
    command->add_option("Y", options->y, "Row, from the top as on screen")
        ->type_name("INT")
        ->required();
    command->footer(
        "Prints x=X y=Y sector=S ring=R index=I, or x=X y=Y outside. With --frame, adds\n"
        "raw=A dark=B corrected=C shown=B,G,R for the last frame of INPUT.raw after the same\n"
        "processing as convert.");
    return [options] { return RunInspect(*options); };
}
