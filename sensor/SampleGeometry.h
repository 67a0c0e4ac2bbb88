#pragma once

#include <array>
#include <cstdint>

#include "sensor/LogPolarFrame.h"

// Where each sample of a recorded frame sits on the sensor, in the frame's own layout
// (index = sector * 152 + ring, as FrameIndex gives it):
// - radius: distance of the sample's centre from the centre of the 512 x 512 picture, in
//   that picture's pixels (the middle of its ring's band);
// - angle: direction of the sample's centre in degrees, 0 toward the picture's right,
//   growing counter-clockwise as seen on screen, 0 to 360;
// - area: how many pixels of the 512 x 512 picture show the sample (through the remap table
//   and, in the fovea, the fovea table); 0 for a sample too small to own a pixel;
// - physical: true where the sensor has a pixel: every periphery sample, and in fovea ring
//   r the 6r sectors the fovea table gathers from. Other fovea positions carry no light.
// A fovea pixel is read at one sector and shown at another (the fovea fill gathers it):
// its radius, angle and area are those of where it is shown.
struct SampleGeometry {
    std::array<float, kFrameBytes> radius{};
    std::array<float, kFrameBytes> angle{};
    std::array<std::uint32_t, kFrameBytes> area{};
    std::array<bool, kFrameBytes> physical{};
};

// Computed on first use (thread-safe), read-only afterwards.
const SampleGeometry& SensorSampleGeometry();

// The band of ring r in pixels of the 512 x 512 picture: a pixel at distance d from the
// centre shows ring r when RingInnerRadius(r) <= d < RingOuterRadius(r).
double RingInnerRadius(int ring);
double RingOuterRadius(int ring);
// The ring a pixel at distance d from the centre shows; kRings at or beyond the disc's edge.
int RingAtRadius(double distance);
