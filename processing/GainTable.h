#pragma once

#include <array>
#include <cstdint>

// Exponential look-up from a corrected, clamped sample (0..255) to a displayed level.
using GainTable = std::array<std::uint8_t, 256>;
