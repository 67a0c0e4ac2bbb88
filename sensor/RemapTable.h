#pragma once

#include <cstddef>
#include <cstdint>

#include "sensor/LogPolarFrame.h"

// The Cartesian picture's look-up table: for each pixel (x, y) of the 512 x 512 picture,
// entry y * 512 + x is the frame index (sector * 152 + ring) it shows, or kNoSource
// outside the sensor disc. A 256 x 256 picture uses the even rows and columns.
inline constexpr std::uint16_t kNoSource = 0xFF67;
inline constexpr int kRemapTableSize = kZoomedSize;
inline constexpr std::size_t kRemapTableEntries = std::size_t{kZoomedPixelCount};

// Built on first use (thread-safe), read-only afterwards.
const std::uint16_t* RemapTable();
