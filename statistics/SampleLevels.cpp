#include "statistics/SampleLevels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "levels/DisplayRange.h"
#include "processing/ChannelMap.h"
#include "processing/FlatField.h"
#include "processing/FrameProcessor.h"
#include "processing/VectorLookup.h"
#include "sensor/FoveaTable.h"
#include "sensor/LogPolarFrame.h"
#include "sensor/SampleGeometry.h"
#include "statistics/CountPlan.h"
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

// The LevelCounts row of each frame index, kUncountedRow outside the region and for the
// samples that do not count.
std::vector<std::uint8_t> CountRows(const SampleRegion& region, bool bColor) {
    const SampleTable& samples = Samples();
    const SampleGeometry& geometry = SensorSampleGeometry();
    std::vector<std::uint8_t> rows(kFrameBytes, kUncountedRow);
    for (int sector = 0; sector < kSectors; ++sector) {
        for (int ring = region.firstRing; ring <= region.lastRing; ++ring) {
            const std::size_t i = FrameIndex(sector, ring);
            const int row = bColor ? samples.colourRow[i] : 0;
            if (geometry.physical[i] && row != kNotCounted &&
                region.Contains(ring, samples.sector[i])) {
                rows[i] = std::uint8_t(row);
            }
        }
    }
    return rows;
}

bool SameRegion(const SampleRegion& a, const SampleRegion& b) {
    return a.firstRing == b.firstRing && a.lastRing == b.lastRing &&
           a.firstSector == b.firstSector && a.lastSector == b.lastSector;
}

struct RegionPlan {
    SampleRegion region;
    bool bColor = false;
    CCountPlan plan;
};

// The plans of the last two regions and sensors this thread counted: callers keep them from
// frame to frame, and the windows count the whole sensor and a region in turn.
const CCountPlan& PlanFor(const SampleRegion& region, bool bColor) {
    thread_local std::array<std::unique_ptr<RegionPlan>, 2> plans;
    for (const std::unique_ptr<RegionPlan>& cached : plans) {
        if (cached && cached->bColor == bColor && SameRegion(cached->region, region)) {
            return cached->plan;
        }
    }
    plans[1] = std::move(plans[0]);
    plans[0] = std::make_unique<RegionPlan>(
        RegionPlan{region, bColor, CCountPlan(CountRows(region, bColor).data())});
    return plans[0]->plan;
}

// What the display makes of each corrected level in this frame.
std::array<std::uint8_t, 256> ShownLevels(const std::uint8_t* pCorrected, bool bColor) {
    std::array<std::uint8_t, 256> shown{};
    if (!bColor) {
        for (int level = 0; level < 256; ++level) {
            shown[level] = std::uint8_t(ShownGreyLevel(level));
        }
        return shown;
    }
    // The colour processor stretches from its darkest to its brightest periphery sample,
    // found with the sums of every sector's periphery run.
    static const CCountPlan periphery = [] {
        std::vector<std::uint8_t> rows(kFrameBytes, kUncountedRow);
        for (int sector = 0; sector < kSectors; ++sector) {
            std::fill_n(rows.begin() + std::ptrdiff_t(FrameIndex(sector, kFoveaRings)),
                        kPeripheryRings, std::uint8_t(0));
        }
        return CCountPlan(rows.data());
    }();
    std::array<LevelSums, kUncountedRow> sums;
    periphery.Sum(pCorrected, sums);
    const int low = sums[0].minimum;
    const int high = sums[0].maximum;
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

namespace {

// Every sample corrected at once, into a buffer of this thread's.
const std::uint8_t* CorrectedLevels(const FrameSamples& frame) {
    static const std::vector<std::int32_t> noDark(kFrameBytes, 0);
    thread_local std::vector<std::int16_t> shift(kFrameBytes);
    thread_local std::vector<std::uint8_t> corrected(kFrameBytes);
    const std::int32_t* pDark = frame.pDark != nullptr ? frame.pDark : noDark.data();
    if (frame.pFlatFactors != nullptr) {
        CorrectWithFlat(*frame.pTable, corrected.data(), frame.pRaw, pDark, frame.pFlatFactors,
                        frame.offset);
        return corrected.data();
    }
    const std::int16_t* pShift = frame.pShift;
    if (pShift == nullptr) {
        CFrameProcessor::PrepareCorrectionShift(pDark, frame.offset, shift.data());
        pShift = shift.data();
    }
    CFrameProcessor::CorrectPrepared(*frame.pTable, corrected.data(), frame.pRaw, pShift);
    return corrected.data();
}

}  // namespace

LevelCounts CountSampleLevels(const FrameSamples& frame, LevelValues values,
                              const SampleRegion& region) {
    LevelCounts levels;
    levels.channels = frame.bColor ? 3 : 1;
    const CCountPlan& plan = PlanFor(region, frame.bColor);
    if (values == LevelValues::kRaw) {
        plan.Count(frame.pRaw, levels);
        return levels;
    }
    // Counted by corrected level; the shown levels are a function of those, so their counts
    // are gathered from them.
    const std::uint8_t* pCorrected = CorrectedLevels(frame);
    plan.Count(pCorrected, levels);
    if (values == LevelValues::kShown) {
        const std::array<std::uint8_t, 256> shown = ShownLevels(pCorrected, frame.bColor);
        for (int row = 0; row < levels.channels; ++row) {
            std::array<std::uint32_t, 256> byShown{};
            for (int level = 0; level < 256; ++level) {
                byShown[shown[level]] += levels.counts[row][level];
            }
            levels.counts[row] = byShown;
        }
    }
    return levels;
}

std::array<ChannelStatistics, 3> SummarizeSampleLevels(const FrameSamples& frame,
                                                       LevelValues values,
                                                       const SampleRegion& region) {
    const std::uint8_t* pLevels = values == LevelValues::kRaw ? frame.pRaw : CorrectedLevels(frame);
    if (values == LevelValues::kShown) {
        thread_local std::vector<std::uint8_t> shown(kFrameBytes);
        LookUpBytes(ShownLevels(pLevels, frame.bColor), pLevels, shown.data(), kFrameBytes);
        pLevels = shown.data();
    }
    std::array<LevelSums, 3> sums;
    PlanFor(region, frame.bColor).Sum(pLevels, sums);
    std::array<ChannelStatistics, 3> figures{};
    for (int row = 0; row < (frame.bColor ? 3 : 1); ++row) {
        figures[row] = SummarizeSums(sums[row]);
    }
    return figures;
}
