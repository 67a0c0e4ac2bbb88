#include "tools/CliProcessing.h"

#include <cstdio>

#include "camera/CameraSource.h"
#include "camera/PortCamera.h"
#include "camera/ReplaySource.h"
#include "processing/ColorProcessor.h"
#include "processing/MonoProcessor.h"

namespace {

constexpr int kPort = 0x378;
constexpr int kAux = 320;

}  // namespace

bool ReadConvertSettings(const CliArguments& arguments, ConvertSettings* settings,
                         std::string* error) {
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
    } else if (arguments.Has("calibration")) {
        std::FILE* file = std::fopen(calibration.c_str(), "rb");
        if (!file) {
            *error = "cannot read calibration file " + calibration;
            return false;
        }
        std::fclose(file);
        settings->calibration = calibration;
    }
    return true;
}

std::unique_ptr<CFrameProcessor> ProcessRecording(const ConvertSettings& settings,
                                                  const std::string& input, std::string* error) {
    const std::uint64_t frames = CReplaySource::CountFrames(input, error);
    if (frames == 0) {
        return nullptr;
    }
    CameraSourceChoice choice;
    choice.kind = CameraSourceKind::kReplay;
    choice.path = input;
    choice.loop = false;
    choice.faults.framesPerSecond = 0;
    std::shared_ptr<IDeviceResolver> resolver = MakeCameraResolver(choice, error);
    if (!resolver) {
        return nullptr;
    }
    std::shared_ptr<IDeviceResolver> previous = SetDeviceResolver(resolver);
    std::unique_ptr<CFrameProcessor> processor;
    if (settings.color) {
        processor = std::make_unique<CColorProcessor>();
    } else {
        processor = std::make_unique<CMonoProcessor>();
    }
    {
        CPortCamera camera;
        camera.Open(kPort);
        processor->SetCalibrationPath(settings.calibration);
        processor->Configure(0, settings.offset, kAux, kAux, settings.gain, settings.size,
                             settings.size);
        processor->SetCamera(&camera);
        for (std::uint64_t k = 0; k < frames && processor; ++k) {
            if (!processor->Acquire()) {
                *error = "cannot read frame " + std::to_string(k + 1) + " of " + input;
                processor.reset();
            } else if (settings.remapped) {
                processor->Remap();
            }
        }
        if (processor) {
            processor->SetCamera(nullptr);
        }
    }
    SetDeviceResolver(previous);
    return processor;
}
