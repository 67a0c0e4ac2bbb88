#pragma once

#include <string>

#include "export/FrameRenderer.h"
#include "tools/CliArguments.h"

// The processing options convert, export and record share:
// --sensor, --size, --view, --offset, --gain, --calibration.
inline constexpr const char* kSettingsOptionNames[] = {"sensor", "size", "view",
                                                       "offset", "gain", "calibration"};

// False with a one-line reason in *error for a value out of range or a calibration file
// that cannot be read.
bool ReadRenderSettings(const CliArguments& arguments, RenderSettings* settings,
                        std::string* error);
