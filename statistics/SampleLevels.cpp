#include "statistics/SampleLevels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "levels/DisplayRange.h"
#include "processing/ChannelMap.h"
#include "sensor/FoveaTable.h"
#include "sensor/LogPolarFrame.h"
#include "sensor/SampleGeometry.h"
#include "statistics/LevelStatistics.h"

namespace {

constexpr std::int8_t kNotCounted = -1;

// What counting needs of every frame index, worked out once.
struct SampleTable {
    std::array<std::int8_t, kFrameBytes> colourRow{};  // LevelCounts row, or kNotCounted
    std::array<std::uint8_t, kFrameBytes> sector{};    // of the 252
};

std::unique_ptr<SampleTable> BuildTable() {
    auto table = std::make_unique<SampleTable>();
    const SampleGeometry& geometry = SensorSampleGeometry();
    table->colourRow.fill(kNotCounted);
    for (int sector = 0; sector < kSectors; ++sector) {
        for (int ring = kFoveaRings; ring < kRings; ++ring) {
            const std::size_t i = FrameIndex(sector, ring);
            table->colourRow[i] = std::int8_t(ColorRow(ChannelCodeOf(sector, ring)));
            table->sector[i] = std::uint8_t(sector);
        }
    }
    // A fovea pixel read at sector fovea[s, r] takes the channel of the cell it is shown in.
    for (int ring = 1; ring < kFoveaRings; ++ring) {
        for (int shown = 0; shown < 6 * ring; ++shown) {
            const std::int32_t read = FoveaTable()[FoveaIndex(shown, ring)];
            if (read == kNoFoveaSector) {
                continue;
            }
            const std::size_t i = FrameIndex(read, ring);
            table->colourRow[i] = std::int8_t(ColorRow(ChannelCodeOf(shown, ring)));
            const int sector = int(std::floor(geometry.angle[i] * kSectors / 360.0));
            table->sector[i] = std::uint8_t(std::clamp(sector, 0, kSectors - 1));
        }
    }
    return table;
}

const SampleTable& Samples() {
    static const std::unique_ptr<SampleTable> table = BuildTable();
    return *table;
}

int CorrectedLevel(const FrameSamples& frame, std::size_t i) {
    const int dark = frame.pDark != nullptr ? frame.pDark[i] : 0;
    return (*frame.pTable)[std::clamp(int(frame.pRaw[i]) - dark + frame.offset, 0, 255)];
}

// What the display makes of each corrected level in this frame.
std::array<std::uint8_t, 256> ShownLevels(const FrameSamples& frame) {
    std::array<std::uint8_t, 256> shown{};
    if (!frame.bColor) {
        for (int level = 0; level < 256; ++level) {
            shown[level] = std::uint8_t(ShownGreyLevel(level));
        }
        return shown;
    }
    // The colour processor stretches from its darkest to its brightest periphery sample.
    int low = 255;
    int high = 0;
    for (int sector = 0; sector < kSectors; ++sector) {
        for (int ring = kFoveaRings; ring < kRings; ++ring) {
            const int level = CorrectedLevel(frame, FrameIndex(sector, ring));
            low = std::min(low, level);
            high = std::max(high, level);
        }
    }
    for (int level = 0; level < 256; ++level) {
        if (low == 0 && high == 255) {
            shown[level] = std::uint8_t(level);
        } else if (level <= low) {
            shown[level] = 0;
        } else if (level >= high) {
            shown[level] = 255;
        } else {
            shown[level] = std::uint8_t(255 * (level - low) / (high - low));
        }
    }
    return shown;
}

}  // namespace

const char* LevelValuesName(LevelValues values) {
    switch (values) {
        case LevelValues::kRaw:
            return "raw";
        case LevelValues::kCorrected:
            return "corrected";
        case LevelValues::kShown:
            return "shown";
    }
    return "";
}

bool ParseLevelValues(const std::string& text, LevelValues* values) {
    for (LevelValues candidate :
         {LevelValues::kRaw, LevelValues::kCorrected, LevelValues::kShown}) {
        if (text == LevelValuesName(candidate)) {
            *values = candidate;
            return true;
        }
    }
    return false;
}

bool SampleRegion::IsWhole() const {
    return firstRing == 0 && lastRing == kRings - 1 && firstSector == 0 &&
           lastSector == kSectors - 1;
}

bool SampleRegion::IsValid() const {
    return firstRing >= 0 && firstRing <= lastRing && lastRing < kRings && firstSector >= 0 &&
           firstSector < kSectors && lastSector >= 0 && lastSector < kSectors;
}

bool SampleRegion::Contains(int ring, int sector) const {
    if (ring < firstRing || ring > lastRing) {
        return false;
    }
    return firstSector <= lastSector ? sector >= firstSector && sector <= lastSector
                                     : sector >= firstSector || sector <= lastSector;
}

std::string SampleRegion::Describe() const {
    return "rings " + std::to_string(firstRing) + "-" + std::to_string(lastRing) + ", sectors " +
           std::to_string(firstSector) + "-" + std::to_string(lastSector);
}

bool ParseIndexRange(const std::string& text, int limit, int* first, int* last) {
    const std::size_t dash = text.find('-');
    const std::string a = text.substr(0, dash);
    const std::string b = dash == std::string::npos ? a : text.substr(dash + 1);
    auto parse = [limit](const std::string& word, int* value) {
        if (word.empty() || word.size() > 4 ||
            word.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        *value = std::atoi(word.c_str());
        return *value <= limit;
    };
    return parse(a, first) && parse(b, last);
}

LevelCounts CountSampleLevels(const FrameSamples& frame, LevelValues values,
                              const SampleRegion& region) {
    const SampleTable& samples = Samples();
    const SampleGeometry& geometry = SensorSampleGeometry();
    std::array<std::uint8_t, 256> shown{};
    if (values == LevelValues::kShown) {
        shown = ShownLevels(frame);
    }
    LevelCounts levels;
    levels.channels = frame.bColor ? 3 : 1;
    const bool bWhole = region.IsWhole();
    for (int sector = 0; sector < kSectors; ++sector) {
        for (int ring = region.firstRing; ring <= region.lastRing; ++ring) {
            const std::size_t i = FrameIndex(sector, ring);
            if (!geometry.physical[i] || (!bWhole && !region.Contains(ring, samples.sector[i]))) {
                continue;
            }
            const int row = frame.bColor ? samples.colourRow[i] : 0;
            if (row == kNotCounted) {
                continue;
            }
            int level = frame.pRaw[i];
            if (values != LevelValues::kRaw) {
                level = CorrectedLevel(frame, i);
                if (values == LevelValues::kShown) {
                    level = shown[level];
                }
            }
            ++levels.counts[row][level];
        }
    }
    return levels;
}
