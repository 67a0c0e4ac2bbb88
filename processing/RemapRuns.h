#pragma once

#include <cstddef>
#include <cstdint>

// The remap walk of one picture size, taken apart once into runs: consecutive output
// pixels of a row that show the same frame sample. A row's pixels inside the sensor disc
// are one unbroken stretch, so a row is its first pixel and its runs in order; pixels
// outside the disc belong to no run and a remap never writes them.
//
// A run is packed into 32 bits: frame index in the low 16, pixel count (1..9) above.
inline constexpr std::uint32_t kRunSourceMask = 0xFFFF;
inline constexpr int kRunLengthShift = 16;

struct RemapRow {
    std::uint32_t firstPixel;  // output index of the row's first pixel inside the disc
    std::uint32_t firstRun;    // index into the run array
    // The leading runs whose first pixel has 8 more disc pixels of its row from it:
    // an 8-pixel store there only spills into pixels that later runs overwrite.
    std::uint16_t wideRuns;
    std::uint16_t runs;
};

struct RemapRunList {
    const RemapRow* pRows = nullptr;
    int rowCount = 0;
    const std::uint32_t* pRuns = nullptr;
};

// The runs for a 256 x 256 or 512 x 512 picture (by pixel count); empty for any other.
RemapRunList RemapRunsFor(std::uint32_t pixelCount);
// Builds both lists ahead of the first frame (they use static storage, no heap).
void PrepareRemapRuns();
