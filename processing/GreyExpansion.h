#pragma once

#include <cstdint>

// Vector form of the converter's grey rule (luma with neutral chroma): level =
// clamp((76309 * (y - 16)) >> 16), written as three equal bytes per pixel. Computed as
// a + ((10773 * a) >> 16) with a = y - 16, which is the same value since 76309 = 65536 +
// 10773; the converter checks it against its tables before using it.

// Whether this processor can run the vector form.
bool GreyExpansionAvailable();
// Expands the leading multiple of 16 pixels of a row; returns how many it did (0 when
// the vector form is not available).
int ExpandGreyPixels(const std::uint8_t* pLuma, std::uint8_t* pBgr, int pixels);
