#pragma once

#include <algorithm>

// What the screen makes of a corrected level. The black-and-white picture passes it through
// the video-range stretch, shown = (76309 * (level - 16)) >> 16 clamped to 0..255, so levels
// up to 16 show black and from 236 white. The colour picture is stretched from the darkest
// to the brightest periphery sample instead, so only levels at the ends of the corrected
// range (0 and 255 once a frame reaches them) show black and white.
struct DisplayRange {
    int black;  // corrected levels at or below it show black
    int white;  // corrected levels at or above it show white
};

inline constexpr DisplayRange kGreyDisplay{16, 236};
inline constexpr DisplayRange kColourDisplay{0, 255};

inline DisplayRange DisplayRangeFor(bool bColor) {
    return bColor ? kColourDisplay : kGreyDisplay;
}

// The black-and-white picture's level for a corrected level (the converter's grey rule).
inline int ShownGreyLevel(int corrected) {
    return std::clamp((76309 * (corrected - 16)) >> 16, 0, 255);
}
