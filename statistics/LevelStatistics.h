#pragma once

#include <array>
#include <cstdint>

#include "processing/ChannelMap.h"
#include "processing/GainTable.h"

// Sample counts per level for each channel of one frame: one channel for the
// black-and-white sensor; blue, green and red for the colour mosaic.
struct LevelCounts {
    int channels = 1;
    std::array<std::array<std::uint32_t, 256>, 3> counts{};
};

enum class CountedSamples { kRaw, kCorrected };

// Counts the raw samples, or what correction makes of them (offset and gain, as the
// frame was processed), every sample of the frame; colour samples by their mosaic channel.
LevelCounts CountLevels(const std::uint8_t* pRaw, const std::int32_t* pDark, int offset,
                        const GainTable& table, bool bColor, CountedSamples which);

struct ChannelStatistics {
    std::uint64_t samples = 0;
    int minimum = 0;
    int maximum = 0;
    double mean = 0;
    double spread = 0;       // standard deviation
    double clippedLow = 0;   // share of samples at 0
    double clippedHigh = 0;  // share of samples at 255
};

ChannelStatistics SummarizeLevels(const std::array<std::uint32_t, 256>& counts);

// What a channel's figures are made of: exact sums over its samples, gathered from counts
// or straight from the samples, in any order.
struct LevelSums {
    std::uint64_t samples = 0;
    std::uint64_t sum = 0;
    std::uint64_t squares = 0;
    std::uint64_t atLow = 0;   // samples at 0
    std::uint64_t atHigh = 0;  // samples at 255
    int minimum = 255;         // of the samples, when there are any
    int maximum = 0;

    void AddCounts(const std::array<std::uint32_t, 256>& counts);
};

// The figures SummarizeLevels gives for the counts of the same samples.
ChannelStatistics SummarizeSums(const LevelSums& sums);

// Height of a bar, 0..1, for a count on a linear axis up to maxCount or on a logarithmic
// one (log(1 + count) / log(1 + maxCount)); any count above 0 stays visible on the latter.
double BarHeight(std::uint32_t count, std::uint32_t maxCount, bool bLogarithmic);

// The row of LevelCounts for a channel code (blue 0, green 1, red 2), or -1 for a position
// that holds no sample.
int ColorRow(ChannelCode code);
