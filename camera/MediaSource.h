#pragma once

#include <memory>
#include <string>

#include "camera/CameraSource.h"
#include "camera/SourceGaze.h"
#include "platform/device/DeviceFile.h"

// Opens the device of a video:, webcam or gst: source, its pictures seen through `gaze`;
// null with one line in *error (the file, device or plugin, and why) otherwise.
std::unique_ptr<IDevice> OpenMediaSource(const CameraSourceChoice& choice,
                                         std::shared_ptr<CSourceGaze> gaze, std::string* error);

// The device of an image: source, its picture seen through `gaze`.
std::unique_ptr<IDevice> OpenGazeImage(const CameraSourceChoice& choice,
                                       std::shared_ptr<const BgrPicture> picture,
                                       std::shared_ptr<CSourceGaze> gaze);
