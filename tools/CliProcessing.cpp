#include "tools/CliProcessing.h"

#include "camera/CameraSource.h"
#include "camera/PortCamera.h"
#include "camera/ReplaySource.h"
#include "processing/ColorProcessor.h"
#include "processing/MonoProcessor.h"

namespace {

constexpr int kPort = 0x378;
constexpr int kAux = 320;

}  // namespace

std::unique_ptr<CFrameProcessor> ProcessRecording(const RenderSettings& settings,
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
    choice.framesPerSecondGiven = true;  // as fast as the disk gives them, never paced
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
