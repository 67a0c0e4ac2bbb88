#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "camera/CameraSource.h"
#include "camera/PortCamera.h"
#include "camera/ReplaySource.h"
#include "platform/files/OutputTarget.h"
#include "processing/AtomicFile.h"
#include "processing/ColorProcessor.h"
#include "processing/MonoProcessor.h"
#include "tools/CliArguments.h"
#include "tools/CliCommands.h"

const char* const kConvertUsage =
    "pandry-cli convert [--sensor mono|color] [--size 256|512] [--view remapped|unmapped]\n"
    "                   [--offset N] [--gain N] [--calibration FILE|none] INPUT.raw OUTPUT.bmp\n"
    "  Processes every frame of INPUT.raw (whole 38304-byte frames back to back) as the\n"
    "  viewer does and saves the last one as the viewer's Save would. Defaults: mono, 256,\n"
    "  remapped, offset 80, gain 3, calibration from calimage.data of the current directory\n"
    "  (none: no dark level subtracted).\n";

namespace {

constexpr int kPort = 0x378;
constexpr int kAux = 320;

struct ConvertSettings {
    bool color = false;
    int size = kNormalSize;
    bool remapped = true;
    int offset = 80;
    int gain = 3;
    std::string calibration = "calimage.data";
};

bool ReadSettings(const CliArguments& arguments, ConvertSettings* settings, std::string* error) {
    std::string sensor = arguments.Get("sensor", "mono");
    if (sensor != "mono" && sensor != "color") {
        *error = "--sensor must be mono or color, not '" + sensor + "'";
        return false;
    }
    settings->color = sensor == "color";
    std::string size = arguments.Get("size", "256");
    if (size != "256" && size != "512") {
        *error = "--size must be 256 or 512, not '" + size + "'";
        return false;
    }
    settings->size = std::stoi(size);
    std::string view = arguments.Get("view", "remapped");
    if (view != "remapped" && view != "unmapped") {
        *error = "--view must be remapped or unmapped, not '" + view + "'";
        return false;
    }
    settings->remapped = view == "remapped";
    long number = 0;
    if (arguments.Has("offset")) {
        if (!ParseCliInteger(arguments.Get("offset", ""), -999, 999, &number)) {
            *error = "--offset must be a whole number from -999 to 999";
            return false;
        }
        settings->offset = int(number);
    }
    if (arguments.Has("gain")) {
        if (!ParseCliInteger(arguments.Get("gain", ""), -99, 999, &number)) {
            *error = "--gain must be a whole number from -99 to 999";
            return false;
        }
        settings->gain = int(number);
    }
    std::string calibration = arguments.Get("calibration", settings->calibration);
    if (calibration == "none") {
        settings->calibration.clear();  // a path nothing loads from: all-zero dark levels
        return true;
    }
    struct stat info {};
    if (arguments.Has("calibration") && ::stat(calibration.c_str(), &info) != 0) {
        *error = "cannot read calibration file " + calibration + ": " + std::strerror(errno);
        return false;
    }
    settings->calibration = calibration;
    return true;
}

}  // namespace

int RunConvert(int argc, char** argv) {
    CliArguments arguments;
    std::string error;
    if (!ParseCliArguments(argc, argv, 2,
                           {"sensor", "size", "view", "offset", "gain", "calibration"}, &arguments,
                           &error)) {
        return CliFail(error, kUsageError);
    }
    if (arguments.help) {
        std::fputs(kConvertUsage, stdout);
        return 0;
    }
    ConvertSettings settings;
    if (!ReadSettings(arguments, &settings, &error)) {
        return CliFail(error, kUsageError);
    }
    if (arguments.positionals.size() != 2) {
        return CliFail("convert needs INPUT.raw and OUTPUT.bmp (see pandry-cli convert --help)",
                       kUsageError);
    }
    const std::string& input = arguments.positionals[0];
    const std::string& output = arguments.positionals[1];
    std::uint64_t frames = CReplaySource::CountFrames(input, &error);
    if (frames == 0) {
        return CliFail(error);
    }
    // Checked before the work, so a device or FIFO named as output costs nothing.
    OutputTarget target;
    if (!ResolveOutputTarget(output, &target, &error)) {
        return CliFail(error);
    }

    CameraSourceChoice choice;
    choice.kind = CameraSourceKind::kReplay;
    choice.path = input;
    choice.loop = false;
    choice.faults.framesPerSecond = 0;
    std::shared_ptr<IDeviceResolver> resolver = MakeCameraResolver(choice, &error);
    if (!resolver) {
        return CliFail(error);
    }
    std::shared_ptr<IDeviceResolver> previous = SetDeviceResolver(resolver);
    int result = 0;
    {
        CPortCamera camera;
        camera.Open(kPort);
        std::unique_ptr<CFrameProcessor> processor;
        if (settings.color) {
            processor = std::make_unique<CColorProcessor>();
        } else {
            processor = std::make_unique<CMonoProcessor>();
        }
        processor->SetCalibrationPath(settings.calibration);
        processor->Configure(0, settings.offset, kAux, kAux, settings.gain, settings.size,
                             settings.size);
        processor->SetCamera(&camera);
        if (!processor->CalibrationLoadError().empty()) {
            result = CliFail(processor->CalibrationLoadError());
        }
        for (std::uint64_t k = 0; k < frames && result == 0; ++k) {
            if (!processor->Acquire()) {
                result = CliFail("cannot read frame " + std::to_string(k + 1) + " of " + input);
            } else if (settings.remapped) {
                processor->Remap();
            }
        }
        if (result == 0) {
            int columns = settings.remapped ? settings.size : kSectors;
            int rows = settings.remapped ? settings.size : kRings;
            if (!processor->SaveBitmap(columns, rows, output.c_str())) {
                result = CliFail(LastFileWriteError().empty() ? "cannot write " + output
                                                              : LastFileWriteError());
            }
        }
    }
    SetDeviceResolver(previous);
    return result;
}
