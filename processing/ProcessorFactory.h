#pragma once

#include <memory>
#include <string>

#include "processing/FrameProcessor.h"
#include "sensor/Defaults.h"

// How frames are turned into pictures: the values the viewer's settings and view hold.
struct ProcessorSettings {
    bool color = false;
    int size = kDefaultSize;  // 256 or 512
    bool remapped = true;
    int offset = kDefaultOffset;
    int gain = kDefaultGain;
    std::string calibration = kDefaultCalibrationFile;  // empty: none

    // One line naming every value, as saved pictures carry it.
    std::string Describe() const;
};

// A new, unconfigured processor for the colour (true) or the black-and-white sensor.
std::unique_ptr<CFrameProcessor> MakeFrameProcessor(bool bColor);

// A processor configured as the viewer would be with these settings, its calibration
// loaded (see CalibrationLoadError), ready for TakeFrame.
std::unique_ptr<CFrameProcessor> MakeConfiguredProcessor(const ProcessorSettings& settings);
