#pragma once

#include <cstddef>
#include <cstdint>

#include "sensor/LogPolarFrame.h"

// For each fovea ring r and sector s, entry s * 42 + r is the raw-frame sector (same ring)
// whose sample the fovea fill gathers into sector s, or kNoFoveaSector. Ring r gathers its
// 6r physical pixels into sectors 0 .. 6r - 1.
inline constexpr std::int32_t kNoFoveaSector = -1;
inline constexpr std::size_t kFoveaTableEntries = std::size_t{kSectors} * kFoveaRings;

constexpr std::size_t FoveaIndex(int sector, int ring) {
    return std::size_t(sector) * kFoveaRings + std::size_t(ring);
}

// Built on first use (thread-safe), read-only afterwards.
const std::int32_t* FoveaTable();
