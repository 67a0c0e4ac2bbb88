#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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
    std::string calibrationSha256;                      // of the file applied, when known
    // The flat image applied after the dark image (empty: none), its SHA-256 and its
    // factors as FlatFactors makes them (null: none).
    std::string flat;
    std::string flatSha256;
    std::shared_ptr<const std::vector<std::int32_t>> flatFactors;

    // Each value's name and value as saved pictures carry them: the calibration as "none",
    // or the file and calibration_sha256 with the first 12 hex digits when known; then, only
    // with one, the flat and flat_sha256 the same way.
    std::vector<std::pair<std::string, std::string>> Pairs() const;
};

// A new, unconfigured processor for the colour (true) or the black-and-white sensor.
std::unique_ptr<CFrameProcessor> MakeFrameProcessor(bool bColor);

// A processor configured as the viewer would be with these settings, its calibration
// loaded (see CalibrationLoaded), ready for TakeFrame.
std::unique_ptr<CFrameProcessor> MakeConfiguredProcessor(const ProcessorSettings& settings);
