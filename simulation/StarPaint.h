#pragma once

#include <array>
#include <cstdint>

// One row of the built-in scene's turning star. A pixel at angle a (4096 steps a turn)
// shows segment ((a + turn) >> 7) & 31 of 32; each plane has its own paint per segment.
// Runs many pixels at a time where the processor allows; the bytes are always those of
// the plain per-pixel rule.
using SegmentPaints = std::array<std::uint8_t, 32>;

void PaintStarRow(const std::uint16_t* pAngle, int count, unsigned turn,
                  const SegmentPaints* pPaints, std::uint8_t* const* pRows, int planes);
