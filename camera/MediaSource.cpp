#include "camera/MediaSource.h"

#include "camera/GazeScene.h"
#include "camera/GstSource.h"
#include "platform/device/ScriptedDevice.h"
#include "platform/files/InputFile.h"

#include <unistd.h>

std::unique_ptr<IDevice> OpenMediaSource(const CameraSourceChoice& choice,
                                         std::shared_ptr<CSourceGaze> gaze, std::string* error) {
    CGstPipeline::Settings settings;
    switch (choice.kind) {
        case CameraSourceKind::kVideo: {
            // A file that cannot be opened is named as such, not as a decoding failure.
            int fd = -1;
            if (const FileResult opened = OpenRegularInput(choice.path, &fd); !opened) {
                *error = opened.Error();
                return nullptr;
            }
            ::close(fd);
            settings = VideoFilePipeline(choice.path, !choice.framesPerSecondGiven);
            break;
        }
        case CameraSourceKind::kWebcam: {
            const std::string device = WebcamDevice(choice.path, error);
            if (device.empty()) {
                return nullptr;
            }
            settings = WebcamPipeline(device);
            break;
        }
        case CameraSourceKind::kGst:
            settings = UserPipeline(choice.path, !choice.framesPerSecondGiven);
            break;
        default:
            *error = "not a media source";
            return nullptr;
    }
    CGstSourceDevice::Options options;
    options.simulation = choice.simulation;
    options.framesPerSecond = choice.framesPerSecondGiven ? choice.faults.framesPerSecond : 0;
    options.loop = choice.kind == CameraSourceKind::kVideo && choice.loop;
    return CGstSourceDevice::Open(settings, std::move(gaze), options, error);
}

std::unique_ptr<IDevice> OpenGazeImage(const CameraSourceChoice& choice,
                                       std::shared_ptr<const BgrPicture> picture,
                                       std::shared_ptr<CSourceGaze> gaze) {
    CGazeScene::Options options;
    options.color = choice.simulation.color;
    options.drift = choice.drift;
    options.quietUntilMoved = !choice.gazeGiven;
    auto scene = std::make_unique<CGazeScene>(std::move(gaze), options);
    scene->SetPicture(std::move(picture));
    return std::make_unique<CScriptedDevice>(
        std::make_unique<CSimulatedCamera>(std::move(scene), choice.simulation), choice.faults);
}
