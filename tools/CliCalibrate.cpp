#include <cstdio>
#include <vector>

#include "camera/CameraSource.h"
#include "camera/PortCamera.h"
#include "levels/DarkSummary.h"
#include "platform/files/OutputTarget.h"
#include "platform/files/StaleTempFiles.h"
#include "processing/CalibrationFile.h"
#include "processing/FlatField.h"
#include "processing/ProcessorFactory.h"
#include "tools/CliCommands.h"
#include "tools/CliOptions.h"
#include "tools/CliSettings.h"

namespace {

constexpr int kCalibrationFrames = 10;
constexpr int kDefaultFlatFrames = 16;

struct CalibrateOptions {
    std::string camera = CameraSourceFromEnvironment();
    std::string output = kDefaultCalibrationFile;
    bool bFlat = false;
    bool bOutputGiven = false;
    int flatFrames = kDefaultFlatFrames;
    SettingsOverrides dark;  // its calibration alone: the dark image a flat subtracts
};

// Averages frames of an evenly lit field, less the dark image, into the flat image.
int RunCalibrateFlat(const CalibrateOptions& options, CPortCamera& camera,
                     const std::string& output) {
    std::string error;
    RenderSettings settings;
    if (!SettingsFromOverrides(options.dark, &settings, &error)) {
        return CliFail(error, kUsageError);
    }
    std::vector<std::int32_t> dark(kFrameBytes, 0);
    if (!settings.calibration.empty()) {
        if (const FileResult loaded = LoadCalibrationFile(settings.calibration, dark.data());
            !loaded) {
            return CliFail(loaded.Error());
        }
    }
    CFlatSums sums;
    std::vector<std::uint8_t> frame(kFrameBytes);
    for (int k = 0; k < options.flatFrames; ++k) {
        if (camera.ReadFrame(frame.data()) != 1) {
            return CliFail("flat calibration failed: frame " + std::to_string(k + 1) + " of " +
                           std::to_string(options.flatFrames) + " from source '" + options.camera +
                           "': " + camera.ReadFailure() + "; " + output + " left as it was");
        }
        sums.Add(frame.data());
    }
    const FlatImage flat = sums.Flat(dark.data());
    if (const FileResult stored = StoreFlatFile(output, flat); !stored) {
        return CliFail(stored.Error());
    }
    std::fprintf(stderr, "%s, dark image %s\n", DescribeFlat(flat).c_str(),
                 settings.calibration.empty() ? "none" : settings.calibration.c_str());
    if (FlatMean(flat) < 1) {
        CliWarn("the field gave less than one level above dark: is the light on?");
    }
    return 0;
}

int RunCalibrate(const CalibrateOptions& options) {
    std::string error;
    const std::string& source = options.camera;
    if (options.bFlat && !options.bOutputGiven) {
        // Never the dark image's own default name: a flat is no dark image.
        return CliFail("calibrate --flat needs --output FILE", kUsageError);
    }
    if (!SelectCameraSource(source, &error)) {
        return CliFail(error, kUsageError);
    }
    const std::string& output = options.output;
    OutputTarget target;
    if (const FileResult checked = ResolveOutputTarget(output, &target); !checked) {
        return CliFail(checked.Error());
    }
    RemoveStaleTemporaryFilesOf(target.path);  // what a calibration killed outright left

    CPortCamera camera;
    if (!camera.Open(kDefaultPortAddress)) {
        return CliFail(camera.OpenError().empty() ? "no camera answers on source '" + source + "'"
                                                  : camera.OpenError());
    }
    if (options.bFlat) {
        return RunCalibrateFlat(options, camera, target.path);
    }
    ProcessorSettings settings;  // the black-and-white sensor at the defaults
    settings.calibration = output;
    std::unique_ptr<CFrameProcessor> pProcessor = MakeConfiguredProcessor(settings);
    CFrameProcessor& processor = *pProcessor;
    processor.SetCamera(&camera);
    if (!processor.Calibrate()) {
        return CliFail("calibration failed: cannot read ten frames from source '" + source + "'; " +
                       output + " left as it was");
    }
    // Calibrate keeps a calibration it could not store; here the file is the point.
    if (!processor.CalibrationStored()) {
        return CliFail(processor.CalibrationStored().Error());
    }
    const DarkSummary summary = SummarizeDark(processor.CalibrationImage());
    std::fprintf(stderr, "%s\n", DescribeCalibration(summary, kCalibrationFrames).c_str());
    return 0;
}

}  // namespace

CliCommand AddCalibrateCommand(CLI::App& tool) {
    auto options = std::make_shared<CalibrateOptions>();
    CLI::App* command = tool.add_subcommand("calibrate", "Make a dark image from the camera");
    AddCameraOption(*command, &options->camera);
    command
        ->add_option_function<std::string>(
            "--output",
            [options](const std::string& path) {
                options->output = path;
                options->bOutputGiven = true;
            },
            "The dark image (default calimage.data), or with --flat the flat image")
        ->option_text("FILE");
    CLI::Option* flat =
        command->add_flag("--flat", options->bFlat,
                          "Make a flat image of an evenly lit field instead (needs --output)");
    command->add_option("--frames", options->flatFrames, "Frames a flat averages (default 16)")
        ->check(CLI::Range(1, 4096))
        ->needs(flat)
        ->option_text("N");
    command
        ->add_option_function<std::string>(
            "--calibration",
            [options](const std::string& path) { options->dark.calibration = path; },
            std::string("The dark image a flat subtracts (default ") + kDefaultCalibrationFile +
                " when there is one; none: no dark level)")
        ->needs(flat)
        ->option_text("FILE|none");
    command->footer(
        "Averages ten frames into a dark image, as the viewer's Calibrate does, and stores it\n"
        "in FILE. Cover the lens first; for the simulated camera use --camera sim,dark.\n"
        "With --flat, averages --frames frames of an evenly lit field (a white card, a\n"
        "diffuser), less the dark image, into a flat image for --flat on convert, export,\n"
        "stats and record; for the simulated camera try\n"
        "--camera image:white.png,prnu=0.05,vignetting=0.3,noise=0.");
    return [options] { return RunCalibrate(*options); };
}
