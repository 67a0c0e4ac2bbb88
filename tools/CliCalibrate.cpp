#include <sys/stat.h>

#include <cstdio>

#include "camera/CameraSource.h"
#include "camera/PortCamera.h"
#include "levels/DarkSummary.h"
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
constexpr off_t kCalibrationFileBytes = off_t(kFrameBytes * 4);

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
    struct stat before {};
    bool existed = stat(output.c_str(), &before) == 0;

    CPortCamera camera;
    if (!camera.Open(kPort)) {
        return CliFail("no camera answers on source '" + source + "'");
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
    struct stat after {};
    if (stat(output.c_str(), &after) != 0 || after.st_size != kCalibrationFileBytes ||
        (existed && after.st_ino == before.st_ino)) {
        return CliFail("cannot write " + output);
    }
    const DarkSummary summary = SummarizeDark(processor.CalibrationImage());
    std::fprintf(stderr, "%s\n", DescribeCalibration(summary, kCalibrationFrames).c_str());
    return 0;
}
