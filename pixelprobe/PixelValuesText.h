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

// The whole readout, e.g. "x 301 y 122 · ring 131 sector 17 · radius 201.4 px, angle 37.1°,
// area 12 px · raw 37 dark 12 → 105 · shown 201"; "outside the sensor" off the disc; fovea
// rings and colour channels said so, colour levels as "shown R 201 G 180 B 20". Where the
// sample sits comes from SensorSampleGeometry.
std::string DescribeInspection(const PixelInspection& inspection);
// The short form for the narrow status pane: "r131 s17 · 37→105 · 201" (ring, sector,
// raw → corrected, shown); for colour "r131 s17 R201 G180 B20", as short as the grey form so
// that it fits the pane at 256.
std::string ShortInspection(const PixelInspection& inspection);
