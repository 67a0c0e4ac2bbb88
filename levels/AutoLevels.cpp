#include "levels/AutoLevels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "sensor/LogPolarFrame.h"
#include "sensor/SampleGeometry.h"

namespace {

constexpr int kLevels = 511;  // raw minus dark runs from -255 to 255
constexpr int kLevelBias = 255;
constexpr double kAimedShare = 0.005;
constexpr double kMostShare = 0.01;

using LevelCounts = std::array<int, kLevels>;

// The smallest level at or below which at least share of the samples lie.
int Percentile(const LevelCounts& counts, int total, double share) {
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

// The level (biased) at or below which the share nearest kAimedShare lies, never above
// kMostShare; of levels giving the same share, the highest. -1 when none may go.
int BlackEnd(const LevelCounts& counts, int total) {
    int best = -1;
    double bestMiss = kAimedShare * total;
    int below = 0;
    for (int level = 0; level < kLevels; ++level) {
        below += counts[level];
        if (below > kMostShare * total) {
            break;
        }
        const double miss = std::abs(below - kAimedShare * total);
        if (miss <= bestMiss) {
            best = level;
            bestMiss = miss;
        }
    }
    return best;
}

// The same from the bright end, mirrored; kLevels when none may go.
int WhiteEnd(const LevelCounts& counts, int total) {
    LevelCounts mirrored{};
    std::reverse_copy(counts.begin(), counts.end(), mirrored.begin());
    return kLevels - 1 - BlackEnd(mirrored, total);
}

// Largest table index showing black and smallest showing white under a gain.
struct GainSpan {
    int black = 0;
    int white = 255;
};

GainSpan SpanOf(int gain, const DisplayRange& display) {
    // The gain law, as the processor builds its table.
    const double range = std::exp(1.0) - 1.0;
    GainSpan span;
    span.white = 255;
    for (int i = 255; i >= 0; --i) {
        const double v = (std::exp(i / 255.0) - 1.0) * gain * 255.0 / range;
        const int level = v >= 255.0 ? 255 : v > 0.0 ? int(v) : 0;
        if (level >= display.white) {
            span.white = i;
        }
        if (level <= display.black) {
            span.black = i;
            break;
        }
    }
    return span;
}

// The best offset for a gain, and how far the shares then shown black and white miss the
// aim: both misses together first (so one end right beats two ends half wrong), then the
// larger; an end beyond the most allowed counts as a miss larger than any other. Where the gain
// spans more than is wanted, the spare levels go to one end or both; where it spans less, the
// shortfall is clipped.
struct Placement {
    int gain = kMinAutoGain;
    int offset = 0;
    double miss = 0;
    double totalMiss = 0;

    bool IsBetterThan(const Placement& other) const {
        return totalMiss < other.totalMiss || (totalMiss == other.totalMiss && miss < other.miss);
    }
};

Placement Place(const LevelCounts& counts, int total, int black, int white, int gain,
                const DisplayRange& display) {
    const GainSpan span = SpanOf(gain, display);
    const int spanned = span.white - span.black;
    std::array<int, kLevels + 1> below{};  // below[k]: samples at levels under k
    for (int level = 0; level < kLevels; ++level) {
        below[level + 1] = below[level] + counts[level];
    }
    const int slack = std::abs(spanned - (white - black));
    Placement best;
    best.totalMiss = 1e9;
    for (int blackEnd = black - slack; blackEnd <= black + slack; ++blackEnd) {
        const int whiteEnd = blackEnd + spanned;
        const double blackShare = double(below[std::clamp(blackEnd + 1, 0, kLevels)]) / total;
        const double whiteShare = double(total - below[std::clamp(whiteEnd, 0, kLevels)]) / total;
        Placement placement;
        placement.gain = gain;
        placement.offset = span.black - (blackEnd - kLevelBias);
        const double blackMiss = std::abs(blackShare - kAimedShare);
        const double whiteMiss = std::abs(whiteShare - kAimedShare);
        placement.miss = std::max(blackMiss, whiteMiss);
        placement.totalMiss =
            blackMiss + whiteMiss + (blackShare > kMostShare || whiteShare > kMostShare ? 1 : 0);
        if (placement.IsBetterThan(best)) {
            best = placement;
        }
    }
    return best;
}

}  // namespace

LevelsChoice ChooseLevels(const std::uint8_t* pRaw, const std::int32_t* pDark,
                          const DisplayRange& display) {
    const SampleGeometry& geometry = SensorSampleGeometry();
    LevelCounts counts{};
    int total = 0;
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        if (!geometry.physical[i]) {
            continue;
        }
        const int dark = pDark != nullptr ? pDark[i] : 0;
        const int level = std::clamp(int(pRaw[i]) - dark, -kLevelBias, kLevelBias);
        ++counts[level + kLevelBias];
        ++total;
    }
    LevelsChoice choice;
    choice.low = Percentile(counts, total, kAimedShare);
    choice.high = Percentile(counts, total, 1.0 - kAimedShare);
    choice.bFlat = choice.high <= choice.low;
    if (choice.bFlat) {
        choice.offset = std::clamp(-choice.low, kMinAutoOffset, kMaxAutoOffset);
        choice.gain = kMinAutoGain;
        return choice;
    }
    // Black for l <= black, white for l >= white (both biased levels).
    const int black = BlackEnd(counts, total);
    const int white = WhiteEnd(counts, total);
    const int wanted = white - black;
    // The span narrows as the gain grows: the largest gain still spanning what is wanted,
    // or the next one, clipping a little more, when that comes nearer the aimed shares.
    int wide = kMinAutoGain;
    for (int lo = kMinAutoGain, hi = kMaxAutoGain; lo <= hi;) {
        const int g = (lo + hi) / 2;
        const GainSpan span = SpanOf(g, display);
        if (span.white - span.black >= wanted) {
            wide = g;
            lo = g + 1;
        } else {
            hi = g - 1;
        }
    }
    Placement best = Place(counts, total, black, white, wide, display);
    if (wide < kMaxAutoGain) {
        const Placement narrow = Place(counts, total, black, white, wide + 1, display);
        if (narrow.IsBetterThan(best)) {
            best = narrow;
        }
    }
    choice.gain = best.gain;
    choice.offset = std::clamp(best.offset, kMinAutoOffset, kMaxAutoOffset);
    return choice;
}
