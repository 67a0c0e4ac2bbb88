#pragma once

#include <cstdint>

#include "processing/RemapChunks.h"

// RemapGreyToBgrByChunks where AVX2 runs and AVX-512 VBMI does not: the same chunks and the
// same bytes, each 16-pixel quarter of a chunk spread from the 16 run values it lies within
// by one in-lane byte shuffle, the levels looked up as the run values are gathered.
bool GreyChunksAvx2Available();
void RemapGreyToBgrByChunksAvx2(const RemapChunkList& list, const std::uint8_t* pSource,
                                const std::uint8_t* pLevels, std::uint8_t* pBgr, bool bottomUp,
                                CSampleTally* pTally);
