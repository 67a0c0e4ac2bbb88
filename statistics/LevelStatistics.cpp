#include "statistics/LevelStatistics.h"

#include <algorithm>
#include <cmath>

#include "processing/ChannelMap.h"
#include "sensor/LogPolarFrame.h"

int ColorRow(ChannelCode code) {
    switch (code) {
        case kBlueChannel:
            return 0;
        case kGreenChannel:
            return 1;
        case kRedChannel:
            return 2;
        case kUncountedChannel:
            break;
    }
    return -1;
}

LevelCounts CountLevels(const std::uint8_t* pRaw, const std::int32_t* pDark, int offset,
                        const GainTable& table, bool bColor, CountedSamples which) {
    LevelCounts levels;
    levels.channels = bColor ? 3 : 1;
    for (int sector = 0; sector < kSectors; ++sector) {
        for (int ring = 0; ring < kRings; ++ring) {
            const std::size_t i = FrameIndex(sector, ring);
            int level = pRaw[i];
            if (which == CountedSamples::kCorrected) {
                const int dark = pDark != nullptr ? pDark[i] : 0;
                level = table[std::clamp(level - dark + offset, 0, 255)];
            }
            const int row = bColor ? ColorRow(ChannelCodeOf(sector, ring)) : 0;
            if (row >= 0) {
                ++levels.counts[row][level];
            }
        }
    }
    return levels;
}

void LevelSums::AddCounts(const std::array<std::uint32_t, 256>& counts) {
    for (int level = 0; level < 256; ++level) {
        const std::uint32_t n = counts[level];
        if (n == 0) {
            continue;
        }
        minimum = std::min(minimum, level);
        maximum = std::max(maximum, level);
        samples += n;
        sum += std::uint64_t{n} * level;
        squares += std::uint64_t{n} * level * level;
    }
    atLow += counts[0];
    atHigh += counts[255];
}

ChannelStatistics SummarizeSums(const LevelSums& sums) {
    ChannelStatistics stats;
    if (sums.samples == 0) {
        return stats;
    }
    // The sums are whole numbers far below 2^53, so as doubles they are exact whatever the
    // order they were added in.
    const double total = double(sums.samples);
    stats.samples = sums.samples;
    stats.minimum = sums.minimum;
    stats.maximum = sums.maximum;
    stats.mean = double(sums.sum) / total;
    stats.spread = std::sqrt(std::max(0.0, double(sums.squares) / total - stats.mean * stats.mean));
    stats.clippedLow = double(sums.atLow) / total;
    stats.clippedHigh = double(sums.atHigh) / total;
    return stats;
}

ChannelStatistics SummarizeLevels(const std::array<std::uint32_t, 256>& counts) {
    LevelSums sums;
    sums.AddCounts(counts);
    return SummarizeSums(sums);
}

double BarHeight(std::uint32_t count, std::uint32_t maxCount, bool bLogarithmic) {
    if (count == 0 || maxCount == 0) {
        return 0;
    }
    if (bLogarithmic) {
        return std::log1p(double(count)) / std::log1p(double(maxCount));
    }
    return double(count) / double(maxCount);
}
