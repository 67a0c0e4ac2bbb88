#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "processing/GainTable.h"

// What the sensor gave for one frame and how it was corrected: enough to say, for any
// pixel of that frame's picture, its raw and dark level and the corrected value, and to
// count its levels. It travels with the picture, so it always describes the frame shown.
struct SensorSnapshot {
    std::vector<std::uint8_t> raw;                           // one raw frame, or empty
    std::shared_ptr<const std::vector<std::int32_t>> pDark;  // the calibration in force
    int offset = 0;
    GainTable table{};
    bool bColor = false;

    bool IsValid() const { return !raw.empty(); }
};

// The same, as the worker hands it over: the raw frame is only borrowed for the call, so a
// surface that keeps nothing costs the worker no copy.
struct SensorFrame {
    const std::uint8_t* pRaw = nullptr;  // kFrameBytes
    std::shared_ptr<const std::vector<std::int32_t>> pDark;
    int offset = 0;
    GainTable table{};
    bool bColor = false;
};
