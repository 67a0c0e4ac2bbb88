#include <cstdio>

#include "camera/CameraSource.h"
#include "camera/PortCamera.h"
#include "levels/DarkSummary.h"
#include "platform/files/OutputTarget.h"
#include "processing/MonoProcessor.h"
#include "tools/CliArguments.h"
#include "tools/CliCommands.h"

const char* const kCalibrateUsage =
    "pandry-cli calibrate [--camera SOURCE] [--output FILE]\n"
    "  Averages ten frames into a dark image, as the viewer's Calibrate does, and stores it\n"
    "  in FILE (default calimage.data of the current directory). Cover the lens first; for\n"
    "  the simulated camera use --camera sim,dark.\n";

namespace {

constexpr int kPort = 0x378;
constexpr int kCalibrationFrames = 10;

}  // namespace

int RunCalibrate(int argc, char** argv) {
    CliArguments arguments;
    std::string error;
    if (!ParseCliArguments(argc, argv, 2, {"camera", "output"}, &arguments, &error)) {
        return CliFail(error, kUsageError);
    }
    if (arguments.help) {
        std::fputs(kCalibrateUsage, stdout);
        return 0;
    }
    if (!arguments.positionals.empty()) {
        return CliFail("calibrate takes no file argument (use --output FILE)", kUsageError);
    }
    std::string source = arguments.Get("camera", CameraSourceFromEnvironment());
    if (!SelectCameraSource(source, &error)) {
        return CliFail(error, kUsageError);
    }
    std::string output = arguments.Get("output", "calimage.data");
    OutputTarget target;
    if (!ResolveOutputTarget(output, &target, &error)) {
        return CliFail(error);
    }

    CPortCamera camera;
    if (!camera.Open(kPort)) {
        return CliFail(camera.OpenError().empty() ? "no camera answers on source '" + source + "'"
                                                  : camera.OpenError());
    }
    CMonoProcessor processor;
    processor.SetCalibrationPath(output);
    processor.Configure(0, 80, 320, 320, 3, kNormalSize, kNormalSize);
    processor.SetCamera(&camera);
    if (!processor.Calibrate()) {
        return CliFail("calibration failed: cannot read ten frames from source '" + source + "'; " +
                       output + " left as it was");
    }
    // Calibrate keeps a calibration it could not store; here the file is the point.
    if (!processor.CalibrationStoreError().empty()) {
        return CliFail(processor.CalibrationStoreError());
    }
    const DarkSummary summary = SummarizeDark(processor.CalibrationImage());
    std::fprintf(stderr, "%s\n", DescribeCalibration(summary, kCalibrationFrames).c_str());
    return 0;
}
