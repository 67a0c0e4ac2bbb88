#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Byte table look-ups done many samples at a time, in the widest form the processor runs.
// Every form gives exactly the bytes of the plain loop; the plain form is the fallback.

enum class VectorLevel : int { kPlain = 0, kAvx2 = 1, kAvx512Vbmi = 2 };

using ByteTable = std::array<std::uint8_t, 256>;

// The widest form this processor can run (decided once).
VectorLevel SupportedVectorLevel();
// Whether `level` can run here (the plain form always can).
bool CanRun(VectorLevel level);
// Whether this processor runs vector gathers as microcode, slower than loads one by one
// (AMD's do): the kernels then read by plain loads.
bool GathersAreSlow();

// pOut[i] = table[pIn[i]] for i < count; pIn and pOut may be the same block.
void LookUpBytes(VectorLevel level, const ByteTable& table, const std::uint8_t* pIn,
                 std::uint8_t* pOut, std::size_t count);
inline void LookUpBytes(const ByteTable& table, const std::uint8_t* pIn, std::uint8_t* pOut,
                        std::size_t count) {
    LookUpBytes(SupportedVectorLevel(), table, pIn, pOut, count);
}

// pOut[i] = table[clamp(pIn[i] + pShift[i], 0, 255)] for i < count. Every shift must lie
// in -256..256, which is all the clamp can tell apart for an 8-bit sample.
void LookUpShiftedBytes(VectorLevel level, const ByteTable& table, const std::uint8_t* pIn,
                        const std::int16_t* pShift, std::uint8_t* pOut, std::size_t count);
inline void LookUpShiftedBytes(const ByteTable& table, const std::uint8_t* pIn,
                               const std::int16_t* pShift, std::uint8_t* pOut, std::size_t count) {
    LookUpShiftedBytes(SupportedVectorLevel(), table, pIn, pShift, pOut, count);
}
