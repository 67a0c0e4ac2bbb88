#pragma once

#include <array>
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

// Replaces each byte by its table entry, eight at a time through one 64-bit word: a plain
// byte loop is turned into a 16-byte gather that round-trips through the stack.
// `count` must be a multiple of 8.
inline void MapBytesInPlace(const std::array<std::uint8_t, 256>& table, std::uint8_t* p,
                            std::size_t count) {
    for (std::size_t i = 0; i < count; i += 8) {
        std::uint64_t in;
        std::memcpy(&in, p + i, sizeof in);
        std::uint64_t out = 0;
        for (int shift = 0; shift < 64; shift += 8) {
            out |= std::uint64_t{table[(in >> shift) & 0xFF]} << shift;
        }
        std::memcpy(p + i, &out, sizeof out);
    }
}
