#pragma once

#include <string>

#include "export/FrameRenderer.h"

namespace CLI {
class App;
}

// The processing options convert, export, inspect and record share, as given:
// --sensor, --size, --view, --offset, --gain, --calibration.
struct RenderOptions {
    RenderSettings settings;  // size, offset and gain land here directly
    std::string sensor;       // empty: the command's default
    std::string view = "remapped";
    std::string calibration;
    bool bCalibrationGiven = false;
};

void AddRenderOptions(CLI::App& command, RenderOptions* options);

// --camera SOURCE, for the commands that read the camera (calibrate, record).
void AddCameraOption(CLI::App& command, std::string* camera);

// The settings the options name. False with a one-line reason when the calibration file
// cannot be read.
bool ReadRenderSettings(const RenderOptions& options, RenderSettings* settings, std::string* error);
