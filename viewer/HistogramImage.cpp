#include "viewer/HistogramImage.h"

#include <cstring>

namespace {

constexpr std::uint8_t kChannelColours[3][3] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}};

}  // namespace

void PlotHistogram(const HistogramCounts& counts, std::uint8_t* pImage) {
    std::memset(pImage, 255, kHistogramImageBytes);
    for (int channel = 0; channel < 3; ++channel) {
        for (int level = 0; level < kHistogramWidth; ++level) {
            // Counts are non-negative, so the scaled row truncates like count / 10.
            const int row = int(double(counts[channel][level]) * 0.1);
            if (row < 1 || row >= kHistogramRows) {
                continue;
            }
            std::memcpy(pImage + std::size_t(row) * kHistogramWidth * 3 + level * 3,
                        kChannelColours[channel], 3);
        }
    }
}
