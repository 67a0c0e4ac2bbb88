#pragma once

#include <cstddef>
#include <cstdint>

// The remap walk of one picture size, taken apart once into runs: consecutive output
// pixels of a row that show the same frame sample. A row's pixels inside the sensor disc
// are one unbroken stretch, so a row is its first pixel and its runs in order; pixels
// outside the disc belong to no run and a remap never writes them.
//
// Where runs are short (1.7 pixels on average at 256 x 256) a pixel-by-pixel gather of
// three-byte pixels is faster than the walk; each row also lists its pixels' frame
// indices for that.
//
// A run is packed into 32 bits: frame index in the low 16, pixel count (1..9) above.
inline constexpr std::uint32_t kRunSourceMask = 0xFFFF;
inline constexpr int kRunLengthShift = 16;

struct RemapRow {
    std::uint32_t firstPixel;  // output index of the row's first pixel inside the disc
    std::uint32_t firstRun;    // index into the run array
    std::uint16_t runs;
    // The leading runs that a wide store may write: it only spills into pixels of the row
    // that later runs overwrite. Grey stores 8 pixels from a run's first; colour stores
    // 31 bytes (ten pixels and one byte of the eleventh), so its runs are ten at most.
    std::uint16_t wideGreyRuns;
    std::uint16_t wideColorRuns;
    // The same row pixel by pixel: its pixels' frame indices start here in the source
    // array, one per pixel from firstPixel on.
    std::uint32_t firstSource;
    std::uint32_t pixels;
};

inline constexpr std::uint32_t kWideGreyPixels = 8;
inline constexpr std::uint32_t kWideColorPixels = 11;
inline constexpr std::uint32_t kWideColorRunLength = 10;

struct RemapRunList {
    const RemapRow* pRows = nullptr;
    int rowCount = 0;
    const std::uint32_t* pRuns = nullptr;
    const std::uint16_t* pSources = nullptr;
};

// The runs for a 256 x 256 or 512 x 512 picture (by pixel count); empty for any other.
RemapRunList RemapRunsFor(std::uint32_t pixelCount);
// Builds both lists ahead of the first frame (they use static storage, no heap).
void PrepareRemapRuns();
