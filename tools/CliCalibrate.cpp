#include <cstdio>

#include "camera/CameraSource.h"
#include "camera/PortCamera.h"
#include "levels/DarkSummary.h"
#include "platform/files/OutputTarget.h"
#include "platform/files/StaleTempFiles.h"
#include "processing/ProcessorFactory.h"
#include "tools/CliCommands.h"
#include "tools/CliOptions.h"
#include "tools/CliSettings.h"

namespace {

constexpr int kCalibrationFrames = 10;

struct CalibrateOptions {
    std::string camera = CameraSourceFromEnvironment();
    std::string output = kDefaultCalibrationFile;
};

int RunCalibrate(const CalibrateOptions& options) {
    std::string error;
    const std::string& source = options.camera;
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
    command->add_option("--output", options->output, "The dark image (default calimage.data)")
        ->option_text("FILE");
    command->footer(
        "Averages ten frames into a dark image, as the viewer's Calibrate does, and stores it\n"
        "in FILE. Cover the lens first; for the simulated camera use --camera sim,dark.");
    return [options] { return RunCalibrate(*options); };
}
