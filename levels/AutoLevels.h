#pragma once

#include <cstdint>

// Offset and gain that spread a frame's periphery over the displayed range.
//
// The rule: take every periphery sample's level above its dark level (raw minus
// calibration, before offset and gain); let low and high be the 0.5th and 99.5th
// percentiles of those levels. The offset is -low, so the low percentile lands at 0. The
// gain is the whole number g, 1..999, for which the gain law's entry (high - low) comes
// nearest 255: g = (e - 1) / (exp((high - low) / 255) - 1), rounded. A frame whose
// percentiles coincide has no range to spread (flat) and leaves the levels as they are.
struct LevelsChoice {
    int offset = 0;
    int gain = 1;
    int low = 0;   // 0.5th percentile of raw minus dark
    int high = 0;  // 99.5th percentile of raw minus dark
    bool bFlat = false;
};

inline constexpr int kMinAutoGain = 1;
inline constexpr int kMaxAutoGain = 999;
// The Settings dialog's offset field holds five characters; a frame's levels stay within
// -255..255 anyway.
inline constexpr int kMinAutoOffset = -255;
inline constexpr int kMaxAutoOffset = 255;

// pRaw: one raw frame (38304 samples); pDark: its calibration image (null: all zero).
LevelsChoice ChooseLevels(const std::uint8_t* pRaw, const std::int32_t* pDark);
