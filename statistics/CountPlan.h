#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "statistics/LevelStatistics.h"
#include "statistics/RunSums.h"

// The row of LevelCounts each frame index is counted in, or kUncountedRow.
inline constexpr std::uint8_t kUncountedRow = 3;

// A count of one frame's levels by a row table, arranged once so that most samples need no
// row look-up: runs of consecutive indices whose rows alternate in step with the index's
// parity (the periphery of one sector, where the ring's parity picks the mosaic channel)
// are taken as plain byte runs; the rest (the fovea's scattered pixels) from index lists,
// one per row. Gives the same counts as taking each index's row from the table.
class CCountPlan {
  public:
    explicit CCountPlan(const std::uint8_t* pRows);

    // Adds pLevels' counted samples (one frame, kFrameBytes) into levels' rows.
    void Count(const std::uint8_t* pLevels, LevelCounts& levels) const;
    // Adds the same samples to each row's sums, the runs summed without counts.
    void Sum(const std::uint8_t* pLevels, std::array<LevelSums, kUncountedRow>& sums) const;

  private:
    static constexpr int kMostPatterns = 4;
    // The rows of a run's even and odd indices.
    using Pattern = std::array<std::uint8_t, 2>;
    void Scatter(const std::uint8_t* pRows, std::size_t begin, std::size_t end);
    void CountScattered(const std::uint8_t* pLevels, LevelCounts& levels) const;

    std::vector<Pattern> m_patterns;
    std::vector<std::vector<SampleRun>> m_runs;  // of each pattern
    std::array<std::vector<std::uint16_t>, kUncountedRow> m_scattered;
};
