#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Byte loops the compiler would otherwise vectorise badly or not at all.

// Sixteen bytes in one vector register; element-wise operators and ?: work on it.
using SixteenBytes = std::uint8_t __attribute__((vector_size(16)));

inline SixteenBytes LoadSixteen(const std::uint8_t* p) {
    SixteenBytes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
