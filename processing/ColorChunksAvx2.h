#pragma once

#include <cstdint>

#include "processing/RemapChunks.h"

// RemapRgbByChunks where AVX2 runs and AVX-512 VBMI does not: the same chunks and the same
// bytes in each layout, each 16 bytes of a chunk made by one in-lane byte shuffle of the 16
// run bytes they lie within.
bool ColorChunksAvx2Available();
void RemapRgbByChunksAvx2(const RemapChunkList& list, const std::uint8_t* pColorFrame,
                          std::uint8_t* pDestination, RgbLayout layout);
