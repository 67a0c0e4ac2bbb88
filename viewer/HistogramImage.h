#pragma once

#include <cstddef>
#include <cstdint>

#include "processing/FrameProcessor.h"

inline constexpr int kHistogramWidth = 256;
inline constexpr int kHistogramRows = 100;
inline constexpr std::size_t kHistogramImageBytes = kHistogramWidth * kHistogramRows * 3;  // 76800

// Plots counts as a 256 x 100 dot picture (bottom-up, blue-green-red): white ground, one dot
// per level and channel at row count / 10 when that row is 1 to 99. Channels 0, 1, 2 are
// drawn red, green, blue, later channels over earlier ones.
void PlotHistogram(const HistogramCounts& counts, std::uint8_t* pImage);
