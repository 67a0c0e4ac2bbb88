#pragma once

#include <cstdint>

// The grey a black-and-white sensor sees of a colour: the luminance of blue, green and
// red, rounded to nearest (weights in thousandths).
constexpr std::uint8_t Luminance(unsigned blue, unsigned green, unsigned red) {
    return std::uint8_t((114 * blue + 587 * green + 299 * red + 500) / 1000);
}
