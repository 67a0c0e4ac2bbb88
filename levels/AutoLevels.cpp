#include "levels/AutoLevels.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "sensor/LogPolarFrame.h"

namespace {

constexpr int kLevels = 511;  // raw minus dark runs from -255 to 255
constexpr int kLevelBias = 255;
constexpr double kLowShare = 0.005;
constexpr double kHighShare = 0.995;

// The smallest level at or below which at least share of the samples lie.
int Percentile(const std::array<int, kLevels>& counts, int total, double share) {
    const double wanted = share * total;
    int seen = 0;
    for (int level = 0; level < kLevels; ++level) {
        seen += counts[level];
        if (seen >= wanted && seen > 0) {
            return level - kLevelBias;
        }
    }
    return kLevels - 1 - kLevelBias;
}

int GainForSpan(int span) {
    const double rise = std::exp(span / 255.0) - 1.0;
    const double gain = (std::exp(1.0) - 1.0) / rise;
    return int(std::clamp<long>(std::lround(gain), kMinAutoGain, kMaxAutoGain));
}

}  // namespace

LevelsChoice ChooseLevels(const std::uint8_t* pRaw, const std::int32_t* pDark) {
    std::array<int, kLevels> counts{};
    int total = 0;
    for (int sector = 0; sector < kSectors; ++sector) {
        for (int ring = kFoveaRings; ring < kRings; ++ring) {
            const std::size_t i = FrameIndex(sector, ring);
            const int dark = pDark != nullptr ? pDark[i] : 0;
            const int level = std::clamp(int(pRaw[i]) - dark, -kLevelBias, kLevelBias);
            ++counts[level + kLevelBias];
            ++total;
        }
    }
    LevelsChoice choice;
    choice.low = Percentile(counts, total, kLowShare);
    choice.high = Percentile(counts, total, kHighShare);
    choice.bFlat = choice.high <= choice.low;
    choice.offset = std::clamp(-choice.low, kMinAutoOffset, kMaxAutoOffset);
    choice.gain = choice.bFlat ? kMinAutoGain : GainForSpan(choice.high - choice.low);
    return choice;
}
