#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "pixelprobe/SensorProbe.h"

// One pixel of the picture on screen and what the sensor saw there.
struct PixelInspection {
    int x = 0;
    int y = 0;
    SensorPoint point;
    SampleReading reading;
    bool bHasReading = false;  // the frame's raw samples were at hand
    bool bColor = false;
    std::array<std::uint8_t, 3> shown{};  // blue, green, red
};

// The status line, e.g. "x 301 y 122 · ring 131 sector 17 · raw 37 dark 12 → 105 · shown
// 201"; "outside the sensor" off the disc; fovea rings and colour channels said so.
std::string DescribeInspection(const PixelInspection& inspection);
