#pragma once

#include <string>

#include "export/FrameRenderer.h"

// The settings a script gives, checked against the ranges the viewer's Settings take;
// pybind11's ValueError naming the value otherwise.
RenderSettings SettingsFrom(const std::string& sensor, int size, int offset, int gain,
                            bool remapped);
void CheckOffset(int offset);
void CheckGain(int gain);

// Refuses, as pandry-cli does, a calibration that is missing, no regular file or not a
// dark image.
void CheckCalibrationFile(const std::string& path);
