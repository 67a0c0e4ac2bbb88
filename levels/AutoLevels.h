#pragma once

#include <cstdint>

#include "levels/DisplayRange.h"

// Offset and gain that spread a frame over the levels the screen shows.
//
// The rule works on every physical sample's level above its dark level (raw minus
// calibration, before offset and gain). It picks the level L at or below which about 0.5 %
// of the samples lie and the level H at or above which about 0.5 % lie, never taking more
// than 1 % at either end (a level holding more than that is left out: when the darkest
// level alone holds 3 %, nothing need show black). The gain is the largest whole number,
// 1..999, whose gain law still spans H - L between the corrected levels the display shows
// black and white (DisplayRange), or the next one when clipping a little more comes nearer
// the aim; the offset then places the samples so that the shares shown black and white miss
// 0.5 % by the least in sum, none above 1 %. The law moves in whole steps, coarse at the
// bottom, so spare levels may leave one end short of 0.5 %; a scene wider than gain 1 spans
// must clip more. A frame whose 0.5th and 99.5th percentiles coincide has no range to spread
// (flat) and leaves the levels as they are.
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

// pRaw: one raw frame (38304 samples); pDark: its calibration image (null: all zero);
// display: what the screen does with corrected levels (DisplayRangeFor(bColor)).
LevelsChoice ChooseLevels(const std::uint8_t* pRaw, const std::int32_t* pDark,
                          const DisplayRange& display);
