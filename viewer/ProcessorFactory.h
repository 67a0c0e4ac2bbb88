#pragma once

#include <memory>

#include "processing/FrameProcessor.h"

// A new, unconfigured processor for the colour (true) or the black-and-white sensor.
std::unique_ptr<CFrameProcessor> MakeFrameProcessor(bool bColor);
