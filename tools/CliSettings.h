#pragma once

#include <string>

#include "export/RecordingSettings.h"

namespace CLI {
class App;
}

// The processing options convert, export, inspect and record share, as given:
// --sensor, --size, --view, --offset, --gain, --calibration, --flat. Each one left out is taken
// from the recording's sidecar, or else the defaults.
struct RenderOptions {
    SettingsOverrides given;
};

void AddRenderOptions(CLI::App& command, RenderOptions* options);
// --ignore-sidecar, for the commands that read a recording (convert, export, inspect, stats).
void AddIgnoreSidecarOption(CLI::App& command, RenderOptions* options);

// --camera SOURCE, for the commands that read the camera (calibrate, record).
void AddCameraOption(CLI::App& command, std::string* camera);

// The settings the options name over the defaults. False with a one-line reason when the
// calibration file cannot be read.
bool ReadRenderSettings(const RenderOptions& options, RenderSettings* settings, std::string* error);
