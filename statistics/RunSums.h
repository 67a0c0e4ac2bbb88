#pragma once

#include <cstdint>
#include <span>

#include "statistics/LevelStatistics.h"

// Frame indices begin to end - 1 of one run; begin is even.
struct SampleRun {
    std::uint16_t begin = 0;
    std::uint16_t end = 0;
};

// The shortest run the sums below take: one vector.
inline constexpr std::size_t kShortestSummedRun = 32;

// Adds the levels of one frame's runs' even indices to even and of their odd ones to odd (which may
// be the same), 32 samples at a time with AVX2; false, adding nothing, on a processor
// without. Runs are at least kShortestSummedRun long, and a run of odd length is followed by
// a byte of pLevels it may read (but does not count).
bool AddRunSums(const std::uint8_t* pLevels, std::span<const SampleRun> runs, LevelSums& even,
                LevelSums& odd);
