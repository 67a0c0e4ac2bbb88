#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "processing/GainTable.h"

// Which sensor sample a pixel of the picture shows.
struct SensorPoint {
    bool bInside = false;
    int sector = 0;
    int ring = 0;
    std::size_t index = 0;  // in the processed frame (sector * 152 + ring)
    // In the raw frame: the fovea fill gathers physical pixels from other sectors of their
    // ring, so a fovea sample was read at another sector than the one it is shown at.
    bool bHasRawSample = false;
    std::size_t rawIndex = 0;
    bool IsFovea() const;
};

// Pixel (x, y) of the remapped picture of side size (256 or 512), y counted downwards
// as on screen: the remap table entry that pixel shows.
SensorPoint ProbeRemapped(int size, int x, int y);
// Pixel (x, y) of the unmapped picture as the viewer shows it (252 wide, 152 high:
// sectors across from right to left, rings downwards).
SensorPoint ProbeUnmapped(int x, int y);

// What the sensor gave at one point and what correction made of it.
struct SampleReading {
    int raw = 0;
    int dark = 0;
    int corrected = 0;  // after offset and gain, before any colour processing
};

SampleReading ReadSample(const SensorPoint& point, const std::uint8_t* pRaw,
                         const std::int32_t* pDark, int offset, const GainTable& table);

// The colour mosaic's channel at a processed-frame index: "B", "G", "R" or "" (none).
const char* MosaicChannelName(std::size_t index);
