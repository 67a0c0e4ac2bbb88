#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "processing/FrameProcessor.h"
#include "sensor/LogPolarFrame.h"
#include "tools/CliArguments.h"

// How recorded frames are processed: the options convert and inspect share.
struct ConvertSettings {
    bool color = false;
    int size = kNormalSize;
    bool remapped = true;
    int offset = 80;
    int gain = 3;
    std::string calibration = "calimage.data";
};

// The option names ReadConvertSettings reads.
inline const char* const kConvertOptionNames[] = {"sensor", "size", "view",
                                                  "offset", "gain", "calibration"};

bool ReadConvertSettings(const CliArguments& arguments, ConvertSettings* settings,
                         std::string* error);

// Runs every frame of a recording through a processor configured as the viewer would be,
// remapping each one in the remapped view; the processor is returned holding the last
// frame (and no camera). Null, with one line in *error, when the file cannot be processed.
std::unique_ptr<CFrameProcessor> ProcessRecording(const ConvertSettings& settings,
                                                  const std::string& input, std::string* error);
