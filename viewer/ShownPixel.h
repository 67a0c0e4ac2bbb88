#pragma once

#include <optional>

#include "pixelprobe/PixelValuesText.h"
#include "viewer/FrameHandover.h"

// What the picture on screen shows at client point (x, y) and what the sensor saw there;
// nothing when the point is off the picture or no frame is shown.
std::optional<PixelInspection> InspectShownPicture(const CFrameHandover::ScreenPicture& picture,
                                                   int x, int y);
