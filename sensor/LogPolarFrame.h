#pragma once

#include <cstddef>
#include <cstdint>

// Geometry of one camera frame: 252 sectors of 152 rings, one byte per sample, stored
// sector-major (index = sector * kRings + ring). Rings 0..41 are the fovea.
inline constexpr int kSectors = 252;
inline constexpr int kRings = 152;
inline constexpr int kFoveaRings = 42;
inline constexpr int kPeripheryRings = kRings - kFoveaRings;
inline constexpr std::size_t kFrameBytes = std::size_t{kSectors} * kRings;  // 38304
inline constexpr std::size_t kColorFrameBytes = kFrameBytes * 3;            // 114912

// Sizes of the square Cartesian output picture.
inline constexpr int kNormalSize = 256;
inline constexpr int kZoomedSize = 512;
inline constexpr std::uint32_t kNormalPixelCount = kNormalSize * kNormalSize;  // 65536
inline constexpr std::uint32_t kZoomedPixelCount = kZoomedSize * kZoomedSize;  // 262144

constexpr std::size_t FrameIndex(int sector, int ring) {
    return std::size_t(sector) * kRings + std::size_t(ring);
}

using LogPolarFrame = std::uint8_t[kFrameBytes];
