#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "statistics/LevelStatistics.h"

// The row of LevelCounts each frame index is counted in, or kUncountedRow.
inline constexpr std::uint8_t kUncountedRow = 3;

// A count of one frame's levels by a row table, arranged once so that most samples need no
// row look-up: runs of consecutive indices whose rows alternate in step with the index's
// parity (the periphery of one sector, where the ring's parity picks the mosaic channel)
// are counted as plain byte runs; the rest (the fovea's scattered pixels) from index lists,
// one per row. Gives the same counts as taking each index's row from the table.
class CCountPlan {
  public:
    explicit CCountPlan(const std::uint8_t* pRows);

    // Adds pLevels' counted samples (one frame, kFrameBytes) into levels' first channels rows.
    void Count(const std::uint8_t* pLevels, LevelCounts& levels) const;

  private:
    static constexpr int kMostPatterns = 4;
    struct Run {
        std::uint16_t begin = 0;  // even
        std::uint16_t end = 0;
        std::uint8_t pattern = 0;
    };
    // The rows of a run's even and odd indices.
    using Pattern = std::array<std::uint8_t, 2>;
    void Scatter(const std::uint8_t* pRows, std::size_t begin, std::size_t end);

    std::vector<Run> m_runs;
    std::vector<Pattern> m_patterns;
    std::array<std::vector<std::uint16_t>, kUncountedRow> m_scattered;
};
