#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "processing/GainTable.h"
#include "statistics/LevelStatistics.h"

// Which levels of a frame are counted: the raw samples, what correction makes of them
// (offset and gain, as the frame was processed), or the levels the picture on screen shows
// for them (the display's stretch after correction, see levels/DisplayRange.h; for colour,
// the stretch from the darkest to the brightest periphery sample).
enum class LevelValues { kRaw, kCorrected, kShown };

// "raw", "corrected", "shown".
const char* LevelValuesName(LevelValues values);
bool ParseLevelValues(const std::string& text, LevelValues* values);

// One frame as the sensor gave it and as it was corrected.
struct FrameSamples {
    const std::uint8_t* pRaw = nullptr;   // one raw frame, kFrameBytes
    const std::int32_t* pDark = nullptr;  // its calibration image; null: all zero
    int offset = 0;
    const GainTable* pTable = nullptr;
    bool bColor = false;
    const std::int32_t* pFlatFactors = nullptr;  // the flat image's FlatFactors; null: none
    // The correction shift of pDark and offset (CFrameProcessor::PrepareCorrectionShift), for
    // a caller counting many frames alike; null: prepared for each frame.
    const std::int16_t* pShift = nullptr;
};

// A part of the sensor in its own coordinates: rings firstRing..lastRing and sectors
// firstSector..lastSector (0..251); a first sector above the last wraps through sector 0.
// A fovea ring has fewer, wider sectors: its samples count in the sector of the 252 their
// centre's angle falls in.
struct SampleRegion {
    int firstRing = 0;
    int lastRing = 151;
    int firstSector = 0;
    int lastSector = 251;

    bool IsWhole() const;
    bool IsValid() const;
    bool Contains(int ring, int sector) const;
    // "rings 60-120, sectors 10-40".
    std::string Describe() const;
};

// "A-B" or "A" within 0..limit; false otherwise.
bool ParseIndexRange(const std::string& text, int limit, int* first, int* last);

// Counts the frame's physical samples inside the region (see SampleGeometry's physical):
// one row for black-and-white; blue, green and red rows for colour, by each sample's
// mosaic channel. A region that holds no physical sample counts nothing.
LevelCounts CountSampleLevels(const FrameSamples& frame, LevelValues values,
                              const SampleRegion& region = {});

// SummarizeLevels of each row CountSampleLevels gives (rows it has not are left empty), the
// levels summed without counting them, several times faster.
std::array<ChannelStatistics, 3> SummarizeSampleLevels(const FrameSamples& frame,
                                                       LevelValues values,
                                                       const SampleRegion& region = {});
