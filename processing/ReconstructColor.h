#pragma once

#include "sensor/LogPolarFrame.h"

// Byte positions within a ColorFrame pixel (the order of a 24-bit bitmap).
inline constexpr int kBlueByte = 0;
inline constexpr int kGreenByte = 1;
inline constexpr int kRedByte = 2;

// The ring outside ring 151 does not exist; sector 0's re-estimate of ring 151 reads its
// mirror image, ring 150, instead. Ring 150 carries the colour the missing ring would
// (same sector phase, same ring parity), so a flat colour field stays flat at the edge.
constexpr int OuterNeighbourRing(int ring) {
    return ring + 1 < kRings ? ring + 1 : 2 * (kRings - 1) - (ring + 1);
}
