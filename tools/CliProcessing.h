#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "export/FrameRenderer.h"
#include "processing/FrameProcessor.h"
#include "sensor/LogPolarFrame.h"

// Runs every frame of a recording through a processor configured as the viewer would be,
// remapping each one in the remapped view; the processor is returned holding the last
// frame (and no camera). Null, with one line in *error, when the file cannot be processed.
std::unique_ptr<CFrameProcessor> ProcessRecording(const RenderSettings& settings,
                                                  const std::string& input, std::string* error);
